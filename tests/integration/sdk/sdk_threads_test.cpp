// Reports from the SDK library's own thread while the owner's thread keeps changing the device
// list (merges of other cameras, removals, expiry, sorting, a second Find in the middle). Also
// built with ThreadSanitizer (sdk_threads_tsan), which fails the test on any data race between
// the library's thread, the hand-over and the list.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>

#include "integration/discovery/fake_cameras.h"
#include "integration/sdk/fake_sdk_control.h"
#include "net/discovery/discovery_engine.h"
#include "net/sdk/sdk_discovery.h"

namespace kestrova {
namespace {

constexpr int kCameras = 300;

// Every camera twice (a refresh), then once more with a new address.
void Storm(DVSNET_SEARCH_CALLBACK cb, void* ctx, void*) {
  for (int round = 0; round < 3; ++round) {
    for (int i = 1; i <= kCameras; ++i) {
      const uint8_t mac[6] = {0x00, 0x40, 0x8c, 0x01, uint8_t(i >> 8), uint8_t(i)};
      const std::string ip = "10.4." + std::to_string(round) + "." + std::to_string(i % 250 + 1);
      cb(i, "storm", "", ip.c_str(), mac, 80, 8000, "255.255.0.0", "10.4.0.1", "aux", "10.4.0.1", 7, 0, 0, ctx);
    }
  }
}

std::string MacOf(int i) {
  char b[13];
  std::snprintf(b, sizeof b, "00408c01%02x%02x", (i >> 8) & 0xff, i & 0xff);
  return b;
}

TEST(SdkThreads, ReportsFromTheLibrarysThreadWhileTheOwnerChangesTheList) {
  testing::FakeSdk fake(FAKE_SDK_FULL);
  ASSERT_TRUE(fake.ok());
  fake.SetScript(Storm, nullptr, true);
  DiscoveryConfig cfg = testing::LoopbackConfig();
  cfg.family9Enabled = false;
  DiscoveryEngine engine(cfg);
  ASSERT_TRUE(engine.Start());
  DeviceList& list = engine.List();
  std::set<std::string> merged;
  engine.SetOnMerged([&](const DeviceList::MergeResult& r) {
    if (const TDevInfo* d = list.DeviceById(r.id); d && d->DevType == 4) merged.insert(d->MAC);
  });
  auto sdk = std::make_unique<TSdkDiscovery>(engine, FAKE_SDK_FULL);

  engine.Find();
  bool foundAgain = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (int turn = 0; std::chrono::steady_clock::now() < deadline; ++turn) {
    engine.WaitAndProcess(2);
    // The owner's own changes, between and during the hand-overs.
    TDevInfo other;
    other.DevType = 8;
    other.MAC = "0011223344" + std::to_string(10 + turn % 50);
    other.IP = "10.8.0." + std::to_string(turn % 200 + 1);
    list.MergeDevice(other);
    if (turn % 7 == 0 && list.Count() > 0) list.Remove(list.IdAt(turn % list.Count()));
    if (turn % 11 == 0) list.ExpireTick();
    if (turn % 13 == 0) list.ColumnClick(turn % 3);
    if (turn == 40) {
      merged.clear();
      engine.Find();  // clears the list and asks the library again while its thread reports
      foundAgain = true;
    }
    if (foundAgain && merged.size() == size_t(kCameras)) break;
  }
  EXPECT_TRUE(foundAgain);
  EXPECT_EQ(merged.size(), size_t(kCameras));
  for (int i = 1; i <= kCameras; i += 37) EXPECT_TRUE(merged.count(MacOf(i))) << MacOf(i);
  sdk.reset();  // the library may still be reporting
  engine.Stop();
}

}  // namespace
}  // namespace kestrova
