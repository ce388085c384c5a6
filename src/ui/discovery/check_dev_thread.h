// TCheckDevThread: the reachability check (net/checkdev) on a worker thread of its own.
//
// The owner creates it on the window thread, sets its report hook and starts it; the thread
// frees itself once it has ended. The result crosses to the window thread through a blocking
// queued call, and the hook is set and cleared on the window thread only, so an owner that
// clears the hook (it gave up on this check, or is going away) never hears from it again.
#pragma once

#include <functional>
#include <string>

#include <QThread>

namespace kestrova {

class TCheckDevThread : public QThread {
  Q_OBJECT
 public:
  // The question itself: CheckDevice by default (tests put a function of their own).
  using CheckFn = std::function<int(int devType, const std::string& url)>;
  using DoneFn = std::function<void(TCheckDevThread&)>;

  TCheckDevThread(int devType, std::string url, CheckFn check = {});
  ~TCheckDevThread() override;

  // Window thread only.
  void SetOnDone(DoneFn fn) { onDone_ = std::move(fn); }
  void ClearOnDone() { onDone_ = nullptr; }

  int DevType() const { return devType_; }
  const std::string& Url() const { return url_; }
  // The result: 0 until the check has succeeded. Read it in the hook.
  int Reachable() const { return reachable_; }

 signals:
  void reported();

 protected:
  void run() override;

 private:
  void Report();

  const int devType_;
  const std::string url_;
  CheckFn check_;
  DoneFn onDone_;
  int reachable_ = 0;
};

}  // namespace kestrova
