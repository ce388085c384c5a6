#include "core/discovery/dev_info.h"

#include "core/text/utf8.h"

namespace kestrova {

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

bool NameInLegacyCodePage(const TDevInfo& dev) {
  return (dev.DevType == 5 || dev.DevType == 9) && !IsValidUtf8(dev.Name);
}

std::string DeviceLanUrl(const TDevInfo& dev) {
  std::string url = "http://" + dev.IP;
  if (dev.HttpPort != 80) url += ":" + std::to_string(dev.HttpPort);
  return url;
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
  return "http://" + dev->DDnsUser + suffix;
}

}  // namespace kestrova
