// The simulator on loopback, seen from the PC's side: hand-written requests go in, and the
// answers are compared with bytes laid out here by hand from the cameras' message tables.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "support/pc_sockets.h"
#include "support/sim_process.h"

namespace camsim_test = kestrova::testsupport;

using camsim_test::Bytes;
using camsim_test::Peer;
using camsim_test::SimProcess;

namespace {

// ---- hand layout helpers (independent of the simulator's own code) --------------------------
void At(Bytes& b, size_t off, std::initializer_list<int> v) {
  for (int x : v) b.at(off++) = uint8_t(x);
}
void Str(Bytes& b, size_t off, const char* s) {
  for (size_t i = 0; s[i]; ++i) b.at(off + i) = uint8_t(s[i]);
}
Bytes B(std::initializer_list<int> v) {
  Bytes b;
  for (int x : v) b.push_back(uint8_t(x));
  return b;
}
Bytes T(const std::string& s) { return Bytes(s.begin(), s.end()); }
std::string AsText(const Bytes& b) { return std::string(b.begin(), b.end()); }
Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
Bytes Slice(const Bytes& b, size_t off, size_t n) { return Bytes(b.begin() + off, b.begin() + off + n); }

// Requests as the PC sends them.
const Bytes kF2Search = B({'M', 'O', '_', 'I', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1});
const Bytes kF5Search = T("SEARCH * CTP/1.0\r\nFrom:0.0.0.0\r\n\r\n");
const Bytes kF8Search = B({0x10, 0x10, 0x01, 0x0F, 0, 0, 0, 0});
const Bytes kF9Search = B({0x44, 0x48, 0x01, 0x01});
const Bytes kF4Search = B({'D', 'V', 'S', '4', 0x01, 0x01, 0x34, 0x12});

const char* kCameras = R"(
[porch]
family = 2
identity = MOI0A1B2C3D4
name = Porch
version = 1.2.3.4:5.6.7.8
ip = 192.168.1.88
mask = 255.255.255.0
gateway = 192.168.1.1
dns1 = 192.168.1.2
http_port = 8080
dhcp = 1
ddns_server = ddns.example.net:9000
ddns_user = f2a0001
user = admin
pwd = pw2

[garage]
family = 5
mac = 00:21:6B:10:20:30
sn = CTP5000123
name = Garage
version = 2.4.1
ip = 192.168.0.102
mask = 255.255.255.0
gateway = 192.168.0.1
dns1 = 192.168.0.1
dns2 = 8.8.4.4
http_port = 81
ddns_server = ddns.example.net
ddns_user = e5b0002
ddns_pwd = secret5
pwd = vemra

[livingroom]
family = 8
mac = 00:1e:2f:40:50:60
sn = 0a0b0c0d0e0f10
name = 客厅
version = V3.1.0
ip = 192.168.0.103
mask = 255.255.255.0
gateway = 192.168.0.1
dns1 = 192.168.0.1
dns2 = 8.8.8.8
http_port = 80
data_port = 9000
ext_word = 0x0102
f8_word = 0x0A05
ddns_server = ddns.example.net:9000
ddns_user = h8c0003
ddns_pwd = secret8

[office]
family = 9
mac = 00:1A:2B:3C:4D:5E
sn = T9D0004
name = Office
version = 5.0.2.17
ip = 192.168.0.104
mask = 255.255.255.0
gateway = 192.168.0.1
dns1 = 192.168.0.1
dns2 = 8.8.8.8
http_port = 80
ddns_server = ddns.example.net
ddns_host = t9d0004.example.net
ddns_user = t9d0004
ddns_pwd = secret9
user = admin
pwd = 123456

[hallway]
family = 4
mac = 00:40:8C:5A:6B:7C
name = Hallway
model = DVS-286
ip = 192.168.0.105
mask = 255.255.255.0
gateway = 192.168.0.1
dns1 = 192.168.0.1
http_port = 80
data_port = 8000
aux_addr = relay.example.net
aux_port = 7000
user = admin
pwd = vemra
)";

// The family-8 block of [livingroom], laid out by hand.
Bytes LivingroomBlock() {
  Bytes b(128, 0);
  Str(b, 0, "192.168.0.103");
  Str(b, 16, "255.255.255.0");
  Str(b, 32, "192.168.0.1");
  Str(b, 48, "192.168.0.1");
  Str(b, 64, "8.8.8.8");
  At(b, 80, {80, 0, 80, 0, 80, 0});       // HTTP port three times, little-endian
  At(b, 86, {0x28, 0x23});                // data port 9000
  At(b, 88, {0x00, 0x1e, 0x2f, 0x40, 0x50, 0x60});
  At(b, 94, {0x02, 0x01});                // ExtWord 0x0102
  At(b, 96, {0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f, 0x10});
  At(b, 103, {0});                        // static
  Str(b, 104, "\xE5\xAE\xA2\xE5\x8E\x85");  // UTF-8 name
  return b;
}

