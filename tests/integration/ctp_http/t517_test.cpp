// The CGI family driver against a fake camera web server and a fake UDP settings peer, all
// on 127.0.0.1.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "core/protocols/setnet_packets.h"
#include "fake_http.h"
#include "net/cgi/cgi_wifi_scan.h"
#include "net/cgi/device_series.h"
#include "net/setnet/setnet.h"
#include "net/sockets/udp_socket.h"

namespace kestrova {
namespace {

using test::FakeHttpServer;
using test::HttpAnswer;
using test::HttpRequestSeen;

bool Starts(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }

// A family-9 camera's web server: the catalogue requests it knows, with "admin"/"pw".
HttpAnswer Camera9(const HttpRequestSeen& r) {
  const std::string p = r.Path();
  const bool good = p.find("user=admin&pwd=pw") != std::string::npos ||
                    p.find("loginuse=admin&loginpas=pw") != std::string::npos;
  if (Starts(p, "/get_params.cgi?user=")) {
    if (!good) return {401, "Auth Failed"};
    return {200, "var wifi_enable=1;\r\nvar wifi_ssid=\"Home\";\r\nvar wifi_encrypt=4;\r\nvar wifi_wpa_psk=\"k\";\r\n"};
  }
  if (Starts(p, "/wifi_scan.cgi?")) return {200, good ? "ok" : "Auth Failed"};
  if (Starts(p, "/get_wifi_scan_result.cgi?"))
    return {200,
            "var ap_number=2;\r\nvar ap_ssid[0]=\"Office\";\r\nvar ap_dbm0[0]='70';\r\nvar ap_security[0]=4;\r\n"
            "var ap_ssid[5]=\"Ignored\";\r\n"};
  if (Starts(p, "/set_wifi.cgi?")) return {200, p.find("ssid=NoReboot") != std::string::npos ? "bad" : "rebootme"};
  if (Starts(p, "/reboot.cgi?next_url=reboot.htm"))
    return r.HasHeader("Authorization") ? HttpAnswer{200, "ok"} : HttpAnswer{401, "need auth", true};
  if (Starts(p, "/get_factory_param.cgi?"))
    return {200, "var factory_index=10;\r\nvar factory_server=\"ddns.example\";\r\nvar factory_port=0;\r\n"
                 "var factory_user=\"x1\";\r\nvar factory_passwd=\"p1\";\r\n"};
  if (Starts(p, "/set_ddns.cgi?")) return {200, "ok"};
  if (Starts(p, "/set_default.cgi?")) return {200, "OK"};
  if (Starts(p, "/get_Status.cgi?")) return {200, "var sys_ver=\"84.2.0.120\";\r\n"};
  if (Starts(p, "/upgrade_")) return {200, "upgraded"};
  if (Starts(p, "/get_params.cgi?loginuse="))
    return {200, "ip=127.0.0.1\r\nmask=255.0.0.0\r\ngeteway=127.0.0.254\r\nport=8081\r\ndhcpen=0\r\n"};
  if (Starts(p, "/get_status.cgi?loginuse=")) return {200, "mac=00:1A:2B:3C:4D:5E\r\nalias=Door\r\nsys_ver=9.1.0.5\r\n"};
  return {404, "not found"};
}

class T517Test : public ::testing::Test {
 protected:
  void SetUp() override {
    test::NoProxyForLoopback();
    cfg_.ScanResultDelayMs = 0;
  }
  TDevInfo CameraAt(uint16_t port, std::string version = "9.1.0.5") {
    TDevInfo d;
    d.DevType = 9;
    d.IP = "127.0.0.1";
    d.HttpPort = port;
    d.MAC = "00:1A:2B:3C:4D:5E";
    d.Version = std::move(version);
    return d;
  }
  T517NetConfig cfg_;
};

TEST_F(T517Test, CheckAuthAndCurrentDevice) {
  FakeHttpServer cam(Camera9);
  TT517Series s(cfg_);
  EXPECT_EQ(s.GetDevice(), nullptr);
  EXPECT_TRUE(s.CheckAuth(cam.Base(), " admin ", "pw\t"));  // both trimmed
  EXPECT_FALSE(s.CheckAuth(cam.Base(), "admin", "wrong"));
  EXPECT_EQ(cam.Paths()[0], "/get_params.cgi?user=admin&pwd=pw");
  s.SetDevice(CameraAt(cam.Port()));
  ASSERT_NE(s.GetDevice(), nullptr);
  EXPECT_EQ(s.GetDevice()->HttpPort, cam.Port());
}

TEST_F(T517Test, ScanWiFiListsEveryIndexBelowTheCount) {
  FakeHttpServer cam(Camera9);
  TT517Series s(cfg_);
  s.SetDevice(CameraAt(cam.Port()));
  std::vector<TScanItem> list{{"stale", {}}};
  EXPECT_EQ(s.ScanWiFi("admin", "pw", list), 2);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].Text, "Office(70)");
  EXPECT_EQ(list[0].Rec.Security, 4);
  EXPECT_EQ(list[1].Text, "()");
  EXPECT_EQ(cam.Paths(), (std::vector<std::string>{"/wifi_scan.cgi?user=admin&pwd=pw",
                                                   "/get_wifi_scan_result.cgi?user=admin&pwd=pw"}));
  EXPECT_EQ(s.ScanWiFi("admin", "wrong", list), -1);
  EXPECT_TRUE(list.empty());
}

