// The single-instance lock across real processes, including a holder that crashed.
#include <gtest/gtest.h>

#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>

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