// The 516-byte family-9 answer of [office], laid out by hand (address fields as given).
Bytes OfficeAnswer(const char* ip = "192.168.0.104") {
  Bytes b(516, 0);
  At(b, 0, {0x44, 0x48, 0x01, 0x08});
  Str(b, 4, ip);
  Str(b, 20, "255.255.255.0");
  Str(b, 36, "192.168.0.1");
  Str(b, 52, "192.168.0.1");
  Str(b, 68, "8.8.8.8");
  At(b, 84, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E});
  At(b, 90, {80, 0});
  Str(b, 92, "T9D0004");
  Str(b, 124, "Office");
  Str(b, 204, "5.0.2.17");
  Str(b, 236, "admin");
  Str(b, 268, "123456");
  At(b, 301, {0});
  Str(b, 324, "ddns.example.net");
  Str(b, 388, "t9d0004.example.net");
  Str(b, 452, "t9d0004");
  Str(b, 484, "secret9");
  return b;
}

// The 200-byte family-4 record of [hallway] (the stand-in SDK's protocol), laid out by hand:
// kind 0x81 answers a search, sequence 0x1234 echoed.
Bytes HallwayRecord(uint8_t kind = 0x81, const char* ip = "192.168.0.105") {
  Bytes b(200, 0);
  At(b, 0, {'D', 'V', 'S', '4', kind, 0x01, 0x34, 0x12});
  At(b, 8, {0x00, 0x40, 0x8C, 0x5A, 0x6B, 0x7C});
  At(b, 14, {0});                      // static
  At(b, 16, {80, 0, 0x40, 0x1F, 0x58, 0x1B});  // HTTP 80, data 8000, auxiliary 7000
  Str(b, 24, "Hallway");
  Str(b, 56, "DVS-286");
  Str(b, 72, ip);
  Str(b, 88, "255.255.255.0");
  Str(b, 104, "192.168.0.1");
  Str(b, 120, "192.168.0.1");
  Str(b, 136, "relay.example.net");
  return b;
}

// A family-4 configuration of [hallway] as the stand-in SDK builds it.
Bytes HallwayConfig(const char* ip, const char* user, const char* pwd) {
  Bytes b = HallwayRecord(0x02, ip);
  std::fill(b.begin() + 56, b.begin() + 72, 0);  // no model in a configuration
  At(b, 14, {1});                                 // DHCP on
  At(b, 16, {0x52, 0});                           // HTTP port 82
  b.resize(264, 0);
  Str(b, 200, user);
  Str(b, 232, pwd);
  return b;
}

// A family-9 settings packet for [office] as the PC builds it.
Bytes OfficeSet(const char* ip, const char* user, const char* pwd) {
  Bytes b(324, 0);
  At(b, 0, {0x44, 0x48, 0x02, 0x01});
  Str(b, 4, ip);
  Str(b, 20, "255.255.255.0");
  Str(b, 36, "192.168.0.1");
  Str(b, 52, "8.8.8.8");
  Str(b, 68, "208.67.222.222");
  At(b, 84, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E});
  At(b, 90, {0x51, 0});  // port 81
  Str(b, 124, "Office");
  Str(b, 204, "5.0.2.17");
  Str(b, 236, user);
  Str(b, 268, pwd);
  At(b, 301, {0});
  return b;
}

class CamsimLoopback : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(sim.Start(kCameras)) << sim.output; }
  // Sends a request no camera must answer, then that family's search on the same port as a
  // sentinel: the first datagram back must be the search answer (the simulator reads each port
  // in order, so an unwanted answer would come first).
  void ExpectNoAnswer(int family, const Bytes& req) {
    static const std::map<int, Bytes> kSearch = {
        {2, kF2Search}, {4, kF4Search}, {5, kF5Search}, {8, kF8Search}, {9, kF9Search}};
    pc.SendTo(sim.Port(family), req);
    pc.SendTo(sim.Port(family), kSearch.at(family));
    auto got = pc.Receive();
    ASSERT_TRUE(got.has_value());
    switch (family) {
      case 2: EXPECT_EQ(Slice(*got, 0, 6), B({'M', 'O', '_', 'I', 1, 0})); break;
      case 5: EXPECT_EQ(AsText(Slice(*got, 0, 6)), "REPLY "); break;
      case 8: EXPECT_EQ(Slice(*got, 0, 4), B({0x10, 0x10, 0x01, 0x8F})); break;
      case 9: EXPECT_EQ(*got, OfficeAnswer()); break;
      case 4: EXPECT_EQ(*got, HallwayRecord()); break;
    }
  }
  SimProcess sim;
  Peer pc;
};

