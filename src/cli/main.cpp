// kestrova-cli: the discovery and settings engine without windows, for scripts and tests.
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/commands.h"

namespace {

struct Command {
  const char* name;
  int (*run)(int, char**);
  const char* help;
};

const Command kCommands[] = {
    {"discover", kestrova::CmdDiscover, "discover [--address A.B.C.D] ...   list the cameras on the LAN"},
    {"set-ip", kestrova::CmdSetIp, "set-ip ...                         give a camera new network settings"},
    {"wifi-scan", kestrova::CmdWifiScan, "wifi-scan ...                      list the wireless networks a camera sees"},
    {"wifi-set", kestrova::CmdWifiSet, "wifi-set --mac MAC --ssid SSID ...  join a camera to a wireless network it sees"},
    {"setup", kestrova::CmdSetup, "setup --mac MAC ...                give a camera a working address in this PC's subnet"},
    {"routers", kestrova::CmdRouters, "routers [--lang CODE]              list the routers the port-mapping window offers"},
    {"port-map", kestrova::CmdPortMap, "port-map --router N ...            have the router forward the camera's ports"},
    {"router-update", kestrova::CmdRouterUpdate, "router-update --router N [--yes]   fetch a newer plug-in for router N"},
    {"ddns-check", kestrova::CmdDdnsCheck, "ddns-check --mac MAC ...           check a camera's DDNS options and registration"},
    {"ddns-set", kestrova::CmdDdnsSet, "ddns-set --mac MAC --server S ...  write a camera's DDNS account and wait for it"},
    {"forward-check", kestrova::CmdForwardCheck, "forward-check --mac MAC ...        check that a camera can be reached from outside"},
    {"upgrade", kestrova::CmdUpgrade, "upgrade --mac MAC --file F ...     send a camera new firmware or web pages"},
};

void Usage(FILE* out) {
  std::fprintf(out, "usage: kestrova-cli <command> [options]\n\ncommands:\n");
  for (const auto& c : kCommands) std::fprintf(out, "  %s\n", c.help);
  std::fprintf(out, "\n'kestrova-cli <command> --help' describes a command's options.\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    Usage(stderr);
    return 2;
  }
  const std::string cmd = argv[1];
  if (cmd == "--help" || cmd == "-h" || cmd == "help") {
    Usage(stdout);
    return 0;
  }
  for (const auto& c : kCommands) {
    if (cmd == c.name) return c.run(argc - 1, argv + 1);
  }
  std::fprintf(stderr, "kestrova-cli: unknown command '%s'\n", cmd.c_str());
  Usage(stderr);
  return 2;
}
