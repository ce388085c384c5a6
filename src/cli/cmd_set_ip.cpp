// kestrova-cli set-ip: finds a camera by its MAC text with a timed discovery run, gives a copy
// of its record the values asked for and sends the family's settings command.
#include <array>
#include <cerrno>
#include <optional>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/commands.h"
#include "core/discovery/dev_info.h"
#include "core/discovery/ip_text.h"
#include "core/protocols/ctp_message.h"
#include "core/protocols/setnet_packets.h"
#include "core/setup/address_rules.h"
#include "core/text/utf8.h"
#include "net/cgi/device_series.h"
#include "net/discovery/discovery_engine.h"
#include "net/sdk/sdk_discovery.h"
#include "net/setnet/camera_lookup.h"
#include "net/setnet/setnet.h"

namespace kestrova {

namespace {

void SetIpUsage(FILE* out) {
  std::fprintf(out,
               "usage: kestrova-cli set-ip --mac MAC --ip A.B.C.D [--mask M] [--gateway G] [--dns1 D]\n"
               "                           [--dns2 D] [--port N] [--name NAME] [--dhcp | --static]\n"
               "                           [--user U] [--password P] [--seconds N]\n"
               "  Searches the LAN for N seconds (default 3) for the camera whose MAC is MAC (as\n"
               "  'discover' shows it), then sends it its settings with the given values changed\n"
               "  and every other value kept.\n"
               "  --user, --password   the camera account (default admin and an empty password;\n"
               "                       for T cameras the account their search answer reports;\n"
               "                       for cameras of family 4 the default account the advanced\n"
               "                       window offers)\n"
               "  Cameras of family 4 are found and configured through the SDK library\n"
               "  286/libDVSNETClient.so in the program folder (the folder of kestrova-cli, or\n"
               "  KESTROVA_PROGRAM_DIR); the library answers whether the camera took the settings.\n"
               "  What is sent is printed first, with the password's bytes shown as '*'; camera\n"
               "  texts are printed with control characters replaced by '?'.\n"
               "  Exit status: 0 sent (T cameras and family 4: accepted), 1 no such camera,\n"
               "  2 failure.\n");
}

std::string HexDump(const std::vector<uint8_t>& b) {
  static const char* kHex = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < b.size(); ++i) {
    if (i % 16 == 0) out += (i ? "\n  " : "  ");
    else out += ' ';
    out += kHex[b[i] >> 4];
    out += kHex[b[i] & 15];
  }
  return out + "\n";
}

}  // namespace

