#include "config.h"

#include <algorithm>
#include <cstdio>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <sstream>

#include "bytes.h"

namespace kestrova::camsim {

namespace {

std::string Trim(std::string s) {
  auto sp = [](unsigned char c) { return std::isspace(c) != 0; };
  while (!s.empty() && sp(s.back())) s.pop_back();
  size_t i = 0;
  while (i < s.size() && sp(s[i])) ++i;
  return s.substr(i);
}

std::string Lower(std::string s) {
  for (auto& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : s) {
    if (c == sep) {
      out.push_back(Trim(cur));
      cur.clear();
    } else {
      cur.push_back(c);
    }
  }
  out.push_back(Trim(cur));
  return out;
}

bool ToInt(const std::string& v, long long& out) {
  if (v.empty()) return false;
  try {
    size_t used = 0;
    out = std::stoll(v, &used, 0);  // decimal, or 0x... hexadecimal
    return used == v.size();
  } catch (...) {
    return false;
  }
}

bool ToBool(const std::string& v, bool& out) {
  std::string l = Lower(v);
  if (l == "1" || l == "yes" || l == "true" || l == "on") { out = true; return true; }
  if (l == "0" || l == "no" || l == "false" || l == "off" || l.empty()) { out = false; return true; }
  return false;
}

std::optional<Fault> FaultFromName(const std::string& n) {
  static const std::pair<const char*, Fault> kNames[] = {
      {"silent", Fault::Silent},       {"slow", Fault::Slow},
      {"truncated", Fault::Truncated}, {"wrong_opcode", Fault::WrongOpcode},
      {"oversized", Fault::Oversized}, {"refuse_set", Fault::RefuseSet},
      {"no_auth", Fault::NoAuth},      {"hang", Fault::Hang},
      {"http_error", Fault::HttpError}, {"close_mid_reply", Fault::CloseMid},
      {"garbage", Fault::Garbage}, {"no_rejoin", Fault::NoRejoin},
  };
  for (auto& [name, f] : kNames)
    if (n == name) return f;
  return std::nullopt;
}

// One scan entry: "ssid|bssid|security|mode|authtype|cipher|signal[|channel[|web security]]".
bool ParseScan(const std::string& v, WifiNetwork& w) {
  auto f = Split(v, '|');
  if (f.size() < 7) return false;
  w.ssid = f[0];
  w.bssid = f[1];
  long long n[7] = {0, 0, 0, 0, 0, 6, -1};
  for (size_t i = 2; i < f.size() && i < 9; ++i)
    if (!ToInt(f[i], n[i - 2])) return false;
  w.web_security = int(n[6]);
  w.security = int(n[0]);
  w.mode = int(n[1]);
  w.authtype = int(n[2]);
  w.cipher = int(n[3]);
  w.signal = int(n[4]);
  w.channel = int(n[5]);
  return true;
}

struct Section {
  std::string name;
  int line = 0;
  std::vector<std::pair<std::string, std::string>> keys;  // lower-case key, value
  std::vector<int> lines;
};

std::string Where(const Section& s, size_t i) {
  return "line " + std::to_string(s.lines[i]) + " ([" + s.name + "] " + s.keys[i].first + ")";
}

bool BuildCamera(const Section& sec, CameraConfig& c, std::string& error) {
  c.section = sec.name;
  for (size_t i = 0; i < sec.keys.size(); ++i) {
    const std::string& k = sec.keys[i].first;
    const std::string& v = sec.keys[i].second;
    long long n = 0;
    bool b = false;
    auto needInt = [&](long long lo, long long hi) {
      if (!ToInt(v, n) || n < lo || n > hi) {
        error = Where(sec, i) + ": expected a number from " + std::to_string(lo) + " to " +
                std::to_string(hi);
        return false;
      }
      return true;
    };
    if (k == "family") {
      if (!needInt(0, 99)) return false;
      c.family = int(n);
    } else if (k == "mac") c.mac = v;
    else if (k == "identity") c.identity = v;
    else if (k == "sn") c.sn = v;
    else if (k == "name") c.name = v;
    else if (k == "version") c.version = v;
    else if (k == "ip") c.ip = v;
    else if (k == "mask" || k == "netmask") c.mask = v;
    else if (k == "gateway") c.gateway = v;
    else if (k == "dns1") c.dns1 = v;
    else if (k == "dns2") c.dns2 = v;
    else if (k == "http_port") {
      if (!needInt(0, 65535)) return false;
      c.http_port = uint16_t(n);
    } else if (k == "data_port") {
      if (!needInt(0, 65535)) return false;
      c.data_port = uint16_t(n);
    } else if (k == "dhcp") {
      if (!ToBool(v, b)) { error = Where(sec, i) + ": expected 0 or 1"; return false; }
      c.dhcp = b;
    } else if (k == "ddns_server") c.ddns_server = v;
    else if (k == "ddns_host") c.ddns_host = v;
    else if (k == "ddns_user") c.ddns_user = v;
    else if (k == "ddns_pwd") c.ddns_pwd = v;
    else if (k == "user") c.user = v;
    else if (k == "pwd" || k == "password") c.pwd = v;
    else if (k == "body_len") {
      if (!needInt(0, 1000)) return false;
      c.f2_body_len = int(n);
    } else if (k == "f8_word") {
      if (!needInt(0, 65535)) return false;
      c.f8_word = uint16_t(n);
    } else if (k == "ext_word") {
      if (!needInt(0, 65535)) return false;
      c.ext_word = uint16_t(n);
    } else if (k == "reply_order") {
      c.f5_keys = Split(v, ',');
    } else if (k == "reply") {
      std::string l = Lower(v);
      if (l == "unicast") c.reply_unicast = true;
      else if (l == "broadcast") c.reply_unicast = false;
      else { error = Where(sec, i) + ": expected broadcast or unicast"; return false; }
    } else if (k == "fault" || k == "faults") {
      c.faults.clear();
      for (auto& name : Split(Lower(v), ',')) {
        if (name.empty() || name == "none") continue;
        auto f = FaultFromName(name);
        if (!f) { error = Where(sec, i) + ": unknown fault '" + name + "'"; return false; }
        c.faults.insert(*f);
      }
    } else if (k == "slow_ms") {
      if (!needInt(0, 600000)) return false;
      c.slow_ms = int(n);
    } else if (k == "truncate_to") {
      if (!needInt(0, 65000)) return false;
      c.truncate_to = int(n);
    } else if (k == "oversize_to") {
      if (!needInt(0, 65000)) return false;
      c.oversize_to = int(n);
    } else if (k == "set_status") {
      if (!needInt(0, 0xFFFFFFFFll)) return false;
      c.set_status = uint32_t(n);
    } else if (k.size() > 4 && k.rfind("scan", 0) == 0 &&
               std::all_of(k.begin() + 4, k.end(), [](char ch) { return ch >= '0' && ch <= '9'; })) {
      WifiNetwork w;
      if (!ParseScan(v, w)) {
        error = Where(sec, i) + ": expected ssid|bssid|security|mode|authtype|cipher|signal";
        return false;
      }
      c.wifi_scan.push_back(w);
    } else {
      c.extra[k] = v;
    }
  }

  std::string at = "[" + c.section + "] (line " + std::to_string(sec.line) + ")";
  if (c.family != 2 && c.family != 4 && c.family != 5 && c.family != 8 && c.family != 9) {
    error = at + ": family must be 2, 4, 5, 8 or 9";
    return false;
  }
  if (!ParseIPv4(c.ip)) { error = at + ": ip is not a dotted IPv4 address"; return false; }
  if (!MaskPrefix(c.mask)) { error = at + ": mask is not a subnet mask"; return false; }
  if (c.family == 2) {
    if (c.identity.empty()) c.identity = c.mac;
    if (c.identity.empty()) { error = at + ": family 2 needs identity="; return false; }
    if (c.f2_body_len != 64 && c.f2_body_len != 65 && c.f2_body_len != 195) {
      error = at + ": body_len must be 64, 65 or 195";
      return false;
    }
  } else if (c.family == 5) {
    if (c.mac.empty()) { error = at + ": family 5 needs mac="; return false; }
  } else {
    if (!ParseMac(c.mac)) { error = at + ": mac is not a hardware address"; return false; }
  }
  if (c.family == 8 && !c.sn.empty() && !ParseHex(c.sn, 7)) {
    error = at + ": family 8 sn must be 14 hex digits";
    return false;
  }
  return true;
}

// Copy i of a camera section with "repeat = N": its own name, address, MAC and identity.
CameraConfig Replica(const CameraConfig& c, int i) {
  CameraConfig r = c;
  const std::string n = std::to_string(i + 1);
  r.section = c.section + "-" + n;
  r.name = c.name + " " + n;
  auto ip = *ParseIPv4(c.ip);
  uint32_t v = (uint32_t(ip[0]) << 24 | uint32_t(ip[1]) << 16 | uint32_t(ip[2]) << 8 | ip[3]) + uint32_t(i);
  r.ip = IPv4ToText({uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
  if (c.family == 2) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%05d", (i + 1) % 100000);
    r.identity = c.identity.substr(0, std::min<size_t>(c.identity.size(), 8)) + buf;
  } else if (auto m = ParseMac(c.mac)) {
    uint64_t mv = 0;
    for (uint8_t b : *m) mv = mv << 8 | b;
    mv += uint64_t(i);
    bool upper = std::any_of(c.mac.begin(), c.mac.end(), [](char ch) { return ch >= 'A' && ch <= 'F'; });
    std::string sep = c.mac.find('-') != std::string::npos ? "-" : (c.mac.find(':') != std::string::npos ? ":" : "");
    std::string t;
    for (int k = 5; k >= 0; --k) {
      char b[4];
      std::snprintf(b, sizeof b, upper ? "%02X" : "%02x", unsigned((mv >> (8 * k)) & 0xFF));
      t += b;
      if (k > 0) t += sep;
    }
    r.mac = t;
  }
  if (c.family == 8) {
    if (auto sn = ParseHex(c.sn, 7)) {
      uint64_t sv = 0;
      for (uint8_t b : *sn) sv = sv << 8 | b;
      sv += uint64_t(i);
      char b[20];
      std::snprintf(b, sizeof b, "%014llx", (unsigned long long)(sv & 0xFFFFFFFFFFFFFFull));
      r.sn = b;
    }
  } else if (!c.sn.empty()) {
    r.sn = c.sn + "-" + n;
  }
  if (!c.ddns_user.empty()) r.ddns_user = c.ddns_user + n;
  return r;
}

}  // namespace

int CameraConfig::SettingInt(const std::string& key, int def) const {
  long long n = 0;
  auto it = extra.find(key);
  if (it == extra.end() || !ToInt(it->second, n) || n < INT32_MIN || n > INT32_MAX) return def;
  return int(n);
}

const char* FaultName(Fault f) {
  switch (f) {
    case Fault::Silent: return "silent";
    case Fault::Slow: return "slow";
    case Fault::Truncated: return "truncated";
    case Fault::WrongOpcode: return "wrong_opcode";
    case Fault::Oversized: return "oversized";
    case Fault::RefuseSet: return "refuse_set";
    case Fault::NoAuth: return "no_auth";
    case Fault::Hang: return "hang";
    case Fault::HttpError: return "http_error";
    case Fault::CloseMid: return "close_mid_reply";
    case Fault::Garbage: return "garbage";
    case Fault::NoRejoin: return "no_rejoin";
  }
  return "?";
}

std::optional<SimConfig> ParseConfig(const std::string& text, std::string& error) {
  std::vector<Section> sections;
  std::istringstream in(text);
  std::string raw;
  int lineNo = 0;
  Section* cur = nullptr;
  while (std::getline(in, raw)) {
    ++lineNo;
    if (lineNo == 1 && raw.size() >= 3 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0) raw.erase(0, 3);
    std::string line = Trim(raw);
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (line[0] == '[') {
      if (line.back() != ']' || line.size() < 3) {
        error = "line " + std::to_string(lineNo) + ": bad section header";
        return std::nullopt;
      }
      std::string name = Trim(line.substr(1, line.size() - 2));
      for (auto& s : sections)
        if (Lower(s.name) == Lower(name)) {
          error = "line " + std::to_string(lineNo) + ": section [" + name + "] appears twice";
          return std::nullopt;
        }
      sections.push_back(Section{name, lineNo, {}, {}});
      cur = &sections.back();
      continue;
    }
    auto eq = line.find('=');
    if (eq == std::string::npos || !cur) {
      error = "line " + std::to_string(lineNo) + ": expected key = value inside a section";
      return std::nullopt;
    }
    cur->keys.emplace_back(Lower(Trim(line.substr(0, eq))), Trim(line.substr(eq + 1)));
    cur->lines.push_back(lineNo);
  }

  SimConfig cfg;
  for (auto& s : sections) {
    if (Lower(s.name) == "sim") {
      for (auto& [k, v] : s.keys) cfg.sim[k] = v;
      continue;
    }
    CameraConfig c;
    if (!BuildCamera(s, c, error)) return std::nullopt;
    int repeat = c.SettingInt("repeat", 1);
    c.extra.erase("repeat");
    if (repeat < 1 || repeat > 4096) {
      error = "[" + s.name + "]: repeat must be 1 to 4096";
      return std::nullopt;
    }
    if (repeat == 1) {
      cfg.cameras.push_back(std::move(c));
      continue;
    }
    for (int i = 0; i < repeat; ++i) cfg.cameras.push_back(Replica(c, i));
  }
  return cfg;
}

std::optional<SimConfig> LoadConfig(const std::string& path, std::string& error) {
  std::ifstream f(path, std::ios::binary);
  if (!f) {
    error = "cannot read " + path;
    return std::nullopt;
  }
  std::stringstream ss;
  ss << f.rdbuf();
  auto cfg = ParseConfig(ss.str(), error);
  if (!cfg) error = path + ": " + error;
  return cfg;
}

}  // namespace kestrova::camsim
