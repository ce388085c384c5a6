#include "core/discovery/dev_info.h"

#include <charconv>

#include "core/discovery/ip_text.h"
#include "core/text/utf8.h"

namespace kestrova {

bool KeepReportedAddresses(TDevInfo& rec) {
  for (std::string* field : {&rec.NetMask, &rec.Gateway, &rec.DNS1, &rec.DNS2})
    if (!IsIPv4Text(*field)) field->clear();
  return IsIPv4Text(rec.IP);
}

std::string CameraBaseUrl(std::string_view ip, uint16_t port, TUrlPort portStyle, std::string_view scheme) {
  if (!IsUnicastIPv4Text(ip)) return {};
  std::string url = std::string(scheme) + "://" + std::string(ip);
  if (port != 80 || portStyle == TUrlPort::Always) url += ":" + std::to_string(port);
  return url;
}

std::optional<TCameraEndpoint> ParseCameraBaseUrl(std::string_view base) {
  constexpr std::string_view kScheme = "http://";
  if (base.size() < kScheme.size()) return std::nullopt;
  for (std::size_t i = 0; i < kScheme.size(); ++i) {
    const char c = base[i] >= 'A' && base[i] <= 'Z' ? static_cast<char>(base[i] - 'A' + 'a') : base[i];
    if (c != kScheme[i]) return std::nullopt;
  }
  std::string_view rest = base.substr(kScheme.size());
  TCameraEndpoint out;
  const std::size_t colon = rest.find(':');
  if (colon != std::string_view::npos) {
    const std::string_view portText = rest.substr(colon + 1);
    unsigned value = 0;
    auto [end, ec] = std::from_chars(portText.data(), portText.data() + portText.size(), value);
    if (portText.empty() || portText.size() > 5 || ec != std::errc() || end != portText.data() + portText.size() ||
        value > 65535)
      return std::nullopt;
    out.Port = static_cast<uint16_t>(value);
    out.PortWritten = true;
    rest = rest.substr(0, colon);
  }
  if (!IsUnicastIPv4Text(rest)) return std::nullopt;
  out.IP = std::string(rest);
  return out;
}

std::string DevTypeLetter(int32_t code) {
  switch (code) {
    case 2: return "F";
    case 4: return "H";
    case 5: return "E";
    case 8: return "H";
    case 9: return "T";
    default: return "";
  }
}

std::string DeviceLanUrl(const TDevInfo& dev) { return CameraBaseUrl(dev.IP, dev.HttpPort); }
bool NameInLegacyCodePage(const TDevInfo& dev) {
  return (dev.DevType == 5 || dev.DevType == 9) && !IsValidUtf8(dev.Name);
}

std::string DdnsDomainSuffix(const TDevInfo* dev) {
  if (!dev) return {};
  const std::string& server = dev->DDnsServer;
  std::size_t dot = server.find('.');
  if (dot == std::string::npos) return {};
  std::string suffix = server.substr(dot);
  std::size_t colon = suffix.find(':');
  if (colon != std::string::npos) suffix.resize(colon);
  return suffix;
}

std::string DeviceOuterUrl(const TDevInfo* dev) {
  if (!dev || dev->DDnsUser.empty()) return {};
  std::string suffix = DdnsDomainSuffix(dev);
  if (suffix.empty()) return {};
  return OuterUrlOf(dev->DDnsUser, suffix);
}

std::string OuterUrlOf(std::string_view account, std::string_view suffix) {
  std::string host = std::string(account) + std::string(suffix);
  if (!IsHostNameText(host)) return {};
  return "http://" + host;
}

}  // namespace kestrova
