#include "responder.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <optional>

namespace kestrova::camsim {

namespace {

std::array<uint8_t, 4> Ip4(const std::string& s) {
  auto a = ParseIPv4(s);
  return a ? *a : std::array<uint8_t, 4>{};
}

void PutIp4(Bytes& b, size_t off, const std::string& s) {
  auto a = Ip4(s);
  PutRaw(b, off, a);
}

std::string MacDigits(const std::string& s) {
  std::string d;
  for (char c : s)
    if (c != ':' && c != '-') d.push_back(char(std::tolower(static_cast<unsigned char>(c))));
  return d;
}

// A dotted-quad text from a fixed text field, or empty when it is not one.
std::string AddrField(ByteView b, size_t off, size_t width) {
  std::string s = GetText(b, off, width);
  return ParseIPv4(s) ? s : std::string();
}

// ---- family 2 -----------------------------------------------------------------------------
// Header: "MO_I", opcode (2, LE), 9 zero bytes, body length (4, LE), 4 zero bytes, body.
constexpr size_t kF2Header = 23;

Bytes F2Message(uint16_t opcode, size_t bodyLen) {
  Bytes b(kF2Header + bodyLen, 0);
  PutRaw(b, 0, ByteView(reinterpret_cast<const uint8_t*>("MO_I"), 4));
  PutLe16(b, 4, opcode);
  PutLe32(b, 15, uint32_t(bodyLen));
  return b;
}

bool F2HeaderZeros(ByteView d) {
  for (size_t i = 6; i < 15; ++i) if (d[i]) return false;
  for (size_t i = 19; i < 23; ++i) if (d[i]) return false;
  return true;
}

// "a.b.c.d:e.f.g.h" into eight bytes (zeros where it does not parse).
std::array<uint8_t, 8> F2Version(const std::string& v) {
  std::array<uint8_t, 8> out{};
  auto colon = v.find(':');
  auto a = ParseIPv4(v.substr(0, colon));
  auto b = colon == std::string::npos ? std::nullopt : ParseIPv4(v.substr(colon + 1));
  if (a) std::copy(a->begin(), a->end(), out.begin());
  if (b) std::copy(b->begin(), b->end(), out.begin() + 4);
  return out;
}

Outcome F2Handle(CameraConfig& c, ByteView d) {
  Outcome o;
  o.kind = ClassifyDatagram(2, d);
  if (o.kind == "f2-search") {
    o.addressed = true;
    o.replies.push_back({F2SearchReply(c), "f2-search-reply"});
  } else if (o.kind == "f2-set") {
    // Body: 4 zero bytes, identity, user, password (13 each, NUL-padded), IP, mask, gateway,
    // DNS (4 bytes each), HTTP port big-endian.
    std::string id = GetText(d, 27, 13);
    std::string want = c.identity.substr(0, std::min<size_t>(13, c.identity.size()));
    if (id != want) {
      o.note = "identity " + id + " is not mine";
      return o;
    }
    o.addressed = true;
    std::string user = GetText(d, 40, 13), pwd = GetText(d, 53, 13);
    if (user != c.user.substr(0, std::min<size_t>(13, c.user.size())) ||
        pwd != c.pwd.substr(0, std::min<size_t>(13, c.pwd.size()))) {
      o.note = "wrong credentials";
      return o;
    }
    auto ip4 = [&](size_t off) {
      std::array<uint8_t, 4> a{d[off], d[off + 1], d[off + 2], d[off + 3]};
      return IPv4ToText(a);
    };
    std::string ip = ip4(66);
    if (ip == "0.0.0.0" || ip4(70) == "0.0.0.0" || !MaskPrefix(ip4(70))) {
      o.note = "refused: address or mask not usable";
      return o;
    }
    c.ip = ip;
    c.mask = ip4(70);
    c.gateway = ip4(74);
    c.dns1 = ip4(78);
    c.http_port = GetBe16(d, 82);
    o.settings_changed = true;
  }
  return o;
}

// ---- family 5 -----------------------------------------------------------------------------

const std::vector<std::string> kF5DefaultKeys = {
    "sn", "name", "ip", "netmask", "gw", "mdns", "sdns", "mac",
    "portctp", "ddns", "ddnsuser", "ddnspswd", "version"};

std::string F5Value(const CameraConfig& c, const std::string& key) {
  if (key == "sn") return c.sn;
  if (key == "name") return c.name;
  if (key == "ip") return c.Reported("ip", c.ip);
  if (key == "netmask") return c.Reported("mask", c.mask);
  if (key == "gw") return c.Reported("gateway", c.gateway);
  if (key == "mdns") return c.Reported("dns1", c.dns1);
  if (key == "sdns") return c.Reported("dns2", c.dns2);
  if (key == "mac") return c.mac;
  if (key == "portctp") return std::to_string(c.http_port);
  if (key == "ddns") return c.ddns_server;
  if (key == "ddnsuser") return c.ddns_user;
  if (key == "ddnspswd") return c.ddns_pwd;
  if (key == "version") return c.version;
  auto it = c.extra.find("f5_" + key);
  return it == c.extra.end() ? std::string() : it->second;
}

// Splits a CTP text message into its request line, its Content-Length value (or -1) and the
// body (what follows the header line; the UDP setip form counts the empty line into the body).
struct CtpText {
  std::string first;
  long length = -1;
  std::string body;
};

CtpText SplitCtp(const std::string& t) {
  CtpText m;
  auto e1 = t.find("\r\n");
  m.first = t.substr(0, e1);
  if (e1 == std::string::npos) return m;
  size_t p = e1 + 2;
  auto e2 = t.find("\r\n", p);
  std::string header = t.substr(p, e2 == std::string::npos ? std::string::npos : e2 - p);
  const std::string kCl = "Content-Length:";
  if (header.compare(0, kCl.size(), kCl) == 0) {
    std::string v = header.substr(kCl.size());
    if (!v.empty() && v[0] == ' ') v.erase(0, 1);
    if (!v.empty() && std::all_of(v.begin(), v.end(), [](char ch) { return ch >= '0' && ch <= '9'; }) &&
        v.size() < 9)
      m.length = std::stol(v);
    m.body = e2 == std::string::npos ? std::string() : t.substr(e2 + 2);
  }
  return m;
}

std::map<std::string, std::string> CtpArgs(const std::string& body) {
  std::map<std::string, std::string> args;
  size_t p = 0;
  while (p < body.size()) {
    auto e = body.find("\r\n", p);
    std::string line = body.substr(p, e == std::string::npos ? std::string::npos : e - p);
    p = e == std::string::npos ? body.size() : e + 2;
    if (line.size() < 2 || line[0] != '-') continue;
    auto sp = line.find(' ');
    std::string key = line.substr(1, sp == std::string::npos ? std::string::npos : sp - 1);
    std::string val = sp == std::string::npos ? std::string() : line.substr(sp + 1);
    if (!args.count(key)) args[key] = val;
  }
  return args;
}

Outcome F5Handle(CameraConfig& c, ByteView d) {
  Outcome o;
  o.kind = ClassifyDatagram(5, d);
  if (o.kind == "f5-search") {
    o.addressed = true;
    o.replies.push_back({F5SearchReply(c), "f5-search-reply"});
  } else if (o.kind == "f5-setip") {
    std::string t(d.begin(), d.end());
    CtpText m = SplitCtp(t);
    if (m.length < 0 || size_t(m.length) != m.body.size()) {
      o.note = "Content-Length " + std::to_string(m.length) + " does not match the body (" +
               std::to_string(m.body.size()) + " bytes)";
      return o;
    }
    auto a = CtpArgs(m.body);
    bool mine = a.count("mac") ? MacDigits(a["mac"]) == MacDigits(c.mac)
                               : (a.count("sn") && a["sn"] == c.sn);
    if (!mine) {
      o.note = "not my mac/sn";
      return o;
    }
    o.addressed = true;
    if (a["pswd"] != c.pwd) {
      o.note = "wrong password";
      return o;
    }
    std::string ip = a["ip"], mask = a["netmask"];
    if (!ParseIPv4(ip) || !MaskPrefix(mask)) {
      o.note = "refused: address or mask not usable";
      return o;
    }
    c.ip = ip;
    c.mask = mask;
    if (a.count("defgw")) c.gateway = a["defgw"];
    if (a.count("name")) c.name = a["name"];
    if (a.count("mdns")) c.dns1 = a["mdns"];
    if (a.count("sdns")) c.dns2 = a["sdns"];
    if (a.count("dhcpen")) c.dhcp = a["dhcpen"] == "1";
    if (a.count("port")) {
      const std::string& p = a["port"];
      if (!p.empty() && p.size() < 6 && std::all_of(p.begin(), p.end(), ::isdigit) && std::stol(p) <= 65535)
        c.http_port = uint16_t(std::stol(p));
    }
    o.settings_changed = true;
  }
  return o;
}

// ---- family 8 -----------------------------------------------------------------------------
// Header: 10 10, command (2 bytes as on the wire), word (LE), payload length (LE).
constexpr size_t kNetBlock = 128;

Bytes F8Message(uint8_t c0, uint8_t c1, uint16_t word, size_t total) {
  Bytes b(total, 0);
  b[0] = 0x10;
  b[1] = 0x10;
  b[2] = c0;
  b[3] = c1;
  PutLe16(b, 4, word);
  PutLe16(b, 6, uint16_t(total - 8));
  return b;
}

bool F8BlockIsMine(const CameraConfig& c, ByteView d, size_t blockOff) {
  auto mac = MacBytes(c);
  if (d.size() < blockOff + kNetBlock) return false;
  return std::equal(mac.begin(), mac.end(), d.begin() + blockOff + 88);
}

Outcome F8Handle(CameraConfig& c, ByteView d) {
  Outcome o;
  o.kind = ClassifyDatagram(8, d);
  if (o.kind == "f8-search") {
    o.addressed = true;
    o.replies.push_back({F8SearchAnswer(c), "f8-search-answer"});
  } else if (o.kind == "f8-info-request" || o.kind == "f8-ddns-request") {
    if (!F8BlockIsMine(c, d, 8)) {
      o.note = "block of another camera";
      return o;
    }
    o.addressed = true;
    uint16_t word = GetLe16(d, 4);
    if (word != c.f8_word) o.note = "header word not echoed";
    if (o.kind == "f8-info-request")
      o.replies.push_back({F8InfoReply(c, word), "f8-info-reply"});
    else
      o.replies.push_back({F8DdnsReply(c, word), "f8-ddns-reply"});
  } else if (o.kind == "f8-set") {
    // Two NetBlocks: the camera as the PC knows it, then the new settings.
    if (!F8BlockIsMine(c, d, 8)) {
      o.note = "old block of another camera";
      return o;
    }
    o.addressed = true;
    const size_t n = 8 + kNetBlock;
    std::string ip = AddrField(d, n + 0, 16), mask = AddrField(d, n + 16, 16);
    if (ip.empty() || !MaskPrefix(mask)) {
      o.note = "refused: address or mask not usable";
      return o;
    }
    c.ip = ip;
    c.mask = mask;
    c.gateway = GetText(d, n + 32, 16);
    c.dns1 = GetText(d, n + 48, 16);
    c.dns2 = GetText(d, n + 64, 16);
    c.http_port = GetLe16(d, n + 80);
    c.data_port = GetLe16(d, n + 86);
    c.ext_word = GetLe16(d, n + 94);
    c.dhcp = GetU8(d, n + 103) != 0;
    c.name = GetText(d, n + 104, 24);
    o.settings_changed = true;
  }
  return o;
}

// ---- family 9 -----------------------------------------------------------------------------
// "DH", sub-command, direction (0x01 request, 0x08 answer); texts zero-terminated inside their
// field unless they fill it.

void F9Layout(Bytes& b, const CameraConfig& c) {
  PutText(b, 4, 16, c.Reported("ip", c.ip), false);
  PutText(b, 20, 16, c.Reported("mask", c.mask), false);
  PutText(b, 36, 16, c.Reported("gateway", c.gateway), false);
  PutText(b, 52, 16, c.Reported("dns1", c.dns1), false);
  PutText(b, 68, 16, c.Reported("dns2", c.dns2), false);
  PutRaw(b, 84, MacBytes(c));
  PutLe16(b, 90, c.http_port);
  PutText(b, 92, 32, c.sn, false);
  PutText(b, 124, 80, c.name, false);
  PutText(b, 204, 32, c.version, false);
  PutText(b, 236, 32, c.user, false);
  PutText(b, 268, 32, c.pwd, false);
  PutU8(b, 301, c.dhcp ? 1 : 0);
}

Outcome F9Handle(CameraConfig& c, ByteView d) {
  Outcome o;
  o.kind = ClassifyDatagram(9, d);
  if (o.kind == "f9-search") {
    o.addressed = true;
    o.replies.push_back({F9SearchAnswer(c), "f9-search-answer"});
  } else if (o.kind == "f9-set") {
    auto mac = MacBytes(c);
    if (!std::equal(mac.begin(), mac.end(), d.begin() + 84)) {
      o.note = "not my mac";
      return o;
    }
    o.addressed = true;
    std::string user = GetText(d, 236, 32), pwd = GetText(d, 268, 32);
    std::string ip = AddrField(d, 4, 16), mask = AddrField(d, 20, 16);
    uint32_t status = c.set_status;
    if (c.Has(Fault::RefuseSet)) {
      o.note = "refused (refuse_set)";
      status = 0;
    } else if (user != c.user || pwd != c.pwd) {
      o.note = "refused: wrong credentials";
      status = 0;
    } else if (ip.empty() || !MaskPrefix(mask)) {
      o.note = "refused: address or mask not usable";
      status = 0;
    }
    if (status == 0x8000) {
      c.ip = ip;
      c.mask = mask;
      c.gateway = GetText(d, 36, 16);
      c.dns1 = GetText(d, 52, 16);
      c.dns2 = GetText(d, 68, 16);
      c.http_port = GetLe16(d, 90);
      c.name = GetText(d, 124, 80);
      c.dhcp = GetU8(d, 301) == 1;
      o.settings_changed = true;
    }
    o.replies.push_back({F9SetAnswer(c, status), "f9-set-answer"});
  }
  return o;
}

// ---- family 4 -----------------------------------------------------------------------------
// The SDK family's protocol (sim/sdk/README.md): "DVS4", kind, version 1, sequence (LE); a
// device record of 200 bytes; the configuration request adds user and password (32 each).
constexpr size_t kF4Header = 8;
constexpr size_t kF4Record = 200;
constexpr size_t kF4Config = kF4Record + 64;
constexpr size_t kF4ConfigAnswer = 16;
constexpr uint8_t kF4Search = 0x01, kF4SearchAnswer = 0x81, kF4Configure = 0x02, kF4ConfigureAnswer = 0x82;

Bytes F4Message(uint8_t kind, uint16_t seq, size_t total) {
  Bytes b(total, 0);
  PutRaw(b, 0, ByteView(reinterpret_cast<const uint8_t*>("DVS4"), 4));
  PutU8(b, 4, kind);
  PutU8(b, 5, 1);
  PutLe16(b, 6, seq);
  return b;
}

Outcome F4Handle(CameraConfig& c, ByteView d) {
  Outcome o;
  o.kind = ClassifyDatagram(4, d);
  const uint16_t seq = GetLe16(d, 6);
  if (o.kind == "f4-search") {
    o.addressed = true;
    o.replies.push_back({F4SearchAnswer(c, seq), "f4-search-answer"});
  } else if (o.kind == "f4-config") {
    auto mac = MacBytes(c);
    if (!std::equal(mac.begin(), mac.end(), d.begin() + 8)) {
      o.note = "not my mac";
      return o;
    }
    o.addressed = true;
    uint8_t status = 0;
    const std::string ip = AddrField(d, 72, 16), mask = AddrField(d, 88, 16);
    if (c.Has(Fault::RefuseSet)) {
      o.note = "refused (refuse_set)";
      status = 2;
    } else if (GetText(d, 200, 32) != c.user || GetText(d, 232, 32) != c.pwd) {
      o.note = "refused: wrong credentials";
      status = 1;
    } else if (ip.empty() || !MaskPrefix(mask)) {
      o.note = "refused: address or mask not usable";
      status = 2;
    }
    if (status == 0) {
      c.dhcp = GetU8(d, 14) == 1;
      c.http_port = GetLe16(d, 16);
      c.data_port = GetLe16(d, 18);
      c.extra["aux_port"] = std::to_string(GetLe16(d, 20));
      c.name = GetText(d, 24, 32);
      c.ip = ip;
      c.mask = mask;
      c.gateway = GetText(d, 104, 16);
      c.dns1 = GetText(d, 120, 16);
      c.extra["aux_addr"] = GetText(d, 136, 64);
      o.settings_changed = true;
    }
    o.replies.push_back({F4ConfigAnswer(c, seq, status), "f4-config-answer"});
  }
  return o;
}

void ApplyFaults(const CameraConfig& c, int family, Outcome& o) {
  for (auto& r : o.replies) {
    if (c.Has(Fault::WrongOpcode) && !r.bytes.empty()) {
      switch (family) {
        case 2: if (r.bytes.size() >= 6) PutLe16(r.bytes, 4, 3); break;
        case 5: if (r.bytes.size() >= 5) std::memcpy(r.bytes.data(), "RESLT", 5); break;
        case 8: if (r.bytes.size() >= 4) r.bytes[2] = 0x7E; break;
        case 9: if (r.bytes.size() >= 3) r.bytes[2] = 0x03; break;
        case 4: if (r.bytes.size() >= 5) r.bytes[4] = 0x7E; break;
      }
    }
    if (c.Has(Fault::Truncated)) {
      size_t n = c.truncate_to >= 0 ? size_t(c.truncate_to) : r.bytes.size() / 2;
      if (n < r.bytes.size()) r.bytes.resize(n);
    }
    if (c.Has(Fault::Oversized) && size_t(c.oversize_to) > r.bytes.size())
      r.bytes.resize(size_t(c.oversize_to), 0);
  }
  for (Fault f : {Fault::WrongOpcode, Fault::Truncated, Fault::Oversized})
    if (c.Has(f) && !o.replies.empty()) o.faults_applied.push_back(FaultName(f));
  if (c.Has(Fault::Slow) && !o.replies.empty()) {
    o.delay_ms = c.slow_ms;
    o.faults_applied.push_back("slow");
  }
}

}  // namespace

std::array<uint8_t, 6> MacBytes(const CameraConfig& c) {
  auto m = ParseMac(c.mac);
  return m ? *m : std::array<uint8_t, 6>{};
}

std::string ClassifyDatagram(int family, ByteView d) {
  switch (family) {
    case 2:
      if (!HasTextPrefix(d, "MO_I")) return "f2-other";
      if (d.size() < kF2Header) return "f2-short";
      switch (GetLe16(d, 4)) {
        case 0:
          if (d.size() == 27 && F2HeaderZeros(d) && GetLe32(d, 15) == 4 &&
              HasPrefix(d.subspan(23), {0, 0, 0, 1}))
            return "f2-search";
          return "f2-search-malformed";
        case 1: return "f2-search-reply";
        case 2:
          if (d.size() >= 84 && GetLe32(d, 15) == 61) return "f2-set";
          return "f2-set-malformed";
        default: return "f2-opcode-" + std::to_string(GetLe16(d, 4));
      }
    case 5: {
      if (HasTextPrefix(d, "SEARCH * CTP/1.0\r\n")) {
        std::string t(d.begin(), d.end());
        if (t.find('\0') == std::string::npos && t.size() >= 22 &&
            t.compare(18, 5, "From:") == 0 && t.compare(t.size() - 4, 4, "\r\n\r\n") == 0)
          return "f5-search";
        return "f5-search-malformed";
      }
      if (HasTextPrefix(d, "CMD setip CTP/1.0\r\n")) return "f5-setip";
      if (HasTextPrefix(d, "REPLY")) return "f5-reply";
      return "f5-other";
    }
    case 8: {
      if (d.size() < 8 || d[0] != 0x10 || d[1] != 0x10) return "f8-other";
      uint16_t len = GetLe16(d, 6);
      bool lenOk = size_t(len) + 8 == d.size();
      if (d[2] == 0x01 && d[3] == 0x0F)
        return (d.size() == 8 && len == 0 && GetLe16(d, 4) == 0) ? "f8-search" : "f8-search-malformed";
      if (d[2] == 0x12 && d[3] == 0x0F)
        return (lenOk && len == kNetBlock) ? "f8-info-request" : "f8-info-request-malformed";
      if (d[2] == 0x0F && d[3] == 0x0F)
        return (lenOk && len == kNetBlock) ? "f8-ddns-request" : "f8-ddns-request-malformed";
      if (d[2] == 0x02 && d[3] == 0x0F)
        return (lenOk && len == 2 * kNetBlock) ? "f8-set" : "f8-set-malformed";
      if (d[3] == 0x8F) return "f8-answer";
      return "f8-command-" + HexDump(d.subspan(2, 2));
    }
    case 4: {
      if (!HasTextPrefix(d, "DVS4")) return "f4-other";
      if (d.size() < kF4Header) return "f4-short";
      const bool v1 = d[5] == 1;
      switch (d[4]) {
        case kF4Search: return v1 && d.size() == kF4Header ? "f4-search" : "f4-search-malformed";
        case kF4Configure: return v1 && d.size() == kF4Config ? "f4-config" : "f4-config-malformed";
        case kF4SearchAnswer:
        case kF4ConfigureAnswer: return "f4-answer";
        default: return "f4-other";
      }
    }
    case 9:
      if (!HasPrefix(d, {0x44, 0x48})) return "f9-other";
      if (HasPrefix(d, {0x44, 0x48, 0x01, 0x01})) return d.size() == 4 ? "f9-search" : "f9-search-malformed";
      if (HasPrefix(d, {0x44, 0x48, 0x02, 0x01})) return d.size() == 324 ? "f9-set" : "f9-set-malformed";
      if (d.size() >= 4 && d[3] == 0x08) return "f9-answer";
      return "f9-other";
  }
  return "other";
}

Outcome Respond(CameraConfig& cam, ByteView d) {
  // Settings commands work on a copy, so that a camera that must not take them (silent) stays
  // as it was; everything else only reads the camera.
  const std::string kind = ClassifyDatagram(cam.family, d);
  const bool settings =
      kind == "f2-set" || kind == "f4-config" || kind == "f5-setip" || kind == "f8-set" || kind == "f9-set";
  std::optional<CameraConfig> copy;
  if (settings) copy = cam;
  CameraConfig& work = settings ? *copy : cam;
  Outcome o;
  switch (cam.family) {
    case 2: o = F2Handle(work, d); break;
    case 4: o = F4Handle(work, d); break;
    case 5: o = F5Handle(work, d); break;
    case 8: o = F8Handle(work, d); break;
    case 9: o = F9Handle(work, d); break;
    default: o.kind = "other"; return o;
  }
  if (!o.addressed) return o;
  if (cam.Has(Fault::Silent)) {
    // Unplugged, as far as the PC can tell: nothing is answered and nothing is taken.
    o.replies.clear();
    o.settings_changed = false;
    o.faults_applied.push_back("silent");
    return o;
  }
  if (o.settings_changed && settings) cam = std::move(*copy);
  ApplyFaults(cam, cam.family, o);
  return o;
}

Bytes F2SearchReply(const CameraConfig& c) {
  const size_t bodyLen = size_t(c.f2_body_len);
  Bytes b = F2Message(1, bodyLen);
  b.resize(std::max<size_t>(b.size(), kF2Header + 64), 0);
  PutText(b, 23, 13, c.identity, false);
  PutText(b, 36, 21, c.name, false);
  PutIp4(b, 57, c.ip);
  PutIp4(b, 61, c.mask);
  PutIp4(b, 65, c.gateway);
  PutIp4(b, 69, c.dns1);
  auto v = F2Version(c.version);
  PutRaw(b, 77, v);
  PutBe16(b, 85, c.http_port);
  if (bodyLen == 195) {
    PutU8(b, 87, c.dhcp ? 1 : 0);
    PutText(b, 88, 65, c.ddns_server);
    PutText(b, 153, 65, c.ddns_user);
  }
  b.resize(kF2Header + bodyLen);
  return b;
}

Bytes F5SearchReply(const CameraConfig& c) {
  std::string body;
  const auto& keys = c.f5_keys.empty() ? kF5DefaultKeys : c.f5_keys;
  for (const auto& k : keys) body += "-" + k + " " + F5Value(c, k) + "\r\n";
  body += "\r\n";
  std::string t = "REPLY * CTP/1.0\r\nContent-Length:" + std::to_string(body.size()) + "\r\n\r\n" + body;
  return Bytes(t.begin(), t.end());
}

Bytes F8NetBlock(const CameraConfig& c) {
  Bytes b(kNetBlock, 0);
  PutText(b, 0, 16, c.Reported("ip", c.ip));
  PutText(b, 16, 16, c.Reported("mask", c.mask));
  PutText(b, 32, 16, c.Reported("gateway", c.gateway));
  PutText(b, 48, 16, c.Reported("dns1", c.dns1));
  PutText(b, 64, 16, c.Reported("dns2", c.dns2));
  PutLe16(b, 80, c.http_port);
  PutLe16(b, 82, c.http_port);
  PutLe16(b, 84, c.http_port);
  PutLe16(b, 86, c.data_port);
  PutRaw(b, 88, MacBytes(c));
  PutLe16(b, 94, c.ext_word);
  if (auto sn = ParseHex(c.sn, 7)) PutRaw(b, 96, *sn);
  PutU8(b, 103, c.dhcp ? 1 : 0);
  PutText(b, 104, 24, c.name);
  return b;
}

Bytes F8SearchAnswer(const CameraConfig& c) {
  // Header, four bytes, then the camera's block at offset 12.
  Bytes b = F8Message(0x01, 0x8F, c.f8_word, 12 + kNetBlock);
  PutRaw(b, 12, F8NetBlock(c));
  return b;
}

Bytes F8InfoReply(const CameraConfig& c, uint16_t word) {
  // NetBlock at 8, firmware version text at 136 (32-byte field).
  Bytes b = F8Message(0x12, 0x8F, word, 8 + kNetBlock + 32);
  PutRaw(b, 8, F8NetBlock(c));
  PutText(b, 136, 32, c.version);
  return b;
}

Bytes F8DdnsReply(const CameraConfig& c, uint16_t word) {
  // NetBlock at 8; DDNS server at 142 (130), account at 272 (64), password at 336 (64).
  Bytes b = F8Message(0x0F, 0x8F, word, 400);
  PutRaw(b, 8, F8NetBlock(c));
  PutText(b, 142, 130, c.ddns_server);
  PutText(b, 272, 64, c.ddns_user);
  PutText(b, 336, 64, c.ddns_pwd);
  return b;
}

Bytes F9SearchAnswer(const CameraConfig& c) {
  Bytes b(516, 0);
  b[0] = 0x44;
  b[1] = 0x48;
  b[2] = 0x01;
  b[3] = 0x08;
  F9Layout(b, c);
  PutText(b, 324, 64, c.ddns_server, false);
  PutText(b, 388, 64, c.ddns_host, false);
  PutText(b, 452, 32, c.ddns_user, false);
  PutText(b, 484, 32, c.ddns_pwd, false);
  return b;
}

Bytes F9SetAnswer(const CameraConfig& c, uint32_t status) {
  Bytes b(328, 0);
  b[0] = 0x44;
  b[1] = 0x48;
  b[2] = 0x02;
  b[3] = 0x08;
  F9Layout(b, c);
  PutLe32(b, 324, status);
  return b;
}

Bytes F4SearchAnswer(const CameraConfig& c, uint16_t seq) {
  Bytes b = F4Message(kF4SearchAnswer, seq, kF4Record);
  PutRaw(b, 8, MacBytes(c));
  PutU8(b, 14, c.dhcp ? 1 : 0);
  PutLe16(b, 16, c.http_port);
  PutLe16(b, 18, c.data_port);
  PutLe16(b, 20, uint16_t(c.SettingInt("aux_port", 0)));
  PutText(b, 24, 32, c.name, false);
  PutText(b, 56, 16, c.Setting("model"), false);
  PutText(b, 72, 16, c.ip, false);
  PutText(b, 88, 16, c.mask, false);
  PutText(b, 104, 16, c.gateway, false);
  PutText(b, 120, 16, c.dns1, false);
  PutText(b, 136, 64, c.Setting("aux_addr"), false);
  return b;
}

Bytes F4ConfigAnswer(const CameraConfig& c, uint16_t seq, uint8_t status) {
  Bytes b = F4Message(kF4ConfigureAnswer, seq, kF4ConfigAnswer);
  PutRaw(b, 8, MacBytes(c));
  PutU8(b, 14, status);
  return b;
}

}  // namespace kestrova::camsim
