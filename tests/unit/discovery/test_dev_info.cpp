// Device record helpers and the address texts.
#include <gtest/gtest.h>

#include "core/discovery/dev_info.h"
#include "core/discovery/ip_text.h"

namespace kestrova {
namespace {

TEST(DevInfo, FamilyLetters) {
  const std::pair<int32_t, const char*> cases[] = {
      {2, "F"}, {4, "H"}, {5, "E"}, {8, "H"}, {9, "T"}, {7, ""}, {-1, ""}, {0, ""}, {3, ""}};
  for (auto [code, letter] : cases) EXPECT_EQ(DevTypeLetter(code), letter) << code;
}

TEST(DevInfo, ClearGivesUnfilledRecord) {
  TDevInfo d;
  d.DevType = 8;
  d.MAC = "001122aabbcc";
  d.LifeTicks = 7;
  d.Clear();
  EXPECT_EQ(d, TDevInfo{});
  EXPECT_EQ(d.DevType, -1);
}

TEST(DevInfo, LanAndOuterAddresses) {
  struct Case {
    std::string ip;
    uint16_t port;
    std::string ddnsServer, ddnsUser;
    std::string lan, suffix, outer;
  };
  const Case cases[] = {
      {"192.168.1.20", 80, "", "", "http://192.168.1.20", "", ""},
      {"192.168.1.20", 81, "", "", "http://192.168.1.20:81", "", ""},
      {"192.168.1.20", 0, "", "", "http://192.168.1.20:0", "", ""},
      // The outer address never carries a port, whatever the HTTP port.
      {"10.0.0.2", 8080, "aa.bb.cc:9000", "x123", "http://10.0.0.2:8080", ".bb.cc", "http://x123.bb.cc"},
      {"10.0.0.2", 80, "aa.bb.cc", "x123", "http://10.0.0.2", ".bb.cc", "http://x123.bb.cc"},
      // No dot in the server name: no suffix, no outer address.
      {"10.0.0.2", 80, "localhost:9000", "x123", "http://10.0.0.2", "", ""},
      // A colon before the first dot is not in the suffix; only the first remaining one cuts.
      {"10.0.0.2", 80, "a:1.b.c:2:3", "x1", "http://10.0.0.2", ".b.c", "http://x1.b.c"},
      // Without an account name there is no host to name.
      {"10.0.0.2", 80, "aa.bb.cc", "", "http://10.0.0.2", ".bb.cc", ""},
      // An account or a server text that would name another host than the camera's.
      {"10.0.0.2", 80, "aa.bb.cc", "x@evil.test/", "http://10.0.0.2", ".bb.cc", ""},
      {"10.0.0.2", 80, "aa.bb.cc", "a.evil.test/x", "http://10.0.0.2", ".bb.cc", ""},
      {"10.0.0.2", 80, "aa.bb/x@evil.test", "x123", "http://10.0.0.2", ".bb/x@evil.test", ""},
      // A camera address that is not dotted-quad IPv4 gives no LAN address.
      {"x@evil.test/", 80, "", "", "", "", ""},
  };
  for (const Case& c : cases) {
    TDevInfo d;
    d.IP = c.ip;
    d.HttpPort = c.port;
    d.DDnsServer = c.ddnsServer;
    d.DDnsUser = c.ddnsUser;
    EXPECT_EQ(DeviceLanUrl(d), c.lan) << c.ip << ":" << c.port;
    EXPECT_EQ(DdnsDomainSuffix(&d), c.suffix) << c.ddnsServer;
    EXPECT_EQ(DeviceOuterUrl(&d), c.outer) << c.ddnsServer << " " << c.ddnsUser;
  }
  EXPECT_EQ(DdnsDomainSuffix(nullptr), "");
  EXPECT_EQ(DeviceOuterUrl(nullptr), "");
}

TEST(IpText, BytesToText) {
  const uint8_t a[4] = {192, 168, 1, 20};
  EXPECT_EQ(IPBytesToStr(a), "192.168.1.20");
  const uint8_t z[4] = {0, 0, 0, 0};
  EXPECT_EQ(IPBytesToStr(z), "0.0.0.0");
  const uint8_t m[4] = {255, 255, 255, 0};
  EXPECT_EQ(IPBytesToStr(m), "255.255.255.0");
}

TEST(IpText, TextToBytes) {
  using A = std::array<uint8_t, 4>;
  EXPECT_EQ(IPStrToBytes("192.168.1.20"), (A{192, 168, 1, 20}));
  EXPECT_EQ(IPStrToBytes("0.0.0.0"), (A{0, 0, 0, 0}));
  EXPECT_EQ(IPStrToBytes("255.255.255.255"), (A{255, 255, 255, 255}));
  EXPECT_EQ(IPStrToBytes("010.001.1.1"), (A{10, 1, 1, 1}));
  for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "1.2.3.256", "1..3.4", "a.b.c.d", " 1.2.3.4",
                          "1.2.3.4 ", "-1.2.3.4", "1.2.3.0004", "1.2.3."}) {
    EXPECT_FALSE(IPStrToBytes(bad).has_value()) << bad;
  }
}

