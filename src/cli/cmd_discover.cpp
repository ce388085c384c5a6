// kestrova-cli discover: search rounds every second for N seconds, then the device list in its
// sort order, as a table or as one JSON array.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/json.h"
#include "core/discovery/added_addresses.h"
#include "core/discovery/dev_info.h"
#include "core/text/utf8.h"
#include "net/discovery/discovery_engine.h"
#include "net/sdk/sdk_discovery.h"

namespace kestrova {

namespace {

void DiscoverUsage(FILE* out) {
  std::fprintf(out,
               "usage: kestrova-cli discover [--seconds N] [--json] [--address A.B.C.D ...]\n"
               "  Broadcasts a search round every second for N seconds (default 3), through\n"
               "  every network adapter of this computer, and prints the cameras found, sorted\n"
               "  by address. At its start it also runs one search of\n"
               "  the SDK library 286/libDVSNETClient.so in the program folder (the folder of\n"
               "  kestrova-cli, or KESTROVA_PROGRAM_DIR), which finds the cameras of family 4\n"
               "  (type H) and takes 3 seconds; without that library they are not listed.\n"
               "  --seconds N   how long to search (1..3600)\n"
               "  --json        one JSON array of device records (passwords are never shown:\n"
               "                DDnsPwd and Pwd read \"********\" when set, \"\" when not)\n"
               "  --address A.B.C.D   also send every round's requests of every family by unicast\n"
               "                to this address, for a camera no broadcast reaches (another\n"
               "                subnet behind a router); repeatable\n"
               "  Camera texts are printed with control characters replaced by '?'.\n");
}

std::string JsonDevice(const TDevInfo& d) {
  cli::JsonObject o;
  o.Num("DevType", d.DevType)
      .Str("MAC", d.MAC)
      .Str("SN", d.SN)
      .Str("Name", d.Name)
      .Str("Version", d.Version)
      .Str("IP", d.IP)
      .Str("NetMask", d.NetMask)
      .Str("Gateway", d.Gateway)
      .Str("AuxAddr", d.AuxAddr)
      .Str("DNS1", d.DNS1)
      .Str("DNS2", d.DNS2)
      .Num("HttpPort", d.HttpPort)
      .Num("DataPort", d.DataPort)
      .Num("AuxPort", d.AuxPort)
      .Num("IPMode", d.IPMode)
      .Str("DDnsUser", d.DDnsUser)
      .Str("DDnsPwd", cli::HiddenPassword(d.DDnsPwd))
      .Str("DDnsServer", d.DDnsServer)
      .Str("User", d.User)
      .Str("Pwd", cli::HiddenPassword(d.Pwd))
      .Num("ExtWord", d.ExtWord);
  return o.Done();
}

// Columns on a terminal: wide (East Asian) characters take two cells, others one; bytes that
// are not valid UTF-8 one each.
std::size_t DisplayWidth(const std::string& s) {
  std::size_t w = 0;
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = Utf8SequenceLength(s, i);
    if (n < 3) {
      ++w;
      i += n ? n : 1;
      continue;
    }
    uint32_t cp = static_cast<uint8_t>(s[i]) & (n == 3 ? 0x0f : 0x07);
    for (std::size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<uint8_t>(s[i + k]) & 0x3f);
    const bool wide = (cp >= 0x1100 && cp <= 0x115f) || (cp >= 0x2e80 && cp <= 0xa4cf) ||
                      (cp >= 0xac00 && cp <= 0xd7a3) || (cp >= 0xf900 && cp <= 0xfaff) ||
                      (cp >= 0xfe30 && cp <= 0xfe4f) || (cp >= 0xff00 && cp <= 0xff60) ||
                      (cp >= 0xffe0 && cp <= 0xffe6) || (cp >= 0x20000 && cp <= 0x3fffd);
    w += wide ? 2 : 1;
    i += n;
  }
  return w;
}

std::string Cell(const std::string& text, std::size_t width) {
  std::string s = text.empty() ? "-" : cli::Printable(text);
  const std::size_t w = DisplayWidth(s);
  if (w < width) s.append(width - w, ' ');
  return s + ' ';
}

}  // namespace

