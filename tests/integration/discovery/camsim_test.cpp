// The engine against the camera simulator on loopback (no root needed): one camera of each
// UDP family, answering by unicast to the engine's sockets.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "integration/ctp_http/fake_http.h"
#include "integration/discovery/fake_cameras.h"
#include "support/child_process.h"
#include "support/proxy_env.h"
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

// The simulator on loopback with the given cameras, and the engine's configuration for its ports.
class Simulator {
 public:
  explicit Simulator(const std::string& config = kConfig) { ready_ = sim_.Start(config); }
  bool Ready() const { return ready_; }
  DiscoveryConfig EngineConfig() const {
    DiscoveryConfig cfg = testing::LoopbackConfig();
    cfg.family2Port = sim_.Port(2);
    cfg.family5Port = sim_.Port(5);
    cfg.family8Port = sim_.Port(8);
    cfg.family9Port = sim_.Port(9);
    return cfg;
  }
  uint16_t Port(int family) const { return sim_.Port(family); }
  const std::string& Output() const { return sim_.output; }

 private:
  testsupport::SimProcess sim_;
  bool ready_ = false;
};

TEST(EngineWithSimulator, EveryFamilyIsFoundAndTheOversizedAnswerDropped) {
  Simulator sim;
  ASSERT_TRUE(sim.Ready()) << sim.Output();
  DiscoveryEngine engine(sim.EngineConfig());
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

// Cameras whose answers carry, for their own address, a text that is not a dotted-quad
// address (family 2 carries four bytes and cannot). Two of them name an address that reaches
// the test's web server on loopback, as does the one good camera `good9`, which shows that
// the server can be reached at all.
std::string UntrustedAddressConfig(uint16_t webPort) {
  const std::string web = "http_port = " + std::to_string(webPort) + "\n";
  struct Camera {
    const char *section, *family, *mac, *ip;
    std::string extra;  // further lines
  } cameras[] = {
      {"good5", "5", "00:21:6B:00:00:01", "192.168.0.11", ""},
      {"good8", "8", "00:1e:2f:00:00:01", "192.168.0.12", ""},
      {"good9", "9", "00:1A:2B:00:00:01", "127.0.0.1", web},
      {"gateway9", "9", "00:1A:2B:00:00:02", "192.168.0.13", "reported_gateway = x@host/\n"},
      {"at5", "5", "00:21:6B:00:00:02", "192.168.0.21", "reported_ip = x@host/\n"},
      {"name5", "5", "00:21:6B:00:00:03", "192.168.0.22", "reported_ip = cam.example.test\n"},
      {"port5", "5", "00:21:6B:00:00:04", "192.168.0.23", "reported_ip = 1.2.3.4:80/x\n"},
      {"parts8", "8", "00:1e:2f:00:00:02", "192.168.0.24", "reported_ip = 1.2.3.4.5\n"},
      {"junk8", "8", "00:1e:2f:00:00:03", "192.168.0.25", "reported_ip = 1.2.3.4 junk\n"},
      {"trap8", "8", "00:1e:2f:00:00:04", "192.168.0.26", web + "reported_ip = x@127.0.0.1\n"},
      {"trap9", "9", "00:1A:2B:00:00:03", "192.168.0.27", web + "reported_ip = x@127.0.0.1\n"},
      {"octal9", "9", "00:1A:2B:00:00:04", "192.168.0.28", "reported_ip = 192.168.001.020\n"},
  };
  std::string text;
  for (const Camera& c : cameras)
    text += std::string("[") + c.section + "]\nfamily = " + c.family + "\nmac = " + c.mac + "\nip = " + c.ip + "\n" +
            c.extra + "\n";
  return text;
}

TEST(EngineWithSimulator, CamerasReportingSomethingElseThanAnAddressAreNotListed) {
  test::ClearProxyEnvironment();
  test::FakeHttpServer web([](const test::HttpRequestSeen&) { return test::HttpAnswer{200, "ok\r\nvar ap_number=0;\r\n"}; });
  Simulator sim(UntrustedAddressConfig(web.Port()));
  ASSERT_TRUE(sim.Ready()) << sim.Output();
  DiscoveryEngine engine(sim.EngineConfig());
  ASSERT_TRUE(engine.Start());
  engine.Tick();
  const DeviceList& list = engine.List();
  // Every family-5 reply (4) and the family-8 search answers and information replies (4 + 4)
  // have arrived, and the good cameras are listed; then the family-9 searches end.
  ASSERT_TRUE(testing::PumpUntil(engine, {}, [&] {
    return engine.Stats().datagrams >= 12 && list.FindDevByMAC("00216B000001") && list.FindDevByMAC("001e2f000001") &&
           list.FindDevByMAC("00:1A:2B:00:00:01") && list.FindDevByMAC("00:1A:2B:00:00:02");
  })) << list.Count();
  engine.FinishSearches(5000);
  std::vector<std::string> macs;
  for (int r = 0; r < list.Count(); ++r) macs.push_back(list.DeviceAt(r).MAC);
  std::sort(macs.begin(), macs.end());
  EXPECT_EQ(macs, (std::vector<std::string>{"001e2f000001", "00216B000001", "00:1A:2B:00:00:01", "00:1A:2B:00:00:02"}));
  // A gateway text that is no address is not kept; the camera is listed.
  const TDevInfo* gw = list.FindDevByMAC("00:1A:2B:00:00:02");
  ASSERT_NE(gw, nullptr);
  EXPECT_EQ(gw->IP, "192.168.0.13");
  EXPECT_EQ(gw->Gateway, "");
  engine.Stop();

  // The wireless scan of the command line: the good camera is asked, the two whose address
  // text would lead to the same server are not found, and nothing is sent for them.
  auto scan = [&](const std::string& mac) {
    const std::string cmd = std::string(KESTROVA_CLI_PATH) + " wifi-scan --mac " + mac +
                            " --seconds 1 --broadcast 127.0.0.1 --bind 127.0.0.1 --local-ports 0,0,0,0,0"
                            " --local-port-f9 0 --port-uicam 9 --port-sq610 9 --port-f2 " + std::to_string(sim.Port(2)) +
                            " --port-f5 " + std::to_string(sim.Port(5)) + " --port-f8 " +
                            std::to_string(sim.Port(8)) + " --port-f9 " + std::to_string(sim.Port(9)) +
                            " >/dev/null 2>&1";
    return testsupport::RunShell(cmd, 30000).code;
  };
  EXPECT_EQ(scan("00:1A:2B:00:00:01"), 0);
  const std::size_t asked = web.Requests().size();
  EXPECT_GE(asked, 1u);
  EXPECT_EQ(scan("001e2f000004"), 1);       // trap8: no such camera
  EXPECT_EQ(scan("00:1A:2B:00:00:03"), 1);  // trap9
  EXPECT_EQ(web.Requests().size(), asked);
}

}  // namespace
}  // namespace kestrova
