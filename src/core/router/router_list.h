// The router list (Router/Router.ini), the download addresses of Config.ini and the version
// rules of the plug-in update command. Pure.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings/ini_file.h"

namespace kestrova::router {

// The folder in the program folder that holds the list and the plug-ins, and the list's names.
inline constexpr std::string_view kRouterDir = "Router";
inline constexpr std::string_view kRouterList = "Router.ini";
inline constexpr std::string_view kRouterListDownload = "Router.tmp";
// The plug-in that comes with the program (UPnP-IGD / NAT-PMP), offered before the list's
// entries as index 0 whenever it is in Router/.
inline constexpr std::string_view kAutomaticPlugin = "automatic.so";
inline constexpr int kAutomaticIndex = 0;

struct TRouter {
  int index = 0;         // i of the list's keys
  std::string name;      // display name in the current language
  std::string file;      // plug-in file name inside Router/
  std::string sha256;    // expected SHA-256 of the plug-in (64 lower-case hex digits) or ""
};

// A plug-in file name that stays inside Router/: no '/', '\\', NUL or control byte, not "."
// or "..", not empty. Entries with any other rpath are not offered.
bool IsSafePluginFile(std::string_view file);
// 64 hex digits (either case) -> lower case; nullopt otherwise.
std::optional<std::string> NormalizeSha256(std::string_view text);

// The usable entries, in list order: both the name in language `lang` and a safe rpath set.
// An entry whose "sha256" key is set but not 64 hex digits is not offered either.
std::vector<TRouter> LoadRouterList(const TIniFile& list, const std::string& lang);

struct TDownloadUrls {
  std::string routerUrl, downDllUrl;
};
// RouterUrl and DownDllURL of Config.ini section Setup; config is nullptr when the file does
// not exist.
TDownloadUrls ReadDownloadUrls(const TIniFile* config);

// "a.b.c.d" of the four 16-bit numbers, most significant first.
std::string FormatFileVersion(uint64_t packed);
// The installed plug-in is current when its version text is greater than or equal to the
// listed one, compared as plain texts byte by byte.
bool VersionIsCurrent(std::string_view installed, std::string_view listed);

}  // namespace kestrova::router
