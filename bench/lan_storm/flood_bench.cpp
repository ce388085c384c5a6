// A flood from the LAN against the discovery engine, on loopback: sender threads send search
// replies of ever new made-up cameras (families 2, 5 and 8, and family-9 answers to the search
// socket) as fast as they can, while the owner's loop runs as the window runs it: wait for the
// sockets until the next timer tick, handle what is waiting, tick. Printed: how late the timer
// came round at worst, the longest single turn, the list's size, the follow-ups the flood drew,
// what the bounds dropped, and memory. Two runs: the engine's batch bounds, and batches as
// large as one call used to read (4096 datagrams per socket, the reporters' queue whole).
//
//   lan_storm_flood_bench [--seconds N] [--tick-ms N] [--senders N] [--cameras N]
#include <poll.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "lan_responder.h"
#include "net/discovery/discovery_engine.h"

using namespace lanstorm;
using Clock = std::chrono::steady_clock;

namespace {

struct FloodResult {
  double worstLateMs = 0;   // a tick ran this long after it was due, at worst
  double worstTurnMs = 0;   // one ProcessPending() took this long, at worst
  int ticks = 0, ticksDue = 0;
  uint64_t sent = 0;
  kestrova::DiscoveryStats stats;
  int listed = 0;
  long maxRssKiB = 0;
};

double MsSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

FloodResult Run(int seconds, int tickMs, int senders, int cameras, bool bounded) {
  kestrova::DiscoveryConfig cfg;
  cfg.bindAddress = "127.0.0.1";
  cfg.broadcastAddress = "127.0.0.1";
  cfg.preferredPorts = {0, 0, 0, 0, 0};
  // Nobody answers the searches: every camera-side port points at a port nobody listens on.
  cfg.family2Port = cfg.uicamPort = cfg.sq610Port = cfg.family5Port = cfg.family8Port = cfg.family9Port = 9;
  cfg.family9LocalPort = FreeLoopbackUdpPort();
  if (!bounded) {
    cfg.maxDatagramsPerTurn = 5 * 4096;
    cfg.maxRecordsPerTurn = INT_MAX;
  }
  kestrova::DiscoveryEngine engine(cfg);
  engine.Start();

  // The flood's datagrams, built once: a new camera in every one of them.
  std::vector<std::pair<uint16_t, Bytes>> datagrams;
  const kestrova::DiscoverySocket to[] = {kestrova::DiscoverySocket::IdUDPServer2, kestrova::DiscoverySocket::IdUDPServer4,
                                          kestrova::DiscoverySocket::IdUDPServer5};
  for (int i = 0; i < cameras; ++i) {
    const int family = (i % 4 == 0) ? 2 : (i % 4 == 1) ? 5 : (i % 4 == 2) ? 8 : 9;
    const LanCamera c = MakeCamera(i, family);
    switch (family) {
      case 2: datagrams.emplace_back(engine.LocalPort(to[0]), Family2SearchReply(c)); break;
      case 5: datagrams.emplace_back(engine.LocalPort(to[1]), Family5SearchReply(c)); break;
      case 8: datagrams.emplace_back(engine.LocalPort(to[2]), Family8SearchAnswer(c)); break;
      default: datagrams.emplace_back(cfg.family9LocalPort, Family9SearchAnswer(c)); break;
    }
  }

  std::atomic<bool> stop{false};
  std::atomic<uint64_t> sent{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < senders; ++t) {
    threads.emplace_back([&, t] {
      kestrova::UdpSocket s;
      if (!s.Bind(0, "127.0.0.1")) return;
      uint64_t n = 0;
      for (size_t i = size_t(t); !stop; i = (i + size_t(senders)) % datagrams.size()) {
        if (s.SendTo("127.0.0.1", datagrams[i].first, datagrams[i].second)) ++n;
      }
      sent += n;
    });
  }

  FloodResult r;
  const auto start = Clock::now();
  const auto end = start + std::chrono::seconds(seconds);
  auto due = start;
  while (Clock::now() < end) {
    if (Clock::now() >= due) {
      r.worstLateMs = std::max(r.worstLateMs, std::chrono::duration<double, std::milli>(Clock::now() - due).count());
      engine.Tick();
      ++r.ticks;
      due += std::chrono::milliseconds(tickMs);
      continue;
    }
    std::vector<pollfd> p;
    for (int fd : engine.fds()) p.push_back({fd, POLLIN, 0});
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now()).count();
    if (::poll(p.data(), p.size(), int(std::max<long long>(0, wait))) <= 0) continue;
    const auto t0 = Clock::now();
    engine.ProcessPending();
    r.worstTurnMs = std::max(r.worstTurnMs, MsSince(t0));
  }
  r.ticksDue = int(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count() / tickMs) + 1;
  stop = true;
  for (auto& t : threads) t.join();
  r.sent = sent;
  r.stats = engine.Stats();
  r.listed = engine.List().Count();
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  r.maxRssKiB = ru.ru_maxrss;
  engine.Stop();
  return r;
}

void Print(const char* title, const FloodResult& r) {
  std::printf("\n%s\n", title);
  std::printf("  %-46s %.1f ms\n", "timer tick late at worst", r.worstLateMs);
  std::printf("  %-46s %.1f ms\n", "longest single turn (ProcessPending)", r.worstTurnMs);
  std::printf("  %-46s %d of %d\n", "ticks run / due", r.ticks, r.ticksDue);
  std::printf("  %-46s %llu sent, %llu read (%llu oversized)\n", "flood datagrams", (unsigned long long)r.sent,
              (unsigned long long)r.stats.datagrams, (unsigned long long)r.stats.oversized);
  std::printf("  %-46s %d (new cameras refused, list full: %llu)\n", "entries listed", r.listed,
              (unsigned long long)r.stats.listFull);
  std::printf("  %-46s %llu sent, %llu not sent\n", "family-8 follow-ups", (unsigned long long)r.stats.followUps,
              (unsigned long long)r.stats.followUpsSkipped);
  std::printf("  %-46s %llu merged, %llu dropped (queue full)\n", "family-9 records via the queue",
              (unsigned long long)r.stats.queued, (unsigned long long)r.stats.queueDropped);
  std::printf("  %-46s %llu\n", "turns that left work for the next", (unsigned long long)r.stats.turnsCut);
  std::printf("  %-46s %ld KiB\n", "peak RSS of the program so far", r.maxRssKiB);
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 5, tickMs = 100, senders = 2, cameras = 40000;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    const int v = std::atoi(argv[i + 1]);
    if (a == "--seconds") seconds = std::max(1, v);
    else if (a == "--tick-ms") tickMs = std::max(1, v);
    else if (a == "--senders") senders = std::max(1, v);
    else if (a == "--cameras") cameras = std::max(4, v);
    else {
      std::fprintf(stderr, "unknown option %s\n", a.c_str());
      return 2;
    }
  }
  std::printf("LAN flood on 127.0.0.1: %d sender threads, %d made-up cameras, timer %d ms, %d s per run\n", senders,
              cameras, tickMs, seconds);
  Print("Engine bounds (batches of the configured size)", Run(seconds, tickMs, senders, cameras, true));
  Print("Batches as large as one call read before (4096 per socket, queue whole)",
        Run(seconds, tickMs, senders, cameras, false));
  return 0;
}
