#include "net/sdk/sdk_discovery.h"

#include <algorithm>

#include "core/discovery/sdk_report.h"
#include "net/discovery/discovery_engine.h"
#include "net/platform/program_dir.h"

namespace kestrova {

namespace {
// How long the owner merges waiting reports before a call into the library, and how long past
// the library's search time a timed run still listens.
constexpr int kDrainMs = 2000;
constexpr int kSearchGraceMs = 250;
}  // namespace

std::filesystem::path TSdkDiscovery::DefaultLibrary() { return ProgramDir() / kSdkLibraryRelativePath; }

TSdkDiscovery::TSdkDiscovery(DiscoveryEngine& engine) : TSdkDiscovery(engine, DefaultLibrary()) {}

TSdkDiscovery::TSdkDiscovery(DiscoveryEngine& engine, const std::filesystem::path& library)
    : engine_(engine), driver_(std::make_unique<TFind_Hisi>(library)) {
  driver_->SetReport([this](const TDevInfo& rec) {
    if (inLibrary_) {
      engine_.PostRecord(rec);
    } else {
      engine_.DeliverAndWait(rec);
    }
  });
  engine_.SetSdkSearch([this] { Search(); });
}

TSdkDiscovery::~TSdkDiscovery() {
  engine_.SetSdkSearch({});
  // No report begins after SetReport({}); the ones running end before the driver (and this
  // object, which their target uses) goes away.
  inLibrary_ = true;
  driver_->SetReport({});
  driver_->WaitReportsIdle([this] { engine_.ProcessPending(); }, kDrainMs);
  driver_.reset();  // StopSearch, unload
  // What the library reported before it stopped may still wait in the engine's queue, more than
  // one turn takes: it is merged now, so that nothing of this session is merged after it ends.
  engine_.Drain(kDrainMs);
}

template <class Fn>
auto TSdkDiscovery::InLibrary(Fn fn) {
  inLibrary_ = true;
  driver_->WaitReportsIdle([this] { engine_.ProcessPending(); }, kDrainMs);
  auto result = fn();
  inLibrary_ = false;
  return result;
}

bool TSdkDiscovery::Search() {
  const bool started = InLibrary([this] { return driver_->Search(); });
  if (started) searchEnds_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSdkSearchWaitMs + kSearchGraceMs);
  return started;
}

bool TSdkDiscovery::Configure(const TDevInfo& rec) {
  return InLibrary([&] { return driver_->Configure(rec); });
}

void TSdkDiscovery::FinishSearch() {
  using Clock = std::chrono::steady_clock;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(searchEnds_ - Clock::now()).count();
    if (left <= 0) break;
    engine_.WaitAndProcess(int(std::min<long long>(left, 100)));
  }
  engine_.ProcessPending();
}

}  // namespace kestrova
