// Replies of families 2, 5 and 8, the family-8 exchange and the classifier.
#include <gtest/gtest.h>

#include "core/discovery/device_list.h"
#include "core/discovery/discovery_protocol.h"
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

// ------------------------------------------------------------------ family 2

// Header of a search reply: "MO_I", opcode 1, unread bytes filled with junk, body length.
Bytes F2Header(const char* bodyLengthLE) {
  return Cat({Hex("4d 4f 5f 49  01 00  aa aa aa aa aa aa aa aa aa"), Hex(bodyLengthLE), Hex("ff ff ff ff")});
}

// The 64 body bytes common to every reply length.
Bytes F2Body64() {
  return Cat({Text("0A1B2C3D4E5F", 13),
              Hex("e6 91 84 e5 83 8f e6 9c ba"), Zeros(12),  // name, UTF-8, 21 bytes
              Hex("c0 a8 01 14"),   // 192.168.1.20
              Hex("ff ff ff 00"),   // mask
              Hex("c0 a8 01 01"),   // gateway
              Hex("08 08 08 08"),   // DNS
              Hex("09 09 09 09"),   // not used
              Hex("01 02 03 04"),   // version quad 1
              Hex("05 06 07 08"),   // version quad 2
              Hex("00 51")});       // HTTP port 81, big-endian
}

Bytes F2Reply64() { return Cat({F2Header("40 00 00 00"), F2Body64()}); }
Bytes F2Reply195(const char* dhcp) {
  return Cat({F2Header("c3 00 00 00"), F2Body64(), Hex(dhcp), Text("aa.bb.cc:9000", 65), Text("x123", 65)});
}

TEST(Family2Reply, ShortBodyFields) {
  Bytes d = F2Reply64();
  ASSERT_EQ(d.size(), 87u);
  ParseResult r = ParseDatagram(d);
  ASSERT_TRUE(r.accepted);
  EXPECT_EQ(r.kind, DatagramKind::Family2Reply);
  EXPECT_TRUE(r.followUps.empty());
  TDevInfo e;
  e.DevType = 2;
  e.MAC = "0A1B2C3D4E5F";
  e.Name = "\xe6\x91\x84\xe5\x83\x8f\xe6\x9c\xba";  // UTF-8 kept
  e.IP = "192.168.1.20";
  e.NetMask = "255.255.255.0";
  e.Gateway = "192.168.1.1";
  e.DNS1 = "8.8.8.8";
  e.Version = "1.2.3.4:5.6.7.8";
  e.HttpPort = 81;
  e.IPMode = 2;
  EXPECT_EQ(r.rec, e);
}

TEST(Family2Reply, LongBodyDhcpAndDdns) {
  const std::pair<const char*, uint8_t> dhcp[] = {{"01", 1}, {"00", 2}, {"02", 2}, {"ff", 2}};
  for (auto [byte, mode] : dhcp) {
    Bytes d = F2Reply195(byte);
    ASSERT_EQ(d.size(), 218u);
    ParseResult r = ParseDatagram(d);
    ASSERT_TRUE(r.accepted) << byte;
    EXPECT_EQ(r.rec.IPMode, mode) << byte;
    EXPECT_EQ(r.rec.DDnsServer, "aa.bb.cc:9000");
    EXPECT_EQ(r.rec.DDnsUser, "x123");
    EXPECT_EQ(r.rec.IP, "192.168.1.20");
  }
  // Body length 65: the byte after the port is not a DHCP flag.
  Bytes d65 = Cat({F2Header("41 00 00 00"), F2Body64(), Hex("01")});
  ParseResult r = ParseDatagram(d65);
  ASSERT_TRUE(r.accepted);
  EXPECT_EQ(r.rec.IPMode, 2);
  EXPECT_EQ(r.rec.DDnsServer, "");
}

TEST(Family2Reply, IdentityFillingItsFieldAndTrailingBytes) {
  Bytes d = F2Reply64();
  Bytes id = Raw("ABCDEFGHIJKLM");  // 13 characters, no terminator
  std::copy(id.begin(), id.end(), d.begin() + 23);
  d.resize(300, 0x55);  // bytes behind the body are not read
  ParseResult r = ParseDatagram(d);
  ASSERT_TRUE(r.accepted);
  EXPECT_EQ(r.rec.MAC, "ABCDEFGHIJKLM");
  EXPECT_EQ(r.rec.Name, "\xe6\x91\x84\xe5\x83\x8f\xe6\x9c\xba");
}

