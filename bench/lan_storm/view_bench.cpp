// What the advanced window's list control pays per merged reply at LAN size: the device list
// with its view adapter attached (a QTreeWidget, offscreen, not painted). Figures only.
//
//   QT_QPA_PLATFORM=offscreen lan_storm_view_bench [--benchmark_* options]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTreeWidget>

#include <memory>
#include <vector>

#include "core/discovery/cgi_search.h"
#include "core/discovery/device_list.h"
#include "core/discovery/discovery_protocol.h"
#include "lan_responder.h"
#include "ui/discovery/device_list_view.h"

using namespace kestrova;

namespace lanstorm {
namespace {

std::vector<TDevInfo> LanRecords(int n) {
  std::vector<TDevInfo> out;
  for (int i = 0; i < n; ++i) {
    const LanCamera c = MakeCamera(i);
    TDevInfo rec;
    switch (c.family) {
      case 2: rec = ParseDatagram(Family2SearchReply(c)).rec; break;
      case 5: rec = ParseDatagram(Family5SearchReply(c)).rec; break;
      case 8: rec = ParseDatagram(Family8InfoReply(c, c.word)).rec; break;
      case 9:
        if (auto r = ParseFamily9Answer(Family9SearchAnswer(c))) rec = *r;
        break;
    }
    out.push_back(std::move(rec));
  }
  return out;
}

// The rows show the list's entries in the list's order.
bool RowsMatch(const DeviceList& list, const QTreeWidget& tree) {
  if (tree.topLevelItemCount() != list.Count()) return false;
  for (int r = 0; r < list.Count(); ++r) {
    const QTreeWidgetItem* it = tree.topLevelItem(r);
    if (it->data(0, TDeviceListView::kIdRole).toULongLong() != list.IdAt(r) ||
        it->text(2) != QString::fromStdString(list.DeviceAt(r).IP))
      return false;
  }
  return true;
}

struct Fixture {
  DeviceList list;
  QTreeWidget tree;
  std::unique_ptr<TDeviceListView> view;
  std::vector<TDevInfo> recs;
  explicit Fixture(int n, bool fill = true) : recs(LanRecords(n)) {
    tree.setColumnCount(3);
    view = std::make_unique<TDeviceListView>(list, &tree);
    if (fill)
      for (const auto& r : recs) list.MergeDevice(r);
  }
  ~Fixture() { view->Detach(); }
};

// First sightings with the view attached: one row inserted per reply.
void BM_ViewFillFromEmpty(benchmark::State& st) {
  const int n = int(st.range(0));
  for (auto _ : st) {
    st.PauseTiming();
    auto f = std::make_unique<Fixture>(n, false);
    st.ResumeTiming();
    for (const auto& r : f->recs) f->list.MergeDevice(r);
    st.PauseTiming();
    f.reset();
    st.ResumeTiming();
  }
  st.SetItemsProcessed(st.iterations() * n);
}
BENCHMARK(BM_ViewFillFromEmpty)->Arg(1000)->Unit(benchmark::kMicrosecond);

// A reply with nothing new: no change reaches the view.
void BM_ViewRefresh(benchmark::State& st) {
  Fixture f(int(st.range(0)));
  size_t i = 0;
  for (auto _ : st) {
    benchmark::DoNotOptimize(f.list.MergeDevice(f.recs[i]));
    if (++i == f.recs.size()) i = 0;
  }
}
BENCHMARK(BM_ViewRefresh)->Arg(1000);

// A reply whose network data differs from the entry's (a moved camera, or two devices that
// answer with the same MAC text in turn): the record is replaced and the view follows.
void BM_ViewReplaced(benchmark::State& st) {
  Fixture f(int(st.range(0)));
  std::vector<TDevInfo> moved = f.recs;
  for (size_t i = 0; i < moved.size(); ++i) moved[i].IP = "10.78." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
  size_t i = 0;
  bool flip = true;
  for (auto _ : st) {
    f.list.MergeDevice(flip ? moved[i] : f.recs[i]);
    if (++i == moved.size()) {
      i = 0;
      flip = !flip;
    }
  }
  if (!RowsMatch(f.list, f.tree)) st.SkipWithError("the rows do not follow the list");
}
BENCHMARK(BM_ViewReplaced)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

// The same change done as a move of the one row (take it at its old row, refill it, insert it
// at its new row), for comparison with the rebuild above.
void BM_ViewReplacedAsRowMove(benchmark::State& st) {
  Fixture f(int(st.range(0)));
  f.view->Detach();  // this benchmark moves the rows itself
  f.list.SetOnChange([&f](const DeviceListChange& c) {
    if (c.kind != DeviceListChange::Replaced) return;
    QTreeWidgetItem* it = f.tree.takeTopLevelItem(c.fromRow);
    const TDevInfo& d = f.list.DeviceAt(c.row);
    it->setText(0, QString::fromStdString(DevTypeLetter(d.DevType)));
    it->setText(1, QString::fromStdString(d.Name));
    it->setText(2, QString::fromStdString(d.IP));
    f.tree.insertTopLevelItem(c.row, it);
  });
  std::vector<TDevInfo> moved = f.recs;
  for (size_t i = 0; i < moved.size(); ++i) moved[i].IP = "10.78." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
  size_t i = 0;
  bool flip = true;
  for (auto _ : st) {
    f.list.MergeDevice(flip ? moved[i] : f.recs[i]);
    if (++i == moved.size()) {
      i = 0;
      flip = !flip;
    }
  }
  f.list.SetOnChange({});
}
BENCHMARK(BM_ViewReplacedAsRowMove)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

// The rebuild alone.
void BM_ViewSync(benchmark::State& st) {
  Fixture f(int(st.range(0)));
  for (auto _ : st) f.view->Sync();
}
BENCHMARK(BM_ViewSync)->Arg(1000)->Unit(benchmark::kMicrosecond);

// Every entry of a silent LAN expiring in one tick: one row removed per entry.
void BM_ViewExpireAll(benchmark::State& st) {
  const int n = int(st.range(0));
  for (auto _ : st) {
    st.PauseTiming();
    auto f = std::make_unique<Fixture>(n);
    for (const auto& r : f->recs) f->list.MergeDevice(r);  // family 8 too: 10 ticks left
    for (int t = 0; t < kLifeTicksRefresh - 1; ++t) f->list.ExpireTick();
    st.ResumeTiming();
    benchmark::DoNotOptimize(f->list.ExpireTick());
    st.PauseTiming();
    f.reset();
    st.ResumeTiming();
  }
}
BENCHMARK(BM_ViewExpireAll)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace lanstorm

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