TEST_F(CamsimLoopback, Family2SearchReplyIsByteExact) {
  Bytes want(218, 0);
  Str(want, 0, "MO_I");
  At(want, 4, {1, 0});              // opcode 1
  At(want, 15, {195, 0, 0, 0});     // body length
  Str(want, 23, "MOI0A1B2C3D4");
  Str(want, 36, "Porch");
  At(want, 57, {192, 168, 1, 88, 255, 255, 255, 0, 192, 168, 1, 1, 192, 168, 1, 2});
  At(want, 77, {1, 2, 3, 4, 5, 6, 7, 8});
  At(want, 85, {0x1F, 0x90});       // 8080, big-endian
  At(want, 87, {1});                // DHCP on
  Str(want, 88, "ddns.example.net:9000");
  Str(want, 153, "f2a0001");
  pc.SendTo(sim.Port(2), kF2Search);
  auto got = pc.Receive();
  ASSERT_TRUE(got);
  EXPECT_EQ(*got, want);
}

TEST_F(CamsimLoopback, Family5SearchReplyIsTheCameraText) {
  std::string body =
      "-sn CTP5000123\r\n-name Garage\r\n-ip 192.168.0.102\r\n-netmask 255.255.255.0\r\n"
      "-gw 192.168.0.1\r\n-mdns 192.168.0.1\r\n-sdns 8.8.4.4\r\n-mac 00:21:6B:10:20:30\r\n"
      "-portctp 81\r\n-ddns ddns.example.net\r\n-ddnsuser e5b0002\r\n-ddnspswd secret5\r\n"
      "-version 2.4.1\r\n\r\n";
  std::string want = "REPLY * CTP/1.0\r\nContent-Length:" + std::to_string(body.size()) + "\r\n\r\n" + body;
  pc.SendTo(sim.Port(5), kF5Search);
  auto got = pc.Receive();
  ASSERT_TRUE(got);
  EXPECT_EQ(AsText(*got), want);
}

TEST_F(CamsimLoopback, Family8ExchangeAnswersSearchInformationAndDdns) {
  const Bytes block = LivingroomBlock();
  pc.SendTo(sim.Port(8), kF8Search);
  auto answer = pc.Receive();
  ASSERT_TRUE(answer);
  Bytes wantAnswer = Cat(Cat(B({0x10, 0x10, 0x01, 0x8F, 0x05, 0x0A, 0x84, 0x00}), B({0, 0, 0, 0})), block);
  EXPECT_EQ(*answer, wantAnswer);

  // Information request: the answer's header with 12 0F and length 0x80, then its block.
  Bytes info = Cat(B({0x10, 0x10, 0x12, 0x0F, 0x05, 0x0A, 0x80, 0x00}), Slice(*answer, 12, 128));
  pc.SendTo(sim.Port(8), info);
  auto reply = pc.Receive();
  ASSERT_TRUE(reply);
  Bytes wantReply = Cat(B({0x10, 0x10, 0x12, 0x8F, 0x05, 0x0A, 0xA0, 0x00}), block);
  wantReply.resize(168, 0);
  Str(wantReply, 136, "V3.1.0");
  EXPECT_EQ(*reply, wantReply);

  // DDNS request: the reply's header with 0F 0F and length 0x80, then the reply's block.
  Bytes ddns = Cat(B({0x10, 0x10, 0x0F, 0x0F, 0x05, 0x0A, 0x80, 0x00}), Slice(*reply, 8, 128));
  pc.SendTo(sim.Port(8), ddns);
  auto dreply = pc.Receive();
  ASSERT_TRUE(dreply);
  Bytes wantDdns = Cat(B({0x10, 0x10, 0x0F, 0x8F, 0x05, 0x0A, 0x88, 0x01}), block);
  wantDdns.resize(400, 0);
  Str(wantDdns, 142, "ddns.example.net:9000");
  Str(wantDdns, 272, "h8c0003");
  Str(wantDdns, 336, "secret8");
  EXPECT_EQ(*dreply, wantDdns);
}

