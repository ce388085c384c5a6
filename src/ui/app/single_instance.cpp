#include "ui/app/single_instance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

#include <unistd.h>

#include <memory>

namespace kestrova {

TSingleInstance::TSingleInstance(const QString& name, const QString& runtimeDir, QObject* parent)
    : QObject(parent) {
  // The socket lives in the user's private runtime folder, out of reach of other users.
  QDir().mkpath(runtimeDir);
  serverName_ = QDir(runtimeDir).filePath(name + QLatin1Char('-') + QString::number(::getuid()));
  lock_ = std::make_unique<QLockFile>(QDir(runtimeDir).filePath(name + QStringLiteral(".lock")));
  // A lock is stale only when its process is gone, never because of its age.
  lock_->setStaleLockTime(0);
  first_ = lock_->tryLock(0);
  if (!first_) return;

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
  if (first_) lock_->unlock();
}

bool TSingleInstance::ActivateFirst(const QString& title, int timeoutMs) {
  if (first_) return false;
  QLocalSocket s;
  s.connectToServer(serverName_);
  if (!s.waitForConnected(timeoutMs)) return false;
  s.write("activate\n" + title.toUtf8() + "\n");
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
      const QByteArray data = c->peek(4097);
      if (data.size() > 4096) {
        *handled = true;
        c->abort();
        return;
      }
      if (data.count('\n') < 2 && !final) return;
      *handled = true;
      const QList<QByteArray> lines = data.split('\n');
      if (lines.value(0).trimmed() != "activate") return;
      emit activateRequested(QString::fromUtf8(lines.value(1).trimmed()));
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