int CmdDiscover(int argc, char** argv) {
  long seconds = 3;
  bool json = false;
  DiscoveryConfig cfg;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
    auto needValue = [&](const char* what) {
      if (!next) {
        std::fprintf(stderr, "kestrova-cli discover: %s needs a value\n", what);
        return false;
      }
      ++i;
      return true;
    };
    auto bad = [&](const char* what) {
      std::fprintf(stderr, "kestrova-cli discover: bad value for %s: '%s'\n", what, argv[i]);
      return 2;
    };
    if (a == "--help" || a == "-h") {
      DiscoverUsage(stdout);
      return 0;
    } else if (a == "--json") {
      json = true;
    } else if (a == "--address") {
      if (!needValue("--address")) return 2;
      switch (AddAddress(cfg.addresses, argv[i])) {
        case AddAddressResult::Added:
        case AddAddressResult::Known: break;
        case AddAddressResult::Invalid:
          std::fprintf(stderr, "kestrova-cli discover: --address needs a camera's IPv4 address (A.B.C.D), not '%s'\n",
                       cli::Printable(argv[i]).c_str());
          return 2;
        case AddAddressResult::Full:
          std::fprintf(stderr, "kestrova-cli discover: at most %zu addresses can be given\n", kMaxAddedAddresses);
          return 2;
      }
    } else if (a == "--seconds") {
      if (!needValue("--seconds")) return 2;
      if (!cli::ParseLong(argv[i], 1, 3600, seconds)) return bad("--seconds");
    }
    // Options for loopback test runs, not in the help: target and bind addresses and ports.
    else if (cli::IsEngineOption(a)) {
      if (!needValue(a.c_str())) return 2;
      if (!cli::TakeEngineOption(a, argv[i], cfg)) return bad(a.c_str());
    } else {
      std::fprintf(stderr, "kestrova-cli discover: unknown option '%s'\n", a.c_str());
      DiscoverUsage(stderr);
      return 2;
    }
  }

  DiscoveryEngine engine(cfg);
  if (!engine.Start()) {
    // A socket whose port range is exhausted stays inactive; the other families still work.
    bool any = false;
    for (const auto& info : DiscoverySocketsInBindOrder()) any = any || engine.SocketActive(info.socket);
    if (!any) {
      std::fprintf(stderr, "kestrova-cli discover: no discovery socket could be bound\n");
      return 1;
    }
  }

  // One SDK search at the start (the window's Find does the same); it reports from the
  // library's own thread for 3 s, merged here by the poll loop.
  TSdkDiscovery sdk(engine);
  sdk.Search();

  using Clock = std::chrono::steady_clock;
  const auto t0 = Clock::now();
  for (long tick = 0; tick < seconds; ++tick) {
    engine.Tick();
    const auto next = t0 + std::chrono::seconds(tick + 1);
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count();
      if (left <= 0) break;
      engine.WaitAndProcess(static_cast<int>(left));
    }
  }
  sdk.FinishSearch();
  engine.FinishSearches(2000);

  const DeviceList& list = engine.List();
  if (json) {
    std::string out = "[";
    for (int r = 0; r < list.Count(); ++r) {
      out += r ? ",\n  " : "\n  ";
      out += JsonDevice(list.DeviceAt(r));
    }
    out += list.Count() ? "\n]\n" : "]\n";
    std::fputs(out.c_str(), stdout);
  } else {
    std::string out = Cell("Type", 4) + Cell("Name", 20) + Cell("IP", 16) + Cell("Port", 6) + Cell("MAC", 18) +
                      "Version\n";
    for (int r = 0; r < list.Count(); ++r) {
      const TDevInfo& d = list.DeviceAt(r);
      out += Cell(DevTypeLetter(d.DevType), 4) + Cell(d.Name, 20) + Cell(d.IP, 16) +
             Cell(std::to_string(d.HttpPort), 6) + Cell(d.MAC, 18) + (d.Version.empty() ? std::string("-") : cli::Printable(d.Version)) + "\n";
    }
    std::fputs(out.c_str(), stdout);
    std::printf("%d camera(s)\n", list.Count());
  }
  engine.Stop();
  return 0;
}

}  // namespace kestrova
