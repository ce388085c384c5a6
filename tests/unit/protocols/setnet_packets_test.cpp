#include "core/protocols/setnet_packets.h"

#include <gtest/gtest.h>

#include "golden.h"

namespace kestrova {
namespace {

using test::Ascii;
using test::Hex;
using test::Patched;

TDevInfo Family2Camera() {
  TDevInfo d;
  d.DevType = 2;
  d.MAC = "MOI0001234567";
  d.IP = "192.168.1.20";
  d.NetMask = "255.255.255.0";
  d.Gateway = "192.168.1.1";
  d.DNS1 = "8.8.8.8";
  d.HttpPort = 81;
  return d;
}

TEST(MOISet, EightyFourBytes) {
  auto got = BuildMOISet(Family2Camera(), "admin", "12345");
  ASSERT_TRUE(got);
  const auto want = Hex(
      "4d 4f 5f 49"                          // "MO_I"
      "02 00"                                // opcode 2
      "00 00 00 00 00 00 00 00 00"           // 6..14
      "3d 00 00 00"                          // body length 61
      "00 00 00 00"                          // 19..22
      "00 00 00 00"                          // 23..26
      "4d 4f 49 30 30 30 31 32 33 34 35 36 37"  // identity, 13 bytes
      "61 64 6d 69 6e 00 00 00 00 00 00 00 00"  // "admin"
      "31 32 33 34 35 00 00 00 00 00 00 00 00"  // "12345"
      "c0 a8 01 14"                          // 192.168.1.20
      "ff ff ff 00"                          // 255.255.255.0
      "c0 a8 01 01"                          // 192.168.1.1
      "08 08 08 08"                          // 8.8.8.8
      "00 51");                              // port 81, big-endian
  ASSERT_EQ(want.size(), 84u);
  EXPECT_EQ(*got, want);
}

TEST(MOISet, FixedWidthFieldsAreCut) {
  TDevInfo d = Family2Camera();
  d.MAC = "MOI0001234567XYZ";
  auto got = BuildMOISet(d, "administrator1234", "passwordpassword");
  ASSERT_TRUE(got);
  EXPECT_EQ(std::vector<uint8_t>(got->begin() + 27, got->begin() + 40), Ascii("MOI0001234567"));
  EXPECT_EQ(std::vector<uint8_t>(got->begin() + 40, got->begin() + 53), Ascii("administrator"));
  EXPECT_EQ(std::vector<uint8_t>(got->begin() + 53, got->begin() + 66), Ascii("passwordpassw"));
  EXPECT_EQ((*got)[66], 0xc0);
  // A character that would not fit whole is left out: "kamera" + "ł" (c5 82) x 4 is 14 bytes,
  // the field takes 13, so the last "ł" goes and its place stays zero.
  got = BuildMOISet(d, "kamera\xc5\x82\xc5\x82\xc5\x82\xc5\x82", "12345678901\xe5\xaf\x86");
  ASSERT_TRUE(got);
  EXPECT_EQ(std::vector<uint8_t>(got->begin() + 40, got->begin() + 53),
            Hex("6b 61 6d 65 72 61 c5 82 c5 82 c5 82 00"));
  EXPECT_EQ(std::vector<uint8_t>(got->begin() + 53, got->begin() + 66),
            Hex("31 32 33 34 35 36 37 38 39 30 31 00 00"));
}

TEST(MOISet, BadAddressTextSendsNothing) {
  for (std::string bad : {"192.168.1", "192.168.1.256", "a.b.c.d", "", "1.2.3.4.5", "1.2.3. 4"}) {
    TDevInfo d = Family2Camera();
    d.Gateway = bad;
    EXPECT_FALSE(BuildMOISet(d, "admin", "")) << bad;
  }
}

TDevInfo Family8Camera() {
  TDevInfo d;
  d.DevType = 8;
  d.IP = "192.168.1.30";
  d.NetMask = "255.255.255.0";
  d.Gateway = "192.168.1.1";
  d.DNS1 = "8.8.8.8";
  d.DNS2 = "8.8.4.4";
  d.HttpPort = 80;
  d.DataPort = 8000;
  d.MAC = "001122aabbcc";
  d.ExtWord = 0x1234;
  d.SN = "0102030405060a";
  d.IPMode = 2;
  d.Name = "cam";
  return d;
}

TEST(BinSet, TwoNetBlocks) {
  TDevInfo oldDev = Family8Camera();
  TDevInfo newDev = oldDev;
  newDev.IP = "10.0.0.5";
  newDev.NetMask = "255.0.0.0";
  newDev.Gateway = "10.0.0.1";
  newDev.HttpPort = 81;
  newDev.Name = "abcdefghijklmnopqrstuvwxyz0123";  // cut to 23 bytes + NUL
  const auto want = Patched(264, {
      {0, Hex("10 10 02 0F 00 00 00 01")},
      // old block at 8
      {8, Ascii("192.168.1.30")},
      {24, Ascii("255.255.255.0")},
      {40, Ascii("192.168.1.1")},
      {56, Ascii("8.8.8.8")},
      {72, Ascii("8.8.4.4")},
      {88, Hex("50 00 50 00 50 00 40 1F")},
      {96, Hex("00 11 22 aa bb cc")},
      {102, Hex("34 12")},
      {104, Hex("01 02 03 04 05 06 0a")},
      {111, Hex("02")},  // old IPMode as stored
      {112, Ascii("cam")},
      // new block at 136
      {136, Ascii("10.0.0.5")},
      {152, Ascii("255.0.0.0")},
      {168, Ascii("10.0.0.1")},
      {184, Ascii("8.8.8.8")},
      {200, Ascii("8.8.4.4")},
      {216, Hex("51 00 51 00 51 00 40 1F")},
      {224, Hex("00 11 22 aa bb cc")},
      {230, Hex("34 12")},
      {232, Hex("01 02 03 04 05 06 0a")},
      {239, Hex("00")},  // static
      {240, Ascii("abcdefghijklmnopqrstuvw")},
  });
  EXPECT_EQ(BuildBinSet(oldDev, newDev), want);
}

TEST(BinSet, DhcpBytes) {
  struct Case {
    uint8_t oldMode, newMode, oldByte, newByte;
  } cases[] = {{2, 2, 2, 0}, {2, 1, 2, 1}, {1, 2, 1, 0}, {1, 0, 1, 1}};
  for (const auto& c : cases) {
    TDevInfo o = Family8Camera(), n = Family8Camera();
    o.IPMode = c.oldMode;
    n.IPMode = c.newMode;
    auto b = BuildBinSet(o, n);
    EXPECT_EQ(b[8 + 103], c.oldByte);
    EXPECT_EQ(b[136 + 103], c.newByte);
  }
}

TDevInfo Family9Camera() {
  TDevInfo d;
  d.DevType = 9;
  d.IP = "192.168.1.70";
  d.NetMask = "255.255.255.0";
  d.Gateway = "192.168.1.1";
  d.DNS1 = "8.8.8.8";
  d.DNS2 = "208.67.222.222";
  d.MAC = "00:1A:2B:3C:4D:5E";
  d.HttpPort = 81;
  d.SN = "DEVICEID";
  d.Name = "Door";
  d.Version = "9.1.0.5";
  d.IPMode = 2;
  return d;
}

TEST(Family9Set, ThreeHundredTwentyFourBytes) {
  const auto want = Patched(324, {
      {0, Hex("44 48 02 01")},
      {4, Ascii("192.168.1.70")},
      {20, Ascii("255.255.255.0")},
      {36, Ascii("192.168.1.1")},
      {52, Ascii("8.8.8.8")},
      {68, Ascii("208.67.222.222")},
      {84, Hex("00 1A 2B 3C 4D 5E")},
      {90, Hex("51 00")},
      {124, Ascii("Door")},
      {204, Ascii("9.1.0.5")},
      {236, Ascii("admin")},
      {268, Ascii("pw")},
      {301, Hex("00")},
  });
  EXPECT_EQ(BuildFamily9Set(Family9Camera(), "admin", "pw"), want);
  TDevInfo dhcp = Family9Camera();
  dhcp.IPMode = 1;
  EXPECT_EQ(BuildFamily9Set(dhcp, "admin", "pw")[301], 1);
}

TEST(Family9Set, TextsKeepTheirTerminator) {
  TDevInfo d = Family9Camera();
  std::string longUser(40, 'u');
  auto p = BuildFamily9Set(d, longUser, "pw");
  EXPECT_EQ(std::vector<uint8_t>(p.begin() + 236, p.begin() + 267), Ascii(std::string(31, 'u')));
  EXPECT_EQ(p[267], 0);
  EXPECT_EQ(p[268], 'p');
}

TEST(Family9Set, MacForms) {
  struct Case {
    std::string mac;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"00:1A:2B:3C:4D:5E", Hex("00 1A 2B 3C 4D 5E")},
      {"00-1A-2B-3C-4D-5E", Hex("00 1A 2B 3C 4D 5E")},
      {"001a2b3c4d5e", Hex("00 1A 2B 3C 4D 5E")},
      {" 0:1A:2B:3C:4D:5E", Hex("00 1A 2B 3C 4D 5E")},  // a blank reads as 0
      {"00:1A:ZZ:3C:4D:5E", Hex("00 1A 00 00 00 00")},  // invalid pair: the rest stays zero
      {"00:1A", Hex("00 1A 00 00 00 00")},
      {"", Hex("00 00 00 00 00 00")},
  };
  for (const auto& c : cases) EXPECT_EQ(Family9MacBytes(c.mac), c.bytes) << c.mac;
}

TEST(Family9Set, Answer) {
  auto answer = [](std::vector<uint8_t> head, std::vector<uint8_t> status) {
    return Patched(328, {{0, head}, {324, status}});
  };
  EXPECT_EQ(ParseFamily9SetAnswer(answer(Hex("44 48 02 08"), Hex("00 80 00 00"))), Family9SetAnswer::Accepted);
  EXPECT_EQ(ParseFamily9SetAnswer(answer(Hex("44 48 02 08"), Hex("00 00 00 00"))), Family9SetAnswer::Refused);
  EXPECT_EQ(ParseFamily9SetAnswer(answer(Hex("44 48 02 08"), Hex("00 80 01 00"))), Family9SetAnswer::Refused);
  EXPECT_EQ(ParseFamily9SetAnswer(answer(Hex("44 48 02 01"), Hex("00 80 00 00"))), Family9SetAnswer::NotAnswer);
  EXPECT_EQ(ParseFamily9SetAnswer(Hex("44 48 02 08")), Family9SetAnswer::Refused);  // short: zero status
  EXPECT_EQ(ParseFamily9SetAnswer(Hex("44 48")), Family9SetAnswer::NotAnswer);
  EXPECT_EQ(ParseFamily9SetAnswer({}), Family9SetAnswer::NotAnswer);
  auto shortAccepted = Patched(326, {{0, Hex("44 48 02 08")}, {324, Hex("00 80")}});
  EXPECT_EQ(ParseFamily9SetAnswer(shortAccepted), Family9SetAnswer::Accepted);
}

}  // namespace
}  // namespace kestrova
