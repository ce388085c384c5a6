#include "storm.h"

#include <malloc.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

#include "net/discovery/discovery_engine.h"
#include "net/sockets/adapter_paths.h"
#include "net/sockets/udp_socket.h"

namespace lanstorm {

using kestrova::DiscoveryConfig;
using kestrova::DiscoveryEngine;
using kestrova::DiscoverySocket;
using Clock = std::chrono::steady_clock;

namespace {

double ThreadCpuUs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) * 1e6 + double(ts.tv_nsec) / 1e3;
}
double ProcessCpuUs() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return double(ts.tv_sec) * 1e6 + double(ts.tv_nsec) / 1e3;
}
double MsSince(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// Drops the kernel counted on the loopback UDP sockets bound to these local ports.
uint64_t KernelDrops(const std::set<uint16_t>& ports) {
  std::ifstream in("/proc/net/udp");
  std::string line;
  std::getline(in, line);  // header
  uint64_t drops = 0;
  while (std::getline(in, line)) {
    unsigned addr = 0, port = 0;
    if (std::sscanf(line.c_str(), " %*d: %8X:%4X", &addr, &port) != 2) continue;
    if (!ports.count(uint16_t(port))) continue;
    std::istringstream ss(line);
    std::string tok, last;
    while (ss >> tok) last = tok;
    drops += std::strtoull(last.c_str(), nullptr, 10);
  }
  return drops;
}

// n adapters whose sends all go to the cameras on loopback.
class LoopbackAdapters : public kestrova::AdapterPaths {
 public:
  explicit LoopbackAdapters(int n) {
    for (int i = 0; i < n; ++i)
      list_.push_back({100 + i, "bench" + std::to_string(i), "10." + std::to_string(i) + ".0.10"});
  }
  std::vector<kestrova::SendAdapter> Adapters() override { return list_; }
  bool SendVia(kestrova::UdpSocket& socket, const kestrova::SendAdapter&, const std::string&, uint16_t port,
               std::span<const uint8_t> data) override {
    ++sends;
    return socket.SendTo("127.0.0.1", port, data);
  }
  uint64_t sends = 0;

 private:
  std::vector<kestrova::SendAdapter> list_;
};

}  // namespace

