// The CGI family's search answer.
#include <gtest/gtest.h>

#include "core/discovery/cgi_search.h"
#include "unit/discovery/wire_bytes.h"

namespace kestrova {
namespace {

using test::Bytes;
using test::Cat;
using test::Hex;
using test::Prefixes;
using test::Raw;
using test::Text;
using test::Zeros;

Bytes F9Answer() {
  return Cat({Hex("44 48 01 08"),
              Text("192.168.1.50", 16), Text("255.255.255.0", 16), Text("192.168.1.1", 16),
              Text("8.8.8.8", 16), Text("8.8.4.4", 16),
              Hex("00 1a 2b 3c 4d 5e"),               // 84
              Hex("50 00"),                           // 90: port 80
              Text("T517-0001", 32),                  // 92: device ID
              Text("Garage", 80),                     // 124
              Text("V2.0.1.20260101-abcd", 32),       // 204: 20 characters
              Raw("abcdefghijklmnopqrstuvwxyz012345"),  // 236: user fills its 32 bytes
              Text("pw", 32),                         // 268
              Hex("77"),                              // 300: not read
              Hex("01"),                              // 301: DHCP on
              Hex("99"), Zeros(21),                   // 302: not read
              Text("aa.bb.cc:9000", 64),              // 324
              Text("host.aa.bb.cc", 64),              // 388: not kept
              Text("x123", 32),                       // 452
              Text("ddpw", 32)});                     // 484
}

TEST(Family9Answer, Fields) {
  Bytes d = F9Answer();
  ASSERT_EQ(d.size(), 516u);
  std::optional<TDevInfo> r = ParseFamily9Answer(d);
  ASSERT_TRUE(r.has_value());
  TDevInfo e;
  e.DevType = 9;
  e.IP = "192.168.1.50";
  e.NetMask = "255.255.255.0";
  e.Gateway = "192.168.1.1";
  e.DNS1 = "8.8.8.8";
  e.DNS2 = "8.8.4.4";
  e.MAC = "00:1A:2B:3C:4D:5E";
  e.HttpPort = 80;
  e.SN = "T517-0001";
  e.Name = "Garage";
  e.Version = "V2.0.1.20260101-";  // only the first 16 bytes are read
  e.User = "abcdefghijklmnopqrstuvwxyz012345";
  e.Pwd = "pw";
  e.IPMode = 1;
  e.DDnsServer = "aa.bb.cc:9000";
  e.DDnsUser = "x123";
  e.DDnsPwd = "ddpw";
  EXPECT_EQ(*r, e);
}

TEST(Family9Answer, DhcpByte) {
  for (auto [byte, mode] : {std::pair<uint8_t, uint8_t>{1, 1}, {0, 2}, {2, 2}, {0xff, 2}}) {
    Bytes d = F9Answer();
    d[301] = byte;
    EXPECT_EQ(ParseFamily9Answer(d)->IPMode, mode) << int(byte);
  }
}

TEST(Family9Answer, NotAnAnswer) {
  for (const Bytes& d : {Hex("44 48 01 01"),                           // own search
                         Cat({Hex("44 48 02 08"), Zeros(324)}),        // settings answer
                         Cat({Hex("44 48 01 01"), Zeros(512)}),
                         Cat({Hex("48 44 01 08"), Zeros(512)})}) {
    EXPECT_FALSE(ParseFamily9Answer(d).has_value());
  }
}

TEST(Family9Answer, ShortAnswers) {
  Bytes full = F9Answer();
  for (const Bytes& p : Prefixes(full)) {
    std::optional<TDevInfo> r = ParseFamily9Answer(p);
    if (p.size() < 324) {
      EXPECT_FALSE(r.has_value()) << p.size();
      continue;
    }
    // The address and device part is whole; DDNS fields only where the answer holds them.
    ASSERT_TRUE(r.has_value()) << p.size();
    EXPECT_EQ(r->MAC, "00:1A:2B:3C:4D:5E");
    EXPECT_EQ(r->IPMode, 1);
    EXPECT_EQ(r->DDnsServer, p.size() >= 388 ? "aa.bb.cc:9000" : "") << p.size();
    EXPECT_EQ(r->DDnsUser, p.size() >= 484 ? "x123" : "") << p.size();
    EXPECT_EQ(r->DDnsPwd, "") << p.size();
  }
  // Longer answers: only the first 1024 bytes count, the table is read as usual.
  Bytes longer = full;
  longer.resize(1500, 0x41);
  std::optional<TDevInfo> r = ParseFamily9Answer(longer);
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->DDnsPwd, "ddpw");
}

}  // namespace
}  // namespace kestrova
