#include "core/upgrade/upgrade_flow.h"

#include "core/discovery/ip_text.h"
#include "core/protocols/url_value.h"
#include "core/upgrade/pk2.h"

namespace kestrova::upgrade {

std::optional<TUploadForm> UploadForm(int devType, TUpgradeKind kind, const std::string& base,
                                      const std::string& user, const std::string& password) {
  const bool pages = kind == TUpgradeKind::WebPages;
  TUploadForm f;
  if (devType == 2) {
    // The account goes in the query: a '&', '#' or blank in it cannot change the request.
    f.Url = base + (pages ? "/upgrade_htmls.cgi" : "/upgrade_firmware.cgi") + "?user=" + UrlValue(user) +
            "&pwd=" + UrlValue(password) + "&next_url=reboot.htm";
    f.PartType = "application/octet-stream";
    // The client's defaults: no Basic credentials unless the camera asks.
    f.Http11 = false;
    f.UserAgent = "Mozilla/3.0 (compatible; Indy Library)";
    f.Headers = {"Accept: text/html, */*"};
    return f;
  }
  if (devType == 8) {
    f.Url = base + (pages ? "/cgi-bin/upgrade_htmls.cgi" : "/cgi-bin/upgrade_firmware.cgi") + "?next_url=reboot.htm";
    f.PartType = "application/x-zip-compressed";
    f.User = user;
    f.Password = password;
    f.Http11 = true;
    f.UserAgent = "Mozilla/3.0 (compatible; Indy Library)";
    f.AcceptEncoding = "gzip,deflate";
    f.Headers = {"Accept: image/gif, image/jpeg, image/pjpeg, image/pjpeg, application/x-shockwave-flash, */*"};
    return f;
  }
  return std::nullopt;
}

namespace {

TUpgradeOutcome FromTransfer(const TTransferResult& r) {
  TUpgradeOutcome o;
  if (r.Ok) {
    o.Status = TUpgradeStatus::Success;
    o.MessageKey = "IDS_UPGRADESUCC";
    return o;
  }
  o.Status = r.Cancelled ? TUpgradeStatus::Cancelled : TUpgradeStatus::Failed;
  o.MessageKey = "IDS_UPGRADEFAIL";
  o.DetailKey = r.MessageKey;
  o.Detail = r.Detail;
  return o;
}

// Nothing goes to an address that is not a camera's: the record's text is checked first.
TUpgradeOutcome NoCamera() {
  TUpgradeOutcome o;
  o.Status = TUpgradeStatus::Failed;
  o.MessageKey = "IDS_UPGRADEFAIL";
  o.DetailKey = "IDS_CANTCONNECT";
  return o;
}

bool UsableTarget(const TUpgradeTarget& t) { return IsUnicastIPv4Text(t.IP) && t.HttpPort > 0 && t.HttpPort <= 65535; }

TUpgradeOutcome Refused() {
  TUpgradeOutcome o;
  o.Status = TUpgradeStatus::FileRefused;
  o.MessageKey = "IDS_ERRFILE";
  return o;
}

}  // namespace

TUpgradeOutcome RunUpgrade(const TUpgradeTarget& t, TUpgradeKind kind, const std::string& file,
                           const TUpgradeIo& io) {
  const bool pages = kind == TUpgradeKind::WebPages;
  if (t.DevType == 5) {
    if (!io.FileExists(file)) {
      TUpgradeOutcome o;
      o.Status = TUpgradeStatus::NoFile;
      return o;
    }
    // The whole package is checked before anything of it goes to the camera.
    const std::optional<std::string> whole = io.ReadFile(file, kMaxPackageBytes + 1);
    if (!whole || whole->size() > kMaxPackageBytes || CheckUpgradeFile(5, pages, *whole) != FileCheck::Ok)
      return Refused();
    if (!UsableTarget(t)) return NoCamera();
    return FromTransfer(io.SendPackage(file, t));
  }
  const std::optional<std::string> head = io.ReadFile(file, 4);
  if (!head || CheckUpgradeFile(t.DevType, pages, *head) != FileCheck::Ok) return Refused();
  if (!UsableTarget(t)) return NoCamera();
  const std::string base = UpgradeBaseUrl(t.IP, t.HttpPort);
  if (auto form = UploadForm(t.DevType, kind, base, t.User, t.Password)) return FromTransfer(io.PostForm(*form, file));
  return FromTransfer(io.Driver(kind, base, t.User, file, t.Password));
}

}  // namespace kestrova::upgrade
