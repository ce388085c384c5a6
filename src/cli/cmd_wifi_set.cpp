// kestrova-cli wifi-set: the wireless step's Apply without windows. Finds the camera by its MAC,
// scans, takes the network named SSID from that scan as the step does when the user picks it,
// sends the settings by the family's path and awaits the camera's restart as the step's first
// countdown does (60 s, looked at after 30 s, both scaled by KESTROVA_TIME_SCALE).
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/commands.h"
#include "core/setup/set_wifi.h"
#include "net/cgi/device_series.h"
#include "net/discovery/discovery_engine.h"
#include "net/platform/scaled_clock.h"
#include "net/setnet/camera_lookup.h"
#include "net/wifi/wifi_step.h"

namespace kestrova {

namespace {

void WifiSetUsage(FILE* out) {
  std::fprintf(out,
               "usage: kestrova-cli wifi-set --mac MAC --ssid SSID [--key K] [--disable] [--user U]\n"
               "                             [--password P] [--seconds N]\n"
               "  Searches the LAN for N seconds (default 3) for the camera whose MAC is MAC, lists\n"
               "  the wireless networks it sees and gives it the network named SSID from that list\n"
               "  (its security and mode as the camera reported them), with K as its pass phrase\n"
               "  (for a WEP network also its first key). Then it waits for the camera to restart\n"
               "  and come back (60 s, looked for after 30 s; the waits are multiplied by\n"
               "  KESTROVA_TIME_SCALE). It prints each request's outcome and the result.\n"
               "  --disable            send the settings with the wireless network switched off\n"
               "                       (E cameras always get it switched off, as the step sends it)\n"
               "  --user, --password   the camera account (default admin and an empty password;\n"
               "                       for T cameras the account their search answer reports)\n"
               "  Texts from the camera are printed with control characters replaced by '?'.\n"
               "  Exit status: 0 the settings were accepted and the camera came back, 1 no such\n"
               "  camera or network, 2 any other failure, 3 accepted but the camera did not come\n"
               "  back.\n");
}

// The camera is back when discovery lists it (by MAC, or at its old address) after the first
// half of the wait. The list is emptied when the look-ups begin, so only a camera that answered
// after its restart counts, not the entry it left behind.
std::optional<TDevInfo> AwaitCameraBack(DiscoveryEngine& engine, const std::string& mac, const std::string& ip) {
  EngineRunner runner(engine);
  runner.RunFor(ScaledMs(30000));
  engine.List().ClearDevices();
  const int lookMs = ScaledMs(100);
  for (int waited = 0; waited < ScaledMs(30000); waited += lookMs) {
    runner.RunFor(lookMs);
    if (const TDevInfo* d = engine.List().CurrentDevice(mac, ip)) return *d;
  }
  return std::nullopt;
}

}  // namespace

int CmdWifiSet(int argc, char** argv) {
  // Its own options first; the rest are the options of every one-camera command, but --json.
  std::string ssid, key;
  bool haveSsid = false, disable = false;
  std::vector<char*> rest{argv[0]};
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--ssid" || a == "--key") {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "kestrova-cli wifi-set: %s needs a value\n", a.c_str());
        return 2;
      }
      (a == "--ssid" ? ssid : key) = argv[++i];
      if (a == "--ssid") haveSsid = true;
    } else if (a == "--disable") {
      disable = true;
    } else if (a == "--json") {
      std::fprintf(stderr, "kestrova-cli wifi-set: unknown option '%s'\n", a.c_str());
      WifiSetUsage(stderr);
      return 2;
    } else {
      rest.push_back(argv[i]);
    }
  }
  cli::CameraOptions opt;
  if (auto end = cli::ParseCameraOptions("wifi-set", int(rest.size()), rest.data(), WifiSetUsage, opt)) return *end;
  if (!haveSsid || ssid.empty()) {
    std::fprintf(stderr, "kestrova-cli wifi-set: --ssid is required\n");
    WifiSetUsage(stderr);
    return 2;
  }

  DiscoveryEngine engine(opt.engine);
  engine.Start();
  const std::optional<TDevInfo> found = DiscoverByMac(engine, opt.mac, static_cast<int>(opt.seconds));
  if (!found) {
    std::fprintf(stderr, "kestrova-cli wifi-set: no camera with MAC %s answered\n", opt.mac.c_str());
    engine.Stop();
    return 1;
  }
  const TDevInfo dev = *found;
  const std::string user = opt.haveUser ? opt.user : dev.DevType == 9 && !dev.User.empty() ? dev.User : "admin";
  const std::string password = opt.havePassword ? opt.password : dev.DevType == 9 ? dev.Pwd : "";
  std::printf("camera %s (%s) at %s: family %d\n", cli::Printable(dev.MAC).c_str(), cli::Printable(dev.Name).c_str(),
              cli::Printable(dev.IP).c_str(), dev.DevType);

  TT517Series series(opt.series);
  series.SetDevice(dev);
  TWiFiStep step(dev, user, password, series);
  step.SetReport([](const std::string& request, const std::string& outcome) {
    std::printf("%s: %s\n", request.c_str(), outcome.c_str());
  });
  auto fail = [&](const std::string& why, int status) {
    std::fprintf(stderr, "kestrova-cli wifi-set: %s\n", why.c_str());
    engine.Stop();
    return status;
  };

  std::vector<TWiFiEntry> list;
  if (step.Scan(list) != TWiFiScan::Ok) return fail("the camera at " + cli::Printable(dev.IP) + " could not be reached", 2);
  int at = -1;
  for (size_t i = 0; i < list.size() && at < 0; ++i)
    if (list[i].SSID == ssid) at = int(i);
  if (at < 0) return fail("the camera does not see a network named '" + cli::Printable(ssid) + "'; nothing was sent", 1);

  TWiFiForm form;
  if (step.ReadSettings(list, form) == TWiFiRead::CantConnect)
    return fail("the camera's wireless settings could not be read; nothing was sent", 2);
  const TWiFiEntry& entry = list[size_t(at)];
  if (!ChooseNetwork(dev.DevType, entry, at, form))
    return fail("the network '" + cli::Printable(ssid) + "' uses a security this program cannot set; nothing was sent", 2);
  form.UseWiFi = !disable;
  form.ShareKey = key;
  if (FieldsForSecurity(dev.DevType, form.Security).Wep) form.Keys[0] = key;  // the default key is key 1
  std::printf("network: %s security %d mode %d\n", cli::Printable(entry.SSID).c_str(), form.Security, form.Mode);

  const TWiFiApplyResult r = step.Apply(form, list, dev.MAC);
  switch (r.Status) {
    case TWiFiApply::NoNetwork:
    case TWiFiApply::NotAccepted:
      return fail("the camera did not take the settings", 2);
    case TWiFiApply::RestartFailed:
      return fail("the camera took the settings but its restart could not be requested", 2);
    case TWiFiApply::Restarting:
      break;
  }
  std::printf("accepted; the camera restarts\n");
  const std::optional<TDevInfo> back = AwaitCameraBack(engine, r.AwaitMac, dev.IP);
  engine.Stop();
  if (!back) {
    std::printf("came back: no\n");
    std::fprintf(stderr, "kestrova-cli wifi-set: the camera did not come back; its wireless settings may be wrong\n");
    return 3;
  }
  std::printf("came back: yes, at %s\n", cli::Printable(back->IP).c_str());
  return 0;
}

}  // namespace kestrova