TEST_F(T517Test, WiFiParamsAreKeptAndSent) {
  FakeHttpServer cam(Camera9);
  TT517Series s(cfg_);
  s.SetDevice(CameraAt(cam.Port()));
  EXPECT_EQ(s.SetWiFiParams("admin", "pw"), 0);  // nothing read yet: nothing to send
  TWiFiParams* w = s.GetWiFiParams("admin", "pw");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->SSID, "Home");
  EXPECT_EQ(w->Encrypt, 4);
  EXPECT_EQ(s.GetWiFiParams("admin", "pw"), w);  // kept: no second request
  EXPECT_EQ(cam.Requests().size(), 1u);

  w->SSID = "New Net";
  EXPECT_EQ(s.SetWiFiParams("admin", "pw"), 1);
  auto paths = cam.Paths();
  ASSERT_EQ(paths.size(), 3u);
  EXPECT_EQ(paths[1],
            "/set_wifi.cgi?next_url=rebootme.htm&user=admin&pwd=pw&channel=5&enable=1&ssid=New%20Net&mode=0&encrypt=4"
            "&authtype=0&keyformat=0&defkey=0&key1=&key2=&key3=&key4=&key1_bits=0&key2_bits=0&key3_bits=0"
            "&key4_bits=0&wpa_psk=k");
  EXPECT_EQ(paths[2], "/reboot.cgi?next_url=reboot.htm");
  EXPECT_EQ(cam.Requests()[2].Header("Authorization"), "Basic YWRtaW46cHc=");

  w->SSID = "NoReboot";  // the reply lacks "reboot": 0 and no restart request
  EXPECT_EQ(s.SetWiFiParams("admin", "pw"), 0);
  EXPECT_EQ(cam.Requests().size(), 4u);
}

// The kept records belong to the camera they were read from: after a switch to another
// camera they are read anew, and a record of the first camera is never sent to the second.
TEST_F(T517Test, KeptRecordsFollowTheCurrentCamera) {
  FakeHttpServer cam(Camera9);
  TT517Series s(cfg_);
  s.SetDevice(CameraAt(cam.Port()));
  TWiFiParams* w = s.GetWiFiParams("admin", "pw");
  ASSERT_NE(w, nullptr);
  w->SSID = "Edited for camera 1";
  ASSERT_NE(s.GetFactoryParams("admin", "pw", true), nullptr);
  const size_t before = cam.Requests().size();

  TDevInfo same = CameraAt(cam.Port());
  same.IP = "127.0.0.1";  // the same camera again (same MAC): nothing is dropped
  s.SetDevice(same);
  EXPECT_EQ(s.GetWiFiParams("admin", "pw"), w);
  EXPECT_EQ(w->SSID, "Edited for camera 1");
  EXPECT_EQ(cam.Requests().size(), before);

  TDevInfo other = CameraAt(cam.Port());
  other.MAC = "00:1A:2B:3C:4D:99";
  s.SetDevice(other);
  EXPECT_EQ(s.SetWiFiParams("admin", "pw"), 0);  // the first camera's record is not sent
  EXPECT_EQ(cam.Requests().size(), before);
  EXPECT_EQ(s.SetDDNS("admin", "pw"), kSetDdnsNoRecord);  // nothing read from this camera yet
  EXPECT_EQ(cam.Requests().size(), before);                 // and nothing sent, camera 1's least of all
  TWiFiParams* again = s.GetWiFiParams("admin", "pw");
  EXPECT_EQ(again, w);  // same record, read anew from the current camera
  EXPECT_EQ(again->SSID, "Home");
  const size_t n = cam.Requests().size();
  s.GetFactoryParams("admin", "pw", true);  // the cache of camera 1 is not used for camera 2
  EXPECT_EQ(cam.Requests().size(), n + 1);
}