TEST_F(CamsimLoopback, Family9SearchAnswerIsByteExact) {
  pc.SendTo(sim.Port(9), kF9Search);
  auto got = pc.Receive();
  ASSERT_TRUE(got);
  EXPECT_EQ(*got, OfficeAnswer());
}

TEST_F(CamsimLoopback, RequestsThatAreNotACamerasBusinessGetNoAnswer) {
  Bytes otherBlock = LivingroomBlock();
  otherBlock[93] ^= 0xFF;  // another camera's hardware address
  Bytes f2Short = Slice(kF2Search, 0, kF2Search.size() - 1);
  Bytes f2Reply = kF2Search;
  f2Reply[4] = 1;  // a search reply (e.g. another camera's), not a search
  struct Case {
    const char* what;
    int family;
    Bytes req;
  } cases[] = {
      {"family-2 search one byte short", 2, f2Short},
      {"family-2 opcode 1", 2, f2Reply},
      {"family-2 port gets the family-5 search", 2, kF5Search},
      {"family-5 search with a NUL", 5, Cat(kF5Search, B({0}))},
      {"family-5 REPLY echo", 5, T("REPLY * CTP/1.0\r\n\r\n")},
      {"family-8 search with a payload length", 8, B({0x10, 0x10, 0x01, 0x0F, 0, 0, 1, 0})},
      {"family-8 information request for another camera", 8,
       Cat(B({0x10, 0x10, 0x12, 0x0F, 0x05, 0x0A, 0x80, 0x00}), otherBlock)},
      {"family-8 DDNS request cut short", 8,
       Slice(Cat(B({0x10, 0x10, 0x0F, 0x0F, 0x05, 0x0A, 0x80, 0x00}), LivingroomBlock()), 0, 100)},
      {"family-8 answer echo", 8, B({0x10, 0x10, 0x01, 0x8F, 0, 0, 0, 0})},
      {"family-9 search padded", 9, B({0x44, 0x48, 0x01, 0x01, 0})},
      {"family-9 answer echo", 9, OfficeAnswer()},
      {"empty datagram", 9, Bytes{}},
      {"family-4 search padded", 4, Cat(kF4Search, B({0}))},
      {"family-4 search of version 2", 4, B({'D', 'V', 'S', '4', 0x01, 0x02, 0x34, 0x12})},
      {"family-4 answer echo", 4, HallwayRecord()},
      {"family-4 configuration cut short", 4, Slice(HallwayConfig("192.168.0.150", "admin", "vemra"), 0, 263)},
      {"family-4 configuration for another camera", 4, [] {
         Bytes b = HallwayConfig("192.168.0.150", "admin", "vemra");
         b[13] ^= 0xFF;
         return b;
       }()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ExpectNoAnswer(c.family, c.req);
  }
  EXPECT_NE(sim.LogText().find("kind=f8-info-request answered=livingroom:ignored(block of another camera)"),
            std::string::npos);
}

TEST_F(CamsimLoopback, Family4SearchAnswerIsByteExact) {
  pc.SendTo(sim.Port(4), kF4Search);
  auto got = pc.Receive();
  ASSERT_TRUE(got);
  EXPECT_EQ(*got, HallwayRecord());
}

TEST_F(CamsimLoopback, Family4ConfigurationIsAnsweredAndTakenOnlyWithTheCredentials) {
  struct Case {
    const char* what;
    const char *ip, *pwd;
    int status;
  } cases[] = {
      {"wrong password", "192.168.0.150", "wrong", 1},
      {"address that is not one", "192.168.0.999", "vemra", 2},
      {"taken", "192.168.0.150", "vemra", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    pc.SendTo(sim.Port(4), HallwayConfig(c.ip, "admin", c.pwd));
    auto ack = pc.Receive();
    ASSERT_TRUE(ack);
    EXPECT_EQ(*ack, B({'D', 'V', 'S', '4', 0x82, 0x01, 0x34, 0x12, 0x00, 0x40, 0x8C, 0x5A, 0x6B, 0x7C, c.status, 0}));
  }
  pc.SendTo(sim.Port(4), kF4Search);
  auto got = pc.Receive();
  ASSERT_TRUE(got);
  Bytes want = HallwayRecord(0x81, "192.168.0.150");  // the model stays
  At(want, 14, {1});
  At(want, 16, {0x52, 0});
  EXPECT_EQ(*got, want);
}

TEST_F(CamsimLoopback, Family9SettingsAcceptedThenAnsweredAtTheNewAddress) {
  pc.SendTo(sim.Port(9), OfficeSet("192.168.0.150", "admin", "123456"));
  auto ack = pc.Receive();
  ASSERT_TRUE(ack);
  ASSERT_EQ(ack->size(), 328u);
  EXPECT_EQ(Slice(*ack, 0, 4), B({0x44, 0x48, 0x02, 0x08}));
  EXPECT_EQ(Slice(*ack, 324, 4), B({0x00, 0x80, 0x00, 0x00}));

  pc.SendTo(sim.Port(9), kF9Search);
  auto got = pc.Receive();
  ASSERT_TRUE(got);
  Bytes want = OfficeAnswer("192.168.0.150");
  // Taken from the settings packet: DNS servers and the HTTP port.
  std::fill(want.begin() + 52, want.begin() + 84, 0);
  Str(want, 52, "8.8.8.8");
  Str(want, 68, "208.67.222.222");
  At(want, 90, {0x51, 0});
  EXPECT_EQ(*got, want);
}

TEST_F(CamsimLoopback, Family9SettingsWithWrongCredentialsAreRefused) {
  pc.SendTo(sim.Port(9), OfficeSet("192.168.0.150", "admin", "wrong"));
  auto ack = pc.Receive();
  ASSERT_TRUE(ack);
  ASSERT_EQ(ack->size(), 328u);
  EXPECT_EQ(Slice(*ack, 324, 4), B({0, 0, 0, 0}));
  pc.SendTo(sim.Port(9), kF9Search);
  auto got = pc.Receive();
  ASSERT_TRUE(got);
  EXPECT_EQ(*got, OfficeAnswer()) << "a refused camera keeps its address";
}

TEST_F(CamsimLoopback, UdpSettingsOfFamilies2And5And8TakeEffect) {
  // Family 2: header opcode 2, body length 61; identity, user, password, addresses, port.
  Bytes f2(84, 0);
  Str(f2, 0, "MO_I");
  At(f2, 4, {2, 0});
  At(f2, 15, {61, 0, 0, 0});
  Str(f2, 27, "MOI0A1B2C3D4");
  Str(f2, 40, "admin");
  Str(f2, 53, "pw2");
  At(f2, 66, {192, 168, 0, 120, 255, 255, 255, 0, 192, 168, 0, 1, 8, 8, 8, 8});
  At(f2, 82, {0, 81});
  pc.SendTo(sim.Port(2), f2);
  pc.SendTo(sim.Port(2), kF2Search);
  auto r2 = pc.Receive();
  ASSERT_TRUE(r2);
  ASSERT_EQ(r2->size(), 218u);
  EXPECT_EQ(Slice(*r2, 57, 16), B({192, 168, 0, 120, 255, 255, 255, 0, 192, 168, 0, 1, 8, 8, 8, 8}));
  EXPECT_EQ(Slice(*r2, 85, 2), B({0, 81}));

  // Family 5: the UDP setip form ("Content-Length: " with a blank, the body counted from the
  // empty line).
  std::string body =
      "\r\n-sn CTP5000123\r\n-interface 192.168.0.102\r\n-pswd vemra\r\n-dhcpen 0\r\n"
      "-ip 192.168.0.121\r\n-netmask 255.255.255.0\r\n-defgw 192.168.0.1\r\n-name Garage 2\r\n"
      "-mdns 8.8.8.8\r\n-sdns 208.67.222.222\r\n-mac 00:21:6B:10:20:30\r\n-port 85\r\n\r\n";
  pc.SendTo(sim.Port(5), T("CMD setip CTP/1.0\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + body));
  pc.SendTo(sim.Port(5), kF5Search);
  auto r5 = pc.Receive();
  ASSERT_TRUE(r5);
  std::string t5 = AsText(*r5);
  for (const char* line : {"\r\n-ip 192.168.0.121\r\n", "\r\n-name Garage 2\r\n", "\r\n-portctp 85\r\n",
                           "\r\n-mdns 8.8.8.8\r\n", "\r\n-sdns 208.67.222.222\r\n"})
    EXPECT_NE(t5.find(line), std::string::npos) << line << " in " << t5;

  // Family 8: header 02 0F, length 256, the old block then the new one.
  Bytes fresh = LivingroomBlock();
  std::fill(fresh.begin(), fresh.begin() + 16, 0);
  Str(fresh, 0, "192.168.0.122");
  Bytes f8 = Cat(Cat(B({0x10, 0x10, 0x02, 0x0F, 0, 0, 0, 1}), LivingroomBlock()), fresh);
  pc.SendTo(sim.Port(8), f8);
  pc.SendTo(sim.Port(8), kF8Search);
  auto r8 = pc.Receive();
  ASSERT_TRUE(r8);
  ASSERT_EQ(r8->size(), 140u);
  EXPECT_EQ(Slice(*r8, 12, 128), fresh);
}

TEST_F(CamsimLoopback, SettingsWithWrongCredentialsOrForAnotherCameraChangeNothing) {
  Bytes f2(84, 0);
  Str(f2, 0, "MO_I");
  At(f2, 4, {2, 0});
  At(f2, 15, {61, 0, 0, 0});
  Str(f2, 27, "MOI0A1B2C3D4");
  Str(f2, 40, "admin");
  Str(f2, 53, "nope");
  At(f2, 66, {192, 168, 0, 120, 255, 255, 255, 0, 192, 168, 0, 1, 8, 8, 8, 8});
  pc.SendTo(sim.Port(2), f2);
  Bytes other = LivingroomBlock();
  other[88] = 0x02;
  pc.SendTo(sim.Port(8), Cat(Cat(B({0x10, 0x10, 0x02, 0x0F, 0, 0, 0, 1}), other), other));
  pc.SendTo(sim.Port(2), kF2Search);
  auto r2 = pc.Receive();
  ASSERT_TRUE(r2);
  EXPECT_EQ(Slice(*r2, 57, 4), B({192, 168, 1, 88}));
  pc.SendTo(sim.Port(8), kF8Search);
  auto r8 = pc.Receive();
  ASSERT_TRUE(r8);
  EXPECT_EQ(Slice(*r8, 12, 128), LivingroomBlock());
}

// ---- faults ------------------------------------------------------------------------------

const char* kFaulty = R"(
[t1]
family = 9
mac = 00:00:00:00:00:01
ip = 10.0.0.1
fault = truncated
truncate_to = 100
[t2]
family = 9
mac = 00:00:00:00:00:02
ip = 10.0.0.2
fault = oversized
oversize_to = 1500
[t3]
family = 9
mac = 00:00:00:00:00:03
ip = 10.0.0.3
fault = wrong_opcode
[t4]
family = 9
mac = 00:00:00:00:00:04
ip = 10.0.0.4
fault = silent
[f2]
family = 2
identity = X
ip = 10.0.0.5
fault = wrong_opcode
[f8]
family = 8
mac = 00:00:00:00:00:06
ip = 10.0.0.6
fault = wrong_opcode
[f5]
family = 5
mac = 00:00:00:00:00:07
ip = 10.0.0.7
fault = wrong_opcode
)";

TEST(CamsimFaults, EachFaultShapesTheAnswer) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start(kFaulty)) << sim.output;
  Peer pc;
  pc.SendTo(sim.Port(9), kF9Search);
  // Cameras answer in the order of the file; the silent one not at all.
  auto a1 = pc.Receive(), a2 = pc.Receive(), a3 = pc.Receive();
  ASSERT_TRUE(a1 && a2 && a3);
  EXPECT_EQ(a1->size(), 100u);
  EXPECT_EQ(Slice(*a1, 0, 4), B({0x44, 0x48, 0x01, 0x08}));
  EXPECT_EQ(a2->size(), 1500u);
  EXPECT_EQ(Slice(*a2, 84, 6), B({0, 0, 0, 0, 0, 2}));
  EXPECT_EQ(a3->size(), 516u);
  EXPECT_EQ(Slice(*a3, 0, 4), B({0x44, 0x48, 0x03, 0x08}));

  pc.SendTo(sim.Port(2), kF2Search);
  auto b = pc.Receive();
  ASSERT_TRUE(b);
  EXPECT_EQ(Slice(*b, 0, 6), B({'M', 'O', '_', 'I', 3, 0}));
  pc.SendTo(sim.Port(8), kF8Search);
  b = pc.Receive();
  ASSERT_TRUE(b);
  EXPECT_EQ(Slice(*b, 0, 4), B({0x10, 0x10, 0x7E, 0x8F}));
  pc.SendTo(sim.Port(5), kF5Search);
  b = pc.Receive();
  ASSERT_TRUE(b);
  EXPECT_EQ(AsText(Slice(*b, 0, 6)), "RESLT ");

  // The silent camera heard the search (it is logged) but sent nothing.
  EXPECT_NE(sim.LogText().find("t4[silent]"), std::string::npos);
}

TEST(CamsimFaults, SlowCameraDoesNotHoldUpTheOthers) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start(R"(
[slow]
family = 9
mac = 00:00:00:00:00:01
ip = 10.0.0.1
fault = slow
slow_ms = 300
[quick]
family = 2
identity = Q
ip = 10.0.0.2
)")) << sim.output;
  Peer pc;
  pc.SendTo(sim.Port(9), kF9Search);
  pc.SendTo(sim.Port(2), kF2Search);
  auto first = pc.Receive(), second = pc.Receive();
  ASSERT_TRUE(first && second);
  EXPECT_EQ(Slice(*first, 0, 4), T("MO_I"));
  EXPECT_EQ(Slice(*second, 0, 4), B({0x44, 0x48, 0x01, 0x08}));
}

