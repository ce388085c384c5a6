#include "core/setup/address_rules.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#include "core/hostnet/net_card.h"

namespace kestrova {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// A spin field's number: digits, optionally a fraction, rounded. nullopt when not a number.
std::optional<long> SpinValue(std::string_view text) {
  text = Trim(text);
  if (text.empty() || text.size() > 12) return std::nullopt;
  size_t dot = text.find('.');
  std::string_view whole = text.substr(0, dot);
  if (whole.empty()) return std::nullopt;
  long value = 0;
  auto [p, ec] = std::from_chars(whole.data(), whole.data() + whole.size(), value);
  if (ec != std::errc() || p != whole.data() + whole.size() || value < 0) return std::nullopt;
  if (dot != std::string_view::npos) {
    std::string_view frac = text.substr(dot + 1);
    if (!std::all_of(frac.begin(), frac.end(), [](char c) { return c >= '0' && c <= '9'; })) return std::nullopt;
    if (!frac.empty() && frac[0] >= '5') ++value;
  }
  return value;
}

std::string HexDigitsLower(std::string_view mac) {
  std::string out;
  for (unsigned char c : mac) {
    if (std::isxdigit(c)) out.push_back(static_cast<char>(std::tolower(c)));
  }
  return out;
}

std::string OneLineField(std::string s) {
  for (char& c : s) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  }
  return s;
}

}  // namespace

std::string OuterAddressFor(const TDevInfo& rec, std::string_view defaultSuffix) {
  if (rec.DDnsServer.empty() || rec.DDnsUser.empty()) return {};
  size_t dot = rec.DDnsServer.find('.');
  if (dot == std::string::npos) return OuterUrlOf(rec.DDnsUser, defaultSuffix);
  std::string suffix = rec.DDnsServer.substr(dot);
  size_t colon = suffix.find(':');
  if (colon != std::string::npos) suffix.resize(colon);
  return OuterUrlOf(rec.DDnsUser, suffix);
}

TDetailsView DetailsViewFor(const TDevInfo& rec, std::string_view defaultSuffix) {
  TDetailsView v;
  v.Modes = {kModePPPoE, kModeDHCP, kModeStatic};
  if (rec.DevType == 9 || rec.DevType == 8) v.Modes.erase(v.Modes.begin());
  for (size_t i = 0; i < v.Modes.size(); ++i) {
    if (v.Modes[i] == rec.IPMode) v.ModeIndex = static_cast<int>(i);
  }
  v.NameReadOnly = rec.DevType == 2;
  v.ModeBoxVisible = rec.DevType != 2;
  v.DataPortVisible = rec.DevType == 4;
  v.DDnsPwdVisible = rec.DevType != 2;
  v.UpgradeVisible = rec.DevType == 2 || rec.DevType == 5 || rec.DevType == 8 || rec.DevType == 9;
  v.MacText = rec.MAC;
  std::replace(v.MacText.begin(), v.MacText.end(), ' ', '0');
  v.LanUrl = DeviceLanUrl(rec);
  v.OuterUrl = OuterAddressFor(rec, defaultSuffix);
  v.OuterEnabled = !v.OuterUrl.empty();
  return v;
}

TAddressFieldsState AddressFieldsFor(int mode) {
  switch (mode) {
    case kModeStatic: return {true, true};
    case kModeDHCP: return {true, false};
    default: return {false, false};
  }
}

TReadSettingsResult ReadSettings(const TPanelSettings& panel, TDevInfo& out) {
  TReadSettingsResult r;
  auto port = SpinValue(panel.Port);
  if (!port || *port < 1 || *port > 65535) {
    r.MessageKey = "IDS_INPUTPORT";
    r.Focus = "edPort";
    return r;
  }
  auto dataPort = SpinValue(panel.DataPort);
  if (!dataPort || *dataPort > 65535) {
    r.MessageKey = "IDS_INPUTPORT";
    r.Focus = "edDataPort";
    return r;
  }
  if (!panel.KeepName) out.Name = std::string(Trim(panel.Name));
  out.HttpPort = static_cast<uint16_t>(*port);
  out.DataPort = static_cast<uint16_t>(*dataPort);
  if (panel.Mode) out.IPMode = static_cast<uint8_t>(*panel.Mode);
  out.IP = panel.IP;
  out.NetMask = panel.NetMask;
  out.Gateway = panel.Gateway;
  out.DNS1 = std::string(kSettingsDNS1);
  out.DNS2 = std::string(kSettingsDNS2);
  r.Ok = true;
  return r;
}

