#include "net/setnet/camera_lookup.h"

#include <algorithm>
#include <chrono>

#include "net/discovery/discovery_engine.h"

namespace kestrova {

void EngineRunner::RunFor(int ms) {
  using Clock = std::chrono::steady_clock;
  const auto end = Clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
  for (;;) {
    const auto now = Clock::now();
    if (!nextTick_ || now >= *nextTick_) {
      engine_.Tick();
      nextTick_ = (nextTick_ ? *nextTick_ : now) + std::chrono::seconds(1);
      if (*nextTick_ < now) nextTick_ = now + std::chrono::seconds(1);  // fell behind: no burst
    }
    if (now >= end) return;
    const auto until = std::min(end, *nextTick_);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count();
    engine_.WaitAndProcess(static_cast<int>(std::max<long long>(left, 1)));
  }
}

std::optional<TDevInfo> DiscoverByMac(DiscoveryEngine& engine, const std::string& mac, int seconds) {
  using Clock = std::chrono::steady_clock;
  auto found = [&]() -> std::optional<TDevInfo> {
    if (const TDevInfo* d = engine.List().FindDevByMAC(mac)) return *d;
    return std::nullopt;
  };
  EngineRunner runner(engine);
  const auto end = Clock::now() + std::chrono::seconds(seconds);
  for (;;) {
    if (auto d = found()) return d;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    if (left <= 0) break;
    runner.RunFor(static_cast<int>(std::min<long long>(left, 100)));
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
