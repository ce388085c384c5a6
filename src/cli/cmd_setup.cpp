// kestrova-cli setup: the wizard's address step without windows. Finds the camera by its MAC,
// takes the PC side from the local adapter that faces it, lets the address rules decide, sends
// the family's settings command, waits for the camera to come back at its new address (the
// step's waits, scaled by KESTROVA_TIME_SCALE) and asks whether it answers there.
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/json.h"
#include "core/app/wizard.h"
#include "core/discovery/dev_info.h"
#include "core/setup/address_rules.h"
#include "core/setup/set_ip.h"
#include "net/cgi/device_series.h"
#include "net/checkdev/check_dev.h"
#include "net/discovery/discovery_engine.h"
#include "net/hostnet/address_probe.h"
#include "net/hostnet/net_cards.h"
#include "net/platform/scaled_clock.h"
#include "net/setnet/camera_lookup.h"
#include "net/setnet/setnet.h"

namespace kestrova {

namespace {

void SetupUsage(FILE* out) {
  std::fprintf(out,
               "usage: kestrova-cli setup --mac MAC [--user U] [--password P] [--seconds N] [--json]\n"
               "  The wizard's address step: searches the LAN for N seconds (default 3) for the\n"
               "  camera whose MAC is MAC (as 'discover' shows it), takes this PC's side from the\n"
               "  local adapter that faces the camera, and gives the camera an address in that\n"
               "  adapter's subnet when it needs one (static, with the derived HTTP and data ports,\n"
               "  the adapter's gateway and the DNS servers 8.8.8.8 and 208.67.222.222). An address\n"
               "  another device already answers at is not sent. Then it waits for the camera to\n"
               "  reappear at its new address (30 s, then up to 50 s of look-ups; the waits are\n"
               "  multiplied by KESTROVA_TIME_SCALE) and checks that it answers there.\n"
               "  It prints the old and the new settings, whether the camera reappeared, whether it\n"
               "  answers, and its LAN address.\n"
               "  --user, --password   the camera account (default admin, with the password vemra\n"
               "                       for E cameras and an empty one for the others)\n"
               "  --seconds N          how long to search for the camera (1..3600)\n"
               "  --json               one JSON object instead of the text lines\n"
               "  Exit status: 0 the camera reappeared and answers, 1 no such camera, 2 any other\n"
               "  failure (the reason on stderr), 3 it never reappeared, 4 it reappeared but does\n"
               "  not answer.\n");
}

const char* ModeText(int mode) {
  switch (mode) {
    case kModePPPoE: return "pppoe";
    case kModeDHCP: return "dhcp";
    case kModeStatic: return "static";
    default: return "unknown";
  }
}

std::string OrDash(const std::string& s) { return s.empty() ? "-" : cli::Printable(s); }

std::string SettingsLine(const TDevInfo& d) {
  return "address " + OrDash(d.IP) + " http port " + std::to_string(d.HttpPort) + " data port " +
         std::to_string(d.DataPort) + " gateway " + OrDash(d.Gateway) + " dns " + OrDash(d.DNS1) + " " +
         OrDash(d.DNS2) + " mode " + ModeText(d.IPMode);
}

std::string SettingsJson(const TDevInfo& d) {
  cli::JsonObject o;
  o.Str("IP", d.IP)
      .Str("NetMask", d.NetMask)
      .Num("HttpPort", d.HttpPort)
      .Num("DataPort", d.DataPort)
      .Str("Gateway", d.Gateway)
      .Str("DNS1", d.DNS1)
      .Str("DNS2", d.DNS2)
      .Num("IPMode", d.IPMode);
  return o.Done();
}

// The reason of a failure, for stderr.
std::string Reason(const TSetIpResult& r, int family) {
  switch (r.Status) {
    case TSetIpResult::InUse:
      return "another device already answers at " + r.MessageArg + "; nothing was sent";
    case TSetIpResult::NoProposal:
      switch (r.Plan.Kind) {
        case TSetIpPlan::NoPcAddress: return "no local adapter faces the camera (no PC address); nothing was sent";
        case TSetIpPlan::BadCamera: return "the camera reports an address that is not dotted decimal; nothing was sent";
        default: return "the derived address " + r.MessageArg + " is not usable in the PC's subnet; nothing was sent";
      }
    case TSetIpResult::ApplyFailed:
      return family == 9 ? "the camera did not accept the settings" : "the settings could not be sent";
    case TSetIpResult::NotFound:
      return "the camera did not reappear at " + r.Plan.New.IP;
    default:
      return {};
  }
}

}  // namespace

int CmdSetup(int argc, char** argv) {
  cli::CameraOptions opt;
  if (auto end = cli::ParseCameraOptions("setup", argc, argv, SetupUsage, opt)) return *end;
  const std::string& mac = opt.mac;
  const bool json = opt.json;
  const DiscoveryConfig& cfg = opt.engine;
  T517NetConfig netCfg = opt.series;

  DiscoveryEngine engine(cfg);
  engine.Start();  // a socket that cannot be bound stays inactive; its family's send then fails
  const std::optional<TDevInfo> found = DiscoverByMac(engine, mac, static_cast<int>(opt.seconds));
  if (!found) {
    std::fprintf(stderr, "kestrova-cli setup: no camera with MAC %s answered\n", mac.c_str());
    engine.Stop();
    return 1;
  }
  const TDevInfo dev = *found;

  // The PC side: the adapter whose subnet holds the camera, else the one the system would
  // reach it through.
  std::vector<TNET_CARD> cards;
  GetNetCards(cards);
  const int card = CardFacingCamera(cards, dev.IP, LocalAddressToward(dev.IP));
  TSetIpPc pc;
  if (card >= 0) {
    pc.IP = cards[size_t(card)].IP;
    pc.Gateway = cards[size_t(card)].Gateway;
    pc.NetMask = cards[size_t(card)].NetMask;
  }

  const TWizardSelection chosen = SelectCamera(dev, 0);
  const std::string user = opt.haveUser ? opt.user : chosen.CameraUser;
  const std::string password = opt.havePassword ? opt.password : chosen.CameraPassword;

  cli::UseEngineAddresses(cfg, netCfg);
  TT517Series series(netCfg);
  SettingsTransport transport = EngineTransport(engine);
  transport.Series = &series;
  EngineRunner runner(engine);

  TSetIpIo io;
  if (card >= 0) {
    const TNET_CARD facing = cards[size_t(card)];
    io.Probe = [facing](const std::string& ip) { return AddressInUse(facing, ip, kAutoSettingProbeTimeoutMs); };
  }
  io.Apply = [&](const TDevInfo& old, const TDevInfo& neu) { return ApplySettings(old, neu, user, password, transport); };
  io.Pause = [&](int ms) {
    runner.RunFor(ScaledMs(ms));
    return true;
  };
  io.Listed = [&](const std::string& ip) { return engine.List().FindItemByIP(ip) >= 0; };
  const int nowMillis = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                             std::chrono::system_clock::now().time_since_epoch())
                                             .count() %
                                         1000);
  const TSetIpResult r = RunSetIp(dev, pc, nowMillis, io);
  engine.Stop();

  const bool reappeared = r.Status == TSetIpResult::Found;
  const bool answers = reappeared && CheckDevice(r.Device.DevType, DeviceLanUrl(r.Device)) != 0;
  const bool sent = r.Plan.Kind == TSetIpPlan::Apply && r.Status != TSetIpResult::InUse &&
                    r.Status != TSetIpResult::ApplyFailed;
  const TDevInfo& after = r.Plan.Kind == TSetIpPlan::Apply ? r.Plan.New : dev;
  const std::string lanUrl = reappeared ? DeviceLanUrl(r.Device) : std::string();
  const char* decision = r.Plan.Kind == TSetIpPlan::CheckOnly ? "check" : r.Plan.Kind == TSetIpPlan::Apply ? "apply"
                                                                                                          : "none";

  if (json) {
    cli::JsonObject o;
    o.Str("MAC", dev.MAC)
        .Str("Name", dev.Name)
        .Num("DevType", dev.DevType)
        .Str("PcIP", pc.IP)
        .Str("PcGateway", pc.Gateway)
        .Str("Decision", decision)
        .Raw("Old", SettingsJson(dev))
        .Raw("New", SettingsJson(after))
        .Bool("Sent", sent)
        .Bool("Reappeared", reappeared)
        .Bool("Answers", answers)
        .Str("LanUrl", lanUrl);
    std::printf("%s\n", o.Done().c_str());
  } else {
    std::printf("camera %s (%s) family %d\n", cli::Printable(dev.MAC).c_str(), cli::Printable(dev.Name).c_str(),
                dev.DevType);
    std::printf("pc: address %s gateway %s%s\n", OrDash(pc.IP).c_str(), OrDash(pc.Gateway).c_str(),
                card >= 0 ? (" (" + cli::Printable(cards[size_t(card)].IfName) + ")").c_str() : "");
    std::printf("decision: %s\n", r.Plan.Kind == TSetIpPlan::CheckOnly ? "keep the settings, check only"
                                  : r.Plan.Kind == TSetIpPlan::Apply   ? "new settings"
                                                                       : "nothing proposed");
    std::printf("old: %s\n", SettingsLine(dev).c_str());
    std::printf("new: %s\n", SettingsLine(after).c_str());
    std::printf("sent: %s\n", sent ? "yes" : "no");
    std::printf("reappeared: %s\n", reappeared ? "yes" : "no");
    std::printf("answers: %s\n", answers ? "yes" : "no");
    std::printf("lan address: %s\n", OrDash(lanUrl).c_str());
  }

  if (r.Status == TSetIpResult::Found) {
    if (answers) return 0;
    std::fprintf(stderr, "kestrova-cli setup: the camera does not answer at %s\n", lanUrl.c_str());
    return 4;
  }
  std::fprintf(stderr, "kestrova-cli setup: %s\n", Reason(r, dev.DevType).c_str());
  return r.Status == TSetIpResult::NotFound ? 3 : 2;
}

}  // namespace kestrova