TEST(IpText, HexToBytes) {
  bool ok = false;
  EXPECT_EQ(HexToBytes("001122aabbcc", 6, &ok), (std::vector<uint8_t>{0x00, 0x11, 0x22, 0xaa, 0xbb, 0xcc}));
  EXPECT_TRUE(ok);
  EXPECT_EQ(HexToBytes("00112233445566", 7, &ok), (std::vector<uint8_t>{0, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66}));
  EXPECT_TRUE(ok);
  EXPECT_EQ(HexToBytes("AaBb", 2, &ok), (std::vector<uint8_t>{0xaa, 0xbb}));
  EXPECT_TRUE(ok);
  // Too short or a bad digit: the bytes before it are kept, the rest stay zero.
  EXPECT_EQ(HexToBytes("0011", 6, &ok), (std::vector<uint8_t>{0x00, 0x11, 0, 0, 0, 0}));
  EXPECT_FALSE(ok);
  EXPECT_EQ(HexToBytes("0011zz33", 4, &ok), (std::vector<uint8_t>{0x00, 0x11, 0, 0}));
  EXPECT_FALSE(ok);
  EXPECT_EQ(HexToBytes("001", 2, &ok), (std::vector<uint8_t>{0x00, 0}));
  EXPECT_FALSE(ok);
  EXPECT_EQ(HexToBytes("", 0, &ok), std::vector<uint8_t>{});
  EXPECT_TRUE(ok);
}

TEST(IpText, CompareIPOrdering) {
  struct Case { const char* a; const char* b; int expected; };
  const Case cases[] = {
      {"192.168.1.9", "192.168.1.10", -1},   // numbers, not texts
      {"192.168.1.10", "192.168.1.9", 1},
      {"192.168.1.10", "192.168.1.10", 0},
      {"10.0.0.1", "9.0.0.1", 1},
      {"192.168.2.1", "192.168.10.1", -1},   // the first unequal part decides
      {"1.2.3.x", "1.2.3.0", 0},             // a part that is not a number counts as 0
      {"1.2.3.", "1.2.3.0", 0},
      {"", "", 0},
      // Different numbers of parts: case-insensitive text comparison.
      {"10.0.0.1", "9.0.0", -1},
      {"1.2.3", "1.2.3.4", -1},
      {"abc.x", "ABD", -1},
      {"A.b", "a.B.c", -1},
      // One part each: compared as numbers, and a word counts as 0.
      {"ABC", "abd", 0},
      {"", "0.0.0.0", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CompareIP(c.a, c.b), c.expected) << c.a << " vs " << c.b;
    EXPECT_EQ(CompareIP(c.b, c.a), -c.expected) << c.b << " vs " << c.a;
  }
}

TEST(DevInfo, NamesOfFamilies5And9MayBeInALegacyCodePage) {
  struct Case {
    int family;
    const char* name;
    bool legacy;
  } cases[] = {
      {5, "Garage", false},
      {5, "\xe5\xae\xa2\xe5\x8e\x85", false},  // 客厅 in UTF-8: shown as it is
      {5, "\xbf\xcd\xcc\xfc", true},              // 客厅 in GBK
      {9, "Kuchnia \xb9", true},                     // "ą" in CP1250
      {2, "\xbf\xcd", false},                       // families 2 and 8 send UTF-8
      {8, "\xbf\xcd", false},
  };
  for (const Case& c : cases) {
    TDevInfo d;
    d.DevType = c.family;
    d.Name = c.name;
    EXPECT_EQ(NameInLegacyCodePage(d), c.legacy) << c.family << " " << c.name;
  }
}

}  // namespace
}  // namespace kestrova
