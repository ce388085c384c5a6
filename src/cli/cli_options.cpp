#include "cli/cli_options.h"

#include <cerrno>
#include <cstdlib>

#include "core/text/utf8.h"

namespace kestrova::cli {

bool ParseLong(const char* s, long lo, long hi, long& out) {
  if (!s || !*s) return false;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(s, &end, 10);
  if (errno != 0 || *end != '\0' || v < lo || v > hi) return false;
  out = v;
  return true;
}

bool ParsePort(const char* s, uint16_t& out) {
  long v;
  if (!ParseLong(s, 0, 65535, v)) return false;
  out = static_cast<uint16_t>(v);
  return true;
}

std::string Printable(const std::string& s) { return PrintableText(s); }

std::string HiddenPassword(const std::string& s) { return s.empty() ? std::string() : std::string(8, '*'); }

namespace {

// "a,b,c,d,e": the preferred local ports of the five sockets in bind order.
bool ParsePortList(const char* s, std::array<uint16_t, kDiscoverySocketCount>& out) {
  std::string text = s ? s : "";
  std::size_t start = 0;
  for (std::size_t i = 0; i < kDiscoverySocketCount; ++i) {
    const std::size_t comma = text.find(',', start);
    const bool last = i + 1 == kDiscoverySocketCount;
    if (last != (comma == std::string::npos)) return false;
    const std::string part = text.substr(start, last ? std::string::npos : comma - start);
    if (!ParsePort(part.c_str(), out[i])) return false;
    start = comma + 1;
  }
  return true;
}

uint16_t* CameraPort(const std::string& name, DiscoveryConfig& cfg) {
  if (name == "--port-f2") return &cfg.family2Port;
  if (name == "--port-uicam") return &cfg.uicamPort;
  if (name == "--port-sq610") return &cfg.sq610Port;
  if (name == "--port-f5") return &cfg.family5Port;
  if (name == "--port-f8") return &cfg.family8Port;
  if (name == "--port-f9") return &cfg.family9Port;
  return nullptr;
}

}  // namespace

bool IsEngineOption(const std::string& name) {
  DiscoveryConfig probe;
  return name == "--broadcast" || name == "--bind" || name == "--local-ports" ||
         name == "--local-port-f9" || CameraPort(name, probe) != nullptr;
}

bool TakeEngineOption(const std::string& name, const char* value, DiscoveryConfig& cfg) {
  if (!value) return false;
  if (name == "--broadcast") {
    cfg.broadcastAddress = value;
    return true;
  }
  if (name == "--bind") {
    cfg.bindAddress = value;
    return true;
  }
  if (name == "--local-ports") return ParsePortList(value, cfg.preferredPorts);
  if (name == "--local-port-f9") return ParsePort(value, cfg.family9LocalPort);
  if (uint16_t* port = CameraPort(name, cfg)) return ParsePort(value, *port);
  return false;
}

void UseEngineAddresses(const DiscoveryConfig& cfg, T517NetConfig& series) {
  series.BindAddress = cfg.bindAddress;
  series.BroadcastAddress = cfg.broadcastAddress;
  series.DestPort = cfg.family9Port;
}

std::optional<int> ParseCameraOptions(const char* command, int argc, char** argv, void (*usage)(FILE*),
                                      CameraOptions& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
    auto value = [&](std::string& target) {
      if (!next) {
        std::fprintf(stderr, "kestrova-cli %s: %s needs a value\n", command, a.c_str());
        return false;
      }
      target = argv[++i];
      return true;
    };
    auto bad = [&]() {
      std::fprintf(stderr, "kestrova-cli %s: bad value for %s: '%s'\n", command, a.c_str(), argv[i]);
      return 2;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      usage(stdout);
      return 0;
    } else if (a == "--mac") {
      if (!value(o.mac)) return 2;
    } else if (a == "--user") {
      if (!value(o.user)) return 2;
      o.haveUser = true;
    } else if (a == "--password") {
      if (!value(o.password)) return 2;
      o.havePassword = true;
    } else if (a == "--json") {
      o.json = true;
    } else if (a == "--seconds") {
      if (!value(v)) return 2;
      if (!ParseLong(v.c_str(), 1, 3600, o.seconds)) return bad();
    }
    // Options for loopback test runs, not in the help.
    else if (a == "--local-port-f9set") {
      if (!value(v)) return 2;
      if (!ParsePort(v.c_str(), o.series.LocalPort)) return bad();
    } else if (IsEngineOption(a)) {
      if (!value(v)) return 2;
      if (!TakeEngineOption(a, v.c_str(), o.engine)) return bad();
    } else {
      std::fprintf(stderr, "kestrova-cli %s: unknown option '%s'\n", command, a.c_str());
      usage(stderr);
      return 2;
    }
  }
  if (o.mac.empty()) {
    std::fprintf(stderr, "kestrova-cli %s: --mac is required\n", command);
    usage(stderr);
    return 2;
  }
  return std::nullopt;
}

}  // namespace kestrova::cli
