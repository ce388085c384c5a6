// The closed-SDK driver against fake SDK libraries built by the tests: a library that is not
// there or lacks a function, the search's constants and callback contract, hostile reports,
// callbacks after the driver stopped or went away, and the configuration call.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "core/discovery/sdk_report.h"
#include "integration/sdk/fake_sdk_control.h"
#include "integration/sdk/sdk_samples.h"
#include "net/sdk/find_hisi.h"

namespace kestrova {
namespace {

using testing::HallwaySettings;
using testing::Reports;

namespace fs = std::filesystem;
using testing::FakeSdk;

const uint8_t kMac[6] = {0x00, 0x40, 0x8C, 0x5A, 0x6B, 0x7C};


void ReportOne(DVSNET_SEARCH_CALLBACK cb, void* ctx, void*) {
  cb(3, "Shop", "M1", "192.168.0.105", kMac, 81, 8000, "255.255.255.0", "192.168.0.1", "relay.example.net",
     "192.168.0.1", 7000, 42, 1, ctx);
}

TEST(FindHisi, MissingOrBrokenLibraryMakesEveryOperationFalse) {
  const fs::path dir = fs::temp_directory_path() / ("kestrova-sdk-" + std::to_string(::getpid()));
  fs::create_directories(dir / "286" / "folder.so");
  std::ofstream(dir / "286" / "text.so") << "not a library\n";
  const fs::path cases[] = {dir / "286" / "libDVSNETClient.so", dir / "286" / "text.so", dir / "286" / "folder.so",
                            ""};
  for (const fs::path& p : cases) {
    SCOPED_TRACE(p.string());
    Reports r;
    TFind_Hisi d(p);
    d.SetReport(r.Fn());
    EXPECT_FALSE(d.Loaded());
    EXPECT_FALSE(d.Search());
    TDevInfo rec;
    rec.DevType = 4;
    rec.MAC = "00408c5a6b7c";
    rec.IP = "192.168.0.150";
    EXPECT_FALSE(d.Configure(rec));
    EXPECT_TRUE(d.WaitReportsIdle({}, 10));
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
}

TEST(FindHisi, LibraryWithoutOneFunctionFailsOnlyThatOperation) {
  struct Case {
    const char* library;
    bool search, configure, stop;
  } cases[] = {
      {FAKE_SDK_FULL, true, true, true},
      {FAKE_SDK_NO_SEARCH, false, true, true},
      {FAKE_SDK_NO_CONFIG, true, false, true},
      {FAKE_SDK_NO_STOP, true, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.library);
    FakeSdk fake(c.library);
    ASSERT_TRUE(fake.ok());
    fake.SetScript(ReportOne, nullptr, false);
    Reports r;
    {
      TFind_Hisi d(c.library);
      ASSERT_TRUE(d.Loaded());
      d.SetReport(r.Fn());
      EXPECT_EQ(d.Search(), c.search);
      EXPECT_EQ(r.Count(), c.search ? 1u : 0u);
      TDevInfo rec = r.Count() ? r.got[0] : TDevInfo{};
      rec.MAC = "00408c5a6b7c";
      rec.IP = "192.168.0.150";
      EXPECT_EQ(d.Configure(rec), c.configure);
    }
    // Destroy called StopSearch when the library has it, and unloaded it without a crash.
    EXPECT_EQ(fake.Calls("DVSNET_StopSearch"), c.stop ? 1 : 0);
  }
}

TEST(FindHisi, SearchPassesItsConstantsAndTheDriverAndReportsEachCamera) {
  FakeSdk fake(FAKE_SDK_FULL);
  ASSERT_TRUE(fake.ok());
  fake.SetScript(ReportOne, nullptr, false);
  Reports r;
  TFind_Hisi d(FAKE_SDK_FULL);
  d.SetReport(r.Fn());
  ASSERT_TRUE(d.Search());
  const FakeSdk::Search s = fake.LastSearch();
  EXPECT_EQ(s.waitMs, 3000);
  EXPECT_EQ(s.mode, 1);
  EXPECT_EQ(s.reserved, 0);
  EXPECT_EQ(s.context, static_cast<void*>(&d));
  ASSERT_EQ(r.Count(), 1u);
  const TDevInfo& got = r.got[0];
  EXPECT_EQ(got.DevType, 4);
  EXPECT_EQ(got.MAC, "00408c5a6b7c");
  EXPECT_EQ(got.Name, "Shop");
  EXPECT_EQ(got.IP, "192.168.0.105");
  EXPECT_EQ(got.HttpPort, 81);
  EXPECT_EQ(got.DataPort, 8000);
  EXPECT_EQ(got.AuxAddr, "relay.example.net");
  EXPECT_EQ(got.AuxPort, 7000);
  EXPECT_EQ(got.IPMode, 1);

  // A search the library refuses reports false.
  fake.SetResult(-5, 0);
  EXPECT_FALSE(d.Search());
}

// Reports a library may send: texts missing or endless, no hardware address, a false address.
struct HostileReport {
  const char* what;
  const char *name, *ip, *mask, *gateway, *aux, *dns;
  const uint8_t* mac;
  bool listed;
};
const std::string kLong(100000, 'n');
const std::string kLongAddress = "192.168.0.105" + std::string(100000, '5');
const HostileReport kHostile[] = {
    {"NULL texts but the address", nullptr, "192.168.0.7", nullptr, nullptr, nullptr, nullptr, kMac, true},
    {"every text NULL", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, kMac, false},
    {"NULL hardware address", "a", "192.168.0.8", "255.255.255.0", "", "", "", nullptr, false},
    {"endless name", kLong.c_str(), "192.168.0.9", "", "", kLong.c_str(), "", kMac, true},
    {"endless address", "b", kLongAddress.c_str(), "", "", "", "", kMac, false},
    {"address naming another host", "c", "x@evil.example/", "", "", "", "", kMac, false},
    {"mask that is a name", "d", "192.168.0.10", "mask.example", "", "", "", kMac, false},
};

void ReportHostile(DVSNET_SEARCH_CALLBACK cb, void* ctx, void*) {
  for (const HostileReport& h : kHostile) cb(0, h.name, nullptr, h.ip, h.mac, 80, 0, h.mask, h.gateway, h.aux, h.dns, 0, 0, 0, ctx);
}

TEST(FindHisi, HostileReportsNeverCrashAndNeverListACameraWithoutIdentity) {
  FakeSdk fake(FAKE_SDK_FULL);
  ASSERT_TRUE(fake.ok());
  fake.SetScript(ReportHostile, nullptr, true);  // from the library's own thread
  Reports r;
  TFind_Hisi d(FAKE_SDK_FULL);
  d.SetReport(r.Fn());
  ASSERT_TRUE(d.Search());
  fake.Join();
  std::vector<std::string> ips;
  for (const TDevInfo& got : r.got) {
    EXPECT_EQ(got.MAC, "00408c5a6b7c");
    ips.push_back(got.IP);
  }
  std::vector<std::string> want;
  for (const HostileReport& h : kHostile)
    if (h.listed) want.push_back(h.ip);
  EXPECT_EQ(ips, want);
  ASSERT_EQ(r.got.size(), 2u);
  EXPECT_EQ(r.got[0].Name, "");
  EXPECT_EQ(r.got[0].NetMask, "");
  EXPECT_EQ(r.got[1].Name, std::string(kSdkTextMax, 'n'));  // read up to the bound only
  EXPECT_EQ(r.got[1].AuxAddr.size(), kSdkTextMax);
}

TEST(FindHisi, CallbacksAfterTheReportIsClearedOrTheDriverIsGoneAreIgnored) {
  FakeSdk fake(FAKE_SDK_FULL);  // keeps the library mapped after the driver unloads it
  ASSERT_TRUE(fake.ok());
  Reports r;
  FakeSdk::Search s{};
  {
    TFind_Hisi d(FAKE_SDK_FULL);
    d.SetReport(r.Fn());
    ASSERT_TRUE(d.Search());
    s = fake.LastSearch();
    ASSERT_NE(s.callback, nullptr);
    ReportOne(s.callback, s.context, nullptr);
    EXPECT_EQ(r.Count(), 1u);
    d.SetReport({});
    ReportOne(s.callback, s.context, nullptr);
    EXPECT_EQ(r.Count(), 1u);
    d.SetReport(r.Fn());
    ReportOne(s.callback, s.context, nullptr);
    EXPECT_EQ(r.Count(), 2u);
    // A context that is no driver's.
    ReportOne(s.callback, nullptr, nullptr);
    int other = 0;
    ReportOne(s.callback, &other, nullptr);
    EXPECT_EQ(r.Count(), 2u);
  }
  // A library thread that calls back after StopSearch and the unload: the driver is gone.
  ReportOne(s.callback, s.context, nullptr);
  EXPECT_EQ(r.Count(), 2u);
}

TEST(FindHisi, ConfigurePassesTheSettingsRecordInTheCallsOrder) {
  FakeSdk fake(FAKE_SDK_FULL);
  ASSERT_TRUE(fake.ok());
  TFind_Hisi d(FAKE_SDK_FULL);
  TDevInfo rec = HallwaySettings();
  rec.IPMode = 1;  // DHCP
  ASSERT_TRUE(d.Configure(rec));
  const FakeSdkConfig& c = fake.LastConfig();
  EXPECT_FALSE(c.macNull);
  EXPECT_EQ(std::vector<uint8_t>(c.mac, c.mac + 6), std::vector<uint8_t>(kMac, kMac + 6));
  EXPECT_STREQ(c.user, "admin");
  EXPECT_STREQ(c.password, "vemra");
  EXPECT_STREQ(c.name, "Hallway");
  EXPECT_STREQ(c.ip, "192.168.0.150");
  EXPECT_EQ(c.httpPort, 82);
  EXPECT_EQ(c.dataPort, 8000);
  EXPECT_STREQ(c.netMask, "255.255.255.0");
  EXPECT_STREQ(c.gateway, "192.168.0.1");
  EXPECT_STREQ(c.auxAddr, "relay.example.net");
  EXPECT_STREQ(c.dns, "8.8.8.8");
  EXPECT_EQ(c.auxPort, 7000);
  EXPECT_EQ(c.dhcp, 1);

  fake.SetResult(0, 1);  // the camera refused
  EXPECT_FALSE(d.Configure(rec));
  EXPECT_EQ(fake.Calls("DVSNET_ConfigServer"), 2);
  rec.MAC = "00:40:8c:5a:6b:7c";  // not a record of this family: nothing is called
  EXPECT_FALSE(d.Configure(rec));
  EXPECT_EQ(fake.Calls("DVSNET_ConfigServer"), 2);
}

}  // namespace
}  // namespace kestrova
