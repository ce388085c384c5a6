// kestrova-cli routers: the usable entries of the router list, as the port-mapping window's
// combo offers them, with the installed plug-in's version.
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/router_cli.h"
#include "core/i18n/lang.h"
#include "core/settings/ini_file.h"
#include "net/router/plugin_host.h"
#include "net/router/router_files.h"

namespace kestrova {

namespace cli {

std::string MessageText(const std::string& lang, const std::string& key) {
  const std::string code = CanonicalLanguageCode(lang);
  for (const auto& f : EmbeddedLanguageFiles()) {
    if (code != f.code) continue;
    return ReadEscaped(TIniFile::FromText(f.bytes), "StrRes", key, "");
  }
  return {};
}

void PrintMessage(const std::string& lang, const std::string& key) {
  std::printf("%s\t%s\n", key.c_str(), Printable(MessageText(lang, key)).c_str());
}

std::string LanguageOption(const std::string& code) {
  for (const auto& f : EmbeddedLanguageFiles())
    if (CanonicalLanguageCode(code) == f.code) return f.code;
  return {};
}

bool RouterCombo(const std::string& lang, std::vector<router::TRouter>& routers) {
  const bool list = LoadRouters(ReadDownloadUrls(), lang, routers);
  AddBuiltInRouter(routers, MessageText(lang, "IDS_ROUTER_AUTOMATIC"));
  return list || !routers.empty();
}

}  // namespace cli

namespace {

void RoutersUsage(FILE* out) {
  std::fprintf(out,
               "usage: kestrova-cli routers [--lang CODE]\n"
               "  Lists the routers of the program folder's Router/Router.ini that the port-mapping\n"
               "  window offers in language CODE (en, cn, b5, pl, kr; default en), one line each:\n"
               "  position<TAB>index<TAB>name<TAB>file<TAB>installed version\n"
               "  Exit status: 0 listed, 2 bad arguments, 3 no router list.\n");
}

}  // namespace

int CmdRouters(int argc, char** argv) {
  std::string lang = "en";
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      RoutersUsage(stdout);
      return 0;
    }
    if (a == "--lang" && i + 1 < argc && !cli::LanguageOption(argv[i + 1]).empty()) {
      lang = cli::LanguageOption(argv[++i]);
      continue;
    }
    std::fprintf(stderr, "kestrova-cli routers: bad option '%s'\n", cli::Printable(a).c_str());
    RoutersUsage(stderr);
    return 2;
  }
  std::vector<router::TRouter> routers;
  if (!cli::RouterCombo(lang, routers)) {
    cli::PrintMessage(lang, "IDS_READROUTER_ERROR");
    return 3;
  }
  const auto folder = RouterFolder();
  for (size_t k = 0; k < routers.size(); ++k) {
    const auto& r = routers[k];
    std::printf("%zu\t%d\t%s\t%s\t%s\n", k + 1, r.index, cli::Printable(r.name).c_str(), cli::Printable(r.file).c_str(),
                FileVersionText(folder / r.file).c_str());
  }
  return 0;
}

}  // namespace kestrova