TEST(Family2Reply, Rejected) {
  struct Case { const char* name; Bytes data; };
  Bytes wrongOpcode = F2Reply64();
  wrongOpcode[4] = 2;
  Bytes highOpcode = F2Reply64();
  highOpcode[5] = 1;  // opcode 0x0101
  const Case cases[] = {
      // This PC's own search, as it arrives back at the socket bound to 10000.
      {"own search", Hex("4d 4f 5f 49 00 00 00 00 00 00 00 00 00 00 00 04 00 00 00 00 00 00 00 00 00 00 01")},
      {"opcode 2", wrongOpcode},
      {"opcode 0x0101", highOpcode},
      {"body 63", Cat({F2Header("3f 00 00 00"), F2Body64()})},
      {"body 196", Cat({F2Header("c4 00 00 00"), Zeros(196)})},
      {"body 64 + 2^32", Cat({F2Header("40 00 00 01"), F2Body64()})},
      {"empty identity", [] { Bytes d = F2Reply64(); std::fill(d.begin() + 23, d.begin() + 36, 0); return d; }()},
      // A 195-byte body announced but only 64 sent.
      {"cut long reply", Cat({F2Header("c3 00 00 00"), F2Body64()})},
  };
  for (const Case& c : cases) {
    ParseResult r = ParseDatagram(c.data);
    EXPECT_FALSE(r.accepted) << c.name;
    EXPECT_EQ(r.rec.DevType, -1) << c.name;
  }
}

TEST(Family2Reply, EveryTruncationRejected) {
  for (const Bytes& full : {F2Reply64(), F2Reply195("01")}) {
    for (const Bytes& p : Prefixes(full)) {
      ParseResult r = ParseDatagram(p);
      EXPECT_FALSE(r.accepted) << "length " << p.size() << " of " << full.size();
      EXPECT_EQ(r.rec.DevType, -1);
    }
    EXPECT_TRUE(ParseDatagram(full).accepted);
  }
}

// ------------------------------------------------------------------ family 5

Bytes F5(std::string_view text) { return Raw(text); }

TEST(Family5Reply, AllKeys) {
  Bytes d = F5("REPLY * CTP/1.0\r\n"
               "-sn SN0001\r\n"
               "-name \xb2\xe2\xca\xd4\r\n"  // local code page bytes, kept as they are
               "-ip 192.168.1.40\r\n"
               "-netmask 255.255.255.0\r\n"
               "-portctp 8080\r\n"
               "-mdns 8.8.8.8\r\n"
               "-sdns 8.8.4.4\r\n"
               "-mac 00:11:22:AA:BB:CC\r\n"
               "-gw 192.168.1.1\r\n"
               "-ddns aa.bb.cc:9000\r\n"
               "-ddnsuser x123\r\n"
               "-ddnspswd pw1\r\n"
               "-version 3.1.4");  // last line without CR LF
  ParseResult r = ParseDatagram(d);
  ASSERT_TRUE(r.accepted);
  EXPECT_EQ(r.kind, DatagramKind::Family5Reply);
  TDevInfo e;
  e.DevType = 5;
  e.SN = "SN0001";
  e.Name = "\xb2\xe2\xca\xd4";
  e.IP = "192.168.1.40";
  e.NetMask = "255.255.255.0";
  e.HttpPort = 8080;
  e.DNS1 = "8.8.8.8";
  e.DNS2 = "8.8.4.4";
  e.MAC = "001122AABBCC";
  e.Gateway = "192.168.1.1";
  e.DDnsServer = "aa.bb.cc:9000";
  e.DDnsUser = "x123";
  e.DDnsPwd = "pw1";
  e.Version = "3.1.4";
  e.IPMode = 2;
  EXPECT_EQ(r.rec, e);
}

