#include "net/router/router_files.h"

#include <openssl/evp.h>

#include <cstdio>
#include <fstream>

#include "core/settings/ini_file.h"
#include "net/http/tools.h"
#include "net/platform/program_dir.h"
#include "net/platform/scaled_clock.h"
#include "net/router/plugin_host.h"

namespace kestrova {

namespace fs = std::filesystem;

std::string FileSha256(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return {};
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  if (!ctx || EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr) != 1) {
    EVP_MD_CTX_free(ctx);
    return {};
  }
  char buf[65536];
  while (in) {
    in.read(buf, sizeof buf);
    if (in.gcount() > 0) EVP_DigestUpdate(ctx, buf, static_cast<size_t>(in.gcount()));
  }
  const bool readOk = in.eof();
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  EVP_DigestFinal_ex(ctx, md, &len);
  EVP_MD_CTX_free(ctx);
  if (!readOk) return {};
  static const char* hex = "0123456789abcdef";
  std::string o;
  for (unsigned int i = 0; i < len; ++i) {
    o += hex[md[i] >> 4];
    o += hex[md[i] & 15];
  }
  return o;
}

bool DownloadFile(const std::string& address, const fs::path& target, const std::string& sha256) {
  fs::path ll = target;
  ll += ".ll";
  fs::path old = target;
  old += ".old";
  std::error_code ec;
  fs::remove(ll, ec);
  bool ok = TTools::HttpGetToFile(address, ll, kRouterDownloadTimeoutMs);
  if (ok && fs::file_size(ll, ec) == 0) ok = false;  // "Download error!"
  if (ok && ec) ok = false;
  if (ok && !sha256.empty() && FileSha256(ll) != sha256) ok = false;
  if (!ok) fs::remove(ll, ec);
  SleepScaled(500);
  if (!ok) return false;
  fs::remove(old, ec);
  if (fs::exists(target, ec)) {
    fs::rename(target, old, ec);
    if (ec) {
      fs::remove(ll, ec);
      return false;
    }
  }
  fs::rename(ll, target, ec);
  if (ec) {
    // Put the previous file back so that the program keeps a working plug-in.
    std::error_code ec2;
    fs::rename(old, target, ec2);
    fs::remove(ll, ec2);
    return false;
  }
  return true;
}

fs::path RouterFolder() { return ProgramDir() / std::string(router::kRouterDir); }

router::TDownloadUrls ReadDownloadUrls() {
  const fs::path cfg = ProgramDir() / "Config.ini";
  std::error_code ec;
  if (!fs::exists(cfg, ec)) return router::ReadDownloadUrls(nullptr);
  TIniFile ini(cfg);
  return router::ReadDownloadUrls(&ini);
}

bool LoadRouters(const router::TDownloadUrls& urls, const std::string& lang, std::vector<router::TRouter>& routers) {
  routers.clear();
  const fs::path list = RouterFolder() / std::string(router::kRouterList);
  std::error_code ec;
  if (!fs::exists(list, ec)) {
    fs::create_directories(RouterFolder(), ec);
    DownloadFile(urls.routerUrl, list);
  }
  if (!fs::exists(list, ec)) return false;
  routers = router::LoadRouterList(TIniFile(list), lang);
  return true;
}

void AddBuiltInRouter(std::vector<router::TRouter>& routers, const std::string& name) {
  std::error_code ec;
  if (name.empty() || !fs::is_regular_file(RouterFolder() / std::string(router::kAutomaticPlugin), ec)) return;
  for (const auto& r : routers)
    if (r.index == router::kAutomaticIndex) return;
  routers.insert(routers.begin(), router::TRouter{router::kAutomaticIndex, name, std::string(router::kAutomaticPlugin), ""});
}

TRouterUpdateResult RunRouterUpdate(const router::TRouter* r, const router::TDownloadUrls& urls,
                                    const std::function<bool()>& ask) {
  TRouterUpdateResult res;
  if (!r) {
    res.key = "IDS_NOROUTER_LIST";
    return res;
  }
  if (r->index == router::kAutomaticIndex) {
    res.key = "IDS_NO_NewVERSION";
    return res;
  }
  const fs::path folder = RouterFolder();
  std::error_code ec;
  fs::create_directories(folder, ec);
  const fs::path plugin = folder / r->file;
  const fs::path tmp = folder / std::string(router::kRouterListDownload);
  std::string listed, sha = r->sha256;
  if (DownloadFile(urls.routerUrl, tmp)) {
    const TIniFile fresh = TIniFile(tmp);
    const std::string n = std::to_string(r->index);
    listed = fresh.ReadString("Router", "Version" + n, "");
    // The fresh list's digest belongs to the version it lists.
    const std::string freshSha = fresh.ReadString("Router", "sha256" + n, "");
    if (auto norm = router::NormalizeSha256(freshSha)) sha = *norm;
    fs::remove(tmp, ec);
  }
  if (fs::exists(plugin, ec) && router::VersionIsCurrent(FileVersionText(plugin), listed)) {
    res.key = "IDS_NO_NewVERSION";
    return res;
  }
  if (!ask || !ask()) {
    res.key = "IDS_DOWNLOAD_INFO";
    return res;
  }
  if (!DownloadFile(urls.downDllUrl + r->file, plugin, sha)) {
    res.key = "IDS_DOWNLOAD_DLL_ERROR";
    return res;
  }
  TIniFile local(folder / std::string(router::kRouterList));
  local.WriteString("Router", "Version" + std::to_string(r->index), listed);
  res.downloaded = true;
  res.key = "IDS_DOWNLOAD_DLL_OK";
  return res;
}

}  // namespace kestrova
