// The wireless step's requests per family against fake cameras on 127.0.0.1: the exact
// requests each path sends (written out by hand), and what each failure leads to.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "fake_ctp.h"
#include "fake_http.h"
#include "net/cgi/device_series.h"
#include "net/wifi/wifi_step.h"

namespace kestrova {
namespace {

using namespace std::chrono_literals;
using test::FakeHttpServer;
using test::HttpAnswer;
using test::HttpRequestSeen;

bool Starts(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }

TDevInfo Device(int family, uint16_t port) {
  TDevInfo d;
  d.DevType = family;
  d.IP = "127.0.0.1";
  d.HttpPort = port;
  d.MAC = "00:1A:2B:3C:4D:5E";
  return d;
}

// A camera of families 2 and 8: scan result in the family's own spelling, settings with WEP
// keys, a write answered with the page that leads to "rebootme.htm".
struct CgiCamera {
  int family = 2;
  HttpAnswer setAnswer{200, "<html>rebootme.htm</html>"};
  HttpAnswer rebootAnswer{200, "<html>reboot.htm</html>"};
  HttpAnswer scanAnswer{200, "var result=\"ok\";"};
  HttpAnswer operator()(const HttpRequestSeen& r) const {
    const std::string p = r.Path();
    const std::string blank = family == 8 ? " " : "";
    if (p.find("wifi_scan.cgi?") != std::string::npos) return scanAnswer;
    if (Starts(p, "/get_wifi_scan_result.cgi?"))
      return {200, "var ap_number=3;\r\nvar ap_ssid[0]" + blank + "=\"Home Net\";\r\nvar ap_security[0]=4;\r\n"
                   "var ap_mode[0]=0;\r\nvar ap_ssid[1]" + blank + "=\"Odd[x]\";\r\nvar ap_security[1]=6;\r\n"
                   "var ap_mode[1]=0;\r\nvar ap_ssid[2]" + blank + "=\"Old\";\r\nvar ap_security[2]=1;\r\nvar ap_mode[2]=1;\r\n"};
    if (Starts(p, "/get_params.cgi?"))
      return {200, "var wifi_enable=0;\r\nvar wifi_ssid=\"Old\";\r\nvar wifi_encrypt=1;\r\nvar wifi_mode=1;\r\n"
                   "var wifi_authtype=1;\r\nvar wifi_keyformat=1;\r\nvar wifi_defkey=2;\r\nvar wifi_key1=\"k1\";\r\n"
                   "var wifi_key3=\"k3\";\r\nvar wifi_key1_bits=1;\r\nvar wifi_wpa_psk=\"\";\r\n"};
    if (p.find("set_wifi.cgi?") != std::string::npos) return setAnswer;
    if (p.find("reboot.cgi?") != std::string::npos) return rebootAnswer;
    return {404, "not found"};
  }
};

class WiFiStepTest : public ::testing::Test {
 protected:
  void SetUp() override { test::NoProxyForLoopback(); }
  void TearDown() override { CtpPoolClear(); }
  TT517Series series_;
};

TEST_F(WiFiStepTest, CgiFamiliesSendTheirRequestsInOrder) {
  struct Case {
    int family;
    std::vector<std::string> paths;
  };
  const std::string keys =
      "&channel=5&enable=1&ssid=Home%20Net&mode=0&encrypt=4&authtype=0&keyformat=0&defkey=0&key1=k1&key2=&key3=k3"
      "&key4=&key1_bits=0&key2_bits=0&key3_bits=0&key4_bits=0&wpa_psk=my%20pass%26enable%3D0%23";
  const Case cases[] = {
      {2,
       {"/wifi_scan.cgi?user=admin&pwd=pw&next_url=wireless.htm", "/wifi_scan.cgi?user=admin&pwd=pw&next_url=wireless.htm",
        "/get_wifi_scan_result.cgi?user=admin&pwd=pw", "/get_params.cgi?user=admin&pwd=pw",
        "/set_wifi.cgi?next_url=rebootme.htm&user=admin&pwd=pw" + keys, "/reboot.cgi?next_url=reboot.htm"}},
      {8,
       {"/cgi-bin/wifi_scan.cgi?loginuse=admin&loginpas=pw&next_url=wireless.htm",
        "/get_wifi_scan_result.cgi?user=admin&pwd=pw", "/get_params.cgi?user=admin&pwd=pw",
        "/cgi-bin/set_wifi.cgi?next_url=rebootme.htm&loginuse=admin&loginpas=pw" + keys,
        "/cgi-bin/reboot.cgi?next_url=reboot.htm"}},
      // Any other family takes the family-2 path.
      {3,
       {"/wifi_scan.cgi?user=admin&pwd=pw&next_url=wireless.htm", "/wifi_scan.cgi?user=admin&pwd=pw&next_url=wireless.htm",
        "/get_wifi_scan_result.cgi?user=admin&pwd=pw", "/get_params.cgi?user=admin&pwd=pw",
        "/set_wifi.cgi?next_url=rebootme.htm&user=admin&pwd=pw" + keys, "/reboot.cgi?next_url=reboot.htm"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.family);
    CgiCamera cam;
    cam.family = c.family;
    FakeHttpServer server(cam);
    TWiFiStep step(Device(c.family, server.Port()), "admin", "pw", series_);
    std::vector<TWiFiEntry> list;
    ASSERT_EQ(step.Scan(list), TWiFiScan::Ok);
    // "Odd[x]" is listed as "Odd"; its security 6 cannot be chosen.
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].SSID, "Home Net");
    EXPECT_EQ(list[1].SSID, "Odd");
    TWiFiForm form;
    ASSERT_EQ(step.ReadSettings(list, form), TWiFiRead::Ok);
    EXPECT_FALSE(form.UseWiFi);
    EXPECT_EQ(form.SSID, "Old");
    EXPECT_EQ(form.Security, kWiFiSecWep);
    EXPECT_EQ(form.SelKey, 2);
    EXPECT_FALSE(ChooseNetwork(c.family, list[1], 1, form));
    EXPECT_EQ(form.SSID, "Old");
    ASSERT_TRUE(ChooseNetwork(c.family, list[0], 0, form));
    form.UseWiFi = true;
    form.ShareKey = " my pass&enable=0# ";
    const TWiFiApplyResult r = step.Apply(form, list, "MAC-OF-WIZARD");
    EXPECT_EQ(r.Status, TWiFiApply::Restarting);
    EXPECT_EQ(r.AwaitMac, "MAC-OF-WIZARD");
    EXPECT_EQ(server.Paths(), c.paths);
    // Every request carries the account in the Basic header too.
    for (const auto& req : server.Requests()) EXPECT_EQ(req.Header("Authorization"), "Basic YWRtaW46cHc=");
  }
}

TEST_F(WiFiStepTest, CgiFailuresEndWhereTheyHappen) {
  struct Case {
    const char* what;
    HttpAnswer scan, set, reboot;
    TWiFiScan scanStatus;
    TWiFiApply applyStatus;
    size_t requests;  // how many requests reached the camera in all
  };
  const HttpAnswer ok{200, "var result=\"ok\";"}, page{200, "rebootme.htm"};
  const Case cases[] = {
      {"scan refused", {401, "Auth Failed"}, page, ok, TWiFiScan::CantConnect, TWiFiApply::Restarting, 1 + 2},
      {"write not accepted", ok, {200, "var result=\"error\";"}, ok, TWiFiScan::Ok, TWiFiApply::NotAccepted, 3 + 1},
      {"write error page", ok, {500, "reboot failed"}, ok, TWiFiScan::Ok, TWiFiApply::NotAccepted, 3 + 1},
      {"restart refused", ok, page, {401, "Auth Failed"}, TWiFiScan::Ok, TWiFiApply::RestartFailed, 3 + 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CgiCamera cam;
    cam.scanAnswer = c.scan;
    cam.setAnswer = c.set;
    cam.rebootAnswer = c.reboot;
    FakeHttpServer server(cam);
    TWiFiStep step(Device(2, server.Port()), "admin", "pw", series_);
    std::vector<TWiFiEntry> list;
    EXPECT_EQ(step.Scan(list), c.scanStatus);
    TWiFiForm form;
    form.SSID = "Home Net";
    form.Security = kWiFiSecWpa2Aes;
    EXPECT_EQ(step.Apply(form, list, "m").Status, c.applyStatus);
    EXPECT_EQ(server.Requests().size(), c.requests);
  }
}

TEST_F(WiFiStepTest, BrokenScanRepliesListOnlyNetworks) {
  const std::string longName(5000, 'x');
  struct Case {
    const char* what;
    std::string reply;
    std::vector<std::string> ssids;
  };
  const Case cases[] = {
      {"an absurd count with two entries", "var ap_number=99999999;\r\nvar ap_ssid[0]=\"A\";\r\nvar ap_ssid[7]=\"B\";\r\n",
       {"A", "B"}},
      {"a negative count", "var ap_number=-5;\r\nvar ap_ssid[0]=\"A\";\r\n", {}},
      {"no count", "var ap_ssid[0]=\"A\";\r\n", {}},
      {"entries missing and unterminated", "var ap_number=3;\r\nvar ap_ssid[1]=\"B\";\r\nvar ap_ssid[2]=\"C", {"B"}},
      {"an overlong name", "var ap_number=2;\r\nvar ap_ssid[0]=\"" + longName + "\";\r\nvar ap_ssid[1]=\"" +
                               std::string(32, 'y') + "\";\r\n",
       {std::string(32, 'y')}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeHttpServer server([&](const HttpRequestSeen& r) -> HttpAnswer {
      if (Starts(r.Path(), "/get_wifi_scan_result.cgi?")) return {200, c.reply};
      return {200, "var result=\"ok\";"};
    });
    TWiFiStep step(Device(2, server.Port()), "admin", "pw", series_);
    std::vector<TWiFiEntry> list;
    ASSERT_EQ(step.Scan(list), TWiFiScan::Ok);
    std::vector<std::string> got;
    for (const auto& e : list) got.push_back(e.SSID);
    EXPECT_EQ(got, c.ssids);
  }
}

TEST_F(WiFiStepTest, UnreachableCameraCannotBeScannedOrRead) {
  uint16_t closedPort = 0;
  {
    FakeHttpServer gone([](const HttpRequestSeen&) { return HttpAnswer{}; });
    closedPort = gone.Port();
  }
  for (int family : {2, 8, 9, 5}) {
    SCOPED_TRACE(family);
    const TDevInfo dev = Device(family, closedPort);
    TT517Series series;
    series.SetDevice(dev);
    TWiFiStep step(dev, "admin", "pw", series);
    CtpTimeouts t;
    t.Send = 500ms;
    t.Reply = 500ms;
    step.SetTimeouts(2000, t);
    std::vector<TWiFiEntry> list;
    EXPECT_EQ(step.Scan(list), TWiFiScan::CantConnect);
    TWiFiForm form;
    if (family != 9) {
      EXPECT_EQ(step.ReadSettings(list, form), TWiFiRead::CantConnect);
    }
  }
}

// A family-9 camera's web server for the driver.
HttpAnswer Camera9(const HttpRequestSeen& r, const std::string& ssid) {
  const std::string p = r.Path();
  if (Starts(p, "/wifi_scan.cgi?")) return {200, "var result=\"ok\";"};
  if (Starts(p, "/get_wifi_scan_result.cgi?"))
    return {200, "var ap_number=2;\r\nvar ap_ssid[0]=\"Office\";\r\nvar ap_dbm0[0]='70';\r\nvar ap_security[0]=4;\r\n"
                 "var ap_mode[0]=0;\r\nvar ap_ssid[1]=\"Cafe\";\r\nvar ap_dbm0[1]='41';\r\nvar ap_security[1]=0;\r\n"};
  if (Starts(p, "/get_params.cgi?"))
    return {200, "var wifi_enable=1;\r\nvar wifi_ssid=\"" + ssid + "\";\r\nvar wifi_encrypt=4;\r\nvar wifi_mode=0;\r\n"
                 "var wifi_authtype=1;\r\nvar wifi_keyformat=1;\r\nvar wifi_defkey=2;\r\nvar wifi_key1=\"abc\";\r\n"
                 "var wifi_key4=\"def\";\r\nvar wifi_key1_bits=1;\r\nvar wifi_key4_bits=1;\r\nvar wifi_wpa_psk=\"old\";\r\n"};
  if (Starts(p, "/set_wifi.cgi?")) return {200, "rebootme.htm"};
  if (Starts(p, "/reboot.cgi?")) return {200, "ok"};
  return {404, "not found"};
}

TEST_F(WiFiStepTest, Family9GoesThroughTheDriverAndKeepsTheReportedWepKeys) {
  FakeHttpServer server([](const HttpRequestSeen& r) { return Camera9(r, "Office"); });
  T517NetConfig cfg;
  cfg.ScanResultDelayMs = 0;
  TT517Series series(cfg);
  const TDevInfo dev = Device(9, server.Port());
  series.SetDevice(dev);
  TWiFiStep step(dev, "admin", "pw", series);
  std::vector<TWiFiEntry> list;
  ASSERT_EQ(step.Scan(list), TWiFiScan::Ok);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].Text, "Office(70)");
  TWiFiForm form;
  ASSERT_EQ(step.ReadSettings(list, form), TWiFiRead::Ok);
  EXPECT_EQ(form.SSID, "Office");
  EXPECT_EQ(form.ShareKey, "old");
  EXPECT_EQ(form.Security, kWiFiSecWpa2Aes);
  // The hidden WEP fields hold something else; the driver's record is what goes out.
  form.Keys = {"x1", "x2", "x3", "x4"};
  form.ShareKey = " new key ";
  const TWiFiApplyResult r = step.Apply(form, list, "ignored");
  EXPECT_EQ(r.Status, TWiFiApply::Restarting);
  EXPECT_EQ(r.AwaitMac, dev.MAC);
  const auto paths = server.Paths();
  ASSERT_EQ(paths.size(), 5u);
  EXPECT_EQ(paths[3],
            "/set_wifi.cgi?next_url=rebootme.htm&user=admin&pwd=pw&channel=5&enable=1&ssid=Office&mode=0&encrypt=4"
            "&authtype=1&keyformat=1&defkey=2&key1=abc&key2=&key3=&key4=def&key1_bits=1&key2_bits=0&key3_bits=0"
            "&key4_bits=1&wpa_psk=new%20key");
  EXPECT_EQ(paths[4], "/reboot.cgi?next_url=reboot.htm");
}

TEST_F(WiFiStepTest, Family9SsidNotScannedShowsNothing) {
  FakeHttpServer server([](const HttpRequestSeen& r) { return Camera9(r, "Elsewhere"); });
  T517NetConfig cfg;
  cfg.ScanResultDelayMs = 0;
  TT517Series series(cfg);
  series.SetDevice(Device(9, server.Port()));
  TWiFiStep step(Device(9, server.Port()), "admin", "pw", series);
  std::vector<TWiFiEntry> list;
  ASSERT_EQ(step.Scan(list), TWiFiScan::Ok);
  TWiFiForm form;
  form.SSID.clear();
  EXPECT_EQ(step.ReadSettings(list, form), TWiFiRead::NotShown);
  EXPECT_EQ(form.SSID, "");
  EXPECT_EQ(form.Chosen, 0);
  EXPECT_TRUE(form.UseWiFi);  // the check box follows the camera's enable flag all the same
}

// A CTP camera: two networks, current settings on "Cafe".
struct CtpCamera {
  std::string current = "Cafe";
  test::FakeCamera cam;
  CtpCamera() {
    cam.answer = [this](const std::string& req) {
      const std::string cmd = test::CommandOf(req);
      if (cmd == "iwlist")
        return test::Framed("200 OK", "Home Net,00:11:22:33:44:55,1,0,2,2,78\r\nCafe,00:11:22:33:44:66,0,0,0,0,41\r\n\r\n");
      if (cmd == "cfgwnic" && req.find("-list") != std::string::npos)
        return test::Framed("200 OK", "-enable 1\r\n-ssid " + current +
                                          "\r\n-authmode NONE\r\n-encryptype \r\n-key \r\n-dhcpen 1\r\n\r\n");
      return test::Framed("200 OK", "\r\n");
    };
  }
  // The commands received, without the pool's keepalive checks.
  std::vector<std::string> Commands() {
    std::vector<std::string> out;
    for (const auto& r : cam.Log())
      if (test::CommandOf(r) != "keepalive") out.push_back(test::CommandOf(r));
    return out;
  }
  std::string Write() {
    for (const auto& r : cam.Log())
      if (test::CommandOf(r) == "cfgwnic" && r.find("-list") == std::string::npos) return r;
    return {};
  }
};

CtpTimeouts ShortCtp() {
  CtpTimeouts t;
  t.Reply = 3000ms;
  t.FramedGap = 3000ms;
  return t;
}

TEST_F(WiFiStepTest, CtpWriteSendsEnableZeroAndTheChosenNetworksKind) {
  CtpCamera cam;
  TWiFiStep step(Device(5, cam.cam.server.Port()), "admin", "vemra", series_);
  step.SetTimeouts(2000, ShortCtp());
  std::vector<TWiFiEntry> list;
  ASSERT_EQ(step.Scan(list), TWiFiScan::Ok);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].Text, "Home Net(78%)");
  TWiFiForm form;
  ASSERT_EQ(step.ReadSettings(list, form), TWiFiRead::Ok);
  EXPECT_EQ(form.Chosen, 1);
  EXPECT_EQ(form.SSID, "Cafe");
  ASSERT_TRUE(ChooseNetwork(5, list[0], 0, form));
  EXPECT_TRUE(FieldsForSecurity(5, form.Security).ShareKey);
  form.ShareKey = "homekey";
  const TWiFiApplyResult r = step.Apply(form, list, "MAC-OF-WIZARD");
  EXPECT_EQ(r.Status, TWiFiApply::Restarting);
  EXPECT_EQ(r.AwaitMac, "MAC-OF-WIZARD");
  // The restart goes from a thread of its own.
  for (int i = 0; i < 100 && cam.Commands().size() < 4; ++i) std::this_thread::sleep_for(20ms);
  ASSERT_EQ(cam.Commands(), (std::vector<std::string>{"iwlist", "cfgwnic", "cfgwnic", "restart"}));
  EXPECT_EQ(cam.Write(),
            "CMD cfgwnic CTP/1.0\r\nContent-Length:79\r\n\r\n-enable 0\r\n-ssid Home Net\r\n-authmode WPA2PSK\r\n"
            "-encryptype AES\r\n-key homekey\r\n\r\n");
}

