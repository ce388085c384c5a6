#include "ui/app/single_instance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "core/app/instance_request.h"

namespace kestrova {

namespace {

// Taken: fd is open and locked. HeldByOther: a live process of this user holds the lock.
// Failed: the lock could not be had for any other reason; fd is -1 in both of these.
enum class LockResult { Taken, HeldByOther, Failed };

LockResult TakeLock(const QByteArray& path, int& fd) {
  fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return LockResult::Failed;  // unwritable or full folder, a link, a directory ...
  struct stat st {};
  // A file of another user is no lock of ours, whoever holds it.
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
    ::close(fd);
    fd = -1;
    return LockResult::Failed;
  }
  int r;
  do r = ::flock(fd, LOCK_EX | LOCK_NB); while (r != 0 && errno == EINTR);
  if (r == 0) return LockResult::Taken;
  const bool held = errno == EWOULDBLOCK;
  ::close(fd);
  fd = -1;
  return held ? LockResult::HeldByOther : LockResult::Failed;
}

}  // namespace

TSingleInstance::TSingleInstance(const QString& name, const QString& runtimeDir, QObject* parent)
    : QObject(parent) {
  // The socket lives in the user's private runtime folder, out of reach of other users.
  QDir().mkpath(runtimeDir);
  const QString base = name + QLatin1Char('-') + QString::number(::geteuid());
  serverName_ = QDir(runtimeDir).filePath(base);
  lockPath_ = QDir(runtimeDir).filePath(base + QStringLiteral(".lock"));
  const LockResult lock = TakeLock(QFile::encodeName(lockPath_), lockFd_);
  first_ = lock != LockResult::HeldByOther;
  if (lock != LockResult::Taken) return;

  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  // A socket left behind by an instance that crashed: the lock is ours, so it is stale.
  if (!server_->listen(serverName_)) {
    QLocalServer::removeServer(serverName_);
    server_->listen(serverName_);
  }
  connect(server_, &QLocalServer::newConnection, this, &TSingleInstance::OnNewConnection);
}

TSingleInstance::~TSingleInstance() {
  if (server_) server_->close();
  if (lockFd_ >= 0) ::close(lockFd_);  // releases the lock; the file stays for the next start
}

bool TSingleInstance::ActivateFirst(const QString& title, int timeoutMs) {
  if (first_) return false;
  QLocalSocket s;
  s.connectToServer(serverName_);
  if (!s.waitForConnected(timeoutMs)) return false;
  s.write(QByteArray::fromStdString(ActivateRequestText(title.toUtf8().toStdString())));
  bool ok = s.waitForBytesWritten(timeoutMs);
  s.disconnectFromServer();
  return ok;
}

void TSingleInstance::OnNewConnection() {
  while (QLocalSocket* c = server_->nextPendingConnection()) {
    // The request is "activate\n" + title + "\n"; it is handled once both lines are in, or when
    // the peer hangs up. At most a short request is taken from a peer.
    auto handled = std::make_shared<bool>(false);
    auto handle = [this, c, handled](bool final) {
      if (*handled) return;
      const QByteArray data = c->peek(kActivateRequestMax + 1);
      const TActivateRequest r = ReadActivateRequest(std::string_view(data.constData(), size_t(data.size())), final);
      if (r.Verdict == TActivateVerdict::NeedMore) return;
      *handled = true;
      if (r.Verdict == TActivateVerdict::Refuse) {
        c->abort();
        return;
      }
      if (r.Verdict == TActivateVerdict::Activate) emit activateRequested(QString::fromStdString(r.Title));
    };
    connect(c, &QLocalSocket::readyRead, this, [handle] { handle(false); });
    connect(c, &QLocalSocket::disconnected, this, [handle, c] {
      handle(true);
      c->deleteLater();
    });
    if (c->bytesAvailable() > 0) handle(false);
  }
}

}  // namespace kestrova
