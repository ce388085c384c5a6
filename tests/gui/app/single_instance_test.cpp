// The single-instance lock across real processes, including a holder that crashed.
#include <gtest/gtest.h>

#include <QLocalSocket>
#include <QProcess>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSignalSpy>
#include <QSysInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <vector>

#include "gui/app/app_fixture.h"
#include "ui/app/single_instance.h"

namespace kestrova {
namespace {

class SingleInstanceTest : public ::testing::Test {
 protected:
  QString RuntimeDir() const { return QString::fromStdString((folders_.Root() / "run").string()); }
  // Runs the probe; returns its first output line.
  QString Probe(QProcess& p, const char* mode) {
    p.start(QStringLiteral(KESTROVA_INSTANCE_PROBE), {RuntimeDir(), QString::fromLatin1(mode)});
    if (!p.waitForStarted(10000)) return QStringLiteral("not started");
    while (!p.canReadLine() && p.state() == QProcess::Running) p.waitForReadyRead(10000);
    return QString::fromLocal8Bit(p.readLine()).trimmed();
  }
  testing::TempFolders folders_;
};

TEST_F(SingleInstanceTest, SecondProcessIsRefusedAndAsksTheFirstToComeForward) {
  TSingleInstance first(QStringLiteral("Kestrova"), RuntimeDir());
  ASSERT_TRUE(first.IsFirst());
  QSignalSpy asked(&first, &TSingleInstance::activateRequested);
  QProcess p;
  EXPECT_EQ(Probe(p, "try"), "second delivered");
  p.waitForFinished(10000);
  ASSERT_TRUE(asked.count() > 0 || asked.wait(10000));
  EXPECT_EQ(asked.first().first().toString(), "probe title");
}

TEST_F(SingleInstanceTest, LockOfACrashedInstanceIsTakenOver) {
  QProcess holder;
  ASSERT_EQ(Probe(holder, "hold"), "first");
  {
    TSingleInstance second(QStringLiteral("Kestrova"), RuntimeDir());
    EXPECT_FALSE(second.IsFirst());
  }
  holder.kill();  // no clean-up: the lock file and the socket stay behind
  ASSERT_TRUE(holder.waitForFinished(10000));

  TSingleInstance next(QStringLiteral("Kestrova"), RuntimeDir());
  ASSERT_TRUE(next.IsFirst());
  QSignalSpy asked(&next, &TSingleInstance::activateRequested);
  QProcess p;
  EXPECT_EQ(Probe(p, "try"), "second delivered");
  p.waitForFinished(10000);
  EXPECT_TRUE(asked.count() > 0 || asked.wait(10000));
}

// Only a lock that a live process of this user holds keeps the program from starting.
TEST_F(SingleInstanceTest, OtherFailuresStartAsTheFirstInstance) {
  // The runtime folder cannot be made (a file stands in its place): no lock, but a start.
  const QString blocked = QString::fromStdString((folders_.Root() / "not-a-folder").string());
  testing::TempFolders::Write(folders_.Root() / "not-a-folder", "x");
  {
    TSingleInstance instance(QStringLiteral("Kestrova"), blocked);
    EXPECT_TRUE(instance.IsFirst());
    EXPECT_FALSE(instance.HoldsLock());
  }
  // The lock's name carries the user id.
  {
    TSingleInstance instance(QStringLiteral("Kestrova"), RuntimeDir());
    ASSERT_TRUE(instance.IsFirst());
    EXPECT_TRUE(instance.HoldsLock());
    EXPECT_TRUE(instance.LockPath().endsWith(QStringLiteral("/Kestrova-%1.lock").arg(::geteuid())));
    EXPECT_TRUE(QFileInfo::exists(instance.LockPath()));
  }
  // Lock files of another user, held by a live process (this one) and naming it the way a
  // lock file names its holder: they are not this user's lock.
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to make files of another user";
  const uid_t nobody = 65534;
  std::vector<int> held;
  for (const char* name : {"Kestrova.lock", "Kestrova-%1.lock"}) {
    const std::string path = (folders_.Root() / "run" / QString::fromLatin1(name).arg(::geteuid()).toStdString()).string();
    const std::string info = std::to_string(::getpid()) + "\n" + QCoreApplication::applicationName().toStdString() +
                             "\n" + QSysInfo::machineHostName().toStdString() + "\n";
    testing::TempFolders::Write(path, info);
    ASSERT_EQ(::chown(path.c_str(), nobody, nobody), 0);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    held.push_back(fd);
  }
  {
    TSingleInstance instance(QStringLiteral("Kestrova"), RuntimeDir());
    EXPECT_TRUE(instance.IsFirst());
    EXPECT_FALSE(instance.HoldsLock());
  }
  for (int fd : held) ::close(fd);
}

TEST_F(SingleInstanceTest, ThePeerMustSendTheActivateRequest) {
  TSingleInstance first(QStringLiteral("Kestrova"), RuntimeDir());
  ASSERT_TRUE(first.IsFirst());
  QSignalSpy asked(&first, &TSingleInstance::activateRequested);
  QLocalSocket s;
  s.connectToServer(first.ServerName());
  ASSERT_TRUE(s.waitForConnected(5000));
  s.write(QByteArray(8000, 'x'));
  s.waitForBytesWritten(5000);
  s.disconnectFromServer();
  // a round trip over a second, well-formed request shows the first one was dropped
  QLocalSocket t;
  t.connectToServer(first.ServerName());
  ASSERT_TRUE(t.waitForConnected(5000));
  t.write("activate\nok\n");
  t.waitForBytesWritten(5000);
  t.disconnectFromServer();
  ASSERT_TRUE(asked.wait(10000));
  ASSERT_EQ(asked.count(), 1);
  EXPECT_EQ(asked.first().first().toString(), "ok");
}

}  // namespace
}  // namespace kestrova