TEST_F(WiFiStepTest, CtpApplyWithoutAListedChoiceSendsNothing) {
  struct Case {
    const char* what;
    std::string current;  // the camera's network
    int chosen;           // -2: as the read left it
  };
  const Case cases[] = {
      {"the camera's network is not in the list", "Gone", -2},
      {"the camera has no network", "", -2},
      {"a remembered position beyond the list", "Cafe", 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CtpCamera cam;
    cam.current = c.current;
    TWiFiStep step(Device(5, cam.cam.server.Port()), "admin", "vemra", series_);
    step.SetTimeouts(2000, ShortCtp());
    bool restarted = false;
    step.SetCtpRestart([&](const std::string&, int) { return restarted = true; });
    std::vector<TWiFiEntry> list;
    ASSERT_EQ(step.Scan(list), TWiFiScan::Ok);
    TWiFiForm form;
    ASSERT_EQ(step.ReadSettings(list, form), TWiFiRead::Ok);
    if (c.chosen != -2) form.Chosen = c.chosen;
    EXPECT_EQ(step.Apply(form, list, "m").Status, TWiFiApply::NoNetwork);
    EXPECT_EQ(cam.Commands(), (std::vector<std::string>{"iwlist", "cfgwnic"}));
    EXPECT_FALSE(restarted);
    CtpPoolClear();
  }
}

}  // namespace
}  // namespace kestrova