// ---- run-time changes ----------------------------------------------------------------------

TEST(CamsimReload, HangupRereadsTheFileAndKeepsUnchangedCameras) {
  const std::string one = "[a]\nfamily = 9\nmac = 00:00:00:00:00:0a\nip = 10.0.0.10\n";
  const std::string two = "[b]\nfamily = 2\nidentity = B\nip = 10.0.0.20\n";
  SimProcess sim;
  ASSERT_TRUE(sim.Start(one + two)) << sim.output;
  Peer pc;
  // Camera b takes a new address by a settings command.
  Bytes f2(84, 0);
  Str(f2, 0, "MO_I");
  At(f2, 4, {2, 0});
  At(f2, 15, {61, 0, 0, 0});
  Str(f2, 27, "B");
  Str(f2, 40, "admin");
  At(f2, 66, {10, 0, 0, 21, 255, 255, 255, 0});
  pc.SendTo(sim.Port(2), f2);

  // a goes silent in the file, b's section is unchanged, c is new.
  sim.Rewrite(one + "fault = silent\n" + two + "[c]\nfamily = 9\nmac = 00:00:00:00:00:0c\nip = 10.0.0.30\n");
  ASSERT_TRUE(WaitForLog(sim, "camera=b now ip=10.0.0.21"));
  sim.Signal(SIGHUP);
  ASSERT_TRUE(WaitForLog(sim, "reload-done count=1 ok=1"));

  pc.SendTo(sim.Port(9), kF9Search);
  auto r = pc.Receive();
  ASSERT_TRUE(r);
  EXPECT_EQ(Slice(*r, 84, 6), B({0, 0, 0, 0, 0, 0x0c})) << "only the new camera answers";
  pc.SendTo(sim.Port(2), kF2Search);
  r = pc.Receive();
  ASSERT_TRUE(r);
  EXPECT_EQ(Slice(*r, 57, 4), B({10, 0, 0, 21})) << "unchanged section keeps the new address";

  // Moving camera c in the file: it answers with its new address.
  sim.Rewrite(one + "fault = silent\n" + two + "[c]\nfamily = 9\nmac = 00:00:00:00:00:0c\nip = 10.0.0.31\n");
  sim.Signal(SIGHUP);
  ASSERT_TRUE(WaitForLog(sim, "reload-done count=2 ok=1"));
  pc.SendTo(sim.Port(9), kF9Search);
  r = pc.Receive();
  ASSERT_TRUE(r);
  EXPECT_EQ(camsim_test::Bytes(r->begin() + 4, r->begin() + 13), T("10.0.0.31"));

  // A broken file changes nothing.
  sim.Rewrite("[x]\nfamily = 3\n");
  sim.Signal(SIGHUP);
  ASSERT_TRUE(WaitForLog(sim, "reload-done count=3 ok=0"));
  pc.SendTo(sim.Port(9), kF9Search);
  r = pc.Receive();
  ASSERT_TRUE(r);
  EXPECT_EQ(Slice(*r, 84, 6), B({0, 0, 0, 0, 0, 0x0c}));
}