TEST_F(T517Test, WiFiParamsWithoutMarkerOrServer) {
  FakeHttpServer cam([](const HttpRequestSeen&) { return HttpAnswer{200, "no marker"}; });
  TT517Series s(cfg_);
  s.SetDevice(CameraAt(cam.Port()));
  EXPECT_EQ(s.GetWiFiParams("admin", "pw"), nullptr);
  ASSERT_NE(s.GetWiFiParams("admin", "pw"), nullptr);  // the empty record stays and is returned
  EXPECT_EQ(*s.GetWiFiParams("admin", "pw"), TWiFiParams{});
}

TEST_F(T517Test, FactoryParamsStatusAndDdns) {
  FakeHttpServer cam(Camera9);
  TT517Series s(cfg_);
  s.SetDevice(CameraAt(cam.Port()));
  TFactoryParams* f = s.GetFactoryParams("admin", "pw", false);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->Status, 3);  // port 0
  EXPECT_EQ(s.GetFactoryParams("admin", "pw", true), f);
  EXPECT_EQ(cam.Requests().size(), 1u);  // cached
  f->Port = "8080";
  EXPECT_EQ(s.SetDDNS("admin", "pw"), 0);
  EXPECT_EQ(cam.Paths().back(),
            "/set_ddns.cgi?service=11&user=x1&pwd=p1&host=&proxy_svr=ddns.example&proxy_port=8080"
            "&restart_dyndns=&loginuse=admin&loginpas=pw");

  uint16_t closedPort;
  {
    test::FakeTcpServer gone([](int, int) {});
    closedPort = gone.Port();
  }
  s.SetDevice(CameraAt(closedPort));
  EXPECT_EQ(s.GetFactoryParams("admin", "pw", false)->Status, 6);
  EXPECT_EQ(s.SetDDNS("admin", "pw"), 2);
}

// SetDDNS sends the factory record read from the camera. Without one there is no account to
// send: it refuses, without a request, rather than sending an empty account that the camera
// would take (and answer "ok" to).
TEST_F(T517Test, SetDdnsWithoutAFactoryRecordIsRefused) {
  std::string factoryReply = "no marker";
  FakeHttpServer cam([&](const HttpRequestSeen& r) {
    if (Starts(r.Path(), "/get_factory_param.cgi?")) return HttpAnswer{200, factoryReply};
    return Camera9(r);
  });
  TT517Series s(cfg_);
  s.SetDevice(CameraAt(cam.Port()));
  EXPECT_EQ(s.SetDDNS("admin", "pw"), kSetDdnsNoRecord);  // never read
  EXPECT_TRUE(cam.Requests().empty());
  for (const char* reply : {"no marker", "var factory_index=;"}) {  // statuses 5 and 1: no account read
    factoryReply = reply;
    s.GetFactoryParams("admin", "pw", false);
    EXPECT_EQ(s.SetDDNS("admin", "pw"), kSetDdnsNoRecord) << reply;
  }
  EXPECT_EQ(cam.Requests().size(), 2u);
  factoryReply = "var factory_index=10;\r\nvar factory_server=\"d.example\";\r\nvar factory_port=80;\r\n"
                 "var factory_user=\"x1\";\r\nvar factory_passwd=\"p1\";\r\n";
  EXPECT_EQ(s.GetFactoryParams("admin", "pw", false)->Status, 0);
  EXPECT_EQ(s.SetDDNS("admin", "pw"), 0);
  EXPECT_EQ(Starts(cam.Paths().back(), "/set_ddns.cgi?service=11&user=x1&pwd=p1&"), true);
}

