// kestrova-cli forward-check: the port-forward step's check of one camera found by its MAC,
// its result box printed as the page shows it at the end of the check.
#include <cstdio>

#include "cli/commands.h"
#include "cli/remote_cli.h"
#include "core/remote/port_forward_check.h"
#include "net/remote/check_io.h"

namespace kestrova {

namespace {

void ForwardCheckUsage(FILE* out) {
  std::fprintf(out,
               "usage: kestrova-cli forward-check --mac MAC [--user U] [--password P] [--seconds N] [--lang CODE]\n"
               "  Searches the LAN for N seconds (default 3) for the camera whose MAC is MAC, asks\n"
               "  its DDNS server for the camera's public address and has the service fetch a file\n"
               "  from the camera through it (up to three times). Prints the lines of the check's\n"
               "  result box in language CODE (en, cn, b5, pl, kr; default en), one per line.\n"
               "  --user, --password   accepted like the other camera commands; the check itself\n"
               "                       asks only the DDNS service\n"
               "  Exit status: 0 the camera can be reached from outside, 1 no such camera,\n"
               "  2 bad arguments, 3 the check ended without success.\n");
}

}  // namespace

int CmdForwardCheck(int argc, char** argv) {
  cli::RemoteOptions opt;
  if (auto end = cli::ParseRemoteOptions("forward-check", argc, argv, ForwardCheckUsage, {}, opt)) return *end;
  const std::optional<TDevInfo> dev = cli::FindRemoteCamera("forward-check", opt);
  if (!dev) return 1;

  remote::TResultBox box;
  remote::RunPortForwardCheck(dev->DDnsServer, dev->DDnsUser, CheckHttpGet, ScaledPause(), cli::RemoteCheckTexts(opt),
                              [&box](int code, const std::string& text) { box.Apply(code, text); });
  cli::PrintResultBox(box);
  return box.Succeeded() ? 0 : 3;
}

}  // namespace kestrova