StormResult RunStorm(const StormParams& p) {
  StormResult res;
  res.cameras = p.cameras;
  res.familyListedMs.fill(-1);

  LanResponder lan(p.cameras, p.onlyFamily);
  lan.SetReplyDelayMs(p.replyDelayMs);
  lan.SetReplySpreadMs(p.replySpreadMs);
  if (!lan.Start()) {
    res.error = "cannot bind the cameras' sockets on 127.0.0.1";
    return res;
  }
  for (int f : {2, 5, 8, 9}) res.perFamilyExpected[f] = lan.CamerasOf(f);

  // Everything on loopback: requests to 127.0.0.1 at the cameras' ports, sockets bound to
  // 127.0.0.1 on free ports.
  DiscoveryConfig cfg;
  cfg.bindAddress = "127.0.0.1";
  cfg.broadcastAddress = "127.0.0.1";
  cfg.preferredPorts = {0, 0, 0, 0, 0};
  cfg.family2Port = lan.PortOf(Port::Family2);
  cfg.family5Port = lan.PortOf(Port::Family5);
  cfg.family8Port = lan.PortOf(Port::Family8);
  cfg.family9Port = lan.PortOf(Port::Family9);
  cfg.uicamPort = lan.PortOf(Port::Uicam);
  cfg.sq610Port = lan.PortOf(Port::Sq610);
  cfg.family9LocalPort = FreeLoopbackUdpPort();
  if (p.engineRcvbuf >= 0) cfg.receiveBufferBytes = p.engineRcvbuf;
  LoopbackAdapters adapters(p.adapters);
  if (p.adapters > 0) {
    cfg.broadcastAddress = kestrova::kLimitedBroadcast;
    cfg.adapterPaths = &adapters;
  }

  const long heapBefore = long(mallinfo2().uordblks);
  DiscoveryEngine eng(cfg);

  Clock::time_point t0;
  std::array<int, 10> listed{};
  int total = 0;
  eng.SetOnMerged([&](const kestrova::DeviceList::MergeResult& r) {
    if (!r.added) return;
    const int f = eng.List().DeviceAt(r.row).DevType;
    ++total;
    if (f >= 0 && f < 10 && ++listed[f] == res.perFamilyExpected[f]) res.familyListedMs[f] = MsSince(t0);
    if (total == p.cameras) res.allListedMs = MsSince(t0);
  });

  if (!eng.Start()) {
    res.error = "the engine could not bind all five sockets";
    lan.Stop();
    return res;
  }
  {
    for (int fd : eng.fds()) {
      int v = 0;
      socklen_t len = sizeof v;
      if (::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &v, &len) == 0) res.effectiveRcvbuf = std::max(res.effectiveRcvbuf, v);
    }
  }
  std::set<uint16_t> enginePorts;
  for (int s = 0; s < int(kestrova::kDiscoverySocketCount); ++s)
    enginePorts.insert(eng.LocalPort(DiscoverySocket(s)));
  const uint64_t dropsBefore = KernelDrops(enginePorts);

  // Phase 1: from the first round until every camera is listed.
  t0 = Clock::now();
  const double cpu0 = ThreadCpuUs();
  eng.Tick();
  int rounds = 1;
  auto nextTick = t0 + std::chrono::milliseconds(p.tickMs);
  while (eng.List().Count() < p.cameras && MsSince(t0) < p.timeoutMs) {
    const auto now = Clock::now();
    if (now >= nextTick) {
      eng.Tick();
      ++rounds;
      nextTick += std::chrono::milliseconds(p.tickMs);
      continue;
    }
    const int wait = int(std::chrono::duration_cast<std::chrono::milliseconds>(nextTick - now).count());
    eng.WaitAndProcess(std::clamp(wait, 1, 50));
  }
  res.discoveryCpuMs = (ThreadCpuUs() - cpu0) / 1e3;
  res.roundsToList = rounds;

  // Let the last round settle (family-8 DDNS exchange, the family-9 search) before the
  // steady rounds start: process until the next tick.
  auto processUntil = [&](Clock::time_point until, double* cpuUs) {
    for (;;) {
      const auto now = Clock::now();
      if (now >= until) break;
      const int wait = int(std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count());
      const double c = ThreadCpuUs();
      eng.WaitAndProcess(std::clamp(wait, 1, 50));
      if (cpuUs) *cpuUs += ThreadCpuUs() - c;
    }
  };
  processUntil(nextTick, nullptr);
  res.heapBytesForList = long(mallinfo2().uordblks) - heapBefore;

  // Phase 2: steady rounds at the full list.
  auto statsBefore = eng.Stats();
  const auto lanBefore = lan.Counts();
  const double procBefore = ProcessCpuUs(), mainBefore = ThreadCpuUs();
  double processCpu = 0;
  for (int r = 0; r < p.steadyRounds; ++r) {
    const auto w0 = Clock::now();
    const double c0 = ThreadCpuUs();
    eng.Tick();
    res.tickCpuUs.push_back(ThreadCpuUs() - c0);
    res.tickWallUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - w0).count());
    ++rounds;
    nextTick += std::chrono::milliseconds(p.tickMs);
    processUntil(nextTick, &processCpu);
  }
  // The last family-9 search and anything still queued.
  {
    const double c = ThreadCpuUs();
    eng.FinishSearches(2000);
    eng.WaitAndProcess(20);
    processCpu += ThreadCpuUs() - c;
  }
  const auto statsAfter = eng.Stats();
  const auto lanAfter = lan.Counts();
  res.processCpuUs = processCpu;
  res.steadyMerged = (statsAfter.accepted - statsBefore.accepted) + (statsAfter.queued - statsBefore.queued);
  res.steadyDatagrams = (statsAfter.datagrams - statsBefore.datagrams) + (statsAfter.queued - statsBefore.queued);
  res.responderCpuUs = double(lanAfter.cpuUs - lanBefore.cpuUs);
  const double mainCpu = ThreadCpuUs() - mainBefore;
  res.family9ThreadsCpuUs = std::max(0.0, (ProcessCpuUs() - procBefore) - mainCpu - res.responderCpuUs);
  res.roundsTotal = rounds;

  // Losses over the whole run.
  const auto st = eng.Stats();
  res.repliesSent = lanAfter.RepliesToDiscoverySockets();
  res.repliesReceived = st.datagrams;
  res.f9Sent = lanAfter.f9Answers;
  res.f9Received = st.queued;
  const uint64_t copies = uint64_t(std::max(1, p.adapters));  // of each request
  res.followUpsSent = st.followUps * copies;
  res.followUpsReceived = lanAfter.f8InfoRequests + lanAfter.f8DdnsRequests;
  res.searchesReceived = lanAfter.f2Searches + lanAfter.f5Searches + lanAfter.f8Searches + lanAfter.f9Searches;
  res.searchesSent = (uint64_t(rounds) * 3 + st.family9Searches) * copies;
  res.sendErrors = lanAfter.sendErrors + st.sendFailures + st.adapterSendFailures;
  res.adapterSends = adapters.sends;
  res.family9Busy = st.family9Busy;
  res.kernelDrops = KernelDrops(enginePorts) - dropsBefore;

  // What the list holds.
  const auto& list = eng.List();
  res.listed = list.Count();
  for (int i = 0; i < list.Count(); ++i) {
    const auto& d = list.DeviceAt(i);
    if (d.DevType >= 0 && d.DevType < 10) ++res.perFamilyListed[d.DevType];
    if (d.DevType == 8 && !d.DDnsUser.empty()) ++res.family8WithDdns;
  }
  for (const LanCamera& c : lan.Cameras()) {
    const auto* d = list.FindDevByMAC(ExpectedMacText(c));
    if (d && d->IP == c.ip && d->DevType == c.family && d->Name == c.name) ++res.verified;
  }

  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  res.maxRssKiB = ru.ru_maxrss;

  eng.Stop();
  lan.Stop();
  res.ok = res.verified == p.cameras;
  if (!res.ok && res.error.empty())
    res.error = std::to_string(res.verified) + " of " + std::to_string(p.cameras) + " cameras listed correctly";
  return res;
}

}  // namespace lanstorm
