#include "net/setnet/camera_lookup.h"

#include <algorithm>
#include <chrono>

#include "net/discovery/discovery_engine.h"

namespace kestrova {

std::optional<TDevInfo> DiscoverByMac(DiscoveryEngine& engine, const std::string& mac, int seconds) {
  using Clock = std::chrono::steady_clock;
  auto found = [&]() -> std::optional<TDevInfo> {
    if (const TDevInfo* d = engine.List().FindDevByMAC(mac)) return *d;
    return std::nullopt;
  };
  const auto t0 = Clock::now();
  for (int tick = 0; tick < seconds; ++tick) {
    engine.Tick();
    const auto next = t0 + std::chrono::seconds(tick + 1);
    for (;;) {
      if (auto d = found()) return d;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count();
      if (left <= 0) break;
      engine.WaitAndProcess(static_cast<int>(std::min<long long>(left, 100)));
    }
  }
  engine.FinishSearches(2000);
  return found();
}

SettingsTransport EngineTransport(DiscoveryEngine& engine) {
  auto from = [&engine](DiscoverySocket s) -> DatagramSender {
    return [&engine, s](uint16_t port, const std::vector<uint8_t>& bytes) { return engine.SendFrom(s, port, bytes); };
  };
  SettingsTransport t;
  t.Family2 = from(DiscoverySocket::IdUDPServer2);
  t.Family5 = from(DiscoverySocket::IdUDPServer4);
  t.Family8 = from(DiscoverySocket::IdUDPServer1);
  return t;
}

}  // namespace kestrova
