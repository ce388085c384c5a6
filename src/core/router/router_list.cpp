#include "core/router/router_list.h"

#include "core/config/deployment.h"

namespace kestrova::router {

namespace {
constexpr std::string_view kSection = "Router";
}

bool IsSafePluginFile(std::string_view f) {
  if (f.empty() || f == "." || f == "..") return false;
  for (char c : f) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || c == ':' || u < 0x20 || u == 0x7F) return false;
  }
  return true;
}

std::optional<std::string> NormalizeSha256(std::string_view t) {
  if (t.size() != 64) return std::nullopt;
  std::string o;
  for (char c : t) {
    if (c >= '0' && c <= '9') o += c;
    else if (c >= 'a' && c <= 'f') o += c;
    else if (c >= 'A' && c <= 'F') o += static_cast<char>(c - 'A' + 'a');
    else return std::nullopt;
  }
  return o;
}

std::vector<TRouter> LoadRouterList(const TIniFile& list, const std::string& lang) {
  std::vector<TRouter> out;
  const int count = list.ReadInteger(kSection, "Count", 0);
  // A count far beyond what a list can hold is not walked key by key.
  const int last = count < 0 ? 0 : (count > 100000 ? 100000 : count);
  for (int i = 1; i <= last; ++i) {
    const std::string n = std::to_string(i);
    TRouter r;
    r.index = i;
    r.name = list.ReadString(kSection, "R" + lang + "Name" + n, "");
    r.file = list.ReadString(kSection, "rpath" + n, "");
    if (r.name.empty() || r.file.empty() || !IsSafePluginFile(r.file)) continue;
    const std::string sha = list.ReadString(kSection, "sha256" + n, "");
    if (!sha.empty()) {
      auto norm = NormalizeSha256(sha);
      if (!norm) continue;
      r.sha256 = *norm;
    }
    out.push_back(std::move(r));
  }
  return out;
}

TDownloadUrls ReadDownloadUrls(const TIniFile* config) {
  TDownloadUrls u{deployment::DefaultRouterUrlNoConfig(), deployment::DefaultDownDllUrl()};
  if (!config) return u;
  if (!config->ValueExists("Setup", "RouterUrl")) {
    u.routerUrl = deployment::DefaultRouterUrlWithConfig();
  } else {
    const std::string v = config->ReadString("Setup", "RouterUrl", "");
    if (!v.empty()) u.routerUrl = v;
  }
  const std::string d = config->ReadString("Setup", "DownDllURL", "");
  if (!d.empty()) u.downDllUrl = d;
  return u;
}

std::string FormatFileVersion(uint64_t v) {
  return std::to_string((v >> 48) & 0xFFFF) + "." + std::to_string((v >> 32) & 0xFFFF) + "." +
         std::to_string((v >> 16) & 0xFFFF) + "." + std::to_string(v & 0xFFFF);
}

bool VersionIsCurrent(std::string_view installed, std::string_view listed) { return installed >= listed; }

}  // namespace kestrova::router
