// TCheckDDNSThread and TCheckFortwordThread: the DDNS and port-forward checks (core/remote) on
// worker threads of their own.
//
// The page creates a check on the window thread, sets its report hook and starts it; the
// thread frees itself once it has ended. Every report crosses to the window thread through a
// blocking queued call (the worker waits until the page has handled it), and the hook is set
// and cleared on the window thread only, so a cleared hook never runs: a page that starts a new
// check, or goes away, clears the old one's hook and never hears from it again, while the old
// check finishes its requests on its own.
//
// The texts a check shows are taken from the language when it is made, so that the worker
// reads no shared state of the window thread.
#pragma once

#include <functional>
#include <string>

#include <QThread>

#include "core/discovery/dev_info.h"
#include "core/remote/ddns_check.h"
#include "core/remote/port_forward_check.h"

namespace kestrova {

// What the checks reach the camera and the service with. The default is the network (net/
// remote), except in runs that must not touch it (see RemoteChecksAllowed): there every request
// fails without being sent. Tests put their own.
struct TRemoteCheckIo {
  std::function<remote::TDdnsCheckIo(const TDevInfo& dev, const std::string& user, const std::string& password)> Ddns;
  remote::HttpGetFn ForwardGet;
  remote::PauseFn Pause;
  remote::HttpGetFn CameraWrite;  // the DDNS account dialog's write
};
void SetRemoteCheckIo(TRemoteCheckIo io);  // an empty member: the default for it
// Offscreen runs (tests, screenshots) reach the network only with KESTROVA_DISCOVERY=live;
// "off" keeps every run away from it.
bool RemoteChecksAllowed();
// The GET the DDNS account dialog writes with (window thread).
remote::HttpGetFn CameraWriteGet();

class TReportThread : public QThread {
  Q_OBJECT
 public:
  using ReportHook = std::function<void(int code, const std::string& text)>;

  ~TReportThread() override;

  // Window thread only.
  void SetOnReport(ReportHook fn) { onReport_ = std::move(fn); }
  void ClearOnReport() { onReport_ = nullptr; }
  bool HasOnReport() const { return static_cast<bool>(onReport_); }

  // The last report (read in the hook).
  int ReportCode() const { return code_; }
  const std::string& ReportText() const { return text_; }

 signals:
  void reported();

 protected:
  explicit TReportThread(remote::TCheckTexts texts);
  // Worker side: stores the report and hands it over, waiting until the hook has run.
  void Report(int code, const std::string& text);
  const remote::TCheckTexts& Texts() const { return texts_; }

 private:
  void Deliver();

  const remote::TCheckTexts texts_;
  ReportHook onReport_;
  int code_ = 0;
  std::string text_;
};

class TCheckDDNSThread : public TReportThread {
  Q_OBJECT
 public:
  // record: the camera as listed; base: its LAN address; user and password: the wizard state.
  TCheckDDNSThread(const TDevInfo& record, const std::string& base, const std::string& cameraUser,
                   const std::string& cameraPassword);

 protected:
  void run() override;

 private:
  remote::TDdnsCheckInput in_;
  remote::TDdnsCheckIo io_;
};

class TCheckFortwordThread : public TReportThread {
  Q_OBJECT
 public:
  TCheckFortwordThread(const std::string& ddnsServer, const std::string& ddnsId);

 protected:
  void run() override;

 private:
  const std::string server_, id_;
  remote::HttpGetFn get_;
  remote::PauseFn pause_;
};

}  // namespace kestrova
