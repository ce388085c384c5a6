#include "net/upgrade/upgrade_io.h"

#include <filesystem>
#include <fstream>
#include <memory>

#include "net/cgi/device_series.h"
#include "net/http/tools.h"

namespace kestrova::upgrade {

std::optional<std::string> ReadFileHead(const std::string& path, std::size_t max) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream f(path, std::ios::binary);
  if (!f) return std::nullopt;
  std::string out;
  char buf[65536];
  while (out.size() < max) {
    f.read(buf, static_cast<std::streamsize>(std::min(sizeof buf, max - out.size())));
    out.append(buf, static_cast<size_t>(f.gcount()));
    if (!f) break;
  }
  if (f.bad()) return std::nullopt;
  return out;
}

TUpgradeIo NetUpgradeIo(IDeviceSeries& driver, TUpgradeProgressFn progress) {
  auto report = std::make_shared<TUpgradeProgressFn>(std::move(progress));
  TUpgradeIo io;
  io.ReadFile = ReadFileHead;
  io.FileExists = [](const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
  };
  io.PostForm = [report](const TUploadForm& f, const std::string& path) {
    THttpUpload u;
    u.Url = f.Url;
    u.PartName = f.PartName;
    u.FilePath = path;
    u.PartType = f.PartType;
    u.User = f.User;
    u.Password = f.Password;
    u.TimeoutMs = f.TimeoutMs;
    u.Http11 = f.Http11;
    u.UserAgent = f.UserAgent;
    u.AcceptEncoding = f.AcceptEncoding;
    u.Headers = f.Headers;
    if (*report) {
      u.Progress = [report](uint64_t sent, uint64_t total) {
        TPk2Progress p;
        p.Sent = sent;
        p.Total = total;
        return (*report)(p);
      };
    }
    const THttpUploadResult r = TTools::HttpUpload(u);
    TTransferResult out;
    out.Ok = r.Ok;
    out.Cancelled = r.Cancelled;
    if (r.Cancelled) out.MessageKey = "IDS_UPGRADECANCELLED";
    else if (!r.Ok) out.Detail = r.Error;
    return out;
  };
  io.SendPackage = [report](const std::string& path, const TUpgradeTarget& t) {
    return UploadPackage(path, t.IP, t.HttpPort, t.User, t.Password, *report);
  };
  io.Driver = [&driver](TUpgradeKind kind, const std::string& base, const std::string& user, const std::string& path,
                        const std::string& password) {
    TTransferResult out;
    out.Ok = kind == TUpgradeKind::WebPages ? driver.UpgradeHtmls(base, user, path, password)
                                            : driver.UpgradeFirmware(base, user, path, password);
    return out;
  };
  return io;
}

}  // namespace kestrova::upgrade
