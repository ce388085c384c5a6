// The control protocols against the simulated cameras of the virtual LAN (run inside the PC
// namespace by set_ip_e2e.sh; it refuses to run anywhere else). The cameras are those of
// sim/camsim/examples/lan.conf.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "core/protocols/cgi_requests.h"
#include "net/cgi/cgi_wifi_scan.h"
#include "net/cgi/device_series.h"
#include "net/ctp/ctp_socket.h"
#include "net/http/tools.h"

namespace kestrova {
namespace {

using namespace std::chrono_literals;

const std::string kGarage = "192.168.0.102";  // family 5, CTP on 81, admin/vemra
const int kGaragePort = 81;
const std::string kOffice = "192.168.0.104";  // family 9, web on 80, admin/123456
const std::string kPorch = "192.168.1.88";    // family 2, web on 80, admin/""
const std::string kLiving = "192.168.0.103";  // family 8, web on 80

CtpTimeouts Ctp() {
  CtpTimeouts t;
  t.Reply = 5000ms;
  return t;
}

// Waits (up to 15 s) until check() holds: a restarting camera comes back after a few seconds.
template <class F>
bool Eventually(F check) {
  auto until = std::chrono::steady_clock::now() + 15s;
  while (std::chrono::steady_clock::now() < until) {
    if (check()) return true;
    std::this_thread::sleep_for(200ms);
  }
  return false;
}

TEST(VlanCtp, CommandsPoolAndRestart) {
  CtpConnection c = AcquireConnection(kGarage, kGaragePort, Ctp());
  ASSERT_TRUE(c);
  EXPECT_TRUE(Keepalive(*c, Ctp()));
  EXPECT_TRUE(Login(*c, "admin", "vemra", Ctp()));
  EXPECT_FALSE(Login(*c, "admin", "wrong", Ctp()));
  EXPECT_EQ(GetOrayState(*c, Ctp()), 0);
  auto w = GetWirelessConfig(*c, Ctp());
  ASSERT_TRUE(w);
  EXPECT_EQ(w->SSID, "Home Net");
  EXPECT_EQ(w->AuthMode, "WPA2PSK");
  EXPECT_EQ(w->Enable, 1);
  TDEVWiFi set = *w;
  set.SSID = "Cafe";
  set.Key = "new key 1";
  EXPECT_TRUE(SetWirelessConfig(*c, set, Ctp()));
  auto after = GetWirelessConfig(*c, Ctp());
  ASSERT_TRUE(after);
  EXPECT_EQ(after->SSID, "Cafe");
  EXPECT_EQ(after->Key, "new key 1");
  std::vector<TCtpNetwork> nets;
  EXPECT_TRUE(ListNetworks(*c, &nets, Ctp()));
  ASSERT_EQ(nets.size(), 2u);
  EXPECT_EQ(nets[0].Text, "Home Net(78%)");
  EXPECT_EQ(AcquireConnection(kGarage, kGaragePort, Ctp()), c);  // still answers keepalive

  TRebootThread reboot(kGarage, kGaragePort, Ctp());
  reboot.Join();
  // The restart closed the connection; once the camera is back, a fresh one replaces it.
  CtpConnection fresh;
  EXPECT_TRUE(Eventually([&] {
    fresh = AcquireConnection(kGarage, kGaragePort, Ctp());
    return fresh && fresh != c && Keepalive(*fresh, Ctp());
  }));
  EXPECT_TRUE(Login(*fresh, "admin", "vemra", Ctp()));
  ReleaseConnection(fresh);
}

TEST(VlanCgi, FamiliesTwoAndEight) {
  TDevInfo porch;
  porch.DevType = 2;
  porch.IP = kPorch;
  porch.HttpPort = 80;
  std::vector<TWiFi> list;
  EXPECT_EQ(ScanCgi(porch, "admin", "", list), CgiScanStatus::Ok);
  ASSERT_FALSE(list.empty());
  EXPECT_EQ(list[0].SSID, "Home Net");
  // credential check of families 2 and 8: get_params with Basic, marker "var"
  auto r = TTools::HttpGet(CgiBase(kPorch, 80) + PathGetParams("admin", ""), "admin", "", 5000);
  EXPECT_TRUE(r.Ok);
  EXPECT_NE(r.Text.find("var"), std::string::npos);
  // reachability check of family 8: plain get_status.cgi
  EXPECT_TRUE(TTools::HttpGet(CgiBase(kLiving, 80) + PathGetStatusPlain(), {}, {}, 5000).Ok);
}

TEST(VlanCgi, FamilyNineDriver) {
  TT517Series s;
  T517NetConfig& cfg = s.NetConfig();
  (void)cfg;
  const std::string base = CgiBase(kOffice, 80);
  EXPECT_TRUE(s.CheckAuth(base, "admin", "123456"));
  EXPECT_FALSE(s.CheckAuth(base, "admin", "nope"));

  TDevInfo office;
  office.DevType = 9;
  office.IP = kOffice;
  office.HttpPort = 80;
  office.MAC = "00:1A:2B:3C:4D:5E";
  office.Version = "5.0.2.17";
  s.SetDevice(office);

  std::vector<TScanItem> scan;
  EXPECT_EQ(s.ScanWiFi("admin", "123456", scan), 2);
  ASSERT_EQ(scan.size(), 2u);
  EXPECT_EQ(scan[0].Text, "Home Net(78)");

  TWiFiParams* w = s.GetWiFiParams("admin", "123456");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->SSID, "Home Net");
  EXPECT_EQ(w->Encrypt, 4);
  EXPECT_EQ(w->WpaPsk, "homekey123");

