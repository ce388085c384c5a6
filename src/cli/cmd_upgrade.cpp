// kestrova-cli upgrade: the upgrade window without windows. Finds the camera by its MAC, checks
// the file for the camera's family and kind, and uploads it the family's way (the multipart
// forms of families 2 and 8, the package transfer of family 5 with its restart waits scaled by
// KESTROVA_TIME_SCALE, the CGI family driver for the others), with a progress line on stderr.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/router_cli.h"
#include "core/protocols/text_util.h"
#include "core/setup/address_rules.h"
#include "core/upgrade/upgrade_flow.h"
#include "net/cgi/device_series.h"
#include "net/discovery/discovery_engine.h"
#include "net/setnet/camera_lookup.h"
#include "net/upgrade/upgrade_io.h"

namespace kestrova {

namespace {

void UpgradeUsage(FILE* out) {
  std::fprintf(out,
               "usage: kestrova-cli upgrade --mac MAC --file F [--web-pages] [--user U] [--password P]\n"
               "                            [--seconds N]\n"
               "  Searches the LAN for N seconds (default 3) for the camera whose MAC is MAC and sends\n"
               "  it the file F as its system firmware (with --web-pages: as its built-in web pages),\n"
               "  the way its family takes it, after the same file checks as the upgrade window.\n"
               "  A PK2 package (family-5 cameras) is checked whole before anything is sent; then the\n"
               "  camera restarts and is awaited (40 s and up to ten more tries 10 s apart; the waits\n"
               "  are multiplied by KESTROVA_TIME_SCALE).\n"
               "  --user, --password   the camera account (default admin and the password the upgrade\n"
               "                       window proposes; for T cameras the account their search answer\n"
               "                       reports)\n"
               "  Progress goes to stderr; the outcome (message key and text) and its detail to stdout.\n"
               "  Exit status: 0 upgraded, 1 no such camera, 2 any other failure, 3 the file is\n"
               "  refused.\n");
}

// "progress: ..." lines on stderr, one per whole percent and record, and one when the camera
// is awaited.
class ProgressLine {
 public:
  bool operator()(const upgrade::TPk2Progress& p) {
    const int pct = p.Total ? static_cast<int>(p.Sent * 100 / p.Total) : -1;
    if (p.AwaitingCamera) {
      if (!awaiting_) std::fprintf(stderr, "progress: sent; waiting for the camera to come back\n");
      awaiting_ = true;
      return true;
    }
    if (pct == pct_ && p.Record == record_) return true;
    pct_ = pct;
    record_ = p.Record;
    std::string line = "progress: sent " + std::to_string(p.Sent) + " of " + std::to_string(p.Total) + " bytes";
    if (p.Records) line += ", record " + std::to_string(p.Record) + " of " + std::to_string(p.Records);
    std::fprintf(stderr, "%s\n", line.c_str());
    return true;
  }

 private:
  int pct_ = -2;
  uint32_t record_ = 0;
  bool awaiting_ = false;
};

}  // namespace

int CmdUpgrade(int argc, char** argv) {
  std::string file;
  bool haveFile = false, pages = false;
  std::vector<char*> rest{argv[0]};
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--file") {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "kestrova-cli upgrade: --file needs a value\n");
        return 2;
      }
      file = argv[++i];
      haveFile = true;
    } else if (a == "--web-pages") {
      pages = true;
    } else if (a == "--json") {
      std::fprintf(stderr, "kestrova-cli upgrade: unknown option '%s'\n", a.c_str());
      UpgradeUsage(stderr);
      return 2;
    } else {
      rest.push_back(argv[i]);
    }
  }
  cli::CameraOptions opt;
  if (auto end = cli::ParseCameraOptions("upgrade", int(rest.size()), rest.data(), UpgradeUsage, opt)) return *end;
  if (!haveFile || file.empty()) {
    std::fprintf(stderr, "kestrova-cli upgrade: --file is required\n");
    UpgradeUsage(stderr);
    return 2;
  }

  std::optional<TDevInfo> found;
  {
    // Discovery stops before the upload, as it does while the upgrade window is open.
    DiscoveryEngine engine(opt.engine);
    engine.Start();
    found = DiscoverByMac(engine, opt.mac, static_cast<int>(opt.seconds));
    engine.Stop();
  }
  if (!found) {
    std::fprintf(stderr, "kestrova-cli upgrade: no camera with MAC %s answered\n", cli::Printable(opt.mac).c_str());
    return 1;
  }
  const TDevInfo dev = *found;
  std::printf("camera %s (%s) at %s: family %d\n", cli::Printable(dev.MAC).c_str(), cli::Printable(dev.Name).c_str(),
              cli::Printable(dev.IP).c_str(), dev.DevType);
  std::fflush(stdout);

  const TCameraCredentials pre = PrefilledCredentials(dev.DevType, TCredentialUse::Upgrade);
  const bool t9 = dev.DevType == 9 && !dev.User.empty();
  upgrade::TUpgradeTarget target;
  target.DevType = dev.DevType;
  target.IP = dev.IP;
  target.HttpPort = dev.HttpPort;
  target.User = TrimCopy(opt.haveUser ? opt.user : t9 ? dev.User : pre.User);
  target.Password = TrimCopy(opt.havePassword ? opt.password : t9 ? dev.Pwd : pre.Password);

  TT517Series series(opt.series);
  series.SetDevice(dev);
  ProgressLine progress;
  const upgrade::TUpgradeIo io =
      upgrade::NetUpgradeIo(series, [&progress](const upgrade::TPk2Progress& p) { return progress(p); });
  const upgrade::TUpgradeOutcome o =
      upgrade::RunUpgrade(target, pages ? upgrade::TUpgradeKind::WebPages : upgrade::TUpgradeKind::Firmware, file, io);

  if (o.Status == upgrade::TUpgradeStatus::NoFile) {
    std::printf("outcome: refused\n");
    std::printf("detail: no such file: %s\n", cli::Printable(file).c_str());
    return 3;
  }
  if (!o.MessageKey.empty()) cli::PrintMessage("en", o.MessageKey);
  if (!o.DetailKey.empty()) cli::PrintMessage("en", o.DetailKey);
  if (!o.Detail.empty()) std::printf("detail: %s\n", cli::Printable(o.Detail).c_str());
  switch (o.Status) {
    case upgrade::TUpgradeStatus::Success:
      std::printf("outcome: upgraded\n");
      return 0;
    case upgrade::TUpgradeStatus::FileRefused:
      std::printf("outcome: refused\n");
      return 3;
    case upgrade::TUpgradeStatus::Cancelled:
      std::printf("outcome: cancelled\n");
      return 2;
    default:
      std::printf("outcome: failed\n");
      return 2;
  }
}

}  // namespace kestrova
