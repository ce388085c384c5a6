// kestrova-cli router-update: the port-mapping window's New Version command for one router.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/router_cli.h"
#include "net/router/router_files.h"

namespace kestrova {

namespace {

void RouterUpdateUsage(FILE* out) {
  std::fprintf(out,
               "usage: kestrova-cli router-update --router N [--yes] [--lang CODE]\n"
               "  Compares the installed plug-in of router N (its position in 'kestrova-cli routers'\n"
               "  in the same language) with the version the download site lists and downloads a\n"
               "  newer one; --yes answers the download question (without it the answer is no).\n"
               "  --lang CODE   language of the list and the message (en, cn, b5, pl, kr; default en)\n"
               "  Prints the message key that ended the run and its text.\n"
               "  Exit status: 0 current or downloaded, 2 bad arguments, 3 failure, 4 download declined.\n");
}

}  // namespace

int CmdRouterUpdate(int argc, char** argv) {
  long position = 0;
  bool yes = false;
  std::string lang = "en";
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      RouterUpdateUsage(stdout);
      return 0;
    }
    if (a == "--yes") {
      yes = true;
    } else if (a == "--lang" && i + 1 < argc && !cli::LanguageOption(argv[i + 1]).empty()) {
      lang = cli::LanguageOption(argv[++i]);
    } else if (a == "--router" && i + 1 < argc && cli::ParseLong(argv[i + 1], 1, 100000, position)) {
      ++i;
    } else {
      std::fprintf(stderr, "kestrova-cli router-update: bad option '%s'\n", cli::Printable(a).c_str());
      RouterUpdateUsage(stderr);
      return 2;
    }
  }
  if (position == 0) {
    std::fprintf(stderr, "kestrova-cli router-update: --router is required\n");
    RouterUpdateUsage(stderr);
    return 2;
  }
  std::vector<router::TRouter> routers;
  cli::RouterCombo(lang, routers);
  const router::TRouter* r = nullptr;
  if (routers.empty()) {
    r = nullptr;
  } else if (position <= static_cast<long>(routers.size())) {
    r = &routers[position - 1];
  } else {
    cli::PrintMessage(lang, "IDS_SELECTROUTER_ERROR");
    return 3;
  }
  const TRouterUpdateResult res = RunRouterUpdate(r, ReadDownloadUrls(), [&] { return yes; });
  cli::PrintMessage(lang, res.key);
  if (res.key == "IDS_NO_NewVERSION" || res.downloaded) return 0;
  if (res.key == "IDS_DOWNLOAD_INFO") return 4;
  return 3;
}

}  // namespace kestrova
