// kestrova-cli ddns-set: the DDNS account dialog's OK for one camera found by its MAC (the
// family-2 account write), then the step's 40-second wait for the camera to come back.
#include <cstdio>

#include "cli/commands.h"
#include "cli/remote_cli.h"
#include "cli/router_cli.h"
#include "core/remote/ddns_check.h"
#include "net/discovery/discovery_engine.h"
#include "net/platform/scaled_clock.h"
#include "net/remote/check_io.h"
#include "net/setnet/camera_lookup.h"

namespace kestrova {

namespace {

void DdnsSetUsage(FILE* out) {
  std::fprintf(out,
               "usage: kestrova-cli ddns-set --mac MAC --server S --id ID --ddns-password P\n"
               "                             [--user U] [--password P] [--seconds N] [--lang CODE]\n"
               "  Searches the LAN for N seconds (default 3) for the camera whose MAC is MAC and\n"
               "  writes the DDNS account (server S, ID, password P; each trimmed) into it, as the\n"
               "  DDNS step's Settings dialog does (cameras of family 2 only). The camera restarts;\n"
               "  the command then waits up to 40 seconds for it to answer a search again (it is\n"
               "  looked for only after the first 30 seconds, like the step's countdown).\n"
               "  Failures are printed in language CODE (en, cn, b5, pl, kr; default en).\n"
               "  --user, --password   the camera account (default admin and an empty password)\n"
               "  Exit status: 0 the camera took the account and came back, 1 no such camera,\n"
               "  2 bad arguments, 3 the account was not written, 4 the camera did not come back\n"
               "  within 40 seconds.\n");
}

}  // namespace

int CmdDdnsSet(int argc, char** argv) {
  cli::RemoteOptions opt;
  if (auto end = cli::ParseRemoteOptions("ddns-set", argc, argv, DdnsSetUsage, {"--server", "--id", "--ddns-password"},
                                         opt)) {
    return *end;
  }
  const std::string& server = opt.values[0];
  const std::string& id = opt.values[1];
  const std::string& ddnsPassword = opt.values[2];
  const std::optional<TDevInfo> dev = cli::FindRemoteCamera("ddns-set", opt);
  if (!dev) return 1;
  std::string user, password;
  cli::CameraAccount(opt, *dev, user, password);

  const remote::TSetDdnsResult r =
      remote::SetDdnsAccount(dev->DevType, DeviceLanUrl(*dev), user, password, id, ddnsPassword, server, CheckHttpGet);
  if (r == remote::TSetDdnsResult::NotSupported) {
    std::fprintf(stderr, "kestrova-cli ddns-set: cameras of family %d take no DDNS account from this program\n",
                 dev->DevType);
    return 3;
  }
  if (r != remote::TSetDdnsResult::Taken) {
    const std::string key = remote::SetDdnsMessageKey(r);
    std::printf("%s\n", cli::MessageText(opt.lang, key).c_str());
    return 3;
  }
  std::printf("the camera took the DDNS account; waiting for it to come back\n");
  std::fflush(stdout);

  // A list of its own: the camera counts as back once it answers a search after the write.
  DiscoveryEngine engine(opt.camera.engine);
  engine.Start();
  EngineRunner runner(engine);
  const int back = remote::WaitForCameraBack(
      remote::kSetDdnsWaitSeconds,
      [&runner](int ms) {
        runner.RunFor(ScaledMs(ms));
        return true;
      },
      [&] { return engine.List().FindItemByMAC(dev->MAC) >= 0 || engine.List().FindItemByIP(dev->IP) >= 0; });
  engine.Stop();
  if (back != 0) {
    std::fprintf(stderr, "kestrova-cli ddns-set: the camera did not come back within %d seconds\n",
                 remote::kSetDdnsWaitSeconds);
    return 4;
  }
  std::printf("the camera is back\n");
  return 0;
}

}  // namespace kestrova
