#include "cli/remote_cli.h"

#include "cli/router_cli.h"
#include "core/app/wizard.h"
#include "core/i18n/lang.h"
#include "net/discovery/discovery_engine.h"
#include "net/setnet/camera_lookup.h"

namespace kestrova::cli {

namespace {

bool IsLanguage(const std::string& code) {
  for (const auto& f : EmbeddedLanguageFiles())
    if (CanonicalLanguageCode(code) == f.code) return true;
  return false;
}

// Options of ParseCameraOptions that take a value.
bool CameraValueOption(const std::string& a) {
  return a == "--mac" || a == "--user" || a == "--password" || a == "--seconds" || a == "--local-port-f9set" ||
         IsEngineOption(a);
}

}  // namespace

std::optional<int> ParseRemoteOptions(const char* command, int argc, char** argv, void (*usage)(FILE*),
                                      const std::vector<std::string>& names, RemoteOptions& out) {
  out.values.assign(names.size(), {});
  out.have.assign(names.size(), false);
  std::vector<char*> rest{argv[0]};
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    size_t own = names.size();
    for (size_t n = 0; n < names.size(); ++n)
      if (a == names[n]) own = n;
    if (a == "--lang" || own < names.size()) {
      if (!hasValue) {
        std::fprintf(stderr, "kestrova-cli %s: %s needs a value\n", command, a.c_str());
        return 2;
      }
      const std::string v = argv[++i];
      if (own < names.size()) {
        out.values[own] = v;
        out.have[own] = true;
      } else if (IsLanguage(v)) {
        out.lang = CanonicalLanguageCode(v);
      } else {
        std::fprintf(stderr, "kestrova-cli %s: bad value for --lang: '%s' (en, cn, b5, pl, kr)\n", command,
                     Printable(v).c_str());
        return 2;
      }
    } else if (a == "--json") {
      std::fprintf(stderr, "kestrova-cli %s: unknown option '%s'\n", command, a.c_str());
      usage(stderr);
      return 2;
    } else {
      rest.push_back(argv[i]);
      if (CameraValueOption(a) && hasValue) rest.push_back(argv[++i]);
    }
  }
  if (auto end = ParseCameraOptions(command, static_cast<int>(rest.size()), rest.data(), usage, out.camera)) {
    return end;
  }
  for (size_t n = 0; n < names.size(); ++n) {
    if (!out.have[n]) {
      std::fprintf(stderr, "kestrova-cli %s: %s is required\n", command, names[n].c_str());
      usage(stderr);
      return 2;
    }
  }
  return std::nullopt;
}

std::optional<TDevInfo> FindRemoteCamera(const char* command, const RemoteOptions& opt) {
  std::optional<TDevInfo> found;
  {
    DiscoveryEngine engine(opt.camera.engine);
    engine.Start();
    found = DiscoverByMac(engine, opt.camera.mac, static_cast<int>(opt.camera.seconds));
    engine.Stop();
  }
  if (!found) {
    std::fprintf(stderr, "kestrova-cli %s: no camera with MAC %s answered\n", command,
                 Printable(opt.camera.mac).c_str());
  }
  return found;
}

void CameraAccount(const RemoteOptions& opt, const TDevInfo& dev, std::string& user, std::string& password) {
  TWizardSelection chosen = SelectCamera(dev, 0);
  if (dev.DevType == 9 && !dev.User.empty()) {
    chosen.CameraUser = dev.User;
    chosen.CameraPassword = dev.Pwd;
  }
  user = opt.camera.haveUser ? opt.camera.user : chosen.CameraUser;
  password = opt.camera.havePassword ? opt.camera.password : chosen.CameraPassword;
}

remote::TCheckTexts RemoteCheckTexts(const RemoteOptions& opt) {
  return remote::LoadCheckTexts([&opt](const std::string& key) { return MessageText(opt.lang, key); });
}

void PrintResultBox(const remote::TResultBox& box) {
  for (const std::string& line : box.Lines()) std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

}  // namespace kestrova::cli
