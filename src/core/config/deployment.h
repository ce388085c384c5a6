// Deployment data, kept in one place: the vendor's DDNS service, its default domain, the
// download site and the links a shipped Config.ini carries. Everything here is the project's
// own neutral default under the reserved ".test" top-level domain; a deployment replaces
// these values (and the Config.ini it ships) without touching any other file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrova::deployment {

// The vendor's DDNS domain. A camera whose DDNS server name has no '.' gets its outer
// address under this suffix ("http://" + DDnsUser + suffix). The suffix starts with the dot,
// as the suffix taken from a server name does.
inline constexpr std::string_view kDefaultDdnsDomainSuffix = ".ddns.kestrova.test";

// DDNS server name the cameras are registered with (the host of the registration, account and
// reachability requests of the DDNS step).
inline constexpr std::string_view kDdnsServiceHost = "www.ddns.kestrova.test";

// The advanced window's Check asks the host "user" + the outer address's domain suffix, i.e.
// "user.ddns.kestrova.test" for an address under the default domain.
inline constexpr std::string_view kOuterCheckHostLabel = "user";

// Every DDNS service request goes to this port.
inline constexpr uint16_t kDdnsServicePort = 808;

// Time-out of each DDNS service request, in milliseconds.
inline constexpr int kDdnsServiceTimeoutMs = 20000;

// The download site (router list and router plug-ins).
inline constexpr std::string_view kDownloadSite = "http://download.kestrova.test:808";

// Router list address when there is no Config.ini, and when Config.ini lacks the key.
inline std::string DefaultRouterUrlNoConfig() { return std::string(kDownloadSite) + "/router/router.txt"; }
inline std::string DefaultRouterUrlWithConfig() { return std::string(kDownloadSite) + "/router/Router.txt"; }
// Prefix of every router plug-in address (the plug-in file name is appended).
inline std::string DefaultDownDllUrl() { return std::string(kDownloadSite) + "/router/"; }

// Links of the Config.ini that ships with the program (section LINK). Without Config.ini, or
// without the key, the program uses the empty text; these are the values the shipped file holds.
// OnlineCD carries "_cn." so that the per-language rewrite has something to replace.
inline constexpr std::string_view kShippedOnlineCD = "http://www.kestrova.test/cd/index_cn.htm";
inline constexpr std::string_view kShippedAbout = "http://www.kestrova.test/about.htm";

// The Config.ini text that ships next to the program (CR LF line ends).
inline std::string ShippedConfigIni() {
  std::string t;
  t += "[LINK]\r\n";
  t += "OnlineCD=" + std::string(kShippedOnlineCD) + "\r\n";
  t += "About=" + std::string(kShippedAbout) + "\r\n";
  t += "\r\n[Setup]\r\n";
  t += "RouterUrl=" + DefaultRouterUrlWithConfig() + "\r\n";
  t += "DownDllURL=" + DefaultDownDllUrl() + "\r\n";
  return t;
}

}  // namespace kestrova::deployment
