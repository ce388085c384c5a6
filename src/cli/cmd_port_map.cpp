// kestrova-cli port-map: the port-mapping window's OK run without the window: the router's table
// through the plug-in of the chosen router, the camera's mappings merged, written back and
// checked.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/router_cli.h"
#include "core/discovery/ip_text.h"
#include "core/router/port_forward.h"
#include "net/router/plugin_host.h"
#include "net/router/router_files.h"

namespace kestrova {

namespace {

void PortMapUsage(FILE* out) {
  std::fprintf(out,
               "usage: kestrova-cli port-map --router N --router-user U [--router-password P]\n"
               "                             --gateway A.B.C.D --map IP:PORT [--map IP:PORT] [--yes | --no]\n"
               "                             [--lang CODE]\n"
               "  Asks the router at the gateway address, through the plug-in of router N (the\n"
               "  position 'kestrova-cli routers' prints in the same language), to forward each\n"
               "  PORT (TCP) to IP.\n"
               "  --yes / --no   answer to replacing a forwarding of another device (default: no)\n"
               "  --lang CODE    language of the list and the message (en, cn, b5, pl, kr; default en)\n"
               "  Prints the message key that ended the run and its text; when the router's public\n"
               "  address is a carrier-grade NAT address, a warning follows on stderr.\n"
               "  Exit status: 0 mapped, 2 bad arguments, 3 any other message.\n");
}

int Bad(const char* what) {
  std::fprintf(stderr, "kestrova-cli port-map: %s\n", what);
  PortMapUsage(stderr);
  return 2;
}

}  // namespace

int CmdPortMap(int argc, char** argv) {
  long position = 0;
  std::string user, password, gateway;
  bool haveUser = false, yes = false, no = false;
  std::string lang = "en";
  std::vector<std::pair<std::string, std::string>> maps;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      PortMapUsage(stdout);
      return 0;
    }
    if (a == "--yes") {
      yes = true;
      continue;
    }
    if (a == "--no") {
      no = true;
      continue;
    }
    if (i + 1 >= argc) return Bad(("option '" + cli::Printable(a) + "' needs a value").c_str());
    const char* v = argv[++i];
    if (a == "--router") {
      if (!cli::ParseLong(v, 1, 100000, position)) return Bad("--router takes a position from 1");
    } else if (a == "--router-user") {
      user = v;
      haveUser = true;
    } else if (a == "--router-password") {
      password = v;
    } else if (a == "--gateway") {
      gateway = v;
      if (!IsIPv4Text(gateway)) return Bad("--gateway takes an IPv4 address");
    } else if (a == "--lang") {
      lang = cli::LanguageOption(v);
      if (lang.empty()) return Bad("--lang takes en, cn, b5, pl or kr");
    } else if (a == "--map") {
      const std::string m = v;
      const auto colon = m.rfind(':');
      uint16_t port = 0;
      if (colon == std::string::npos || !IsIPv4Text(m.substr(0, colon)) ||
          !cli::ParsePort(m.substr(colon + 1).c_str(), port) || port == 0)
        return Bad("--map takes IP:PORT");
      maps.emplace_back(m.substr(0, colon), m.substr(colon + 1));
    } else {
      return Bad(("unknown option '" + cli::Printable(a) + "'").c_str());
    }
  }
  if (yes && no) return Bad("--yes and --no exclude each other");
  if (position == 0 || !haveUser || gateway.empty() || maps.empty())
    return Bad("--router, --router-user, --gateway and --map are required");

  std::vector<router::TRouter> routers;
  cli::RouterCombo(lang, routers);
  router::TPortForwardTables tables;
  for (const auto& [ip, port] : maps) {
    if (tables.AddMapping(ip, port, "TCP") == router::TPortForwardTables::AddResult::Exists) {
      cli::PrintMessage(lang, "IDS_INPUT_EXISTS");
      return 3;
    }
  }
  const router::TRouter* r = position <= static_cast<long>(routers.size()) ? &routers[position - 1] : nullptr;
  router::TPortMapInput in;
  in.routerSelected = r != nullptr;
  in.user = user;
  std::filesystem::path lib;
  if (r) {
    lib = RouterFolder() / r->file;
    std::error_code ec;
    in.pluginFileExists = std::filesystem::is_regular_file(lib, ec);
  }
  const std::string key = router::RunPortMapping(
      tables, in,
      [&](const std::string& exportName, std::string& text) {
        return CallPlugin(lib, exportName, gateway, user, password, text);
      },
      [&] { return yes; });
  cli::PrintMessage(lang, key);
  if (key == "IDS_PORTFORWARD_OK" && router::IsCarrierGradeNat(tables.WanAddress))
    std::fprintf(stderr, "IDS_ROUTER_CGNAT\t%s\n", cli::Printable(cli::MessageText(lang, "IDS_ROUTER_CGNAT")).c_str());
  return key == "IDS_PORTFORWARD_OK" ? 0 : 3;
}

}  // namespace kestrova
