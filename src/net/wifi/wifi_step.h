// The wireless step's requests for one camera, by its family's path: family 9 through the CGI
// family driver, family 5 through CTP, families 2 and 8 (and every other family, on the family-2
// path) through the CGI requests built here. The page and kestrova-cli wifi-set both run them;
// what follows an outcome (messages, the restart wait) is the caller's.
//
// Blocking: each HTTP request waits up to its time-out (10 s), each CTP exchange up to the CTP
// reply time-out. One thread at a time.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/discovery/dev_info.h"
#include "core/protocols/ctp_message.h"
#include "core/setup/set_wifi.h"
#include "net/ctp/ctp_socket.h"

namespace kestrova {

class IDeviceSeries;

enum class TWiFiScan {
  Ok,           // the list holds what the camera reported (perhaps nothing)
  CantConnect,  // the camera could not be reached (the step says IDS_CANTCONNECT)
  NoResult,     // the scan went out but its result could not be read (nothing is said)
};

enum class TWiFiRead {
  Ok,           // the form holds the camera's settings
  NotShown,     // nothing to show (no record, a reply without values, an SSID not in the list)
  CantConnect,  // the camera could not be reached (IDS_CANTCONNECT)
};

enum class TWiFiApply {
  NoNetwork,      // family 5: no network chosen from the current list; nothing was sent
  NotAccepted,    // nothing to send, the request failed or the camera did not take the settings
  RestartFailed,  // the settings were taken but the restart request failed (IDS_CANTCONNECT)
  Restarting,     // taken and restarting: await AwaitMac
};

struct TWiFiApplyResult {
  TWiFiApply Status = TWiFiApply::NotAccepted;
  std::string AwaitMac;
};

class TWiFiStep {
 public:
  // One line per request: what was asked and how it ended (for the command line).
  using Report = std::function<void(const std::string& request, const std::string& outcome)>;
  // Sends the CTP restart from a thread of its own; true when it started.
  using CtpRestart = std::function<bool(const std::string& host, int port)>;

  // For family 9 the driver must have the camera as its current device (SetDevice).
  TWiFiStep(const TDevInfo& dev, std::string user, std::string password, IDeviceSeries& series);

  void SetReport(Report r) { report_ = std::move(r); }
  void SetCtpRestart(CtpRestart fn) { ctpRestart_ = std::move(fn); }
  void SetTimeouts(int httpMs, CtpTimeouts ctp) {
    httpMs_ = httpMs;
    ctp_ = ctp;
  }
  const TDevInfo& Device() const { return dev_; }

  // The networks the camera sees, in its order (list is emptied first), without entries that
  // name no network (ListableEntry). Family 2 (and the others) send the scan twice, family 8
  // once under "/cgi-bin".
  TWiFiScan Scan(std::vector<TWiFiEntry>& list);

  // The camera's current settings into the form, against the list of the last scan. Family 5
  // keeps the record it read for the write (CtpRecord); family 9 reads the driver's record
  // (from the camera on its first use only).
  TWiFiRead ReadSettings(const std::vector<TWiFiEntry>& list, TWiFiForm& form);
  const std::optional<TDEVWiFi>& CtpRecord() const { return ctpRecord_; }

  // Sends the form's settings. selectedMac is the wizard's chosen camera, awaited after the
  // families 2, 5 and 8 restart; family 9 awaits the driver's current device.
  TWiFiApplyResult Apply(const TWiFiForm& form, const std::vector<TWiFiEntry>& list, const std::string& selectedMac);

 private:
  void Note(const std::string& request, const std::string& outcome) const {
    if (report_) report_(request, outcome);
  }
  TWiFiScan ScanAll(std::vector<TWiFiEntry>& list);
  TWiFiApplyResult ApplyCgi(const TWiFiForm& form, const std::string& selectedMac);
  TWiFiApplyResult ApplyFamily9(const TWiFiForm& form);
  TWiFiApplyResult ApplyCtp(const TWiFiForm& form, const std::vector<TWiFiEntry>& list, const std::string& selectedMac);

  TDevInfo dev_;
  std::string user_, password_;
  IDeviceSeries& series_;
  Report report_;
  CtpRestart ctpRestart_;
  int httpMs_ = 10000;
  CtpTimeouts ctp_;
  std::optional<TDEVWiFi> ctpRecord_;
};

}  // namespace kestrova
