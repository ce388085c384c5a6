// The router list and plug-in files of the program folder: downloads with their ".ll" and
// ".old" files, the list read at window creation, and the plug-in update command.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/router/router_list.h"

namespace kestrova {

// Per-wait time-out of a download (unscaled ms); the whole transfer is bounded by three times it.
inline constexpr int kRouterDownloadTimeoutMs = 30000;

// GET address into target: the body is received as target + ".ll"; an empty body or a failed
// transfer removes it and leaves target as it was. With sha256 set (64 lower-case hex digits)
// a body of another digest counts as a failure too. On success the previous target becomes
// target + ".old" (replacing an older one) and the received file takes its place. Waits 500
// ms (scaled) either way.
bool DownloadFile(const std::string& address, const std::filesystem::path& target, const std::string& sha256 = {});

// The SHA-256 of a file as 64 lower-case hex digits; "" when it cannot be read.
std::string FileSha256(const std::filesystem::path& file);

// Router/ of the program folder.
std::filesystem::path RouterFolder();
// RouterUrl and DownDllURL from the program folder's Config.ini.
router::TDownloadUrls ReadDownloadUrls();

// The router list as the port-mapping window reads it when it is created: Router/Router.ini,
// downloaded from the list address when missing. false when there is still no list
// (IDS_READROUTER_ERROR); routers then stays empty.
bool LoadRouters(const router::TDownloadUrls& urls, const std::string& lang, std::vector<router::TRouter>& routers);

// Puts the built-in router (index 0, the name given) before the others when its plug-in is in
// Router/; it needs no list, so it is offered even when the list could not be had.
void AddBuiltInRouter(std::vector<router::TRouter>& routers, const std::string& name);

// The update command for one router: the message key it ends with. ask is the download
// question (true for Yes). With no router (nullptr: an empty list) it ends with IDS_NOROUTER_LIST;
// the built-in router's plug-in comes with the program and is always current (IDS_NO_NewVERSION).
struct TRouterUpdateResult {
  std::string key;          // IDS_NO_NewVERSION, IDS_DOWNLOAD_INFO (declined), IDS_DOWNLOAD_DLL_ERROR, IDS_DOWNLOAD_DLL_OK
  bool downloaded = false;  // the plug-in was replaced
};
TRouterUpdateResult RunRouterUpdate(const router::TRouter* r, const router::TDownloadUrls& urls,
                                    const std::function<bool()>& ask);

}  // namespace kestrova
