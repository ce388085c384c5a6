// One running instance per user: a lock file named after the program's lock name in the user's
// runtime folder, and a local socket beside it over which a second start asks the first to raise
// its window. A lock left by an instance that crashed is taken over (its process is gone).
#pragma once

#include <functional>
#include <memory>

#include <QObject>
#include <QString>

class QLocalServer;
class QLockFile;

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

 signals:
  // First instance: another start asked for the window whose caption is title.
  void activateRequested(const QString& title);

 private:
  void OnNewConnection();

  bool first_ = false;
  QString serverName_;
  std::unique_ptr<QLockFile> lock_;
  QLocalServer* server_ = nullptr;
};

}  // namespace kestrova