  TFactoryParams* f = s.GetFactoryParams("admin", "123456", false);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->Index, "10");
  EXPECT_NE(f->Status, 5);
  EXPECT_NE(f->Status, 6);
  EXPECT_NE(s.SetDDNS("admin", "123456"), 2);

  TDevInfo params;
  s.GetParams(params, "admin", "123456");
  EXPECT_EQ(params.DevType, 9);
  EXPECT_EQ(params.IP, kOffice);
  EXPECT_EQ(params.HttpPort, 80);
  EXPECT_EQ(params.NetMask, "255.255.255.0");
  EXPECT_EQ(params.MAC, "00:1A:2B:3C:4D:5E");
  EXPECT_EQ(params.Name, "Office");

  // Restarting operations last: new wireless settings, then an upload.
  w->SSID = "Cafe";
  w->WpaPsk = "cafe key";
  EXPECT_EQ(s.SetWiFiParams("admin", "123456"), 1);
  EXPECT_TRUE(Eventually([&] { return s.CheckAuth(base, "admin", "123456"); }));
  auto back = TTools::HttpGet(base + PathGetParams("admin", "123456"), {}, {}, 5000);
  EXPECT_NE(back.Text.find("Cafe"), std::string::npos);

  auto file = std::filesystem::temp_directory_path() / "kestrova-e2e-fw.zip";
  std::ofstream(file, std::ios::binary) << "PK firmware for the test";
  EXPECT_TRUE(s.UpgradeFirmware(base, "admin", file.string(), "123456"));
  std::filesystem::remove(file);
  EXPECT_TRUE(Eventually([&] { return s.CheckAuth(base, "admin", "123456"); }));
}

}  // namespace
}  // namespace kestrova

int main(int argc, char** argv) {
  // Talks to the addresses of the virtual LAN: never on the host network.
  const char* guard = std::getenv("KESTROVA_VLAN_PC");
  if (!guard || std::string(guard) != "1") {
    std::fprintf(stderr, "control_vlan_e2e: runs only inside the virtual LAN (see set_ip_e2e.sh)\n");
    return 77;
  }
  ::setenv("no_proxy", "*", 1);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
