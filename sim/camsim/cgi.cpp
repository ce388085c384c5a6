#include "cgi.h"

#include <cctype>
#include <cstdio>

#include "bytes.h"
#include "responder.h"
#include "wifi_join.h"

namespace kestrova::camsim {

namespace {

enum Cred { kNone, kAny, kLoginOnly };  // which credentials a request may carry

struct Endpoint {
  const char* path;
  const char* families;  // the families that serve it, as digits
  Cred cred;
  const char* op;
};

// The paths each family's web server answers. Family 8 keeps its wireless-scan, wireless-set,
// restart and upload scripts under /cgi-bin.
const Endpoint kEndpoints[] = {
    {"/get_params.cgi", "289", kAny, "get_params"},
    {"/get_status.cgi", "289", kNone, "get_status"},
    {"/get_Status.cgi", "9", kNone, "get_status"},
    {"/get_wifi_scan_result.cgi", "289", kAny, "scan_result"},
    {"/wifi_scan.cgi", "29", kAny, "wifi_scan"},
    {"/cgi-bin/wifi_scan.cgi", "8", kAny, "wifi_scan"},
    {"/set_wifi.cgi", "29", kAny, "set_wifi"},
    {"/cgi-bin/set_wifi.cgi", "8", kAny, "set_wifi"},
    {"/reboot.cgi", "29", kAny, "reboot"},
    {"/cgi-bin/reboot.cgi", "8", kAny, "reboot"},
    {"/upgrade_firmware.cgi", "29", kAny, "upgrade_firmware"},
    {"/upgrade_htmls.cgi", "29", kAny, "upgrade_htmls"},
    {"/cgi-bin/upgrade_firmware.cgi", "8", kAny, "upgrade_firmware"},
    {"/cgi-bin/upgrade_htmls.cgi", "8", kAny, "upgrade_htmls"},
    {"/get_factory_param.cgi", "9", kAny, "get_factory"},
    {"/set_factory_param.cgi", "9", kAny, "set_factory"},
    {"/set_ddns.cgi", "9", kLoginOnly, "set_ddns"},
    // Family 2 takes its account from cam_user/cam_pwd and checks them itself.
    {"/set_ddns.cgi", "2", kNone, "set_ddns_cam"},
    {"/set_default.cgi", "9", kAny, "set_default"},
};

std::string Param(const CgiRequest& r, const std::string& k, bool* present = nullptr) {
  auto it = r.params.find(k);
  if (present) *present = it != r.params.end();
  return it == r.params.end() ? std::string() : it->second;
}

std::string Quoted(const std::string& name, const std::string& v) {
  return "var " + name + "=\"" + v + "\";\r\n";
}
std::string Bare(const std::string& name, const std::string& v) {
  return "var " + name + "=" + v + ";\r\n";
}
std::string Num(const std::string& v) {
  // Numbers stand bare; a value that is not a number is sent as 0.
  if (v.empty()) return "0";
  size_t i = v[0] == '-' ? 1 : 0;
  if (i == v.size()) return "0";
  for (; i < v.size(); ++i)
    if (!std::isdigit(static_cast<unsigned char>(v[i]))) return "0";
  return v;
}

std::string ServerHost(const CameraConfig& c) {
  auto p = c.ddns_server.find(':');
  return c.ddns_server.substr(0, p);
}
std::string ServerPort(const CameraConfig& c) {
  auto p = c.ddns_server.find(':');
  return p == std::string::npos ? std::string("80") : c.ddns_server.substr(p + 1);
}

std::string MacText(const CameraConfig& c) {
  if (c.family == 2) return c.identity;
  auto m = MacBytes(c);
  char buf[24];
  std::snprintf(buf, sizeof buf, "%02X:%02X:%02X:%02X:%02X:%02X", m[0], m[1], m[2], m[3], m[4], m[5]);
  return buf;
}

const char* kWifiKeys[] = {"enable", "ssid", "mode", "encrypt", "authtype", "defkey", "keyformat",
                           "key1", "key2", "key3", "key4", "key1_bits", "key2_bits", "key3_bits",
                           "key4_bits", "wpa_psk"};
bool WifiIsText(const std::string& k) {
  return k == "ssid" || k == "wpa_psk" || k == "key1" || k == "key2" || k == "key3" || k == "key4";
}

std::string WifiStatements(const CameraConfig& c) {
  std::string t;
  for (const char* k : kWifiKeys) {
    std::string key = std::string("wifi_") + k;
    if (WifiIsText(k))
      t += Quoted(key, c.Setting(key));
    else
      t += Bare(key, Num(c.Setting(key, "0")));
  }
  return t;
}

std::string Page(const std::string& nextUrl, const std::string& text) {
  if (nextUrl.empty()) return Bare("result", "\"" + text + "\"");
  return "<html><head><meta http-equiv=\"refresh\" content=\"0; url=" + nextUrl +
         "\"></head><body>" + text + "</body></html>\r\n";
}

CgiAnswer Text(std::string body) {
  CgiAnswer a;
  a.body = std::move(body);
  return a;
}

CgiAnswer ErrorPage(int status, const std::string& title) {
  CgiAnswer a;
  a.status = status;
  a.content_type = "text/html";
  a.body = "<html><head><title>" + std::to_string(status) + " " + title + "</title></head><body><h1>" +
           std::to_string(status) + " " + title + "</h1></body></html>\r\n";
  a.note = title;
  return a;
}

std::string ScanResult(const CameraConfig& c) {
  int count = c.SettingInt("scan_count", int(c.wifi_scan.size()));
  std::string t = Bare("ap_number", std::to_string(count));
  for (size_t i = 0; i < c.wifi_scan.size(); ++i) {
    const auto& w = c.wifi_scan[i];
    std::string ix = "[" + std::to_string(i) + "]";
    // The binary family's web server writes a blank between the SSID's name and its "=".
    if (c.family == 8)
      t += "var ap_ssid" + ix + " =\"" + w.ssid + "\";\r\n";
    else
      t += Quoted("ap_ssid" + ix, w.ssid);
    t += Quoted("ap_mac" + ix, w.bssid);
    t += Bare("ap_security" + ix, std::to_string(CgiSecurity(w)));
    t += Bare("ap_dbm0" + ix, "'" + std::to_string(w.signal) + "'");
    t += Bare("ap_dbm1" + ix, "'" + std::to_string(w.signal - 100) + "'");
    t += Bare("ap_mode" + ix, std::to_string(w.mode));
  }
  return t;
}

std::string Params(const CameraConfig& c) {
  std::string t;
  t += Quoted("id", c.ddns_user.empty() ? c.sn : c.ddns_user);
  t += Quoted("sys_ver", c.version);
  t += Quoted("alias", c.name);
  t += Quoted("ip", c.Reported("ip", c.ip));
  t += Quoted("mask", c.Reported("mask", c.mask));
  t += Quoted("gateway", c.Reported("gateway", c.gateway));
  t += Quoted("geteway", c.Reported("gateway", c.gateway));
  t += Quoted("dns1", c.Reported("dns1", c.dns1));
  t += Quoted("dns2", c.Reported("dns2", c.dns2));
  t += Bare("port", std::to_string(c.http_port));
  t += Bare("dhcpen", c.dhcp ? "1" : "0");
  t += WifiStatements(c);
  t += Bare("ddns_service", Num(c.Setting("ddns_service", c.ddns_server.empty() ? "0" : "7")));
  t += Quoted("ddns_proxy_svr", ServerHost(c));
  t += Bare("ddns_proxy_port", Num(c.Setting("ddns_proxy_port", ServerPort(c))));
  t += Quoted("ddns_user", c.ddns_user);
  t += Quoted("ddns_pwd", c.ddns_pwd);
  t += Quoted("user", c.user);
  t += Quoted("pwd", c.pwd);
  return t;
}

std::string Status(const CameraConfig& c) {
  std::string t;
  t += Quoted("id", c.ddns_user.empty() ? c.sn : c.ddns_user);
  t += Quoted("sys_ver", c.version);
  t += Quoted("app_version", c.Setting("app_version", c.version));
  t += Quoted("alias", c.name);
  t += Quoted("deviceid", c.family == 9 ? c.sn : c.ddns_user);
  t += Quoted("mac", MacText(c));
  t += Quoted("wifimac", c.Setting("wifimac"));
  t += Bare("ddns_status", Num(c.Setting("ddns_status", "0")));
  t += Bare("upnp_status", Num(c.Setting("upnp_status", "0")));
  return t;
}

std::string Factory(const CameraConfig& c) {
  std::string t;
  t += Bare("factory_index", Num(c.Setting("factory_index", "10")));
  t += Quoted("factory_server", c.Setting("factory_server", ServerHost(c)));
  t += Bare("factory_port", Num(c.Setting("factory_port", ServerPort(c))));
  t += Quoted("factory_user", c.Setting("factory_user", c.ddns_user));
  t += Quoted("factory_passwd", c.Setting("factory_passwd", c.ddns_pwd));
  return t;
}

}  // namespace

std::optional<std::pair<std::string, std::string>> DecodeBasic(const std::string& header) {
  const std::string kPrefix = "Basic ";
  if (header.size() < kPrefix.size() || header.compare(0, kPrefix.size(), kPrefix) != 0)
    return std::nullopt;
  std::string out;
  unsigned bits = 0;
  int nbits = 0;
  size_t pad = 0;
  for (size_t i = kPrefix.size(); i < header.size(); ++i) {
    char ch = header[i];
    int v;
    if (ch >= 'A' && ch <= 'Z') v = ch - 'A';
    else if (ch >= 'a' && ch <= 'z') v = ch - 'a' + 26;
    else if (ch >= '0' && ch <= '9') v = ch - '0' + 52;
    else if (ch == '+') v = 62;
    else if (ch == '/') v = 63;
    else if (ch == '=') { ++pad; continue; }
    else return std::nullopt;  // a line break or anything else has no place in the value
    if (pad) return std::nullopt;
    bits = (bits << 6) | unsigned(v);
    nbits += 6;
    if (nbits >= 8) {
      nbits -= 8;
      out.push_back(char((bits >> nbits) & 0xFF));
    }
  }
  auto colon = out.find(':');
  if (colon == std::string::npos) return std::nullopt;
  return std::make_pair(out.substr(0, colon), out.substr(colon + 1));
}

CgiAnswer HandleCgi(CameraConfig& cam, const CgiRequest& req) {
  // A hanging web server takes the connection and never answers, whatever is asked.
  if (cam.Has(Fault::Hang)) {
    CgiAnswer a;
    a.hang = true;
    a.note = "hang";
    return a;
  }
  const char fam = char('0' + cam.family);
  const Endpoint* ep = nullptr;
  for (const auto& e : kEndpoints)
    if (req.path == e.path && std::string(e.families).find(fam) != std::string::npos) ep = &e;
  if (!ep) {
    if (req.path == "/" || req.path == "/index.htm" || req.path == "/index.html") {
      CgiAnswer a;
      a.content_type = "text/html";
      a.body = "<html><head><title>" + cam.name + "</title></head><body>" + cam.name +
               "</body></html>\r\n";
      return a;
    }
    if (req.path == "/oem.txt") {
      // The small text file the vendor's service fetches to see whether the camera can be
      // reached from outside; no login, but a broken web server cannot serve it either.
      if (cam.Has(Fault::HttpError)) return ErrorPage(500, "Internal Server Error");
      CgiAnswer a;
      a.body = cam.Setting("oem_text", "oem=" + cam.name) + "\r\n";
      return a;
    }
    return ErrorPage(404, "Not Found");
  }
  if (cam.Has(Fault::HttpError)) return ErrorPage(500, "Internal Server Error");

  const std::string op = ep->op;
  bool isUpload = op == "upgrade_firmware" || op == "upgrade_htmls";
  if (isUpload && req.method != "POST") return ErrorPage(405, "Method Not Allowed");

  // Credentials: any pair the request carries (query user/pwd, query loginuse/loginpas, the
  // Basic header) that matches the camera's account lets it in.
  if (ep->cred != kNone) {
    std::vector<std::pair<std::string, std::string>> offered;
    bool hasU = false, hasP = false;
    if (ep->cred == kAny) {
      std::string u = Param(req, "user", &hasU), p = Param(req, "pwd", &hasP);
      if (hasU || hasP) offered.emplace_back(u, p);
    }
    bool hasL = false, hasLP = false;
    std::string lu = Param(req, "loginuse", &hasL), lp = Param(req, "loginpas", &hasLP);
    if (hasL || hasLP) offered.emplace_back(lu, lp);
    if (req.basic) offered.push_back(*req.basic);
    bool ok = false;
    for (auto& [u, p] : offered)
      if (u == cam.user && p == cam.pwd) ok = true;
    if (cam.Has(Fault::NoAuth)) ok = false;
    if (!ok) {
      CgiAnswer a;
      a.status = 401;
      a.ask_basic = true;
      a.body = "var result=\"Auth Failed\";\r\n";
      a.note = offered.empty() ? "Auth Failed (no credentials)" : "Auth Failed";
      return a;
    }
  }

  const std::string nextUrl = Param(req, "next_url");
  if (op == "get_params") return Text(Params(cam));
  if (op == "get_status") return Text(Status(cam));
  if (op == "scan_result") return Text(ScanResult(cam));
  if (op == "get_factory") return Text(Factory(cam));
  if (op == "wifi_scan") return Text(Page(nextUrl, "ok"));
  if (op == "set_wifi") {
    bool hasSsid = false;
    Param(req, "ssid", &hasSsid);
    if (!hasSsid) {
      CgiAnswer a = Text(Bare("result", "\"error\""));
      a.note = "set_wifi without ssid";
      return a;
    }
    for (const char* k : kWifiKeys) {
      bool has = false;
      std::string v = Param(req, k, &has);
      if (has) cam.extra[std::string("wifi_") + k] = v;
    }
    bool hasCh = false;
    std::string ch = Param(req, "channel", &hasCh);
    if (hasCh) cam.extra["wifi_channel"] = ch;
    cam.extra["wifi_changed"] = "1";  // tried at the next restart
    CgiAnswer a = Text(Page(nextUrl, "ok"));
    a.note = "wireless settings taken: ssid=" + cam.Setting("wifi_ssid") +
             " encrypt=" + cam.Setting("wifi_encrypt");
    return a;
  }
  if (op == "reboot") {
    CgiAnswer a = Text(Page(nextUrl, "ok"));
    a.reboot = true;
    return a;
  }
  if (op == "set_ddns") {
    bool hasSvr = false;
    std::string svr = Param(req, "proxy_svr", &hasSvr);
    cam.ddns_user = Param(req, "user");
    cam.ddns_pwd = Param(req, "pwd");
    std::string port = Param(req, "proxy_port");
    if (hasSvr) cam.ddns_server = port.empty() ? svr : svr + ":" + port;
    cam.extra["factory_user"] = cam.ddns_user;
    cam.extra["factory_passwd"] = cam.ddns_pwd;
    cam.extra["factory_server"] = svr;
    cam.extra["factory_port"] = port;
    cam.extra["ddns_service"] = Param(req, "service");
    CgiAnswer a = Text(Bare("result", "\"ok\""));
    a.note = "ddns set: user=" + cam.ddns_user + " server=" + cam.ddns_server;
    return a;
  }
  if (op == "set_ddns_cam") {
    if (Param(req, "cam_user") != cam.user || Param(req, "cam_pwd") != cam.pwd || cam.Has(Fault::NoAuth)) {
      CgiAnswer a;
      a.status = 401;
      a.content_type = "text/html";
      a.body = "<html><head><title>401 Unauthorized</title></head><body>Unauthorized</body></html>\r\n";
      a.note = "set_ddns: camera account refused";
      return a;
    }
    bool hasSvr = false;
    const std::string svr = Param(req, "proxy_svr", &hasSvr);
    const std::string port = Param(req, "proxy_port");
    cam.ddns_user = Param(req, "user");
    cam.ddns_pwd = Param(req, "pwd");
    if (hasSvr) cam.ddns_server = svr;
    cam.extra["ddns_service"] = Param(req, "service");
    cam.extra["ddns_proxy_port"] = port;
    CgiAnswer a = Text(Bare("result", "\"ok\""));
    // restart_dyndns=1: the camera restarts to log in with the new account.
    a.reboot = Param(req, "restart_dyndns") == "1";
    a.note = "ddns set: user=" + cam.ddns_user + " server=" + cam.ddns_server;
    return a;
  }
  if (op == "set_factory") {
    cam.extra["factory_mac"] = Param(req, "mac");
    cam.extra["wifimac"] = Param(req, "wifimac");
    cam.extra["heartbeat"] = Param(req, "heartbeat");
    CgiAnswer a = Text(Bare("result", "\"ok\""));
    a.note = "factory set: mac=" + Param(req, "mac") + " wifimac=" + Param(req, "wifimac");
    return a;
  }
  if (op == "set_default") {
    CgiAnswer a = Text(Bare("result", "\"ok\""));
    a.reboot = true;
    a.factory_reset = true;
    a.note = "factory defaults";
    return a;
  }
  if (isUpload) {
    const CgiUpload* file = nullptr;
    for (const auto& f : req.files)
      if (f.field == "file") file = &f;
    if (!file) {
      CgiAnswer a = ErrorPage(400, "Bad Request");
      a.note = "upload without a file part";
      return a;
    }
    CgiAnswer a = Text(Page(nextUrl, "ok"));
    a.keep.emplace_back(op == "upgrade_firmware" ? "firmware" : "htmls", file->content);
    a.reboot = true;
    a.note = "upload " + file->filename + " (" + file->content_type + ", " +
             std::to_string(file->content.size()) + " bytes, begins " +
             HexDump(ByteView(reinterpret_cast<const uint8_t*>(file->content.data()),
                              file->content.size()), 4) + ")";
    return a;
  }
  return ErrorPage(404, "Not Found");
}

}  // namespace kestrova::camsim
