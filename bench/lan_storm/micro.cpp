// Micro-benchmarks at LAN size: what the owner thread spends per reply once the datagram is
// read (classify, merge), per timer tick on the list, and what a full re-sort would cost.
// The records come from the same reply bytes the LAN plays.
#include <benchmark/benchmark.h>

#include <vector>

#include "core/discovery/cgi_search.h"
#include "core/discovery/device_list.h"
#include "core/discovery/discovery_protocol.h"
#include "lan_responder.h"
#include "net/discovery/discovery_engine.h"
#include "net/sockets/udp_socket.h"

using namespace kestrova;

namespace lanstorm {
namespace {

// One reply per camera, as the engine receives it in a round (family 8: the information
// reply that carries the record).
struct LanReplies {
  std::vector<Bytes> bytes;
  std::vector<TDevInfo> records;
  explicit LanReplies(int n) {
    for (int i = 0; i < n; ++i) {
      const LanCamera c = MakeCamera(i);
      Bytes b;
      switch (c.family) {
        case 2: b = Family2SearchReply(c); break;
        case 5: b = Family5SearchReply(c); break;
        case 8: b = Family8InfoReply(c, c.word); break;
        case 9: b = Family9SearchAnswer(c); break;
      }
      TDevInfo rec;
      if (c.family == 9) {
        if (auto r = ParseFamily9Answer(b)) rec = *r;
      } else {
        rec = ParseDatagram(b).rec;
      }
      bytes.push_back(std::move(b));
      records.push_back(std::move(rec));
    }
  }
};

const LanReplies& Lan(int n) {
  static std::vector<std::unique_ptr<LanReplies>> cache;
  for (auto& l : cache)
    if (int(l->records.size()) == n) return *l;
  cache.push_back(std::make_unique<LanReplies>(n));
  return *cache.back();
}

void Fill(DeviceList& l, const LanReplies& lan) {
  for (const auto& r : lan.records) l.MergeDevice(r);
}

// A reply of a listed camera with nothing new: what almost every reply of a round is.
void BM_MergeRefresh(benchmark::State& st) {
  const auto& lan = Lan(int(st.range(0)));
  DeviceList l;
  Fill(l, lan);
  size_t i = 0;
  for (auto _ : st) {
    benchmark::DoNotOptimize(l.MergeDevice(lan.records[i]));
    if (++i == lan.records.size()) i = 0;
  }
  st.SetItemsProcessed(st.iterations());
}
BENCHMARK(BM_MergeRefresh)->Arg(100)->Arg(1000)->Arg(10000);

// A listed camera that moved to another address: record replaced, entry moved to its new row.
void BM_MergeAddressChange(benchmark::State& st) {
  const auto& lan = Lan(int(st.range(0)));
  std::vector<TDevInfo> moved = lan.records;
  for (size_t i = 0; i < moved.size(); ++i) moved[i].IP = "10.78." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
  DeviceList l;
  Fill(l, lan);
  size_t i = 0;
  bool flip = true;
  for (auto _ : st) {
    benchmark::DoNotOptimize(l.MergeDevice(flip ? moved[i] : lan.records[i]));
    if (++i == moved.size()) {
      i = 0;
      flip = !flip;
    }
  }
  st.SetItemsProcessed(st.iterations());
}
BENCHMARK(BM_MergeAddressChange)->Arg(100)->Arg(1000)->Arg(10000);

// Listing a LAN from empty: n first sightings (per item).
void BM_FillFromEmpty(benchmark::State& st) {
  const auto& lan = Lan(int(st.range(0)));
  for (auto _ : st) {
    DeviceList l;
    Fill(l, lan);
    benchmark::DoNotOptimize(l.Count());
  }
  st.SetItemsProcessed(st.iterations() * st.range(0));
}
BENCHMARK(BM_FillFromEmpty)->Arg(1000);

// Classify the datagram and merge its record: the owner thread's work per reply without the
// socket read. Mixed families, every camera in turn.
void BM_ClassifyAndMerge(benchmark::State& st) {
  const auto& lan = Lan(int(st.range(0)));
  DeviceList l;
  Fill(l, lan);
  auto find = [&l](const std::string& mac) { return l.FindDevByMAC(mac); };
  size_t i = 0;
  for (auto _ : st) {
    const Bytes& b = lan.bytes[i];
    if (b[0] == 0x44) {
      if (auto r = ParseFamily9Answer(b)) benchmark::DoNotOptimize(l.MergeDevice(*r));
    } else {
      ParseResult r = ParseDatagram(b, find);
      if (r.accepted) benchmark::DoNotOptimize(l.MergeDevice(r.rec));
    }
    if (++i == lan.bytes.size()) i = 0;
  }
  st.SetItemsProcessed(st.iterations());
}
BENCHMARK(BM_ClassifyAndMerge)->Arg(1000);

// The classifier alone, per family.
void BM_Classify(benchmark::State& st) {
  const int family = int(st.range(0));
  const LanCamera c = MakeCamera(family == 2 ? 0 : family == 5 ? 1 : family == 8 ? 2 : 3);
  const Bytes b = family == 2 ? Family2SearchReply(c)
                  : family == 5 ? Family5SearchReply(c)
                  : family == 8 ? Family8InfoReply(c, c.word)
                                : Family9SearchAnswer(c);
  for (auto _ : st) {
    if (family == 9)
      benchmark::DoNotOptimize(ParseFamily9Answer(b));
    else
      benchmark::DoNotOptimize(ParseDatagram(b));
  }
}
BENCHMARK(BM_Classify)->Arg(2)->Arg(5)->Arg(8)->Arg(9)->ArgName("family");

// The list's part of a timer tick at n entries: age every entry (none expires here: the list
// is refreshed, outside the timing, before the lifetimes run out).
void BM_ExpireTick(benchmark::State& st) {
  const auto& lan = Lan(int(st.range(0)));
  DeviceList l;
  Fill(l, lan);
  int ticks = 0;
  for (auto _ : st) {
    benchmark::DoNotOptimize(l.ExpireTick());
    if (++ticks == 9) {
      st.PauseTiming();
      Fill(l, lan);
      ticks = 0;
      st.ResumeTiming();
    }
  }
}
BENCHMARK(BM_ExpireTick)->Arg(1000);

// What keeping the order by a whole re-sort would cost per reply.
void BM_FullResort(benchmark::State& st) {
  const auto& lan = Lan(int(st.range(0)));
  DeviceList l;
  Fill(l, lan);
  for (auto _ : st) l.SetSort(kColIP, true);
}
BENCHMARK(BM_FullResort)->Arg(1000);

// The engine's Tick() at n entries, the cameras silent: the round's sends (to one sink socket
// on 127.0.0.1), the family-9 search when enabled (socket, bind, send, receive thread; the
// thread's quiet wait is cut to 1 ms and awaited outside the timing) and the list's ageing.
void BM_EngineTick(benchmark::State& st) {
  const auto& lan = Lan(int(st.range(0)));
  const bool family9 = st.range(1) != 0;
  UdpSocket sink;
  if (!sink.Bind(0, "127.0.0.1")) {
    st.SkipWithError("no loopback socket");
    return;
  }
  DiscoveryConfig cfg;
  cfg.bindAddress = "127.0.0.1";
  cfg.broadcastAddress = "127.0.0.1";
  cfg.preferredPorts = {0, 0, 0, 0, 0};
  cfg.family2Port = cfg.family5Port = cfg.family8Port = cfg.family9Port = cfg.uicamPort = cfg.sq610Port =
      sink.LocalPort();
  cfg.family9LocalPort = FreeLoopbackUdpPort();
  cfg.family9Enabled = family9;
  cfg.family9WaitMs = 1;
  cfg.family9QuietPeriods = 1;
  DiscoveryEngine eng(cfg);
  if (!eng.Start()) {
    st.SkipWithError("engine sockets");
    return;
  }
  Fill(eng.List(), lan);
  int ticks = 0;
  for (auto _ : st) {
    eng.Tick();
    st.PauseTiming();
    if (family9) eng.FinishSearches(1000);
    while (sink.Receive()) {
    }
    if (++ticks == 9) {
      Fill(eng.List(), lan);
      ticks = 0;
    }
    st.ResumeTiming();
  }
  eng.Stop();
}
BENCHMARK(BM_EngineTick)->Args({1000, 0})->Args({1000, 1})->ArgNames({"entries", "family9"});

}  // namespace
}  // namespace lanstorm
