// One running instance per user: a lock file named after the program's lock name and the user id
// in the user's runtime folder, and a local socket beside it over which a second start asks the
// first to raise its window.
//
// Only a lock that a live process of the same user holds means that another instance runs: the
// file must belong to this user, and the lock (flock) vanishes with the process that held it, so
// the lock of an instance that crashed is simply taken. Any other failure (a runtime folder that
// cannot be written or is full, a lock file of another user) does not keep the program from
// starting: it starts as the first instance, without the lock.
#pragma once

#include <functional>
#include <memory>

#include <QObject>
#include <QString>

class QLocalServer;

namespace kestrova {

class TSingleInstance : public QObject {
  Q_OBJECT
 public:
  // name: the lock name ("Kestrova"); runtimeDir: per-user folder for the lock file.
  TSingleInstance(const QString& name, const QString& runtimeDir, QObject* parent = nullptr);
  ~TSingleInstance() override;

  // True when this is the first instance (the lock is now held until destruction).
  bool IsFirst() const { return first_; }
  // Second instance: asks the first one to bring its window to the front. Returns whether the
  // request was delivered.
  bool ActivateFirst(const QString& title, int timeoutMs = 1000);

  // Path of the local socket (<runtime folder>/Kestrova-<uid>).
  QString ServerName() const { return serverName_; }
  // Path of the lock file (<runtime folder>/Kestrova-<uid>.lock).
  QString LockPath() const { return lockPath_; }
  // True when this instance holds the lock (false for a first instance started without it).
  bool HoldsLock() const { return lockFd_ >= 0; }

 signals:
  // First instance: another start asked for the window whose caption is title.
  void activateRequested(const QString& title);

 private:
  void OnNewConnection();

  bool first_ = false;
  QString serverName_;
  QString lockPath_;
  int lockFd_ = -1;
  QLocalServer* server_ = nullptr;
};

}  // namespace kestrova
