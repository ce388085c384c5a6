#include "core/protocols/cgi_reply.h"

#include <algorithm>

#include "core/protocols/text_util.h"

namespace kestrova {

namespace {

std::string Without(std::string_view s, std::string_view drop) {
  std::string out;
  out.reserve(s.size());
  for (char c : s)
    if (drop.find(c) == std::string_view::npos) out += c;
  return out;
}

// The value span after name at pos: from the character after the one that follows the name
// up to the first ';' after the name. npos length when the ';' is missing.
bool ValueSpan(std::string_view text, size_t pos, size_t nameLen, std::string_view& out) {
  size_t after = pos + nameLen;
  size_t semi = text.find(';', after);
  if (semi == std::string_view::npos) return false;
  size_t start = after + 1;
  out = start < semi ? text.substr(start, semi - start) : std::string_view{};
  return true;
}

// The text between the first and the second occurrence of q in line (empty without both).
std::string_view Between(std::string_view line, char q) {
  size_t a = line.find(q);
  if (a == std::string_view::npos) return {};
  size_t b = line.find(q, a + 1);
  if (b == std::string_view::npos) return {};
  return line.substr(a + 1, b - a - 1);
}

std::string_view AfterEquals(std::string_view line) {
  size_t e = line.find('=');
  return e == std::string_view::npos ? std::string_view{} : line.substr(e + 1);
}

}  // namespace

std::string ExtractValue(std::string_view text, std::string_view name) {
  if (name.empty()) return {};
  size_t pos = text.find(name);
  if (pos == std::string_view::npos) return {};
  std::string_view v;
  if (!ValueSpan(text, pos, name.size(), v)) return {};
  return Without(v, "'\"");
}

bool ExtractVarValue(std::string_view text, std::string_view name, std::string& value) {
  std::string key = "var " + std::string(name);
  size_t pos = text.find(key);
  if (pos == std::string_view::npos) return false;
  std::string_view v;
  if (!ValueSpan(text, pos, key.size(), v)) return false;
  value = Without(v, "'");
  return true;
}

std::string ExtractLineValue(std::string_view text, std::string_view name) {
  if (name.empty()) return {};
  size_t pos = text.find(name);
  if (pos == std::string_view::npos) return {};
  size_t eq = text.find('=', pos + name.size());
  if (eq == std::string_view::npos) return {};
  std::string_view v = text.substr(eq + 1);
  size_t cr = v.find('\r');
  if (cr != std::string_view::npos) v = v.substr(0, cr);
  bool quoted = !v.empty() && v[0] == '"';
  if (quoted) v.remove_prefix(1);
  v = TrimText(v);
  // A "var name=value;" statement: its closing ';' (and the quote before it) are no part of
  // the value.
  if (!v.empty() && v.back() == ';') {
    v = TrimText(v.substr(0, v.size() - 1));
    if (quoted && !v.empty() && v.back() == '"') v = TrimText(v.substr(0, v.size() - 1));
  }
  return std::string(v);
}

std::string ReadSysVersion(std::string_view reply) {
  constexpr std::string_view kKey = "sys_ver=\"";
  size_t start;
  size_t p = reply.find(kKey);
  if (p != std::string_view::npos) {
    start = p + kKey.size();
  } else {
    size_t q = reply.find('"');
    if (q == std::string_view::npos) return {};
    start = q + 1;
  }
  size_t end = reply.find('"', start);
  if (end == std::string_view::npos) return {};
  return std::string(reply.substr(start, end - start));
}

TWiFiParams ParseWiFiParams(std::string_view r) {
  auto s = [&](const char* name) { return ExtractValue(r, std::string("var ") + name); };
  auto n = [&](const char* name) { return TextToIntDef(s(name), 0); };
  TWiFiParams p;
  p.Enable = n("wifi_enable");
  p.SSID = s("wifi_ssid");
  p.Mode = n("wifi_mode");
  p.Encrypt = n("wifi_encrypt");
  p.AuthType = n("wifi_authtype");
  p.DefKey = n("wifi_defkey");
  p.KeyFormat = n("wifi_keyformat");
  p.Key1 = s("wifi_key1");
  p.Key2 = s("wifi_key2");
  p.Key3 = s("wifi_key3");
  p.Key4 = s("wifi_key4");
  p.Key1Bits = n("wifi_key1_bits");
  p.Key2Bits = n("wifi_key2_bits");
  p.Key3Bits = n("wifi_key3_bits");
  p.Key4Bits = n("wifi_key4_bits");
  p.WpaPsk = s("wifi_wpa_psk");
  return p;
}

void ParseFactoryParams(std::string_view reply, TFactoryParams& rec) {
  if (reply.find("var") == std::string_view::npos) {
    rec.Status = 5;
    return;
  }
  rec.Index = ExtractValue(reply, "factory_index");
  if (rec.Index.empty()) {
    rec.Status = 1;
    return;
  }
  rec.Server = ExtractValue(reply, "factory_server");
  rec.Port = ExtractValue(reply, "factory_port");
  rec.User = ExtractValue(reply, "factory_user");
  rec.Passwd = ExtractValue(reply, "factory_passwd");
  if (rec.Index != "10")
    rec.Status = 2;
  else if (rec.Server.empty() || rec.Port.empty() || rec.Port == "0")
    rec.Status = 3;
  else if (rec.User.empty())
    rec.Status = 4;
  else
    rec.Status = 0;
}

TScanResult ParseScanResult(std::string_view reply) {
  TScanResult res;
  size_t eq = reply.find('=');
  std::string_view rest = eq == std::string_view::npos ? reply : reply.substr(eq + 1);
  size_t semi = rest.find(';');
  int32_t count = semi == std::string_view::npos ? 0 : TextToIntDef(rest.substr(0, semi), 0);
  if (count < 0) count = 0;
  if (count > kMaxScanRecords) count = kMaxScanRecords;
  res.Count = count;
  if (count == 0) return res;
  size_t first = rest.find("ap_ssid[0]");
  if (first != std::string_view::npos) rest = rest.substr(first);
  std::string flat = Without(rest, ";");
  res.Records.resize(static_cast<size_t>(count));
  for (std::string_view line : SplitLines(flat)) {
    size_t lb = line.find('['), rb = line.find(']');
    if (lb == std::string_view::npos || rb == std::string_view::npos || rb < lb) continue;
    int32_t idx = TextToIntDef(line.substr(lb + 1, rb - lb - 1), -1);
    if (idx < 0 || idx >= count) continue;
    std::string tag = "[" + std::to_string(idx) + "]";
    auto has = [&](const char* name) { return line.find(std::string(name) + tag) != std::string_view::npos; };
    TWiFiRecord& r = res.Records[static_cast<size_t>(idx)];
    if (has("ap_ssid")) r.SSID = TrimCopy(Between(line, '"'));
    if (has("ap_mac")) r.Mac = std::string(Between(line, '"'));
    if (has("ap_security")) r.Security = TextToIntDef(TrimText(AfterEquals(line)), 0);
    if (has("ap_dbm0")) r.Dbm0 = TrimCopy(Between(line, '\''));
    if (has("ap_dbm1")) r.Dbm1 = std::string(Between(line, '\''));
    if (has("ap_mode")) r.Mode = TextToIntDef(TrimText(AfterEquals(line)), 0);
  }
  return res;
}

std::string ScanRecordText(const TWiFiRecord& rec) { return rec.SSID + "(" + rec.Dbm0 + ")"; }

std::vector<TWiFi> ParseCgiScanList(std::string_view reply, int32_t devType) {
  std::vector<TWiFi> out;
  int32_t count = TextToIntDef(ExtractValue(reply, "var ap_number"), 0);
  count = std::clamp<int32_t>(count, 0, kMaxScanRecords);
  for (int32_t i = 0; i < count; ++i) {
    std::string idx = "[" + std::to_string(i) + "]";
    TWiFi w;
    w.SSID = ExtractValue(reply, "ap_ssid" + idx + (devType == 8 ? " " : ""));
    size_t br = w.SSID.find('[');
    if (br != std::string::npos) w.SSID.resize(br);
    w.Security = TextToIntDef(ExtractValue(reply, "ap_security" + idx), 0);
    w.Mode = TextToIntDef(ExtractValue(reply, "ap_mode" + idx), 0);
    if (!w.SSID.empty()) out.push_back(std::move(w));
  }
  return out;
}

void ParseDeviceParams(std::string_view reply, TDevInfo& dev, std::string_view user, std::string_view password) {
  dev.IP = ExtractLineValue(reply, "ip");
  dev.NetMask = ExtractLineValue(reply, "mask");
  dev.Gateway = ExtractLineValue(reply, "geteway");
  dev.DNS1 = ExtractLineValue(reply, "dns1");
  dev.DNS2 = ExtractLineValue(reply, "dns2");
  int32_t port = TextToIntDef(ExtractLineValue(reply, "port"), 81);
  dev.HttpPort = (port >= 0 && port <= 65535) ? static_cast<uint16_t>(port) : 81;
  dev.IPMode = ExtractLineValue(reply, "dhcpen") == "1" ? 1 : 2;
  dev.User = std::string(user);
  dev.Pwd = std::string(password);
  dev.DDnsUser = ExtractLineValue(reply, "ddns_user");
  dev.DDnsPwd = ExtractLineValue(reply, "ddns_pwd");
  dev.DDnsServer = ExtractLineValue(reply, "ddns_proxy_svr");
  dev.DevType = 9;
  // Address texts that are not dotted-quad addresses are not kept, so none becomes a URL.
  if (!KeepReportedAddresses(dev)) dev.IP.clear();
}

void ParseDeviceStatus(std::string_view reply, TDevInfo& dev) {
  dev.MAC = ExtractLineValue(reply, "mac");
  dev.Name = ExtractLineValue(reply, "alias");
  dev.Version = ExtractLineValue(reply, "sys_ver");
  dev.SN = ExtractLineValue(reply, "deviceid");
}

}  // namespace kestrova