// ---- start-up checks -------------------------------------------------------------------------

TEST(CamsimStart, BadConfigurationsAreReportedWithTheirLine) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"[a]\nfamily = 3\nip = 1.2.3.4\n", "family must be 2, 4, 5, 8 or 9"},
      {"[a]\nfamily = 4\nip = 1.2.3.4\n", "mac is not a hardware address"},
      {"[a]\nfamily = 9\nip = 1.2.3\nmac = 00:00:00:00:00:01\n", "ip is not a dotted IPv4 address"},
      {"[a]\nfamily = 9\nip = 1.2.3.4\nmac = 00:00:00:00:00\n", "mac is not a hardware address"},
      {"[a]\nfamily = 2\nip = 1.2.3.4\n", "family 2 needs identity="},
      {"[a]\nfamily = 9\nip = 1.2.3.4\nmac = 00:00:00:00:00:01\nfault = flaky\n", "line 5"},
      {"[a]\nfamily = 9\nhttp_port = 70000\n", "line 3"},
      {"family = 9\n", "line 1"},
      {"[a]\nfamily=2\nidentity=x\nip=1.2.3.4\n[A]\n", "appears twice"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    SimProcess sim;
    sim.Rewrite(c.text);
    EXPECT_EQ(sim.RunToEnd({"--config", sim.ConfigPath(), "--bind", "127.0.0.1", "--port", "f2=0", "--port", "f5=0", "--port", "f8=0", "--port", "f9=0"}), 1);
    EXPECT_NE(sim.output.find(c.message), std::string::npos) << sim.output;
  }
}

