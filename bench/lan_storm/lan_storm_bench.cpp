// Discovery of a LAN of cameras, entirely on loopback: an in-process LAN answers the engine's
// search rounds (families 2, 5, 8 with its follow-ups, and 9 on its own port) and the figures
// are printed as a table. Then the receive-buffer sweep and the micro-benchmarks.
//
//   lan_storm_bench                 1000 cameras, 5 steady rounds at the 1 s timer, sweep, micro
//   lan_storm_bench --quick         100 cameras, short timer, few rounds: a few seconds
//   options: --cameras N --family F (every camera of family F) --rounds N --tick-ms N
//            --engine-rcvbuf BYTES (0 = kernel default) --reply-delay-ms N (cameras answer later)
//            --reply-spread-ms N (one family's answers spread over N ms instead of a burst)
//            --adapters N (requests to the limited broadcast through N adapters that all lead to
//            the cameras; 0 = plain sends to 127.0.0.1, the default)
//            --no-storm --no-sweep --no-adapter-sweep --no-micro, and any --benchmark_* option
// The adapter sweep: the cost of a round with 1, 2 and 4 adapters that each reach every camera.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "storm.h"

using namespace lanstorm;

namespace {

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}
double Max(const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }

void Row(const char* what, const std::string& value) { std::printf("  %-52s %s\n", what, value.c_str()); }
std::string Fmt(const char* f, double a) {
  char b[128];
  std::snprintf(b, sizeof b, f, a);
  return b;
}
std::string Fmt(const char* f, double a, double b2) {
  char b[160];
  std::snprintf(b, sizeof b, f, a, b2);
  return b;
}
std::string Ms(double v) { return v < 0 ? std::string("never") : Fmt("%.1f ms", v); }
long long Diff(uint64_t a, uint64_t b) { return (long long)a - (long long)b; }

void PrintStorm(const StormParams& p, const StormResult& r, long rssAtStartKiB) {
  if (p.adapters > 0) std::printf("\n(requests to the limited broadcast through %d adapters leading to 127.0.0.1)", p.adapters);
  std::printf("\nLAN storm on 127.0.0.1: %d cameras (%d of family 2, %d of 5, %d of 8, %d of 9), timer %d ms, "
              "engine receive buffer %s, answers %s\n",
              r.cameras, r.perFamilyExpected[2], r.perFamilyExpected[5], r.perFamilyExpected[8],
              r.perFamilyExpected[9], p.tickMs,
              p.engineRcvbuf < 0 ? "as configured by default" : p.engineRcvbuf == 0 ? "kernel default" : std::to_string(p.engineRcvbuf).c_str(),
              p.replySpreadMs > 0 ? ("spread over " + std::to_string(p.replySpreadMs) + " ms per family").c_str() : "in one burst per family");
  if (!r.error.empty()) std::printf("  ERROR: %s\n", r.error.c_str());
  Row("listed / verified (MAC, address, family, name)", std::to_string(r.listed) + " / " + std::to_string(r.verified));
  Row("listed per family 2 / 5 / 8 / 9",
      std::to_string(r.perFamilyListed[2]) + " / " + std::to_string(r.perFamilyListed[5]) + " / " +
          std::to_string(r.perFamilyListed[8]) + " / " + std::to_string(r.perFamilyListed[9]) +
          "  (family 8 with DDNS data: " + std::to_string(r.family8WithDdns) + ")");
  Row("first search round -> every camera listed", Ms(r.allListedMs) + " (" + std::to_string(r.roundsToList) + " round(s))");
  Row("  family 2 / 5 / 8 / 9 complete after",
      Ms(r.familyListedMs[2]) + " / " + Ms(r.familyListedMs[5]) + " / " + Ms(r.familyListedMs[8]) + " / " +
          Ms(r.familyListedMs[9]));
  Row("owner-thread CPU until every camera was listed", Fmt("%.1f ms", r.discoveryCpuMs));
  Row("replies lost, discovery sockets (sent - read)",
      std::to_string(Diff(r.repliesSent, r.repliesReceived)) + " of " + std::to_string(r.repliesSent) +
          "  (kernel drop counter: " + std::to_string(r.kernelDrops) + ")");
  Row("replies lost, family-9 search socket", std::to_string(Diff(r.f9Sent, r.f9Received)) + " of " + std::to_string(r.f9Sent));
  Row("family-8 follow-ups lost (engine -> cameras)",
      std::to_string(Diff(r.followUpsSent, r.followUpsReceived)) + " of " + std::to_string(r.followUpsSent));
  Row("search requests lost", std::to_string(Diff(r.searchesSent, r.searchesReceived)) + " of " + std::to_string(r.searchesSent) +
                                  "  (family-9 rounds skipped, port busy: " + std::to_string(r.family9Busy) + ")");
  Row("send errors", std::to_string(r.sendErrors));
  Row("receive buffer the kernel granted (SO_RCVBUF)", std::to_string(r.effectiveRcvbuf) + " bytes");
  const int n = r.listed;
  Row(("Tick() CPU at " + std::to_string(n) + " entries, median / max").c_str(),
      Fmt("%.1f us / %.1f us", Median(r.tickCpuUs), Max(r.tickCpuUs)) + "  (" + std::to_string(r.tickCpuUs.size()) + " ticks)");
  Row("Tick() wall time, median / max", Fmt("%.1f us / %.1f us", Median(r.tickWallUs), Max(r.tickWallUs)));
  const double perMerged = r.steadyMerged ? r.processCpuUs / double(r.steadyMerged) : 0;
  const double perDatagram = r.steadyDatagrams ? r.processCpuUs / double(r.steadyDatagrams) : 0;
  Row(("owner CPU per merged reply at " + std::to_string(n) + " entries").c_str(),
      Fmt("%.2f us", perMerged) + Fmt("  (%.0f merged, %.2f us per datagram read)", double(r.steadyMerged), perDatagram));
  const double rounds = std::max<size_t>(1, r.tickCpuUs.size());
  Row("owner CPU per round (replies, follow-ups, merges)", Fmt("%.2f ms", r.processCpuUs / rounds / 1e3));
  Row("family-9 receive threads CPU per round", Fmt("%.2f ms", r.family9ThreadsCpuUs / rounds / 1e3));
  Row("cameras' side (responder) CPU per round", Fmt("%.2f ms", r.responderCpuUs / rounds / 1e3));
  Row("heap held by the engine with the list full", Fmt("%.0f KiB", double(r.heapBytesForList) / 1024));
  Row("peak RSS (ru_maxrss), at start of the program", Fmt("%.0f KiB, %.0f KiB", double(r.maxRssKiB), double(rssAtStartKiB)));
}

}  // namespace

