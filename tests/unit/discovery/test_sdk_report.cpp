// Family 4: a search report of the SDK library becomes a device record, and a settings record
// becomes the arguments of the configuration call.
#include <gtest/gtest.h>

#include "core/discovery/sdk_report.h"

namespace kestrova {
namespace {

TSdkReport Report() {
  TSdkReport r;
  r.index = 7;
  r.name = "Shop";
  r.model = "M1";
  r.ip = "192.168.0.105";
  r.mac = std::array<uint8_t, 6>{0x00, 0x40, 0x8C, 0x5A, 0x6B, 0x7C};
  r.httpPort = 81;
  r.dataPort = 8000;
  r.netMask = "255.255.255.0";
  r.gateway = "192.168.0.1";
  r.auxAddr = "relay.example.net";
  r.dns = "192.168.0.1";
  r.auxPort = 7000;
  r.flags = 99;
  r.dhcp = 0;
  return r;
}

TEST(SdkReport, EveryValueLandsInItsFieldAndTheUnusedOnesNowhere) {
  const auto d = DeviceFromSdkReport(Report());
  ASSERT_TRUE(d);
  TDevInfo want;
  want.DevType = 4;
  want.MAC = "00408c5a6b7c";
  want.Name = "Shop";
  want.IP = "192.168.0.105";
  want.NetMask = "255.255.255.0";
  want.Gateway = "192.168.0.1";
  want.AuxAddr = "relay.example.net";
  want.DNS1 = "192.168.0.1";
  want.HttpPort = 81;
  want.DataPort = 8000;
  want.AuxPort = 7000;
  want.IPMode = 2;
  EXPECT_EQ(*d, want);  // index, model and flags go nowhere; LifeTicks stays for the list
}

TEST(SdkReport, ReportsThatNameNoListableCameraAreDropped) {
  struct Case {
    const char* what;
    void (*change)(TSdkReport&);
    bool listed;
  } cases[] = {
      {"no hardware address", [](TSdkReport& r) { r.mac.reset(); }, false},
      {"empty address", [](TSdkReport& r) { r.ip.clear(); }, false},
      {"address with credentials and host", [](TSdkReport& r) { r.ip = "x@evil.example/"; }, false},
      {"host name", [](TSdkReport& r) { r.ip = "cam.local"; }, false},
      {"address with port", [](TSdkReport& r) { r.ip = "192.168.0.5:80"; }, false},
      {"octet above 255", [](TSdkReport& r) { r.ip = "192.168.0.256"; }, false},
      {"long text", [](TSdkReport& r) { r.ip = std::string(kSdkTextMax, '1'); }, false},
      {"bad mask", [](TSdkReport& r) { r.netMask = "mask"; }, false},
      {"bad gateway", [](TSdkReport& r) { r.gateway = "1.2.3"; }, false},
      {"bad DNS", [](TSdkReport& r) { r.dns = "dns.example"; }, false},
      {"negative HTTP port", [](TSdkReport& r) { r.httpPort = -1; }, false},
      {"HTTP port above 65535", [](TSdkReport& r) { r.httpPort = 65616; }, false},
      {"data port above 65535", [](TSdkReport& r) { r.dataPort = 70000; }, false},
      // What may be missing: texts a NULL pointer gave, the name, the auxiliary values.
      {"empty mask, gateway, DNS", [](TSdkReport& r) { r.netMask = r.gateway = r.dns = ""; }, true},
      {"no name", [](TSdkReport& r) { r.name.clear(); }, true},
      {"all-zero hardware address", [](TSdkReport& r) { r.mac = std::array<uint8_t, 6>{}; }, true},
      {"ports 0 and 65535", [](TSdkReport& r) { r.httpPort = 0, r.dataPort = 65535; }, true},
      {"auxiliary text of any kind", [](TSdkReport& r) { r.auxAddr = std::string(kSdkTextMax, 'x'); }, true},
  };
  for (const Case& c : cases) {
    TSdkReport r = Report();
    c.change(r);
    EXPECT_EQ(DeviceFromSdkReport(r).has_value(), c.listed) << c.what;
  }
}

TEST(SdkReport, OnlyDhcpFlagOneMeansDhcp) {
  const std::pair<int32_t, uint8_t> cases[] = {{1, 1}, {0, 2}, {2, 2}, {-1, 2}, {256 + 1, 2}};
  for (auto [flag, mode] : cases) {
    TSdkReport r = Report();
    r.dhcp = flag;
    EXPECT_EQ(DeviceFromSdkReport(r)->IPMode, mode) << flag;
  }
}

TDevInfo Settings() {
  TDevInfo d = *DeviceFromSdkReport(Report());
  d.Name = "Shop 2";
  d.IP = "192.168.0.150";
  d.DNS1 = "8.8.8.8";
  d.DNS2 = "208.67.222.222";
  d.User = "admin";
  d.Pwd = "vemra";
  return d;
}

TEST(SdkConfig, ArgumentsInTheCallsOrderWithTheAuxiliaryValuesHandedBack) {
  const auto a = SdkConfigArgs(Settings());
  ASSERT_TRUE(a);
  TSdkConfigArgs want;
  want.mac = {0x00, 0x40, 0x8C, 0x5A, 0x6B, 0x7C};
  want.user = "admin";
  want.password = "vemra";
  want.name = "Shop 2";
  want.ip = "192.168.0.150";
  want.httpPort = 81;
  want.dataPort = 8000;
  want.netMask = "255.255.255.0";
  want.gateway = "192.168.0.1";
  want.auxAddr = "relay.example.net";
  want.dns = "8.8.8.8";
  want.auxPort = 7000;
  want.dhcp = 0;
  EXPECT_EQ(*a, want);

  // The DHCP argument is 1 only for IPMode 1 (PPPoE, 0, is not DHCP).
  const std::pair<uint8_t, int32_t> modes[] = {{1, 1}, {2, 0}, {0, 0}};
  for (auto [mode, flag] : modes) {
    TDevInfo d = Settings();
    d.IPMode = mode;
    EXPECT_EQ(SdkConfigArgs(d)->dhcp, flag) << int(mode);
  }
}

TEST(SdkConfig, RecordsThatCannotBeSentAreRefused) {
  struct Case {
    const char* what;
    void (*change)(TDevInfo&);
    bool sent;
  } cases[] = {
      {"MAC of 11 digits", [](TDevInfo& d) { d.MAC = "00408c5a6b7"; }, false},
      {"MAC of 13 digits", [](TDevInfo& d) { d.MAC = "00408c5a6b7c0"; }, false},
      {"MAC with separators", [](TDevInfo& d) { d.MAC = "00:40:8c:5a:6b"; }, false},
      {"MAC not hex", [](TDevInfo& d) { d.MAC = "00408c5a6b7g"; }, false},
      {"upper-case MAC", [](TDevInfo& d) { d.MAC = "00408C5A6B7C"; }, true},
      {"bad address", [](TDevInfo& d) { d.IP = "192.168.0"; }, false},
      {"bad mask", [](TDevInfo& d) { d.NetMask = "x"; }, false},
      {"bad gateway", [](TDevInfo& d) { d.Gateway = "1.2.3.4.5"; }, false},
      {"empty gateway", [](TDevInfo& d) { d.Gateway.clear(); }, true},
  };
  for (const Case& c : cases) {
    TDevInfo d = Settings();
    c.change(d);
    EXPECT_EQ(SdkConfigArgs(d).has_value(), c.sent) << c.what;
  }
}

}  // namespace
}  // namespace kestrova