TEST(CamsimStart, RefusesTheHostNetwork) {
  // No cameras, so even a wrongly started simulator would never send anything.
  SimProcess sim;
  sim.Rewrite("# no cameras\n");
  EXPECT_EQ(sim.RunToEnd({"--config", sim.ConfigPath(), "--bind", "0.0.0.0", "--port", "f2=0", "--port", "f5=0", "--port", "f8=0", "--port", "f9=0"}), 1);
  EXPECT_NE(sim.output.find("refusing to answer on the host network"), std::string::npos) << sim.output;
  EXPECT_EQ(sim.RunToEnd({"--config", sim.ConfigPath(), "--bind", "127.0.0.1", "--iface", "lo"}), 1);
}

}  // namespace

namespace {

TEST(CamsimRepeat, RepeatedSectionGivesCamerasOfTheirOwn) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start("[f9]\nfamily = 9\nmac = 00:1A:2B:3C:4D:FE\nip = 10.0.0.254\nname = Cam\nrepeat = 3\n"
                        "[f2]\nfamily = 2\nidentity = MOI0A1B2C3D4\nip = 10.1.0.1\nrepeat = 2\n"))
      << sim.output;
  Peer pc;
  pc.SendTo(sim.Port(9), kF9Search);
  const char* ips[] = {"10.0.0.254", "10.0.0.255", "10.0.1.0"};
  const char* names[] = {"Cam 1", "Cam 2", "Cam 3"};
  const Bytes macs[] = {B({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0xFE}), B({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0xFF}),
                        B({0x00, 0x1A, 0x2B, 0x3C, 0x4E, 0x00})};
  for (int i = 0; i < 3; ++i) {
    auto r = pc.Receive();
    ASSERT_TRUE(r);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r->data()) + 4), ips[i]);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r->data()) + 124), names[i]);
    EXPECT_EQ(Slice(*r, 84, 6), macs[i]);
  }
  pc.SendTo(sim.Port(2), kF2Search);
  for (const char* id : {"MOI0A1B200001", "MOI0A1B200002"}) {
    auto r = pc.Receive();
    ASSERT_TRUE(r);
    EXPECT_EQ(AsText(Slice(*r, 23, 13)), id);
  }
}

}  // namespace

