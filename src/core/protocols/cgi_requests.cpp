#include "core/protocols/cgi_requests.h"

#include <cctype>

#include "core/protocols/text_util.h"
#include "core/protocols/url_value.h"

namespace kestrova {

std::string CgiBase(std::string_view ip, uint16_t port) { return CameraBaseUrl(ip, port); }

std::string CgiScanBase(std::string_view ip, uint16_t port) {
  return CameraBaseUrl(ip, port, TUrlPort::Always, "Http");
}

std::string CredU(std::string_view user, std::string_view password) {
  return "user=" + UrlValue(user) + "&pwd=" + UrlValue(password);
}

std::string CredL(std::string_view user, std::string_view password) {
  return "loginuse=" + UrlValue(user) + "&loginpas=" + UrlValue(password);
}

std::string PathGetParams(std::string_view u, std::string_view p) { return "/get_params.cgi?" + CredU(u, p); }
std::string PathWifiScan(std::string_view u, std::string_view p) { return "/wifi_scan.cgi?" + CredU(u, p); }

std::string PathWifiScanStep(int32_t devType, std::string_view u, std::string_view p) {
  if (devType == 8) return "/cgi-bin/wifi_scan.cgi?" + CredL(u, p) + "&next_url=wireless.htm";
  return "/wifi_scan.cgi?" + CredU(u, p) + "&next_url=wireless.htm";
}

std::string PathWifiScanResult(std::string_view u, std::string_view p) {
  return "/get_wifi_scan_result.cgi?" + CredU(u, p);
}

std::string WirelessKeys(const TWiFiParams& w) {
  auto n = [](int32_t v) { return std::to_string(v); };
  std::string s = "&channel=5";
  s += "&enable=" + n(w.Enable);
  s += "&ssid=" + UrlValue(w.SSID);
  s += "&mode=" + n(w.Mode);
  s += "&encrypt=" + n(w.Encrypt);
  s += "&authtype=" + n(w.AuthType);
  s += "&keyformat=" + n(w.KeyFormat);
  s += "&defkey=" + n(w.DefKey);
  s += "&key1=" + UrlValue(w.Key1);
  s += "&key2=" + UrlValue(w.Key2);
  s += "&key3=" + UrlValue(w.Key3);
  s += "&key4=" + UrlValue(w.Key4);
  s += "&key1_bits=" + n(w.Key1Bits);
  s += "&key2_bits=" + n(w.Key2Bits);
  s += "&key3_bits=" + n(w.Key3Bits);
  s += "&key4_bits=" + n(w.Key4Bits);
  s += "&wpa_psk=" + UrlValue(TrimText(w.WpaPsk));
  return s;
}

std::string PathSetWifi(int32_t devType, std::string_view u, std::string_view p, const TWiFiParams& w) {
  std::string s = devType == 8 ? "/cgi-bin/set_wifi.cgi?next_url=rebootme.htm&" + CredL(u, p)
                               : "/set_wifi.cgi?next_url=rebootme.htm&" + CredU(u, p);
  return s + WirelessKeys(w);
}

std::string PathRebootNext(int32_t devType) {
  return devType == 8 ? "/cgi-bin/reboot.cgi?next_url=reboot.htm" : "/reboot.cgi?next_url=reboot.htm";
}

std::string PathGetFactoryParam(std::string_view u, std::string_view p) {
  return "/get_factory_param.cgi?" + CredU(u, p);
}

std::string PathSetDdns(const TFactoryParams& f, std::string_view u, std::string_view p) {
  auto v = [](std::string_view s) { return UrlValue(TrimText(s)); };
  return "/set_ddns.cgi?service=11&user=" + v(f.User) + "&pwd=" + v(f.Passwd) + "&host=&proxy_svr=" + v(f.Server) +
         "&proxy_port=" + v(f.Port) + "&restart_dyndns=&loginuse=" + v(u) + "&loginpas=" + v(p);
}

std::string PathGetStatusU(std::string_view u, std::string_view p) { return "/get_Status.cgi?" + CredU(u, p); }
std::string PathUpgradeFirmware(std::string_view u, std::string_view p) {
  return "/upgrade_firmware.cgi?" + CredL(u, p);
}
std::string PathUpgradeHtmls(std::string_view u, std::string_view p) { return "/upgrade_htmls.cgi?" + CredL(u, p); }

std::string UpgradeUploadBase(std::string_view version, std::string_view base, std::string_view ip) {
  if (!ParseCameraBaseUrl(base)) return {};
  if (VersionLess(version, "84.2.0.121")) return std::string(base);
  return CameraBaseUrl(ip, 8600, TUrlPort::Always);
}

std::string FactoryMac(std::string_view mac) {
  std::string lower;
  for (char c : mac) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::string out;
  for (size_t i = 0; i + 2 <= lower.size(); i += 2) {
    if (i) out += ':';
    out.append(lower, i, 2);
  }
  return TrimCopy(out);
}

std::string PathSetFactoryParam(std::string_view u, std::string_view p, std::string_view mac, std::string_view wifiMac) {
  return "/set_factory_param.cgi?" + CredU(u, p) + "&mac=" + UrlValue(FactoryMac(mac)) +
         "&wifimac=" + UrlValue(FactoryMac(wifiMac)) + "&heartbeat=180";
}

std::string PathRebootL(std::string_view u, std::string_view p) { return "/reboot.cgi?" + CredL(u, p); }
std::string PathSetDefault(std::string_view u, std::string_view p) { return "/set_default.cgi?&" + CredL(u, p); }
std::string PathGetParamsL(std::string_view u, std::string_view p) { return "/get_params.cgi?" + CredL(u, p); }
std::string PathGetStatusL(std::string_view u, std::string_view p) { return "/get_status.cgi?" + CredL(u, p); }
std::string PathGetStatusPlain() { return "/get_status.cgi"; }

}  // namespace kestrova