TEST(Family5Reply, KeyMatching) {
  struct Case { const char* name; const char* text; std::function<void(const TDevInfo&)> check; };
  const Case cases[] = {
      {"-ddnsuser before -ddns: the first line beginning with -ddns wins",
       "REPLY\r\n-mac 01\r\n-ddnsuser alice\r\n-ddns srv.example\r\n",
       [](const TDevInfo& d) { EXPECT_EQ(d.DDnsServer, "ser alice"); EXPECT_EQ(d.DDnsUser, "alice"); }},
      {"no -portctp", "REPLY\r\n-mac 01\r\n-ip 1.2.3.4\r\n", [](const TDevInfo& d) { EXPECT_EQ(d.HttpPort, 0); }},
      {"-portctp not a number", "REPLY\r\n-mac 01\r\n-portctp abc\r\n", [](const TDevInfo& d) { EXPECT_EQ(d.HttpPort, 80); }},
      {"-portctp empty", "REPLY\r\n-mac 01\r\n-portctp\r\n", [](const TDevInfo& d) { EXPECT_EQ(d.HttpPort, 80); }},
      {"-portctp out of range", "REPLY\r\n-mac 01\r\n-portctp 70000\r\n", [](const TDevInfo& d) { EXPECT_EQ(d.HttpPort, 80); }},
      {"-portctp 65535", "REPLY\r\n-mac 01\r\n-portctp 65535\r\n", [](const TDevInfo& d) { EXPECT_EQ(d.HttpPort, 65535); }},
      {"-portctp with blanks before the number", "REPLY\r\n-mac 01\r\n-portctp   81\r\n",
       [](const TDevInfo& d) { EXPECT_EQ(d.HttpPort, 81); }},
      {"-portctp with a blank after the number", "REPLY\r\n-mac 01\r\n-portctp 81 \r\n",
       [](const TDevInfo& d) { EXPECT_EQ(d.HttpPort, 80); }},
      {"keys are case-sensitive", "REPLY\r\n-IP 1.2.3.4\r\n-Mac 00:11\r\n-mac 01\r\n",
       [](const TDevInfo& d) { EXPECT_EQ(d.IP, "10.0.0.9"); EXPECT_EQ(d.MAC, "01"); }},
      {"first matching line wins", "REPLY\r\n-mac 01\r\n-ip 1.1.1.1\r\n-ip 2.2.2.2\r\n",
       [](const TDevInfo& d) { EXPECT_EQ(d.IP, "1.1.1.1"); }},
      {"any one separator character", "REPLY\r\n-mac 01\r\n-ip=1.2.3.4\r\n-gw\t5.6.7.8\r\n-sn  X\r\n",
       [](const TDevInfo& d) { EXPECT_EQ(d.IP, "1.2.3.4"); EXPECT_EQ(d.Gateway, "5.6.7.8"); EXPECT_EQ(d.SN, " X"); }},
      {"only CR LF ends a line", "REPLY\r\n-mac 01\n-ip 1.2.3.4\n-gw 5.6.7.8",
       [](const TDevInfo& d) { EXPECT_EQ(d.IP, "10.0.0.9"); EXPECT_EQ(d.MAC, "01\n-ip 1.2.3.4\n-gw 5.6.7.8"); }},
      {"every ':' of the MAC removed", "REPLY\r\n-mac ::a:b::\r\n", [](const TDevInfo& d) { EXPECT_EQ(d.MAC, "ab"); }},
      {"nothing but the MAC", "REPLY\r\n-mac 0a",
       [](const TDevInfo& d) { EXPECT_EQ(d.DevType, 5); EXPECT_EQ(d.IPMode, 2); EXPECT_EQ(d.MAC, "0a"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Every reply ends with an address line: without an address the camera is not listed.
    ParseResult r = ParseDatagram(F5(std::string(c.text) + "\r\n-ip 10.0.0.9\r\n"));
    ASSERT_TRUE(r.accepted);
    c.check(r.rec);
  }
}

TEST(Family5Reply, TextEndsAtNul) {
  Bytes d = Cat({Raw("REPLY\r\n-ip 1.2.3.4\r\n-mac 00:11:22:AA:BB:CC"), Hex("00"), Raw("\r\n-gw 1.2.3.1\r\n")});
  ParseResult r = ParseDatagram(d);
  ASSERT_TRUE(r.accepted);
  EXPECT_EQ(r.rec.MAC, "001122AABBCC");
  EXPECT_EQ(r.rec.IP, "1.2.3.4");
  EXPECT_EQ(r.rec.Gateway, "");
}

TEST(Family5Reply, WithoutIdentityRejected) {
  for (const char* text : {"REPLY", "REPLY\r\n-ip 1.2.3.4\r\n", "REPLY\r\n-mac \r\n", "REPLY\r\n-mac :::\r\n",
                           "REPLY\r\n-mac"}) {
    ParseResult r = ParseDatagram(F5(text));
    EXPECT_FALSE(r.accepted) << text;
    EXPECT_EQ(r.rec.DevType, -1) << text;
  }
  // Every prefix: accepted once the first MAC digit has arrived.
  const std::string full = "REPLY * CTP/1.0\r\n-sn SN0001\r\n-ip 192.168.1.40\r\n-mac 00:11:22:AA:BB:CC\r\n";
  const std::size_t firstDigit = full.find("-mac ") + 5;
  for (const Bytes& p : Prefixes(F5(full))) {
    ParseResult r = ParseDatagram(p);
    EXPECT_EQ(r.accepted, p.size() > firstDigit) << p.size();
  }
}

// ------------------------------------------------------------------ family 8

// A NetBlock as the camera sends it (128 bytes).
Bytes NetBlock() {
  return Cat({Text("192.168.1.30", 16), Text("255.255.255.0", 16), Text("192.168.1.1", 16),
              Text("8.8.8.8", 16), Text("8.8.4.4", 16),
              Hex("90 1f"),              // 80: HTTP port 8080
              Hex("91 1f"),              // 82: not read
              Hex("92 1f"),              // 84: not read
              Hex("b8 22"),              // 86: data port 8888
              Hex("00 11 22 aa bb cc"),  // 88: hardware address
              Hex("01 02"),              // 94: word 0x0201
              Hex("01 23 45 67 89 ab cd"),  // 96: serial
              Hex("01"),                 // 103: DHCP on
              Hex("e5 89 8d e9 97 a8"), Zeros(18)});  // 104: name, UTF-8, 24 bytes
}

// The camera's header: bytes 4-5 hold a value the follow-ups echo.
Bytes F8SearchAnswer() {
  return Cat({Hex("10 10 01 8f 34 12 84 00"), Hex("de ad be ef"), NetBlock()});
}
Bytes F8InfoReply() { return Cat({Hex("10 10 12 8f 34 12 86 00"), NetBlock(), Raw("V1.2.3"), Hex("00 ee")}); }
Bytes F8DdnsReply(const Bytes& netBlock) {
  return Cat({Hex("10 10 0f 8f 34 12 4f 01"), netBlock, Zeros(6),
              Text("aa.bb.cc:9000", 130),  // 142
              Text("x123", 64),            // 272
              Raw("secret"), Hex("00")});  // 336
}

TDevInfo ExpectedFamily8() {
  TDevInfo e;
  e.DevType = 8;
  e.IP = "192.168.1.30";
  e.NetMask = "255.255.255.0";
  e.Gateway = "192.168.1.1";
  e.DNS1 = "8.8.8.8";
  e.DNS2 = "8.8.4.4";
  e.HttpPort = 8080;
  e.DataPort = 8888;
  e.MAC = "001122aabbcc";
  e.ExtWord = 0x0201;
  e.SN = "0123456789abcd";
  e.IPMode = 1;
  e.Name = "\xe5\x89\x8d\xe9\x97\xa8";
  e.Version = "V1.2.3";
  return e;
}

TEST(Family8, SearchAnswerAsksForInformation) {
  ParseResult r = ParseDatagram(F8SearchAnswer());
  EXPECT_FALSE(r.accepted);
  EXPECT_EQ(r.kind, DatagramKind::Family8SearchAnswer);
  EXPECT_EQ(r.rec.DevType, -1);
  ASSERT_EQ(r.followUps.size(), 1u);
  EXPECT_EQ(r.followUps[0].from, DiscoverySocket::IdUDPServer5);
  EXPECT_EQ(r.followUps[0].port, 6801);
  EXPECT_EQ(r.followUps[0].bytes, Cat({Hex("10 10 12 0f 34 12 80 00"), NetBlock()}));
  EXPECT_EQ(r.followUps[0].bytes.size(), 136u);
}

TEST(Family8, InformationReplyGivesRecordAndDdnsRequest) {
  ParseResult r = ParseDatagram(F8InfoReply());
  ASSERT_TRUE(r.accepted);
  EXPECT_EQ(r.kind, DatagramKind::Family8InfoReply);
  EXPECT_EQ(r.rec, ExpectedFamily8());
  ASSERT_EQ(r.followUps.size(), 1u);
  EXPECT_EQ(r.followUps[0].from, DiscoverySocket::IdUDPServer5);
  EXPECT_EQ(r.followUps[0].port, 6801);
  EXPECT_EQ(r.followUps[0].bytes, Cat({Hex("10 10 0f 0f 34 12 80 00"), NetBlock()}));
}

TEST(Family8, NetBlockVariants) {
  Bytes d = F8InfoReply();
  d[8 + 103] = 0;  // DHCP off
  Bytes name = Raw("abcdefghijklmnopqrstuvwx");  // fills the 24 bytes, no terminator
  std::copy(name.begin(), name.end(), d.begin() + 8 + 104);
  d.resize(136 + 3);  // version text running to the end of the datagram
  ParseResult r = ParseDatagram(d);
  ASSERT_TRUE(r.accepted);
  EXPECT_EQ(r.rec.IPMode, 2);
  EXPECT_EQ(r.rec.Name, "abcdefghijklmnopqrstuvwx");
  EXPECT_EQ(r.rec.NetMask, "255.255.255.0");
  EXPECT_EQ(r.rec.Version, "V1.");
}

TEST(Family8, ExchangeStepByStep) {
  DeviceList list;
  FindDevByMacFn lookup = [&](const std::string& mac) { return list.FindDevByMAC(mac); };

  // 1. The search answer creates nothing.
  ParseResult a = ParseDatagram(F8SearchAnswer(), lookup);
  EXPECT_FALSE(a.accepted);
  EXPECT_FALSE(list.MergeDevice(a.rec).added);
  EXPECT_EQ(list.Count(), 0);

  // 2. A DDNS reply before the camera is listed changes nothing.
  ParseResult early = ParseDatagram(F8DdnsReply(NetBlock()), lookup);
  EXPECT_TRUE(early.accepted);
  EXPECT_EQ(early.rec.DevType, -1);
  EXPECT_TRUE(early.followUps.empty());
  EXPECT_EQ(list.MergeDevice(early.rec).action, DeviceList::MergeResult::Ignored);
  EXPECT_EQ(list.Count(), 0);

  // 3. The information reply lists the camera (first sighting: 30 ticks).
  ParseResult info = ParseDatagram(F8InfoReply(), lookup);
  ASSERT_TRUE(info.accepted);
  EXPECT_TRUE(list.MergeDevice(info.rec).added);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.DeviceAt(0).LifeTicks, 30);
  EXPECT_EQ(list.DeviceAt(0).DDnsUser, "");

  // 4. The DDNS reply fills the listed record's DDNS fields.
  ParseResult ddns = ParseDatagram(F8DdnsReply(NetBlock()), lookup);
  ASSERT_TRUE(ddns.accepted);
  EXPECT_EQ(ddns.kind, DatagramKind::Family8DdnsReply);
  TDevInfo expected = ExpectedFamily8();
  expected.LifeTicks = 30;  // a copy of the listed record
  expected.DDnsServer = "aa.bb.cc:9000";
  expected.DDnsUser = "x123";
  expected.DDnsPwd = "secret";
  EXPECT_EQ(ddns.rec, expected);
  DeviceList::MergeResult m = list.MergeDevice(ddns.rec);
  EXPECT_EQ(m.action, DeviceList::MergeResult::DdnsUpdated);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.DeviceAt(0).DDnsUser, "x123");
  EXPECT_EQ(list.DeviceAt(0).DDnsPwd, "secret");
  EXPECT_EQ(list.DeviceAt(0).LifeTicks, 10);

  // A DDNS reply for another hardware address is not applied to this camera.
  Bytes other = NetBlock();
  other[88 + 5] = 0xcd;
  ParseResult stranger = ParseDatagram(F8DdnsReply(other), lookup);
  EXPECT_TRUE(stranger.accepted);
  EXPECT_EQ(stranger.rec.DevType, -1);
}

TEST(Family8, DdnsTextsStayInTheirFields) {
  // A server text that fills its whole field does not run into the account.
  Bytes d = F8DdnsReply(NetBlock());
  std::fill(d.begin() + 142, d.begin() + 272, 'a');
  TDevInfo listed = ExpectedFamily8();
  ParseResult r = ParseDatagram(d, [&](const std::string& mac) { return mac == listed.MAC ? &listed : nullptr; });
  ASSERT_TRUE(r.accepted);
  EXPECT_EQ(r.rec.DDnsServer, std::string(130, 'a'));
  EXPECT_EQ(r.rec.DDnsUser, "x123");
  // A password text without terminator ends with the datagram.
  d = F8DdnsReply(NetBlock());
  d.pop_back();
  r = ParseDatagram(d, [&](const std::string&) { return &listed; });
  EXPECT_EQ(r.rec.DDnsPwd, "secret");
}

TEST(Family8, EveryTruncationRejected) {
  TDevInfo listed = ExpectedFamily8();
  int lookups = 0;
  FindDevByMacFn lookup = [&](const std::string&) { ++lookups; return &listed; };
  struct Case { const char* name; Bytes full; std::size_t minSize; };
  const Case cases[] = {
      {"search answer", F8SearchAnswer(), 140},
      {"information reply", F8InfoReply(), 137},
      {"DDNS reply", F8DdnsReply(NetBlock()), 337},
  };
  for (const Case& c : cases) {
    for (const Bytes& p : Prefixes(c.full)) {
      if (p.size() >= c.minSize) continue;
      ParseResult r = ParseDatagram(p, lookup);
      {
        EXPECT_FALSE(r.accepted) << c.name << " length " << p.size();
        EXPECT_TRUE(r.followUps.empty()) << c.name << " length " << p.size();
        EXPECT_EQ(r.rec.DevType, -1) << c.name << " length " << p.size();
      }
    }
  }
  EXPECT_EQ(lookups, 0);  // no cut DDNS reply was looked up
}

// ------------------------------------------------------------------ classifier

TEST(Classifier, IgnoresOwnSearchesAndUnknownDatagrams) {
  struct Case { const char* name; Bytes data; DatagramKind kind; };
  Bytes bigReply = Raw("REPLY\r\n-mac 00:11\r\n");
  bigReply.resize(1025, 'x');
  const Case cases[] = {
      {"empty", {}, DatagramKind::Unknown},
      {"MO", Raw("MO"), DatagramKind::Unknown},
      {"own family-2 search",
       Hex("4d 4f 5f 49 00 00 00 00 00 00 00 00 00 00 00 04 00 00 00 00 00 00 00 00 00 00 01"),
       DatagramKind::Family2Rejected},
      {"IMAGIAQUERY,0", Raw("IMAGIAQUERY,0"), DatagramKind::Unknown},
      {"uicam query", Raw("uicam query"), DatagramKind::Unknown},
      {"SQ610", Cat({Raw("SQ610"), Hex("10 06"), Zeros(249)}), DatagramKind::Unknown},
      {"own family-5 search", Raw("SEARCH * CTP/1.0\r\nFrom:0.0.0.0\r\n\r\n"), DatagramKind::Unknown},
      {"own family-8 search", Hex("10 10 01 0f 00 00 00 00"), DatagramKind::Family8Other},
      {"own information request", Cat({Hex("10 10 12 0f 34 12 80 00"), NetBlock()}), DatagramKind::Family8Other},
      {"own DDNS request", Cat({Hex("10 10 0f 0f 34 12 80 00"), NetBlock()}), DatagramKind::Family8Other},
      {"family-8 set network", Cat({Hex("10 10 02 0f 00 00 00 01"), NetBlock(), NetBlock()}), DatagramKind::Family8Other},
      {"family-9 search", Hex("44 48 01 01"), DatagramKind::Unknown},
      {"family-9 answer", Cat({Hex("44 48 01 08"), Zeros(512)}), DatagramKind::Unknown},
      {"two bytes 10 10", Hex("10 10"), DatagramKind::Unknown},
      {"three bytes 10 10 01", Hex("10 10 01"), DatagramKind::Malformed},
      {"lower-case reply", Raw("reply\r\n-ip 1.2.3.4"), DatagramKind::Unknown},
      {"REPL", Raw("REPL"), DatagramKind::Unknown},
      {"over the receive buffer", bigReply, DatagramKind::Malformed},
  };
  for (const Case& c : cases) {
    ParseResult r = ParseDatagram(c.data, [](const std::string&) -> const TDevInfo* {
      ADD_FAILURE() << "no lookup expected";
      return nullptr;
    });
    EXPECT_FALSE(r.accepted) << c.name;
    EXPECT_EQ(r.kind, c.kind) << c.name;
    EXPECT_EQ(r.rec.DevType, -1) << c.name;
    EXPECT_TRUE(r.followUps.empty()) << c.name;
  }
  // Exactly the receive buffer is still read.
  Bytes atLimit = Raw("REPLY\r\n-ip 10.0.0.1\r\n-mac 00:11\r\n");
  atLimit.resize(1024, 'x');
  EXPECT_TRUE(ParseDatagram(atLimit).accepted);
}

}  // namespace
}  // namespace kestrova
