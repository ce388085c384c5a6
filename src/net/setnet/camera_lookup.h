// Finding one camera by its MAC text with a timed discovery run, and the settings senders
// that go out from the discovery engine's own sockets.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "core/discovery/dev_info.h"
#include "net/setnet/setnet.h"

namespace kestrova {

class DiscoveryEngine;

// Keeps a started engine running where no window does (the command line): a search round
// (Tick) every 1000 ms of real time, the discovery rhythm, which is never scaled, and every
// datagram handled as it arrives.
class EngineRunner {
 public:
  explicit EngineRunner(DiscoveryEngine& engine) : engine_(engine) {}
  // Runs the engine for ms of real time; the first call starts with a round at once.
  void RunFor(int ms);

 private:
  DiscoveryEngine& engine_;
  std::optional<std::chrono::steady_clock::time_point> nextTick_;
};

// Runs search rounds once a second (the engine must be started) until a camera whose MAC text
// equals mac exactly is listed, or `seconds` have passed; then the record, or nullopt.
std::optional<TDevInfo> DiscoverByMac(DiscoveryEngine& engine, const std::string& mac, int seconds);

// Senders from the sockets the settings commands use: family 2 from IdUDPServer2, family 5
// from IdUDPServer4, family 8 from IdUDPServer1 (the wizard's socket), to the engine's
// broadcast address and camera-side ports.
SettingsTransport EngineTransport(DiscoveryEngine& engine);

}  // namespace kestrova
