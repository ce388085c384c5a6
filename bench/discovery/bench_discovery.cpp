// Device-list cost at LAN sizes: merging replies (refresh, address change, new camera),
// re-sorting on a column click, a timer tick, and classifying a reply datagram.
// Reports figures only; nothing here is a pass/fail criterion.
#include <benchmark/benchmark.h>

#include <string>

#include "core/discovery/device_list.h"
#include "core/discovery/discovery_protocol.h"

using namespace kestrova;

namespace {

TDevInfo Camera(int i) {
  static const int32_t kTypes[] = {2, 5, 8, 9};
  TDevInfo d;
  d.DevType = kTypes[i % 4];
  d.MAC = "00112233" + std::to_string(10000 + i);
  d.IP = "10." + std::to_string((i >> 16) & 255) + "." + std::to_string((i >> 8) & 255) + "." +
         std::to_string(i & 255);
  d.Name = "cam-" + std::to_string((i * 7919) % 1000);
  d.HttpPort = 80;
  d.IPMode = 2;
  return d;
}

void Fill(DeviceList& l, int n) {
  for (int i = 0; i < n; ++i) l.MergeDevice(Camera(i));
}

// A reply from a listed camera with nothing new: the common case of every round.
void BM_MergeRefresh(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  DeviceList l;
  Fill(l, n);
  int i = 0;
  for (auto _ : st) {
    auto r = l.MergeDevice(Camera(i));
    benchmark::DoNotOptimize(r);
    i = (i + 1) % n;
  }
  st.SetItemsProcessed(st.iterations());
}
BENCHMARK(BM_MergeRefresh)->Arg(100)->Arg(300)->Arg(1000);

// A listed camera whose address changed: record replaced and re-placed in the order.
void BM_MergeAddressChange(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  DeviceList l;
  Fill(l, n);
  int i = 0, flip = 0;
  for (auto _ : st) {
    TDevInfo d = Camera(i);
    if (flip) d.IP = "172.16.0." + std::to_string(i & 255);
    benchmark::DoNotOptimize(l.MergeDevice(d));
    if (++i == n) { i = 0; flip ^= 1; }
  }
  st.SetItemsProcessed(st.iterations());
}
BENCHMARK(BM_MergeAddressChange)->Arg(100)->Arg(300)->Arg(1000);

// Building a list of n cameras from empty (n first sightings).
void BM_FillList(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  for (auto _ : st) {
    DeviceList l;
    Fill(l, n);
    benchmark::DoNotOptimize(l.Count());
  }
  st.SetItemsProcessed(st.iterations() * n);
}
BENCHMARK(BM_FillList)->Arg(100)->Arg(300)->Arg(1000);

// A column click: full re-sort by name or address.
void BM_ColumnClick(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  DeviceList l;
  Fill(l, n);
  int col = 0;
  for (auto _ : st) {
    l.ColumnClick(col);
    col = (col + 1) % 3;
  }
}
BENCHMARK(BM_ColumnClick)->Arg(100)->Arg(300)->Arg(1000);

// One timer tick over n entries (nobody expires).
void BM_ExpireTick(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  DeviceList l;
  Fill(l, n);
  int ticks = 0;
  for (auto _ : st) {
    benchmark::DoNotOptimize(l.ExpireTick());
    if (++ticks == 8) {
      st.PauseTiming();
      Fill(l, n);  // refresh before anything reaches 0
      ticks = 0;
      st.ResumeTiming();
    }
  }
}
BENCHMARK(BM_ExpireTick)->Arg(100)->Arg(300)->Arg(1000);

// Classifying a family-5 reply (text split and key look-ups).
void BM_ParseFamily5(benchmark::State& st) {
  const std::string text =
      "REPLY * CTP/1.0\r\n-sn SN0001\r\n-name cam\r\n-ip 192.168.1.40\r\n-netmask 255.255.255.0\r\n"
      "-portctp 8080\r\n-mdns 8.8.8.8\r\n-sdns 8.8.4.4\r\n-mac 00:11:22:AA:BB:CC\r\n-gw 192.168.1.1\r\n"
      "-ddns aa.bb.cc:9000\r\n-ddnsuser x123\r\n-ddnspswd pw1\r\n-version 3.1.4\r\n\r\n";
  std::vector<uint8_t> d(text.begin(), text.end());
  for (auto _ : st) benchmark::DoNotOptimize(ParseDatagram(d));
  st.SetItemsProcessed(st.iterations());
}
BENCHMARK(BM_ParseFamily5);

}  // namespace
