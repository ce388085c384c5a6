#include "net/wifi/wifi_step.h"

#include "core/protocols/cgi_requests.h"
#include "net/cgi/device_series.h"
#include "net/http/tools.h"

namespace kestrova {

namespace {

bool Has(const std::string& text, const char* marker) { return text.find(marker) != std::string::npos; }

// A reply that answers the request: an HTTP error page (a refused login, a broken server) does
// not, whatever its text.
bool Answered(const THttpReply& r) { return r.Ok && r.Status < 400; }

std::string Outcome(const THttpReply& r) {
  if (!r.Ok) return "failed";
  if (r.Status >= 400) return "refused (HTTP " + std::to_string(r.Status) + ")";
  return "ok";
}

}  // namespace

TWiFiStep::TWiFiStep(const TDevInfo& dev, std::string user, std::string password, IDeviceSeries& series)
    : dev_(dev), user_(std::move(user)), password_(std::move(password)), series_(series) {
  ctpRestart_ = [](const std::string& host, int port) {
    TRebootThread::Start(host, port);
    return true;
  };
}

TWiFiScan TWiFiStep::Scan(std::vector<TWiFiEntry>& list) {
  const TWiFiScan r = ScanAll(list);
  std::erase_if(list, [](const TWiFiEntry& e) { return !ListableEntry(e); });
  return r;
}

TWiFiScan TWiFiStep::ScanAll(std::vector<TWiFiEntry>& list) {
  list.clear();
  if (dev_.DevType == 9) {
    std::vector<TScanItem> items;
    const int n = series_.ScanWiFi(user_, password_, items);
    Note("scan (family 9)", n < 0 ? "failed" : "ok, " + std::to_string(items.size()) + " network(s)");
    if (n < 0) return TWiFiScan::CantConnect;
    for (auto& it : items) list.push_back(EntryOf(it.Rec, it.Text));
    return TWiFiScan::Ok;
  }
  if (dev_.DevType == 5) {
    CtpConnection conn = AcquireConnection(dev_.IP, dev_.HttpPort, ctp_);
    if (!conn) {
      Note("iwlist", "no connection");
      return TWiFiScan::CantConnect;
    }
    // A connection may still fail on its first exchange: only an answer is a list.
    const std::string reply = conn->Exchange(BuildCtpListNetworks(), ctp_);
    if (!CtpReplyOk(reply)) {
      Note("iwlist", reply.empty() ? "no answer" : "refused");
      ReleaseConnection(conn);
      return TWiFiScan::CantConnect;
    }
    const std::vector<TCtpNetwork> nets = ParseCtpNetworkList(reply);
    Note("iwlist", "ok, " + std::to_string(nets.size()) + " network(s)");
    for (const auto& n : nets) list.push_back(EntryOf(n));
    return TWiFiScan::Ok;
  }
  // Families 2 and 8 (and the others): the scan request (twice but for family 8), then its
  // result. An error page is no answer to either.
  const std::string base = CgiBase(dev_.IP, dev_.HttpPort);
  if (base.empty()) {
    Note("wifi_scan.cgi", "not sent: the camera's address is not usable");
    return TWiFiScan::CantConnect;
  }
  const std::string scan = base + PathWifiScanStep(dev_.DevType, user_, password_);
  const THttpReply first = TTools::HttpGet(scan, user_, password_, httpMs_);
  Note(dev_.DevType == 8 ? "cgi-bin/wifi_scan.cgi" : "wifi_scan.cgi", Outcome(first));
  if (!Answered(first)) return TWiFiScan::CantConnect;
  if (dev_.DevType != 8) Note("wifi_scan.cgi (again)", Outcome(TTools::HttpGet(scan, user_, password_, httpMs_)));
  const THttpReply result =
      TTools::HttpGet(base + PathWifiScanResult(user_, password_), user_, password_, httpMs_);
  if (!Answered(result)) {
    Note("get_wifi_scan_result.cgi", Outcome(result));
    return TWiFiScan::NoResult;
  }
  const std::vector<TWiFi> nets = ParseCgiScanList(result.Text, dev_.DevType);
  Note("get_wifi_scan_result.cgi", "ok, " + std::to_string(nets.size()) + " network(s)");
  for (const auto& n : nets) list.push_back(EntryOf(n));
  return TWiFiScan::Ok;
}

TWiFiRead TWiFiStep::ReadSettings(const std::vector<TWiFiEntry>& list, TWiFiForm& form) {
  if (dev_.DevType == 5) {
    CtpConnection conn = AcquireConnection(dev_.IP, dev_.HttpPort, ctp_);
    std::optional<TDEVWiFi> rec = conn ? GetWirelessConfig(*conn, ctp_) : std::nullopt;
    Note("cfgwnic -list", !conn ? "no connection" : rec ? "ok" : "failed");
    if (!rec) return TWiFiRead::CantConnect;
    ctpRecord_ = rec;
    // A network the list no longer holds is no choice: Apply then asks for one.
    form.Chosen = FindListedSsidInText(list, rec->SSID);
    form.UseWiFi = rec->Enable == 1;
    form.SSID = rec->SSID;
    form.ShareKey = rec->Key;
    if (form.Chosen >= 0) form.Security = SecurityPositionOf(5, list[size_t(form.Chosen)]);
    return TWiFiRead::Ok;
  }
  if (dev_.DevType == 9) {
    TWiFiParams* rec = series_.GetWiFiParams(user_, password_);
    Note("get_params.cgi (family 9)", rec ? "ok" : "no settings");
    if (!rec) return TWiFiRead::NotShown;
    form.UseWiFi = rec->Enable == 1;
    form.Chosen = 0;
    const int at = FindListedSsidBeforeParen(list, rec->SSID);
    if (at < 0) return TWiFiRead::NotShown;
    form.Chosen = at;
    form.SSID = rec->SSID;
    form.ShareKey = rec->WpaPsk;
    form.Security = SelectorPosition(rec->Encrypt, kWiFiSecurityItems);
    form.Mode = SelectorPosition(rec->Mode, kWiFiModeItems);
    return TWiFiRead::Ok;
  }
  const std::string base = CgiBase(dev_.IP, dev_.HttpPort);
  THttpReply r;
  if (!base.empty()) r = TTools::HttpGet(base + PathGetParams(user_, password_), user_, password_, httpMs_);
  Note("get_params.cgi", !Answered(r) ? Outcome(r) : Has(r.Text, "var") ? "ok" : "no values");
  if (!Answered(r)) return TWiFiRead::CantConnect;
  if (!Has(r.Text, "var")) return TWiFiRead::NotShown;
  FormFromParams(ParseWiFiParams(r.Text), form);
  return TWiFiRead::Ok;
}

TWiFiApplyResult TWiFiStep::Apply(const TWiFiForm& form, const std::vector<TWiFiEntry>& list,
                                  const std::string& selectedMac) {
  if (dev_.DevType == 5) return ApplyCtp(form, list, selectedMac);
  if (dev_.DevType == 9) return ApplyFamily9(form);
  return ApplyCgi(form, selectedMac);
}

TWiFiApplyResult TWiFiStep::ApplyCgi(const TWiFiForm& form, const std::string& selectedMac) {
  const std::string base = CgiBase(dev_.IP, dev_.HttpPort);
  if (base.empty()) {
    Note("set_wifi.cgi", "not sent: the camera's address is not usable");
    return {};
  }
  const TWiFiParams values = CgiWriteValues(form);
  THttpReply r = TTools::HttpGet(base + PathSetWifi(dev_.DevType, user_, password_, values), user_, password_, httpMs_);
  if (!Answered(r) || !Has(r.Text, "reboot")) {
    Note("set_wifi.cgi", Answered(r) ? "not accepted" : Outcome(r));
    return {};
  }
  Note("set_wifi.cgi", "accepted");
  THttpReply reboot = TTools::HttpGet(base + PathRebootNext(dev_.DevType), user_, password_, httpMs_);
  // A refused restart (the camera asks for a login) is no restart: nothing would come back.
  Note("reboot.cgi", Outcome(reboot));
  if (!Answered(reboot)) return {TWiFiApply::RestartFailed, {}};
  return {TWiFiApply::Restarting, selectedMac};
}

TWiFiApplyResult TWiFiStep::ApplyFamily9(const TWiFiForm& form) {
  TWiFiParams* rec = series_.GetWiFiParams(user_, password_);
  if (!rec) {
    Note("set_wifi.cgi (family 9)", "not sent: no settings were read");
    return {};
  }
  ApplyFormToFamily9(form, *rec);
  const int r = series_.SetWiFiParams(user_, password_);
  Note("set_wifi.cgi (family 9)", r == 0 ? "not accepted" : "accepted");
  if (r == 0) return {};
  Note("reboot.cgi (family 9)", r == 1 ? "ok" : "failed");
  if (r != 1) return {TWiFiApply::RestartFailed, {}};
  const TDevInfo* cur = series_.GetDevice();
  return {TWiFiApply::Restarting, cur ? cur->MAC : dev_.MAC};
}

TWiFiApplyResult TWiFiStep::ApplyCtp(const TWiFiForm& form, const std::vector<TWiFiEntry>& list,
                                     const std::string& selectedMac) {
  if (!ctpRecord_) {
    Note("cfgwnic", "not sent: the camera's settings were not read");
    return {};
  }
  if (form.Chosen < 0 || size_t(form.Chosen) >= list.size()) {
    Note("cfgwnic", "not sent: no network of the list is chosen");
    return {TWiFiApply::NoNetwork, {}};
  }
  const TDEVWiFi rec = CtpWriteRecord(*ctpRecord_, form, list[size_t(form.Chosen)]);
  CtpConnection conn = AcquireConnection(dev_.IP, dev_.HttpPort, ctp_);
  const bool written = conn && SetWirelessConfig(*conn, rec, ctp_);
  Note("cfgwnic", !conn ? "no connection" : written ? "accepted" : "not accepted");
  TWiFiApplyResult out;
  if (written) {
    ctpRecord_ = rec;
    const bool started = ctpRestart_ && ctpRestart_(dev_.IP, dev_.HttpPort);
    Note("restart", started ? "sent" : "could not be started");
    out = started ? TWiFiApplyResult{TWiFiApply::Restarting, selectedMac} : TWiFiApplyResult{TWiFiApply::RestartFailed, {}};
  }
  if (conn) ReleaseConnection(conn);
  return out;
}

}  // namespace kestrova
