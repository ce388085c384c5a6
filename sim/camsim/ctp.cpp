#include "ctp.h"

#include <algorithm>
#include <cctype>

#include "bytes.h"
#include "md5.h"

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
        cam.extra["wifi_changed"] = "1";  // tried at the next restart
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
    cam.extra["upgrade_mode"] = "1";  // the next connection may bring a package
    a.note = "leaving the current mode: ready for a package";
  } else {
    a.reply = Reply(400, "Bad Request", "\r\n");
    a.note = "unknown command";
  }
  return a;
}

bool LooksLikeUpgradeMessage(std::string_view buf) {
  for (std::string_view tag : {"CMD ", "FILE ", "DATA ", "MD5 "}) {
    if (buf.size() <= tag.size()) {
      if (tag.substr(0, buf.size()) == buf) return tag != "CMD ";  // "CMD " alone decides nothing yet
      continue;
    }
    if (buf.substr(0, tag.size()) == tag && buf[tag.size()] >= '0' && buf[tag.size()] <= '9') return true;
  }
  return false;
}

long ParseUpgradeMessage(std::string_view buf, UpgradeMessage& out) {
  auto e = buf.find("\r\n");
  if (e == std::string_view::npos) return buf.size() > 32 ? -1 : 0;
  std::string_view line = buf.substr(0, e);
  auto sp = line.find(' ');
  if (sp == std::string_view::npos) return -1;
  std::string_view tag = line.substr(0, sp), num = line.substr(sp + 1);
  if (tag != "CMD" && tag != "FILE" && tag != "DATA" && tag != "MD5") return -1;
  if (num.empty() || num.size() > 5 || !std::all_of(num.begin(), num.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return -1;
  size_t n = std::stoul(std::string(num));
  if (n > 2048) return -1;  // nothing of the transfer is longer than its 2048-byte send buffer
  if (buf.size() < e + 2 + n) return 0;
  out.tag = std::string(tag);
  out.payload = std::string(buf.substr(e + 2, n));
  return long(e + 2 + n);
}

namespace {

std::string Unscramble(const std::string& data, const std::string& keyHex) {
  auto key = ParseHex(keyHex, 8);
  if (!key) return data;
  std::string out = data;
  for (size_t i = 0; i < out.size(); ++i) out[i] = char(uint8_t(out[i]) ^ (*key)[i % 8]);
  return out;
}

}  // namespace

std::vector<std::string> HandleUpgrade(const CameraConfig& cam, UpgradeSession& s,
                                       const UpgradeMessage& m, std::string& note) {
  const std::string mode = cam.Setting("pk2_reply", "ok");  // ok, continue, error
  auto answer = [&]() -> std::vector<std::string> {
    if (mode == "error") {
      note += " refused (pk2_reply=error)";
      return {"REPLY ERROR"};
    }
    if (mode == "continue") return {"REPLY Continue 1", "REPLY OK"};
    if (mode == "storm") {
      // "Continue" without end (as many as pk2_storm says, default 40), never a final answer.
      note += " continue storm";
      return std::vector<std::string>(size_t(std::clamp(cam.SettingInt("pk2_storm", 40), 1, 10000)), "REPLY Continue 1");
    }
    return {"REPLY OK"};
  };
  if (!s.greeted) {
    if (m.tag == "CMD" && m.payload == "echo hello") {
      s.greeted = true;
      note = "greeting";
      return {"REPLY OK"};
    }
    note = "no greeting first";
    return {"REPLY ERROR no greeting"};
  }
  if (m.tag == "FILE") {
    // "name size"
    auto sp = m.payload.rfind(' ');
    std::string num = sp == std::string::npos ? "" : m.payload.substr(sp + 1);
    if (s.in_file || sp == std::string::npos || sp == 0 || num.empty() || num.size() > 9 ||
        !std::all_of(num.begin(), num.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      note = "bad file announcement";
      return {"REPLY ERROR bad file"};
    }
    s.in_file = true;
    s.file_name = m.payload.substr(0, sp);
    s.file_size = std::stoul(num);
    s.data.clear();
    note = "file " + s.file_name + " " + num;
    return answer();
  }
  if (m.tag == "DATA") {
    if (!s.in_file || s.data.size() + m.payload.size() > s.file_size || m.payload.size() > 1400) {
      note = "data outside a file or beyond its size";
      return {"REPLY ERROR bad data"};
    }
    s.data += m.payload;
    note = "data " + std::to_string(m.payload.size()) + " (" + std::to_string(s.data.size()) + "/" +
           std::to_string(s.file_size) + ")";
    return answer();
  }
  if (m.tag == "MD5") {
    if (!s.in_file || m.payload.size() != 16) {
      note = "digest outside a file";
      return {"REPLY ERROR bad digest"};
    }
    s.in_file = false;
    Md5 md5;
    md5.Update(s.data);
    auto d = md5.Final();
    if (s.data.size() != s.file_size || std::string(d.begin(), d.end()) != m.payload) {
      note = "digest mismatch for " + s.file_name;
      return {"REPLY ERROR md5"};
    }
    ++s.records;
    s.kept.push_back({s.file_name, Unscramble(s.data, cam.Setting("pk2_key"))});
    note = "file " + s.file_name + " complete, digest matches";
    return answer();
  }
  // CMD record
  ++s.records;
  note = "command " + std::to_string(m.payload.size()) + " bytes";
  return answer();
}

}  // namespace kestrova::camsim
