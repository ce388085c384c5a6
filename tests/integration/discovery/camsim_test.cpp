// The engine against the camera simulator on loopback (no root needed): one camera of each
// UDP family, answering by unicast to the engine's sockets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "integration/discovery/fake_cameras.h"
#include "support/sim_process.h"

namespace kestrova {
namespace {

const char* const kConfig = R"([porch]
family = 2
identity = MOI0A1B2C3D4
name = Porch
version = 1.2.3.4:5.6.7.8
ip = 192.168.1.88
mask = 255.255.255.0
gateway = 192.168.1.1
dns1 = 192.168.1.1
http_port = 80
body_len = 64

[garage]
family = 5
mac = 00:21:6B:10:20:30
sn = CTP5000123
name = Garage
ip = 192.168.0.102
mask = 255.255.255.0
http_port = 81

[livingroom]
family = 8
mac = 00:1e:2f:40:50:60
sn = 0a0b0c0d0e0f10
name = Living room
version = V3.1.0
ip = 192.168.0.103
mask = 255.255.255.0
data_port = 9000
ddns_server = ddns.example.net:9000
ddns_user = h8c0003
ddns_pwd = secret8

[office]
family = 9
mac = 00:1A:2B:3C:4D:5E
sn = T9D0004
name = Office
ip = 192.168.0.104
mask = 255.255.255.0
http_port = 8080
dhcp = 1

[broken]
family = 5
mac = 00:21:6B:10:20:31
name = Broken
ip = 192.168.0.105
fault = oversized
)";

using testsupport::SimProcess;

TEST(EngineWithSimulator, EveryFamilyIsFoundAndTheOversizedAnswerDropped) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start(kConfig)) << sim.output;
  DiscoveryConfig cfg = testing::LoopbackConfig();
  cfg.family2Port = sim.Port(2);
  cfg.family5Port = sim.Port(5);
  cfg.family8Port = sim.Port(8);
  cfg.family9Port = sim.Port(9);
  DiscoveryEngine engine(cfg);
  ASSERT_TRUE(engine.Start());
  engine.Tick();
  const DeviceList& list = engine.List();
  ASSERT_TRUE(testing::PumpUntil(engine, {}, [&] {
    const TDevInfo* h = list.FindDevByMAC("001e2f405060");
    return list.Count() == 4 && h && h->DDnsPwd == "secret8" && engine.Stats().oversized >= 1;
  })) << list.Count();

  const TDevInfo* f2 = list.FindDevByMAC("MOI0A1B2C3D4");
  ASSERT_NE(f2, nullptr);
  EXPECT_EQ(f2->Name, "Porch");
  EXPECT_EQ(f2->Version, "1.2.3.4:5.6.7.8");
  EXPECT_EQ(f2->IPMode, 2);  // body length 64: no DHCP byte
  EXPECT_EQ(f2->DDnsServer, "");
  const TDevInfo* f5 = list.FindDevByMAC("00216B102030");
  ASSERT_NE(f5, nullptr);
  EXPECT_EQ(f5->HttpPort, 81);
  EXPECT_EQ(f5->SN, "CTP5000123");
  const TDevInfo* f8 = list.FindDevByMAC("001e2f405060");
  ASSERT_NE(f8, nullptr);
  EXPECT_EQ(f8->DataPort, 9000);
  EXPECT_EQ(f8->Version, "V3.1.0");
  EXPECT_EQ(f8->DDnsUser, "h8c0003");
  const TDevInfo* f9 = list.FindDevByMAC("00:1A:2B:3C:4D:5E");
  ASSERT_NE(f9, nullptr);
  EXPECT_EQ(f9->HttpPort, 8080);
  EXPECT_EQ(f9->IPMode, 1);
  EXPECT_EQ(list.FindDevByMAC("00216B102031"), nullptr);  // its answer was too long
  std::vector<std::string> ips;
  for (int r = 0; r < list.Count(); ++r) ips.push_back(list.DeviceAt(r).IP);
  EXPECT_EQ(ips, (std::vector<std::string>{"192.168.0.102", "192.168.0.103", "192.168.0.104", "192.168.1.88"}));
}

}  // namespace
}  // namespace kestrova
