// The closed-SDK search inside a discovery session (engine on loopback, fake SDK library): Find
// runs it, reports cross to the owner's thread, family-4 entries stay, the library is found in
// the program folder, and libraries that keep their caller or their stop waiting on a report
// neither freeze the owner nor reach a destroyed session.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "core/config/program_dir.h"
#include "core/discovery/sdk_report.h"
#include "integration/discovery/fake_cameras.h"
#include "integration/sdk/fake_sdk_control.h"
#include "net/discovery/discovery_engine.h"
#include "net/http/tools.h"
#include "net/platform/program_dir.h"
#include "net/sdk/sdk_discovery.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using testing::FakeSdk;

DiscoveryConfig Loopback() {
  DiscoveryConfig c = testing::LoopbackConfig();
  c.family9Enabled = false;
  return c;
}

// Reports cameras 00408c0000<i> at 10.0.4.<i> for i = 1..count (count in arg).
void ReportCameras(DVSNET_SEARCH_CALLBACK cb, void* ctx, void* arg) {
  const int count = *static_cast<int*>(arg);
  for (int i = 1; i <= count; ++i) {
    const uint8_t mac[6] = {0x00, 0x40, 0x8c, 0x00, uint8_t(i >> 8), uint8_t(i)};
    const std::string ip = "10.0.4." + std::to_string(i % 256);
    cb(i, "cam", "", ip.c_str(), mac, 80, 8000, "255.255.255.0", "10.0.4.254", "", "", 0, 0, 0, ctx);
  }
}

int FamilyFourCount(const DeviceList& list) {
  int n = 0;
  for (int r = 0; r < list.Count(); ++r) n += list.DeviceAt(r).DevType == 4;
  return n;
}

TEST(SdkDiscovery, FindRunsTheSearchAndTheReportsJoinTheListOnTheOwnersThread) {
  FakeSdk fake(FAKE_SDK_FULL);
  ASSERT_TRUE(fake.ok());
  int count = 3;
  fake.SetScript(ReportCameras, &count, true);
  DiscoveryEngine engine(Loopback());
  ASSERT_TRUE(engine.Start());
  const std::thread::id owner = std::this_thread::get_id();
  bool elsewhere = false;
  engine.SetOnMerged([&](const DeviceList::MergeResult&) { elsewhere = elsewhere || std::this_thread::get_id() != owner; });
  TSdkDiscovery sdk(engine, FAKE_SDK_FULL);
  ASSERT_TRUE(sdk.Loaded());

  engine.Tick();
  engine.Tick();
  EXPECT_EQ(fake.Calls("DVSNET_SearchServers"), 0);  // timer rounds never search the SDK
  engine.Find();
  EXPECT_EQ(fake.Calls("DVSNET_SearchServers"), 1);
  ASSERT_TRUE(testing::PumpUntil(engine, {}, [&] { return engine.List().Count() == 3; }));
  EXPECT_FALSE(elsewhere);
  EXPECT_EQ(engine.List().DeviceAt(0).MAC, "00408c000001");

  // Family-4 entries never expire; the next Find lists them anew.
  for (int i = 0; i < 40; ++i) engine.Tick();
  EXPECT_EQ(FamilyFourCount(engine.List()), 3);
  fake.Join();  // the script reads count
  count = 2;
  engine.Find();
  EXPECT_EQ(engine.List().Count(), 0);
  ASSERT_TRUE(testing::PumpUntil(engine, {}, [&] { return engine.List().Count() == 2; }));
}

TEST(SdkDiscovery, TheLibraryIsTakenFromTheProgramFolder) {
  const fs::path dir = fs::temp_directory_path() / ("kestrova-progdir-" + std::to_string(::getpid()));
  fs::create_directories(dir / "286");
  fs::create_symlink(FAKE_SDK_FULL, dir / kSdkLibraryRelativePath);
  FakeSdk fake(FAKE_SDK_FULL);
  ASSERT_TRUE(fake.ok());
  DiscoveryEngine engine(Loopback());

  ::setenv(kProgramDirVariable, dir.c_str(), 1);
  EXPECT_EQ(ProgramDir(), dir);
  EXPECT_EQ(TTools::AppDir(), dir.string() + "/");
  EXPECT_EQ(TSdkDiscovery::DefaultLibrary(), dir / "286" / "libDVSNETClient.so");
  EXPECT_TRUE(TSdkDiscovery(engine).Loaded());
  ::setenv(kProgramDirVariable, "", 1);  // empty is unset
  EXPECT_EQ(ProgramDir(), ExecutablePath().parent_path());
  ::unsetenv(kProgramDirVariable);
  EXPECT_EQ(ProgramDir(), ExecutablePath().parent_path());
  EXPECT_FALSE(TSdkDiscovery(engine).Loaded());  // none beside the test program
  std::error_code ec;
  fs::remove_all(dir, ec);
}

// A library whose search keeps its caller waiting until its own thread has reported.
void ReportFromAThreadWhileTheCallerWaits(DVSNET_SEARCH_CALLBACK cb, void* ctx, void* arg) {
  std::thread t([&] { ReportCameras(cb, ctx, arg); });
  t.join();
}

TEST(SdkDiscovery, ALibraryThatKeepsItsCallerWaitingWhileItReportsDoesNotFreezeTheOwner) {
  FakeSdk fake(FAKE_SDK_FULL);
  ASSERT_TRUE(fake.ok());
  int count = 5;
  fake.SetScript(ReportFromAThreadWhileTheCallerWaits, &count, false);
  DiscoveryEngine engine(Loopback());
  ASSERT_TRUE(engine.Start());
  TSdkDiscovery sdk(engine, FAKE_SDK_FULL);
  EXPECT_TRUE(sdk.Search());  // returns: the reports were queued, not waited for
  ASSERT_TRUE(testing::PumpUntil(engine, {}, [&] { return engine.List().Count() == 5; }));
}

TEST(SdkDiscovery, ClosingWhileTheLibraryStillReportsEndsAndMergesNothingAfterwards) {
  for (bool engineFirst : {false, true}) {
    SCOPED_TRACE(engineFirst ? "engine stopped first (the window's order)" : "session destroyed first");
    FakeSdk fake(FAKE_SDK_FULL);
    ASSERT_TRUE(fake.ok());
    int count = 2000;
    fake.SetScript(ReportCameras, &count, true);
    DiscoveryEngine engine(Loopback());
    ASSERT_TRUE(engine.Start());
    auto sdk = std::make_unique<TSdkDiscovery>(engine, FAKE_SDK_FULL);
    ASSERT_TRUE(sdk->Search());
    ASSERT_TRUE(testing::PumpUntil(engine, {}, [&] { return engine.List().Count() >= 10; }));
    // The library's thread sits in a report waiting for this thread; its StopSearch waits for
    // that thread. Neither may wait for ever.
    if (engineFirst) engine.Stop();
    sdk.reset();
    EXPECT_EQ(fake.Calls("DVSNET_StopSearch"), 1);
    const int listed = engine.List().Count();
    EXPECT_LT(listed, count);  // the rest was dropped, not queued
    engine.ProcessPending();
    EXPECT_EQ(engine.List().Count(), listed);
  }
}

}  // namespace
}  // namespace kestrova