int LastOctet(std::string_view ipText) {
  std::string_view rest = ipText;
  for (int i = 0; i < 3; ++i) {
    size_t dot = rest.find('.');
    if (dot == std::string_view::npos) return 255;
    rest = rest.substr(dot + 1);
  }
  rest = Trim(rest);
  if (rest.empty() || rest.size() > 3) return 255;
  int value = 0;
  auto [p, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
  if (ec != std::errc() || p != rest.data() + rest.size() || value > 255) return 255;
  return value;
}

bool LastOctetAllowsApply(std::string_view ipText) {
  int o = LastOctet(ipText);
  return o != 0 && o != 255;
}

TCameraCredentials PrefilledCredentials(int family, TCredentialUse use) {
  const bool factoryPassword = family == 5 || (family == 4 && use == TCredentialUse::Apply);
  return {"admin", factoryPassword ? "vemra" : ""};
}

std::string AutoSettingPrecheck(std::optional<int> selectedMode) {
  if (!selectedMode || *selectedMode != kModeStatic) return "IDS_NOFIXIP";
  return {};
}

TAutoProposal ProposeAutoSetting(const TAutoSettingInput& in, const TDevInfo* current) {
  TAutoProposal p;
  auto pc = ParseIPv4(Trim(in.PcIP));
  auto mask = ParseIPv4(Trim(in.PcMask));
  int octet = LastOctet(in.CameraIP);
  uint32_t ip = pc ? ((*pc & 0xFFFFFF00u) | static_cast<uint32_t>(octet)) : 0;
  p.MessageArg = pc ? FormatIPv4(ip) : std::string();
  if (!pc || !mask || !IsContiguousMask(*mask) || *mask == 0 || !IsHostInSubnet(ip, *pc, *mask)) {
    p.MessageKey = "IDS_AUTOIPINVALID";
    return p;
  }
  p.Setting.IP = FormatIPv4(ip);
  p.Setting.NetMask = std::string(Trim(in.PcMask));
  p.Setting.Gateway = std::string(Trim(in.PcGateway));
  p.Setting.HttpPort = in.CameraNumber + 81;
  p.Setting.DataPort = in.CameraNumber + 554;
  p.NeedsProbe = !(current && current->IP == p.Setting.IP);
  p.Ok = true;
  return p;
}

std::string AutoSettingProbeVerdict(const TAutoSetting& setting, const TDevInfo* current,
                                    const TProbeResult& probe) {
  if (probe.State != TAddressState::InUse) return {};
  if (current && current->IP == setting.IP) return {};
  if (current && probe.Method != "self") {
    std::string a = HexDigitsLower(probe.Mac), b = HexDigitsLower(current->MAC);
    if (a.size() == 12 && a == b) return {};  // the camera itself answered
  }
  return "IDS_IPINUSE";
}

std::string ExportDeviceList(const std::vector<TDevInfo>& list) {
  std::string out;
  int n = 0;
  for (const auto& d : list) {
    std::string mac;
    for (char c : d.MAC) {
      if (c == '-') continue;
      mac.push_back(c == ' ' ? '0' : static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    }
    out += std::to_string(++n) + "\t" + DevTypeLetter(d.DevType) + "\t" + OneLineField(d.Name) + "\t" +
           OneLineField(d.IP) + "\t" + OneLineField(mac) + "\r\n";
  }
  return out;
}

}  // namespace kestrova
