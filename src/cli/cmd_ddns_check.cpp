// kestrova-cli ddns-check: the DDNS step's check of one camera found by its MAC, its result
// box printed as the page shows it at the end of the check.
#include <cstdio>

#include "cli/commands.h"
#include "cli/remote_cli.h"
#include "core/remote/ddns_check.h"
#include "net/remote/check_io.h"

namespace kestrova {

namespace {

void DdnsCheckUsage(FILE* out) {
  std::fprintf(out,
               "usage: kestrova-cli ddns-check --mac MAC [--user U] [--password P] [--seconds N] [--lang CODE]\n"
               "  Searches the LAN for N seconds (default 3) for the camera whose MAC is MAC, reads\n"
               "  its DDNS options the way its family keeps them and asks the DDNS service whether\n"
               "  it is registered and online. Prints the lines of the check's result box in\n"
               "  language CODE (en, cn, b5, pl, kr; default en), one per line.\n"
               "  --user, --password   the camera account (default admin and an empty password,\n"
               "                       vemra for E cameras, the reported account for T cameras)\n"
               "  Exit status: 0 the check succeeded, 1 no such camera, 2 bad arguments,\n"
               "  3 the check ended without success.\n");
}

}  // namespace

int CmdDdnsCheck(int argc, char** argv) {
  cli::RemoteOptions opt;
  if (auto end = cli::ParseRemoteOptions("ddns-check", argc, argv, DdnsCheckUsage, {}, opt)) return *end;
  const std::optional<TDevInfo> dev = cli::FindRemoteCamera("ddns-check", opt);
  if (!dev) return 1;
  std::string user, password;
  cli::CameraAccount(opt, *dev, user, password);

  remote::TResultBox box;
  remote::RunDdnsCheck(remote::DdnsCheckInputOf(*dev, user, password), DdnsCheckIo(*dev, user, password),
                       cli::RemoteCheckTexts(opt), [&box](int code, const std::string& text) { box.Apply(code, text); });
  cli::PrintResultBox(box);
  return box.Succeeded() ? 0 : 3;
}

}  // namespace kestrova