int CmdSetIp(int argc, char** argv) {
  std::string mac, ip, mask, gateway, dns1, dns2, name, user, password;
  bool haveName = false, haveUser = false, havePassword = false;
  long port = -1, seconds = 3;
  int ipMode = -1;
  DiscoveryConfig cfg;
  T517NetConfig netCfg;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
    auto value = [&](std::string& target) {
      if (!next) {
        std::fprintf(stderr, "kestrova-cli set-ip: %s needs a value\n", a.c_str());
        return false;
      }
      target = argv[++i];
      return true;
    };
    auto bad = [&]() {
      std::fprintf(stderr, "kestrova-cli set-ip: bad value for %s: '%s'\n", a.c_str(), argv[i]);
      return 2;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      SetIpUsage(stdout);
      return 0;
    } else if (a == "--mac") {
      if (!value(mac)) return 2;
    } else if (a == "--ip" || a == "--mask" || a == "--gateway" || a == "--dns1" || a == "--dns2") {
      if (!value(v)) return 2;
      if (!IPStrToBytes(v)) return bad();
      (a == "--ip" ? ip : a == "--mask" ? mask : a == "--gateway" ? gateway : a == "--dns1" ? dns1 : dns2) = v;
    } else if (a == "--port") {
      if (!value(v)) return 2;
      if (!cli::ParseLong(v.c_str(), 1, 65535, port)) return bad();
    } else if (a == "--name") {
      if (!value(name)) return 2;
      haveName = true;
    } else if (a == "--dhcp") {
      ipMode = 1;
    } else if (a == "--static") {
      ipMode = 2;
    } else if (a == "--user") {
      if (!value(user)) return 2;
      haveUser = true;
    } else if (a == "--password") {
      if (!value(password)) return 2;
      havePassword = true;
    } else if (a == "--seconds") {
      if (!value(v)) return 2;
      if (!cli::ParseLong(v.c_str(), 1, 3600, seconds)) return bad();
    }
    // Options for loopback test runs, not in the help (the same as discover's, and the
    // socket of the T settings packet).
    else if (a == "--local-port-f9set") {
      if (!value(v)) return 2;
      if (!cli::ParsePort(v.c_str(), netCfg.LocalPort)) return bad();
    } else if (cli::IsEngineOption(a)) {
      if (!value(v)) return 2;
      if (!cli::TakeEngineOption(a, v.c_str(), cfg)) return bad();
    } else {
      std::fprintf(stderr, "kestrova-cli set-ip: unknown option '%s'\n", a.c_str());
      SetIpUsage(stderr);
      return 2;
    }
  }
  if (mac.empty() || ip.empty()) {
    std::fprintf(stderr, "kestrova-cli set-ip: --mac and --ip are required\n");
    SetIpUsage(stderr);
    return 2;
  }

  DiscoveryEngine engine(cfg);
  engine.Start();  // a socket that cannot be bound stays inactive; its family's send then fails
  TSdkDiscovery sdk(engine);
  sdk.Search();  // family 4 is found only by the SDK's search
  std::optional<TDevInfo> found = DiscoverByMac(engine, mac, static_cast<int>(seconds));
  if (!found) {
    std::fprintf(stderr, "kestrova-cli set-ip: no camera with MAC %s answered\n", mac.c_str());
    engine.Stop();
    return 1;
  }
  const TDevInfo oldDev = *found;
  TDevInfo newDev = oldDev;
  newDev.IP = ip;
  if (!mask.empty()) newDev.NetMask = mask;
  if (!gateway.empty()) newDev.Gateway = gateway;
  if (!dns1.empty()) newDev.DNS1 = dns1;
  if (!dns2.empty()) newDev.DNS2 = dns2;
  if (port > 0) newDev.HttpPort = static_cast<uint16_t>(port);
  if (haveName) newDev.Name = name;
  if (ipMode >= 0) newDev.IPMode = static_cast<uint8_t>(ipMode);
  if (oldDev.DevType == 4) {
    // The account the advanced window offers for this family.
    const TCameraCredentials pre = PrefilledCredentials(4, TCredentialUse::Apply);
    if (!haveUser) user = pre.User;
    if (!havePassword) password = pre.Password;
  } else {
    if (!haveUser) user = oldDev.DevType == 9 && !oldDev.User.empty() ? oldDev.User : "admin";
    if (!havePassword) password = oldDev.DevType == 9 ? oldDev.Pwd : "";
  }

  std::printf("camera %s (%s) at %s: family %d\n", cli::Printable(oldDev.MAC).c_str(), cli::Printable(oldDev.Name).c_str(),
              cli::Printable(oldDev.IP).c_str(), oldDev.DevType);
  std::printf("new settings: ip %s mask %s gateway %s dns %s %s port %u name %s %s\n", newDev.IP.c_str(),
              newDev.NetMask.c_str(), newDev.Gateway.c_str(), newDev.DNS1.c_str(), newDev.DNS2.c_str(),
              unsigned(newDev.HttpPort), cli::Printable(newDev.Name).c_str(), newDev.IPMode == 1 ? "dhcp" : "static");

  // What goes out, shown before it is sent: built the same way with a password of '*' that
  // takes the bytes the real one takes, so that only those bytes differ from what is sent.
  const std::string shown(newDev.DevType == 2 ? Utf8Prefix(password, kMOIAccountBytes).size() : password.size(), '*');
  switch (newDev.DevType) {
    case 2: {
      auto p = BuildMOISet(newDev, user, shown);
      if (!p) {
        std::fprintf(stderr, "kestrova-cli set-ip: an address of the camera's record is not four numbers\n");
        engine.Stop();
        return 2;
      }
      std::printf("sending the %zu-byte settings command to port %u:\n%s", p->size(), unsigned(kMOISetPort),
                  HexDump(*p).c_str());
      break;
    }
    case 5:
      std::printf("sending setip to port %u:\n%s", unsigned(kCTPSetIPPort),
                  cli::Printable(BuildCtpSetIP(oldDev, newDev, shown)).c_str());
      std::printf("\n");
      break;
    case 8: {
      auto p = BuildBinSet(oldDev, newDev);
      std::printf("sending the %zu-byte settings command to port %u:\n%s", p.size(), unsigned(kBinSetPort),
                  HexDump(p).c_str());
      break;
    }
    case 9: {
      auto p = BuildFamily9Set(newDev, user, shown);
      std::printf("sending the %zu-byte settings packet to port %u:\n%s", p.size(), unsigned(cfg.family9Port),
                  HexDump(p).c_str());
      break;
    }
    case 4:
      std::printf("sending the configuration through the SDK library\n");
      break;
    default:
      std::fprintf(stderr, "kestrova-cli set-ip: family %d cannot be given settings from here\n", newDev.DevType);
      engine.Stop();
      return 2;
  }

  cli::UseEngineAddresses(cfg, netCfg);
  TT517Series series(netCfg);
  SettingsTransport transport = EngineTransport(engine);
  transport.Series = &series;
  transport.Family4 = [&sdk](const TDevInfo& rec) { return sdk.Configure(rec); };
  const bool ok = ApplyDeviceSettings(oldDev, newDev, user, password, transport);
  engine.Stop();
  // Families 4 and 9 answer whether the camera took the settings; the others are only sent.
  const bool answered = newDev.DevType == 4 || newDev.DevType == 9;
  if (!ok) {
    std::fprintf(stderr, answered ? "kestrova-cli set-ip: the camera did not accept the settings\n"
                                  : "kestrova-cli set-ip: the settings could not be sent\n");
    return 2;
  }
  std::printf(answered ? "accepted\n" : "sent\n");
  return 0;
}

}  // namespace kestrova
