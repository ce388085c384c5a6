// The stand-in SDK library (sim/sdk) under the assistant's driver, on loopback: the bytes it
// sends, compared with the protocol's table by hand; what it makes of a camera's answer; and
// the whole way with kestrova-camsim's family-4 cameras: found by Find, configured, found again
// at the new address, from the engine and from kestrova-cli.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "integration/discovery/fake_cameras.h"
#include "support/child_process.h"
#include "support/sim_process.h"
#include "net/discovery/discovery_engine.h"
#include "integration/sdk/sdk_samples.h"
#include "net/sdk/find_hisi.h"
#include "net/sdk/sdk_discovery.h"
#include "net/sockets/udp_socket.h"

namespace kestrova {
namespace {

using testing::HallwaySettings;
using testing::Reports;

using Bytes = std::vector<uint8_t>;

void At(Bytes& b, size_t off, std::initializer_list<int> v) {
  for (int x : v) b.at(off++) = uint8_t(x);
}
void Str(Bytes& b, size_t off, const char* s) {
  for (size_t i = 0; s[i]; ++i) b.at(off + i) = uint8_t(s[i]);
}

// Points the stand-in at a loopback address for the test's lifetime.
class SdkServer {
 public:
  explicit SdkServer(uint16_t port) { ::setenv("KESTROVA_SDK_SERVER", ("127.0.0.1:" + std::to_string(port)).c_str(), 1); }
  ~SdkServer() { ::unsetenv("KESTROVA_SDK_SERVER"); }
};


template <class F>
bool WaitFor(F cond, int ms = 5000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

TEST(StandinSdk, SearchRequestAndAnswerAsTheProtocolTableLaysThemOut) {
  UdpSocket camera;
  ASSERT_TRUE(camera.Open() && camera.Bind(0, "127.0.0.1"));
  SdkServer server(camera.LocalPort());
  Reports r;
  TFind_Hisi d(STANDIN_SDK);
  ASSERT_TRUE(d.Loaded());
  d.SetReport(r.Fn());
  ASSERT_TRUE(d.Search());
  ASSERT_EQ(camera.WaitReadable(5000), WaitResult::Readable);
  auto req = camera.Receive(2048);
  ASSERT_TRUE(req);
  ASSERT_EQ(req->data.size(), 8u);
  EXPECT_EQ(Bytes(req->data.begin(), req->data.begin() + 6), (Bytes{'D', 'V', 'S', '4', 0x01, 0x01}));

  Bytes answer(200, 0);
  At(answer, 0, {'D', 'V', 'S', '4', 0x81, 0x01, req->data[6], req->data[7]});
  At(answer, 8, {0x00, 0x40, 0x8C, 0x5A, 0x6B, 0x7C});
  At(answer, 14, {1});                                  // DHCP
  At(answer, 16, {0x51, 0x00, 0x40, 0x1F, 0x58, 0x1B});  // 81, 8000, 7000
  Str(answer, 24, "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");   // fills its 32 bytes
  Str(answer, 56, "DVS-286");
  Str(answer, 72, "192.168.0.105");
  Str(answer, 88, "255.255.255.0");
  Str(answer, 104, "192.168.0.1");
  Str(answer, 120, "192.168.0.2");
  Str(answer, 136, "relay.example.net");
  ASSERT_TRUE(camera.SendTo(req->fromIp, req->fromPort, answer));
  ASSERT_TRUE(camera.SendTo(req->fromIp, req->fromPort, answer));  // one report per camera and search
  ASSERT_TRUE(camera.SendTo(req->fromIp, req->fromPort, Bytes(answer.begin(), answer.begin() + 199)));
  Bytes second = answer;  // another camera, sent last: once it is reported, the rest was read
  second[13] = 0x7D;
  ASSERT_TRUE(camera.SendTo(req->fromIp, req->fromPort, second));
  ASSERT_TRUE(WaitFor([&] { return r.Count() >= 2; }));
  ASSERT_EQ(r.Count(), 2u);
  EXPECT_EQ(r.got[1].MAC, "00408c5a6b7d");
  const TDevInfo& got = r.got[0];
  EXPECT_EQ(got.DevType, 4);
  EXPECT_EQ(got.MAC, "00408c5a6b7c");
  EXPECT_EQ(got.Name, "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");
  EXPECT_EQ(got.IP, "192.168.0.105");
  EXPECT_EQ(got.NetMask, "255.255.255.0");
  EXPECT_EQ(got.Gateway, "192.168.0.1");
  EXPECT_EQ(got.DNS1, "192.168.0.2");
  EXPECT_EQ(got.AuxAddr, "relay.example.net");
  EXPECT_EQ(got.HttpPort, 81);
  EXPECT_EQ(got.DataPort, 8000);
  EXPECT_EQ(got.AuxPort, 7000);
  EXPECT_EQ(got.IPMode, 1);
}

TEST(StandinSdk, ConfigurationRequestAndTheCamerasVerdict) {
  UdpSocket camera;
  ASSERT_TRUE(camera.Open() && camera.Bind(0, "127.0.0.1"));
  SdkServer server(camera.LocalPort());
  ::setenv("KESTROVA_SDK_CONFIG_WAIT_MS", "300", 1);
  TFind_Hisi d(STANDIN_SDK);
  const TDevInfo rec = HallwaySettings();

  Bytes want(264, 0);
  At(want, 0, {'D', 'V', 'S', '4', 0x02, 0x01});
  At(want, 8, {0x00, 0x40, 0x8C, 0x5A, 0x6B, 0x7C});
  At(want, 14, {0});
  At(want, 16, {0x52, 0x00, 0x40, 0x1F, 0x58, 0x1B});
  Str(want, 24, "Hallway");
  Str(want, 72, "192.168.0.150");
  Str(want, 88, "255.255.255.0");
  Str(want, 104, "192.168.0.1");
  Str(want, 120, "8.8.8.8");
  Str(want, 136, "relay.example.net");
  Str(want, 200, "admin");
  Str(want, 232, "vemra");

  // The camera's verdict: taken, wrong credentials, another camera's answer, none at all.
  struct Case {
    const char* what;
    int status;
    bool otherMac, answer;
    bool ok;
  } cases[] = {
      {"taken", 0, false, true, true},
      {"wrong credentials", 1, false, true, false},
      {"answer of another camera", 0, true, true, false},
      {"no answer", 0, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes got;
    std::thread cam([&] {
      if (camera.WaitReadable(5000) != WaitResult::Readable) return;
      auto q = camera.Receive(2048);
      if (!q) return;
      got = q->data;
      if (!c.answer || got.size() < 8) return;
      Bytes a = {'D', 'V', 'S', '4', 0x82, 0x01, got[6], got[7], 0x00, 0x40, 0x8C, 0x5A, 0x6B, 0x7C, uint8_t(c.status), 0};
      if (c.otherMac) a[13] = 0x7D;
      camera.SendTo(q->fromIp, q->fromPort, a);
    });
    EXPECT_EQ(d.Configure(rec), c.ok);
    cam.join();
    ASSERT_EQ(got.size(), 264u);
    want[6] = got[6], want[7] = got[7];  // the sequence number is the library's
    EXPECT_EQ(got, want);
  }
  ::unsetenv("KESTROVA_SDK_CONFIG_WAIT_MS");
}

TEST(StandinSdk, OnTheHostNetworkItSendsToLoopbackOnly) {
  ::unsetenv("KESTROVA_SDK_SERVER");  // the limited broadcast
  TFind_Hisi d(STANDIN_SDK);
  ASSERT_TRUE(d.Loaded());
  EXPECT_FALSE(d.Search());
  TDevInfo rec;
  rec.MAC = "00408c5a6b7c";
  rec.IP = "192.168.0.150";
  EXPECT_FALSE(d.Configure(rec));
}

const char* const kCameras = R"([hallway]
family = 4
mac = 00:40:8C:5A:6B:7C
name = Hallway
ip = 192.168.0.105
mask = 255.255.255.0
gateway = 192.168.0.1
http_port = 80
data_port = 8000
aux_addr = relay.example.net
aux_port = 7000
pwd = vemra

[stairs]
family = 4
mac = 00:40:8C:5A:6B:7D
name = Stairs
ip = 192.168.0.106
mask = 255.255.255.0
dhcp = 1

[garage]
family = 5
mac = 00:21:6B:10:20:30
name = Garage
ip = 192.168.0.102
)";

TEST(StandinSdk, FindListsTheSimulatedCamerasAndConfigurationMovesOne) {
  testsupport::SimProcess sim;
  ASSERT_TRUE(sim.Start(kCameras)) << sim.output;
  SdkServer server(sim.Port(4));
  DiscoveryConfig cfg = testing::LoopbackConfig();
  cfg.family9Enabled = false;
  DiscoveryEngine engine(cfg);
  ASSERT_TRUE(engine.Start());
  TSdkDiscovery sdk(engine, STANDIN_SDK);
  const DeviceList& list = engine.List();
  engine.Find();
  ASSERT_TRUE(testing::PumpUntil(engine, {}, [&] { return list.Count() == 2; }));
  const TDevInfo* hall = list.FindDevByMAC("00408c5a6b7c");
  ASSERT_NE(hall, nullptr);
  EXPECT_EQ(hall->AuxAddr, "relay.example.net");
  EXPECT_EQ(hall->AuxPort, 7000);
  EXPECT_EQ(list.FindDevByMAC("00408c5a6b7d")->IPMode, 1);

  TDevInfo rec = *hall;
  rec.IP = "192.168.0.150";
  rec.HttpPort = 82;
  rec.User = "admin";
  rec.Pwd = "wrong";
  EXPECT_FALSE(sdk.Configure(rec));
  rec.Pwd = "vemra";
  EXPECT_TRUE(sdk.Configure(rec));
  engine.Find();
  ASSERT_TRUE(testing::PumpUntil(engine, {}, [&] {
    const TDevInfo* d = list.FindDevByMAC("00408c5a6b7c");
    return list.Count() == 2 && d && d->IP == "192.168.0.150";
  }));
  EXPECT_EQ(list.FindDevByMAC("00408c5a6b7c")->HttpPort, 82);
  EXPECT_EQ(list.FindDevByMAC("00408c5a6b7c")->AuxAddr, "relay.example.net");  // handed back, kept
}

// Standard output of a command line (bounded), and its exit code in *rc.
std::string RunCommand(const std::string& cmd, int* rc) {
  const testsupport::CommandResult r = testsupport::RunShell(cmd, 30000, {.capture_stderr = false});
  *rc = r.code;
  return r.output;
}

TEST(StandinSdk, CommandLineListsAndConfiguresFamilyFourThroughTheLibraryBesideIt) {
  testsupport::SimProcess sim;
  ASSERT_TRUE(sim.Start(kCameras)) << sim.output;
  // The loopback options of every command; the family-5 camera answers on its port.
  const std::string engineOptions = " --broadcast 127.0.0.1 --bind 127.0.0.1 --local-ports 0,0,0,0,0 --local-port-f9 0"
                                    " --port-f2 9 --port-uicam 9 --port-sq610 9 --port-f8 9 --port-f9 9 --port-f5 " +
                                    std::to_string(sim.Port(5));
  const std::string env = "KESTROVA_SDK_SERVER=127.0.0.1:" + std::to_string(sim.Port(4)) + " ";
  const std::string cli = env + KESTROVA_CLI_PATH;
  int rc = -1;
  std::string out = RunCommand(cli + " discover --seconds 1" + engineOptions, &rc);
  EXPECT_EQ(rc, 0);
  EXPECT_NE(out.find("H    Hallway"), std::string::npos) << out;
  EXPECT_NE(out.find("H    Stairs"), std::string::npos) << out;
  EXPECT_NE(out.find("E    Garage"), std::string::npos) << out;
  EXPECT_NE(out.find("3 camera(s)"), std::string::npos) << out;

  out = RunCommand(cli + " set-ip --mac 00408c5a6b7c --ip 192.168.0.151 --seconds 2 --password wrong" + engineOptions + " 2>&1", &rc);
  EXPECT_EQ(rc, 2) << out;
  EXPECT_NE(out.find("did not accept"), std::string::npos) << out;
  // Without --password the family's default account is used (the camera has it).
  out = RunCommand(cli + " set-ip --mac 00408c5a6b7c --ip 192.168.0.151 --seconds 2" + engineOptions + " 2>&1", &rc);
  EXPECT_EQ(rc, 0) << out;
  EXPECT_NE(out.find("family 4"), std::string::npos) << out;
  EXPECT_NE(out.find("accepted"), std::string::npos) << out;

  out = RunCommand(cli + " discover --json --seconds 1" + engineOptions, &rc);
  EXPECT_EQ(rc, 0);
  EXPECT_NE(out.find(R"("DevType": 4, "MAC": "00408c5a6b7c", "SN": "", "Name": "Hallway", "Version": "", "IP": "192.168.0.151")"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find(R"("AuxAddr": "relay.example.net")"), std::string::npos) << out;

  // Without the library beside it, family 4 is simply not found.
  out = RunCommand(env + "KESTROVA_PROGRAM_DIR=/nonexistent " + KESTROVA_CLI_PATH + " discover --seconds 1" + engineOptions, &rc);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(out.find("Hallway"), std::string::npos) << out;
  EXPECT_NE(out.find("1 camera(s)"), std::string::npos) << out;
}

}  // namespace
}  // namespace kestrova
