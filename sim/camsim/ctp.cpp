#include "ctp.h"

#include <algorithm>
#include <cctype>

namespace kestrova::camsim {

namespace {

constexpr size_t kMaxRequest = 64 * 1024;

std::string Reply(int code, const char* reason, const std::string& body) {
  return "CTP/1.0 " + std::to_string(code) + " " + reason + "\r\nContent-Length:" +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string Ok(const std::string& lines) { return Reply(200, "OK", lines + "\r\n"); }

}  // namespace

long ParseCtpRequest(std::string_view buf, CtpRequest& out) {
  auto e1 = buf.find("\r\n");
  if (e1 == std::string_view::npos) return buf.size() > 1024 ? -1 : 0;
  std::string_view line = buf.substr(0, e1);
  const std::string_view kCmd = "CMD ", kProto = " CTP/1.0";
  if (line.size() < kCmd.size() + kProto.size() + 1 || line.substr(0, 4) != kCmd ||
      line.substr(line.size() - kProto.size()) != kProto)
    return -1;
  out.command = std::string(line.substr(4, line.size() - 4 - kProto.size()));
  out.body.clear();
  size_t p = e1 + 2;
  // The bare form (the file transfer's exit) has no header and no body.
  if (out.command == "exit" && (buf.size() == p || buf.compare(p, 15, "Content-Length:") != 0))
    return long(p);
  if (buf.size() - p < 15) return std::string_view("Content-Length:").substr(0, buf.size() - p) == buf.substr(p) ? 0 : -1;
  if (buf.compare(p, 15, "Content-Length:") != 0) return -1;
  auto e2 = buf.find("\r\n", p);
  if (e2 == std::string_view::npos) return buf.size() - p > 64 ? -1 : 0;
  std::string_view v = buf.substr(p + 15, e2 - p - 15);
  while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
  if (v.empty() || v.size() > 6 || !std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return -1;
  size_t len = std::stoul(std::string(v));
  if (len > kMaxRequest) return -1;
  size_t q = e2 + 2;
  if (buf.size() < q + 2) return 0;
  if (buf.compare(q, 2, "\r\n") != 0) return -1;  // the empty line after the header
  q += 2;
  if (buf.size() < q + len) return 0;
  out.body = std::string(buf.substr(q, len));
  return long(q + len);
}

bool CtpArg(const std::string& body, const std::string& name, std::string& value) {
  size_t p = 0;
  while (p <= body.size()) {
    auto e = body.find("\r\n", p);
    std::string line = body.substr(p, e == std::string::npos ? std::string::npos : e - p);
    if (line.size() > name.size() + 1 && line[0] == '-' && line.compare(1, name.size(), name) == 0 &&
        (line.size() == name.size() + 1 || line[name.size() + 1] == ' ')) {
      value = line.size() > name.size() + 2 ? line.substr(name.size() + 2) : std::string();
      return true;
    }
    if (line == "-" + name) {
      value.clear();
      return true;
    }
    if (e == std::string::npos) break;
    p = e + 2;
  }
  return false;
}

CtpAnswer HandleCtp(CameraConfig& cam, const CtpRequest& req) {
  CtpAnswer a;
  if (cam.Has(Fault::Hang)) {
    a.hang = true;
    a.note = "hang";
    return a;
  }
  const std::string& cmd = req.command;
  std::string v;
  if (cmd == "keepalive") {
    a.reply = Ok("");
  } else if (cmd == "cfgusr") {
    std::string login;
    if (!CtpArg(req.body, "login", login)) {
      a.reply = Reply(400, "Bad Request", "\r\n");
      a.note = "cfgusr without -login";
      return a;
    }
    auto colon = login.find(':');
    std::string u = login.substr(0, colon), p = colon == std::string::npos ? "" : login.substr(colon + 1);
    if (colon != std::string::npos && u == cam.user && p == cam.pwd && !cam.Has(Fault::NoAuth)) {
      a.reply = Ok("");
    } else {
      a.reply = Reply(401, "Unauthorized", "\r\n");
      a.note = "login refused";
    }
  } else if (cmd == "getoraystate") {
    a.reply = Ok("-status " + cam.Setting("oray_status", "0") + "\r\n-domain " + cam.ddns_user +
                 "\r\n");
  } else if (cmd == "cfgwnic") {
    if (CtpArg(req.body, "list", v)) {
      a.reply = Ok("-enable " + cam.Setting("wifi_enable", "0") + "\r\n-ssid " + cam.Setting("wifi_ssid") +
                   "\r\n-authmode " + cam.Setting("wifi_authmode", "NONE") + "\r\n-encryptype " +
                   cam.Setting("wifi_encryptype") + "\r\n-key " + cam.Setting("wifi_key") +
                   "\r\n-dhcpen " + cam.Setting("wifi_dhcpen", "1") + "\r\n");
    } else {
      int taken = 0;
      for (const char* k : {"enable", "ssid", "authmode", "encryptype", "key"}) {
        if (CtpArg(req.body, k, v)) {
          cam.extra[std::string("wifi_") + k] = v;
          ++taken;
        }
      }
      if (taken == 0) {
        a.reply = Reply(400, "Bad Request", "\r\n");
        a.note = "cfgwnic without arguments";
      } else {
        a.reply = Ok("");
        a.note = "wireless settings taken: ssid=" + cam.Setting("wifi_ssid") + " authmode=" +
                 cam.Setting("wifi_authmode");
      }
    }
  } else if (cmd == "iwlist") {
    std::string lines;
    for (const auto& w : cam.wifi_scan)
      lines += w.ssid + "," + w.bssid + "," + std::to_string(w.security) + "," + std::to_string(w.mode) +
               "," + std::to_string(w.authtype) + "," + std::to_string(w.cipher) + "," +
               std::to_string(w.signal) + "\r\n";
    a.reply = Ok(lines);
  } else if (cmd == "restart") {
    a.reply = Ok("");
    a.reboot = true;
  } else if (cmd == "exit") {
    a.reply = Ok("");
  } else {
    a.reply = Reply(400, "Bad Request", "\r\n");
    a.note = "unknown command";
  }
  return a;
}

}  // namespace kestrova::camsim