TEST_F(T517Test, UpgradeUploadsToTheBaseItsVersionSelects) {
  FakeHttpServer cam(Camera9);
  TT517Series s(cfg_);
  auto dir = std::filesystem::temp_directory_path() / ("kestrova_t517_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  auto file = dir / "fw.zip";
  std::ofstream(file, std::ios::binary) << "ZIPDATA";
  // No current device: the version comes from get_Status.cgi (84.2.0.120: the given base).
  EXPECT_TRUE(s.UpgradeFirmware(cam.Base(), "admin", file.string(), "pw"));
  auto paths = cam.Paths();
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_EQ(paths[0], "/get_Status.cgi?user=admin&pwd=pw");
  EXPECT_EQ(paths[1], "/upgrade_firmware.cgi?loginuse=admin&loginpas=pw");
  EXPECT_NE(cam.Requests()[1].body.find("ZIPDATA"), std::string::npos);
  // With a current device its version decides without a request.
  s.SetDevice(CameraAt(cam.Port(), "84.2.0.1"));
  EXPECT_TRUE(s.UpgradeHtmls(cam.Base(), "admin", file.string(), "pw"));
  EXPECT_EQ(cam.Paths().back(), "/upgrade_htmls.cgi?loginuse=admin&loginpas=pw");
  EXPECT_EQ(cam.Requests().size(), 3u);
  std::filesystem::remove_all(dir);
}

TEST_F(T517Test, NoRequestToACameraWithoutADottedQuadAddress) {
  // The address would reach the fake camera if it were put into a URL as it stands.
  FakeHttpServer cam(Camera9);
  const std::string named = "http://x@127.0.0.1:" + std::to_string(cam.Port());
  TT517Series s(cfg_);
  auto dir = std::filesystem::temp_directory_path() / ("kestrova_t517n_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string file = (dir / "fw.zip").string();
  std::ofstream(file, std::ios::binary) << "ZIPDATA";
  TDevInfo d = CameraAt(cam.Port(), "84.2.0.1");  // uploads to the given base
  d.IP = "x@127.0.0.1";
  s.SetDevice(d);
  std::vector<TScanItem> list;
  EXPECT_EQ(s.ScanWiFi("admin", "pw", list), -1);
  TWiFiParams* w = s.GetWiFiParams("admin", "pw");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->SSID, "");  // as after a failed request
  EXPECT_EQ(s.SetWiFiParams("admin", "pw"), 0);
  EXPECT_EQ(s.GetFactoryParams("admin", "pw", false)->Status, 6);
  EXPECT_EQ(s.SetDDNS("admin", "pw"), kSetDdnsNoRecord);  // no factory record was read
  EXPECT_FALSE(s.SetDefault("admin", "pw"));
  EXPECT_FALSE(s.SetFactoryParams("admin", "pw", "", d, d));
  TDevInfo params;
  s.GetParams(params, "admin", "pw");
  EXPECT_EQ(params.DevType, -1);
  EXPECT_FALSE(s.CheckAuth(named, "admin", "pw"));
  EXPECT_FALSE(s.UpgradeFirmware(named, "admin", file, "pw"));
  s.ClearDevice();
  EXPECT_FALSE(s.UpgradeHtmls(named, "admin", file, "pw"));
  for (int family : {2, 8}) {
    d.DevType = family;
    std::vector<TWiFi> nets;
    EXPECT_EQ(ScanCgi(d, "admin", "pw", nets), CgiScanStatus::CantConnect) << family;
  }
  EXPECT_TRUE(cam.Requests().empty());
  std::filesystem::remove_all(dir);
}

TEST_F(T517Test, SetDefaultAndGetParams) {
  FakeHttpServer cam(Camera9);
  TT517Series s(cfg_);
  s.SetDevice(CameraAt(cam.Port()));
  EXPECT_TRUE(s.SetDefault("admin", "pw"));  // "OK" lower-cased
  TDevInfo d;
  s.GetParams(d, "admin", "pw");
  EXPECT_EQ(d.DevType, 9);
  EXPECT_EQ(d.IP, "127.0.0.1");
  EXPECT_EQ(d.HttpPort, 8081);
  EXPECT_EQ(d.IPMode, 2);
  EXPECT_EQ(d.MAC, "00:1A:2B:3C:4D:5E");
  EXPECT_EQ(d.Version, "9.1.0.5");
  EXPECT_EQ(d.User, "admin");
}

// A UDP peer on 127.0.0.1 that answers a settings packet with the datagrams given.
class FakeSettingsPeer {
 public:
  explicit FakeSettingsPeer(std::vector<std::vector<uint8_t>> answers) : answers_(std::move(answers)) {
    EXPECT_TRUE(sock_.Bind(0, "127.0.0.1"));
    thread_ = std::thread([this] {
      if (sock_.WaitReadable(5000) != WaitResult::Readable) return;
      auto d = sock_.Receive(2048);
      if (!d) return;
      received_ = d->data;
      for (const auto& a : answers_) sock_.SendTo(d->fromIp, d->fromPort, a);
    });
  }
  ~FakeSettingsPeer() {
    if (thread_.joinable()) thread_.join();
  }
  uint16_t Port() const { return sock_.LocalPort(); }
  std::vector<uint8_t> Received() {
    if (thread_.joinable()) thread_.join();
    return received_;
  }

 private:
  UdpSocket sock_;
  std::vector<std::vector<uint8_t>> answers_;
  std::vector<uint8_t> received_;
  std::thread thread_;
};

std::vector<uint8_t> Answer(uint32_t status, uint8_t sub = 0x02, uint8_t dir = 0x08) {
  std::vector<uint8_t> a(328, 0);
  a[0] = 0x44, a[1] = 0x48, a[2] = sub, a[3] = dir;
  for (int i = 0; i < 4; ++i) a[324 + i] = static_cast<uint8_t>(status >> (8 * i));
  return a;
}

TEST_F(T517Test, SetNetParamsWaitsForTheAnswer) {
  struct Case {
    std::vector<std::vector<uint8_t>> answers;
    bool accepted;
  } cases[] = {
      {{Answer(0x8000)}, true},
      {{Answer(0x0000)}, false},
      {{}, false},                                                          // nobody answers
      {{Answer(0x8000, 0x01, 0x08), {1, 2, 3}, Answer(0x8000)}, true},       // others are skipped
  };
  for (const auto& c : cases) {
    FakeSettingsPeer peer(c.answers);
    T517NetConfig cfg;
    cfg.LocalPort = 0;
    cfg.BindAddress = "127.0.0.1";
    cfg.BroadcastAddress = "127.0.0.1";
    cfg.DestPort = peer.Port();
    cfg.AnswerWaitMs = 1000;  // generous on a loaded machine; the peer answers at once
    TT517Series s(cfg);
    TDevInfo rec = CameraAt(81);
    rec.IP = "192.168.1.80";
    EXPECT_EQ(s.SetNetParams("192.168.1.70", 8600, "admin", "pw", rec, CameraAt(81)), c.accepted);
    EXPECT_EQ(peer.Received(), BuildFamily9Set(rec, "admin", "pw"));
  }
}

TEST_F(T517Test, SetFactoryParamsByVersion) {
  FakeHttpServer cam([](const HttpRequestSeen& r) {
    if (Starts(r.Path(), "/set_factory_param.cgi?")) return HttpAnswer{200, "ok"};
    if (Starts(r.Path(), "/reboot.cgi?loginuse=")) return HttpAnswer{200, "rebooting"};
    if (Starts(r.Path(), "/set_default.cgi?")) return HttpAnswer{200, "ok"};
    return HttpAnswer{404, "no"};
  });
  const std::string factory =
      "/set_factory_param.cgi?user=admin&pwd=pw&mac=00:1a:2b:3c:4d:5e&wifimac=00:1a:2b:3c:4d:5f&heartbeat=180";
  TDevInfo rec = CameraAt(cam.Port());
  rec.MAC = "001A2B3C4D5E";
  {
    // older firmware, same address: restart through reboot.cgi
    TT517Series s(cfg_);
    s.SetDevice(CameraAt(cam.Port(), "48.2.0.120"));
    EXPECT_TRUE(s.SetFactoryParams(" admin", "pw ", "001A2B3C4D5F", rec, rec));
    EXPECT_EQ(cam.Paths(), (std::vector<std::string>{factory, "/reboot.cgi?loginuse=admin&loginpas=pw"}));
  }
  {
    // newer firmware: back to defaults
    TT517Series s(cfg_);
    s.SetDevice(CameraAt(cam.Port(), "48.2.0.121"));
    EXPECT_TRUE(s.SetFactoryParams("admin", "pw", "001A2B3C4D5F", rec, rec));
    EXPECT_EQ(cam.Paths().back(), "/set_default.cgi?&loginuse=admin&loginpas=pw");
  }
  {
    // older firmware, the compared record has another address: the settings packet decides
    FakeSettingsPeer peer({Answer(0x0000)});
    T517NetConfig cfg = cfg_;
    cfg.LocalPort = 0;
    cfg.BindAddress = "127.0.0.1";
    cfg.BroadcastAddress = "127.0.0.1";
    cfg.DestPort = peer.Port();
    cfg.AnswerWaitMs = 1000;
    TT517Series s(cfg);
    s.SetDevice(CameraAt(cam.Port(), "10.0.0.1"));
    TDevInfo compared = rec;
    compared.IP = "192.168.1.99";
    const size_t before = cam.Requests().size();
    EXPECT_FALSE(s.SetFactoryParams("admin", "pw", "001A2B3C4D5F", rec, compared));  // refused
    EXPECT_EQ(peer.Received().size(), 324u);
    EXPECT_EQ(cam.Requests().size(), before + 1);  // no restart request
  }
  {
    uint16_t closedPort;
    {
      test::FakeTcpServer gone([](int, int) {});
      closedPort = gone.Port();
    }
    TT517Series s(cfg_);
    s.SetDevice(CameraAt(closedPort, "48.2.0.120"));
    EXPECT_FALSE(s.SetFactoryParams("admin", "pw", "001A2B3C4D5F", rec, rec));
  }
}

TEST_F(T517Test, ApplySettingsByFamily) {
  UdpSocket sink;
  ASSERT_TRUE(sink.Bind(0, "127.0.0.1"));
  UdpSocket from;
  ASSERT_TRUE(from.Bind(0, "127.0.0.1"));
  SettingsTransport t;
  t.Family2 = t.Family5 = t.Family8 = UdpSender(from, "127.0.0.1", sink.LocalPort());
  TT517Series series(cfg_);
  t.Series = &series;

  auto receive = [&]() -> std::vector<uint8_t> {
    if (sink.WaitReadable(2000) != WaitResult::Readable) return {};
    auto d = sink.Receive(2048);
    return d ? d->data : std::vector<uint8_t>{};
  };
  TDevInfo d;
  d.IP = "192.168.1.20";
  d.NetMask = "255.255.255.0";
  d.Gateway = "192.168.1.1";
  d.DNS1 = "8.8.8.8";
  d.DNS2 = "8.8.4.4";
  d.MAC = "001122aabbcc";
  d.HttpPort = 81;

  d.DevType = 2;
  EXPECT_TRUE(ApplySettings(d, d, "admin", "pw", t));
  EXPECT_EQ(receive().size(), 84u);
  d.DevType = 5;
  EXPECT_TRUE(ApplySettings(d, d, "admin", "pw", t));
  auto text = receive();
  EXPECT_EQ(std::string(text.begin(), text.begin() + 19), "CMD setip CTP/1.0\r\n");
  d.DevType = 8;
  EXPECT_TRUE(ApplySettings(d, d, "admin", "pw", t));
  EXPECT_EQ(receive().size(), 264u);
  d.DevType = 4;
  EXPECT_FALSE(ApplySettings(d, d, "admin", "pw", t));
  EXPECT_EQ(sink.WaitReadable(100), WaitResult::Timeout);  // nothing sent
  TDevInfo bad = d;
  bad.DevType = 2;
  bad.Gateway = "192.168.1";
  EXPECT_FALSE(ApplySettings(d, bad, "admin", "pw", t));
  EXPECT_EQ(sink.WaitReadable(100), WaitResult::Timeout);
}

TEST_F(T517Test, ScanCgiOfFamilies2And8) {
  FakeHttpServer cam([](const HttpRequestSeen& r) {
    const std::string p = r.Path();
    if (p.find("get_wifi_scan_result") != std::string::npos)
      return HttpAnswer{200, "var ap_number=1;\r\nvar ap_ssid[0] =\"Home\";\r\nvar ap_ssid[0]=\"Home\";\r\n"};
    return HttpAnswer{200, "scan started"};
  });
  TDevInfo d;
  d.IP = "127.0.0.1";
  d.HttpPort = cam.Port();
  d.DevType = 2;
  std::vector<TWiFi> list;
  EXPECT_EQ(ScanCgi(d, "admin", "pw", list), CgiScanStatus::Ok);
  d.DevType = 8;
  EXPECT_EQ(ScanCgi(d, "admin", "pw", list), CgiScanStatus::Ok);
  auto paths = cam.Paths();
  ASSERT_EQ(paths.size(), 5u);  // family 2 scans twice, family 8 once
  EXPECT_EQ(paths[0], "/wifi_scan.cgi?user=admin&pwd=pw&next_url=wireless.htm");
  EXPECT_EQ(paths[1], paths[0]);
  EXPECT_EQ(paths[3], "/cgi-bin/wifi_scan.cgi?loginuse=admin&loginpas=pw&next_url=wireless.htm");
  for (const auto& r : cam.Requests()) EXPECT_EQ(r.Header("Authorization"), "Basic YWRtaW46cHc=");
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].SSID, "=Home");  // family 2 reads the first ap_ssid[0] with its blank
  EXPECT_EQ(list[1].SSID, "Home");
}

}  // namespace
}  // namespace kestrova