namespace {

std::string ReadExample(const std::string& name) {
  std::ifstream f(std::string(KESTROVA_SOURCE_DIR) + "/sim/camsim/examples/" + name, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

TEST(CamsimExamples, ExampleConfigurationsLoadAndEveryFamilyAnswers) {
  {
    SimProcess faulty;
    ASSERT_TRUE(faulty.Start(ReadExample("lan.conf") + "\n" + ReadExample("faults.conf"))) << faulty.output;
  }
  SimProcess sim;
  ASSERT_TRUE(sim.Start(ReadExample("lan.conf"))) << sim.output;
  Peer pc;
  // lan.conf has one camera of each family; its Chinese name arrives as UTF-8.
  pc.SendTo(sim.Port(8), kF8Search);
  auto r8 = pc.Receive();
  ASSERT_TRUE(r8);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(r8->data()) + 12 + 104),
            "\xE5\xAE\xA2\xE5\x8E\x85\xE6\x91\x84\xE5\x83\x8F\xE6\x9C\xBA");  // 客厅摄像机
  pc.SendTo(sim.Port(2), kF2Search);
  auto r2 = pc.Receive();
  ASSERT_TRUE(r2);
  EXPECT_EQ(Slice(*r2, 57, 4), B({192, 168, 1, 88})) << "the camera in another subnet";
  pc.SendTo(sim.Port(5), kF5Search);
  auto r5 = pc.Receive();
  ASSERT_TRUE(r5);
  EXPECT_EQ(AsText(Slice(*r5, 0, 5)), "REPLY");
  pc.SendTo(sim.Port(9), kF9Search);
  auto r9 = pc.Receive();
  ASSERT_TRUE(r9);
  EXPECT_EQ(r9->size(), 516u);
}

}  // namespace
