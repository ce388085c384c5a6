// kestrova-cli wifi-scan: finds a camera by its MAC text with a timed discovery run and lists
// the wireless networks it sees, by its family's own path (the CGI driver for T cameras, CTP
// for E cameras, the CGI requests of the wireless step for the others).
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/json.h"
#include "net/cgi/cgi_wifi_scan.h"
#include "net/cgi/device_series.h"
#include "net/ctp/ctp_socket.h"
#include "net/discovery/discovery_engine.h"
#include "net/setnet/camera_lookup.h"

namespace kestrova {

namespace {

void WifiScanUsage(FILE* out) {
  std::fprintf(out,
               "usage: kestrova-cli wifi-scan --mac MAC [--user U] [--password P] [--json] [--seconds N]\n"
               "  Searches the LAN for N seconds (default 3) for the camera whose MAC is MAC and\n"
               "  lists the wireless networks it sees.\n"
               "  --user, --password   the camera account (default admin and an empty password;\n"
               "                       for T cameras the account their search answer reports)\n"
               "  Network names are printed with control characters replaced by '?'.\n"
               "  Exit status: 0 listed, 1 no such camera, 2 failure.\n");
}

struct Row {
  std::string text;  // the list text the windows show
  std::string json;
};

}  // namespace

int CmdWifiScan(int argc, char** argv) {
  cli::CameraOptions opt;
  if (auto end = cli::ParseCameraOptions("wifi-scan", argc, argv, WifiScanUsage, opt)) return *end;
  const std::string& mac = opt.mac;
  std::string user = opt.user, password = opt.password;
  const bool haveUser = opt.haveUser, havePassword = opt.havePassword, json = opt.json;
  const long seconds = opt.seconds;
  const DiscoveryConfig& cfg = opt.engine;

  std::optional<TDevInfo> found;
  {
    DiscoveryEngine engine(cfg);
    engine.Start();
    found = DiscoverByMac(engine, mac, static_cast<int>(seconds));
    engine.Stop();
  }
  if (!found) {
    std::fprintf(stderr, "kestrova-cli wifi-scan: no camera with MAC %s answered\n", mac.c_str());
    return 1;
  }
  const TDevInfo dev = *found;
  if (!haveUser) user = dev.DevType == 9 && !dev.User.empty() ? dev.User : "admin";
  if (!havePassword) password = dev.DevType == 9 ? dev.Pwd : "";

  std::vector<Row> rows;
  bool ok = false;
  if (dev.DevType == 9) {
    TT517Series& series = DeviceSeries();
    series.SetDevice(dev);
    std::vector<TScanItem> items;
    ok = series.ScanWiFi(user, password, items) >= 0;
    for (const auto& it : items) {
      cli::JsonObject o;
      o.Str("SSID", it.Rec.SSID).Num("Security", it.Rec.Security).Num("Mode", it.Rec.Mode)
          .Str("Dbm0", it.Rec.Dbm0).Str("Dbm1", it.Rec.Dbm1).Str("Mac", it.Rec.Mac);
      rows.push_back({it.Text, o.Done()});
    }
  } else if (dev.DevType == 5) {
    CtpConnection conn = AcquireConnection(dev.IP, dev.HttpPort);
    if (conn) {
      const std::string reply = conn->Exchange(BuildCtpListNetworks());
      ReleaseConnection(conn);
      ok = CtpReplyOk(reply);
      for (const auto& n : ParseCtpNetworkList(reply)) {
        cli::JsonObject o;
        o.Str("SSID", n.WiFi.SSID).Num("Security", n.WiFi.Security).Num("Mode", n.WiFi.Mode)
            .Num("AuthType", n.WiFi.AuthType).Num("Cipher", n.WiFi.Cipher).Str("Signal", n.WiFi.Signal);
        rows.push_back({n.Text, o.Done()});
      }
    }
  } else {
    std::vector<TWiFi> nets;
    ok = ScanCgi(dev, user, password, nets) == CgiScanStatus::Ok;
    for (const auto& n : nets) {
      cli::JsonObject o;
      o.Str("SSID", n.SSID).Num("Security", n.Security).Num("Mode", n.Mode);
      rows.push_back({n.SSID, o.Done()});
    }
  }
  if (!ok) {
    std::fprintf(stderr, "kestrova-cli wifi-scan: the camera at %s could not be reached\n",
                 cli::Printable(dev.IP).c_str());
    return 2;
  }
  if (json) {
    std::string out = "[";
    for (size_t r = 0; r < rows.size(); ++r) out += (r ? ",\n  " : "\n  ") + rows[r].json;
    out += rows.empty() ? "]\n" : "\n]\n";
    std::fputs(out.c_str(), stdout);
  } else {
    for (const auto& r : rows) std::printf("%s\n", cli::Printable(r.text).c_str());
    std::printf("%zu network(s)\n", rows.size());
  }
  return 0;
}

}  // namespace kestrova