int main(int argc, char** argv) {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  const long rssAtStart = ru.ru_maxrss;

  StormParams p;
  bool quick = false, storm = true, sweep = true, adapterSweep = true, micro = true;
  bool camerasSet = false, roundsSet = false, tickSet = false;
  std::vector<char*> rest = {argv[0]};
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto num = [&](int& out, bool* set) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "%s needs a value\n", a.c_str());
        std::exit(2);
      }
      out = std::atoi(argv[++i]);
      if (set) *set = true;
    };
    if (a == "--quick") quick = true;
    else if (a == "--cameras") num(p.cameras, &camerasSet);
    else if (a == "--rounds") num(p.steadyRounds, &roundsSet);
    else if (a == "--tick-ms") num(p.tickMs, &tickSet);
    else if (a == "--engine-rcvbuf") num(p.engineRcvbuf, nullptr);
    else if (a == "--family") num(p.onlyFamily, nullptr);
    else if (a == "--reply-delay-ms") num(p.replyDelayMs, nullptr);
    else if (a == "--reply-spread-ms") num(p.replySpreadMs, nullptr);
    else if (a == "--no-storm") storm = false;
    else if (a == "--no-sweep") sweep = false;
    else if (a == "--no-micro") micro = false;
    else if (a == "--no-adapter-sweep") adapterSweep = false;
    else if (a == "--adapters") num(p.adapters, nullptr);
    else if (a == "--help" || a == "-h") {
      std::printf(
          "usage: %s [--quick] [--cameras N] [--family 2|5|8|9] [--rounds N] [--tick-ms N] [--engine-rcvbuf BYTES]\n"
          "          [--reply-delay-ms N] [--reply-spread-ms N] [--adapters N]\n"
          "          [--no-storm] [--no-sweep] [--no-adapter-sweep] [--no-micro] [--benchmark_* options]\n"
          "Everything runs on 127.0.0.1.\n",
          argv[0]);
      return 0;
    } else rest.push_back(argv[i]);
  }
  static char quickMinTime[] = "--benchmark_min_time=0.01";
  if (quick) {
    if (!camerasSet) p.cameras = 100;
    if (!roundsSet) p.steadyRounds = 3;
    if (!tickSet) p.tickMs = 400;
    sweep = false;
    adapterSweep = false;
    rest.push_back(quickMinTime);
  }
  if (p.adapters < 0 || p.adapters > 16) {
    std::fprintf(stderr, "--adapters takes 0 to 16\n");
    return 2;
  }
  if (p.cameras < 1 || p.cameras > 60000 || p.tickMs < 1 || p.steadyRounds < 1) {
    std::fprintf(stderr, "cameras (at most 60000), rounds and tick-ms must be positive\n");
    return 2;
  }
  if (p.onlyFamily != 0 && p.onlyFamily != 2 && p.onlyFamily != 5 && p.onlyFamily != 8 && p.onlyFamily != 9) {
    std::fprintf(stderr, "--family takes 2, 5, 8 or 9\n");
    return 2;
  }

  bool ok = true;
  if (storm) {
    const StormResult r = RunStorm(p);
    PrintStorm(p, r, rssAtStart);
    ok = r.ok;
  }
  if (sweep) {
    std::printf("\nReceive-buffer sweep: %d cameras, 4 rounds at a 500 ms timer, answers %s\n", p.cameras,
                p.replySpreadMs > 0 ? ("spread over " + std::to_string(p.replySpreadMs) + " ms").c_str() : "in bursts");
    std::printf("  %-15s %-9s %-8s %-16s %-8s %s\n", "requested", "granted", "sent", "lost", "kernel",
                "listed after the 4 rounds");
    // 212992 is the stock limit of net.core.rmem_max: what an unprivileged program gets there.
    for (int bytes : {0, 64 << 10, 128 << 10, 212992, 256 << 10, 512 << 10, 1 << 20, 2 << 20, 4 << 20}) {
      StormParams s = p;
      s.engineRcvbuf = bytes;
      s.steadyRounds = 3;  // after the first round: the same number of rounds for every row
      s.tickMs = 500;
      s.timeoutMs = 0;
      const StormResult r = RunStorm(s);
      const std::string req = bytes ? std::to_string(bytes) : std::string("kernel default");
      const uint64_t sent = r.repliesSent + r.f9Sent;
      char lost[64];
      std::snprintf(lost, sizeof lost, "%llu (%.1f%%)", (unsigned long long)r.RepliesLost(),
                    sent ? 100.0 * double(r.RepliesLost()) / double(sent) : 0.0);
      std::string listed = std::to_string(r.listed) + " of " + std::to_string(r.cameras);
      if (r.allListedMs >= 0) listed += Fmt(", all after %.1f ms", r.allListedMs);
      else listed += " (2/5/8/9: " + std::to_string(r.perFamilyListed[2]) + "/" + std::to_string(r.perFamilyListed[5]) +
                     "/" + std::to_string(r.perFamilyListed[8]) + "/" + std::to_string(r.perFamilyListed[9]) + ")";
      std::printf("  %-15s %-9d %-8llu %-16s %-8llu %s\n", req.c_str(), r.effectiveRcvbuf, (unsigned long long)sent, lost,
                  (unsigned long long)r.kernelDrops, listed.c_str());
      std::fflush(stdout);
    }
  }
  if (adapterSweep) {
    std::printf("\nAdapter sweep: %d cameras, every request through each adapter, every adapter reaching every camera\n",
                p.cameras);
    std::printf("  %-9s %-22s %-20s %-16s %-14s %s\n", "adapters", "Tick() CPU med / max", "owner CPU per round",
                "replies sent", "replies lost", "listed (verified)");
    for (int n : {1, 2, 4}) {
      StormParams s = p;
      s.adapters = n;
      const StormResult r = RunStorm(s);
      ok = ok && r.ok;
      const double rounds = double(std::max<size_t>(1, r.tickCpuUs.size()));
      std::printf("  %-9d %-22s %-20s %-16llu %-14llu %d (%d)%s\n", n,
                  Fmt("%.1f / %.1f us", Median(r.tickCpuUs), Max(r.tickCpuUs)).c_str(),
                  Fmt("%.2f ms", r.processCpuUs / rounds / 1e3).c_str(),
                  (unsigned long long)(r.repliesSent + r.f9Sent), (unsigned long long)r.RepliesLost(), r.listed,
                  r.verified, r.error.empty() ? "" : ("  ERROR: " + r.error).c_str());
      std::fflush(stdout);
    }
  }
  std::fflush(stdout);
  if (micro) {
    std::printf("\nMicro-benchmarks (owner-thread work without the socket reads):\n");
    std::fflush(stdout);
    int bargc = int(rest.size());
    benchmark::Initialize(&bargc, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
  }
  return ok ? 0 : 1;
}
