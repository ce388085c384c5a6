#include "ui/discovery/check_dev_thread.h"

#include "net/checkdev/check_dev.h"

namespace kestrova {

TCheckDevThread::TCheckDevThread(int devType, std::string url, CheckFn check)
    : devType_(devType), url_(std::move(url)), check_(std::move(check)) {
  if (!check_) check_ = [](int family, const std::string& u) { return CheckDevice(family, u); };
  // This object lives on the window thread: the worker waits there until the hook has run.
  connect(this, &TCheckDevThread::reported, this, &TCheckDevThread::Report, Qt::BlockingQueuedConnection);
  connect(this, &QThread::finished, this, &QObject::deleteLater);
}

TCheckDevThread::~TCheckDevThread() { wait(); }

void TCheckDevThread::run() {
  reachable_ = check_(devType_, url_) ? 1 : 0;
  emit reported();
}

void TCheckDevThread::Report() {
  if (onDone_) onDone_(*this);
}

}  // namespace kestrova
