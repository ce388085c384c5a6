#include "net/cgi/cgi_wifi_scan.h"

#include "core/protocols/cgi_requests.h"
#include "net/http/tools.h"

namespace kestrova {

CgiScanStatus ScanCgi(const TDevInfo& dev, const std::string& user, const std::string& password,
                      std::vector<TWiFi>& list, int timeoutMs) {
  const std::string base = CgiBase(dev.IP, dev.HttpPort);
  if (base.empty()) return CgiScanStatus::CantConnect;  // no address a request may go to
  const std::string scan = base + PathWifiScanStep(dev.DevType, user, password);
  if (!TTools::HttpGet(scan, user, password, timeoutMs).Ok) return CgiScanStatus::CantConnect;
  if (dev.DevType != 8) (void)TTools::HttpGet(scan, user, password, timeoutMs);
  auto r = TTools::HttpGet(base + PathWifiScanResult(user, password), user, password, timeoutMs);
  if (!r.Ok) return CgiScanStatus::NoResult;
  for (auto& w : ParseCgiScanList(r.Text, dev.DevType)) list.push_back(std::move(w));
  return CgiScanStatus::Ok;
}

}  // namespace kestrova
