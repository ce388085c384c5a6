// The cameras' control side on loopback: the web interface of families 2, 8 and 9 and CTP of
// family 5, driven with hand-written HTTP and CTP requests.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/pc_sockets.h"
#include "support/sim_process.h"
#include "support/tcp_client.h"

namespace camsim_test = kestrova::testsupport;

using camsim_test::ConnectRefused;
using camsim_test::HttpExchange;
using camsim_test::Peer;
using camsim_test::SimProcess;
using camsim_test::TcpConn;
using camsim_test::WaitForLog;

namespace {

const char* kCameras = R"(
[f2cam]
family = 2
identity = MOI0A1B2C3D4
name = Porch
ip = 10.1.0.2
user = admin
pwd =
wifi_enable = 1
wifi_ssid = Home Net
wifi_encrypt = 4
wifi_wpa_psk = homekey123
ddns_server = ddns.example.net:9000
ddns_user = f2a0001
ddns_pwd = secret2
restart_ms = 200

[f8cam]
family = 8
mac = 00:1e:2f:40:50:60
ip = 10.1.0.8
user = admin
pwd = pw8
scan1 = Office|00:11:22:33:44:55|1|0|2|2|78

[f9cam]
family = 9
mac = 00:1A:2B:3C:4D:5E
sn = T9D0004
name = Office
version = 84.2.0.121
ip = 10.1.0.9
user = admin
pwd = 123456
ddns_server = ddns.example.net:9000
ddns_user = t9d0004
ddns_pwd = secret9
wifi_enable = 1
wifi_ssid = Home Net
wifi_mode = 0
wifi_encrypt = 4
wifi_wpa_psk = homekey123
scan1 = Home Net|00:11:22:33:44:55|1|0|2|2|78
scan2 = Cafe|00:11:22:33:44:66|0|1|0|0|41
restart_ms = 200

[f5cam]
family = 5
mac = 00:21:6B:10:20:30
sn = CTP5000123
ip = 10.1.0.5
user = admin
pwd = vemra
wifi_enable = 1
wifi_ssid = Home Net 5G
wifi_authmode = WPA2PSK
wifi_encryptype = AES
wifi_key = homekey123
oray_status = 2
scan1 = Office|00:11:22:33:44:55|1|0|2|2|78
scan2 = Cafe|00:11:22:33:44:66|0|0|0|0|41
restart_ms = 300
pk2_key = 0102030405060708

[cont5]
family = 5
mac = 00:21:6B:10:20:33
ip = 10.1.0.11
pwd = vemra
pk2_reply = continue

[slow5]
family = 5
mac = 00:21:6B:10:20:31
ip = 10.1.0.6
ctp_segment = 7
ctp_segment_ms = 20

[hang5]
family = 5
mac = 00:21:6B:10:20:32
ip = 10.1.0.7
fault = hang

[broken9]
family = 9
mac = 00:1A:2B:3C:4D:5F
ip = 10.1.0.10
fault = http_error
)";

class CamsimControl : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(sim.Start(kCameras, {"--tcp"})) << sim.output; }
  uint16_t Web(const std::string& cam) { return sim.TcpPort(cam, "web"); }
  uint16_t Ctp(const std::string& cam) { return sim.TcpPort(cam, "ctp"); }
  SimProcess sim;
};

// ---- web interface ---------------------------------------------------------------------------

TEST_F(CamsimControl, EachFamilyServesItsOwnPathsAndCredentialStyles) {
  struct Case {
    const char* cam;
    const char* target;
    const char* headers;
    int status;
    const char* contains;
  } cases[] = {
      // family 9: user/pwd in the query
      {"f9cam", "/get_params.cgi?user=admin&pwd=123456", "", 200, "var wifi_ssid=\"Home Net\";\r\n"},
      {"f9cam", "/get_params.cgi?loginuse=admin&loginpas=123456", "", 200, "var ip=\"10.1.0.9\";\r\n"},
      {"f9cam", "/get_params.cgi?user=admin&pwd=wrong", "", 401, "Auth Failed"},
      {"f9cam", "/get_params.cgi", "", 401, "Auth Failed"},
      {"f9cam", "/wifi_scan.cgi?user=admin&pwd=123456", "", 200, "ok"},
      {"f9cam", "/get_Status.cgi?user=admin&pwd=123456", "", 200, "var sys_ver=\"84.2.0.121\";"},
      {"f9cam", "/get_status.cgi", "", 200, "var mac=\"00:1A:2B:3C:4D:5E\";"},
      {"f9cam", "/cgi-bin/wifi_scan.cgi?user=admin&pwd=123456", "", 404, "404 Not Found"},
      // family 2: query credentials with an empty password, or Basic
      {"f2cam", "/get_params.cgi?user=admin&pwd=", "Authorization: Basic YWRtaW46\r\n", 200, "var ddns_service=7;"},
      {"f2cam", "/get_params.cgi?user=admin&pwd=", "", 200, "var ddns_proxy_port=9000;"},
      {"f2cam", "/reboot.cgi?next_url=reboot.htm", "", 401, "Auth Failed"},
      {"f2cam", "/wifi_scan.cgi?user=admin&pwd=&next_url=wireless.htm", "", 200, "url=wireless.htm"},
      {"f2cam", "/get_factory_param.cgi?user=admin&pwd=", "", 404, "404"},
      // family 8: /cgi-bin for scan, set and restart; loginuse/loginpas with Basic
      {"f8cam", "/cgi-bin/wifi_scan.cgi?loginuse=admin&loginpas=pw8&next_url=wireless.htm",
       "Authorization: Basic YWRtaW46cHc4\r\n", 200, "wireless.htm"},
      {"f8cam", "/wifi_scan.cgi?loginuse=admin&loginpas=pw8", "", 404, "404"},
      {"f8cam", "/get_wifi_scan_result.cgi?user=admin&pwd=pw8", "Authorization: Basic YWRtaW46cHc4\r\n", 200,
       "var ap_ssid[0] =\"Office\";\r\nvar ap_mac[0]="},
      {"f8cam", "/get_status.cgi", "", 200, "var "},
      {"f8cam", "/get_params.cgi?user=admin&pwd=pw8", "Authorization: Basic YWRtaW46d3Jvbmc=\r\n", 200, "var "},
      {"f8cam", "/get_params.cgi?user=admin&pwd=nope", "Authorization: Basic YWRtaW46d3Jvbmc=\r\n", 401, "Auth Failed"},
      // an error page is still a reply
      {"broken9", "/get_params.cgi?user=admin&pwd=", "", 500, "500 Internal Server Error"},
      // the reachability file: no login on any family's web server, not from a broken one
      {"f9cam", "/oem.txt", "", 200, "oem=Office\r\n"},
      {"f2cam", "/oem.txt", "", 200, "oem=Porch\r\n"},
      {"f8cam", "/oem.txt?x=1", "", 200, "oem="},
      {"broken9", "/oem.txt", "", 500, "500 Internal Server Error"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.cam) + " " + c.target);
    auto r = HttpExchange(Web(c.cam), "GET", c.target, c.headers);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.status, c.status);
    EXPECT_NE(r.body.find(c.contains), std::string::npos) << r.body;
    if (c.status == 401) {
      EXPECT_NE(r.headers.find("WWW-Authenticate: Basic"), std::string::npos);
    }
  }
}

TEST_F(CamsimControl, Family9ScanResultAndFactoryParametersAreTheCamerasText) {
  auto scan = HttpExchange(Web("f9cam"), "GET", "/get_wifi_scan_result.cgi?user=admin&pwd=123456");
  ASSERT_TRUE(scan.ok);
  EXPECT_EQ(scan.body,
            "var ap_number=2;\r\n"
            "var ap_ssid[0]=\"Home Net\";\r\nvar ap_mac[0]=\"00:11:22:33:44:55\";\r\n"
            "var ap_security[0]=4;\r\nvar ap_dbm0[0]='78';\r\nvar ap_dbm1[0]='-22';\r\nvar ap_mode[0]=0;\r\n"
            "var ap_ssid[1]=\"Cafe\";\r\nvar ap_mac[1]=\"00:11:22:33:44:66\";\r\n"
            "var ap_security[1]=0;\r\nvar ap_dbm0[1]='41';\r\nvar ap_dbm1[1]='-59';\r\nvar ap_mode[1]=1;\r\n");
  auto f = HttpExchange(Web("f9cam"), "GET", "/get_factory_param.cgi?user=admin&pwd=123456");
  ASSERT_TRUE(f.ok);
  EXPECT_EQ(f.body,
            "var factory_index=10;\r\nvar factory_server=\"ddns.example.net\";\r\nvar factory_port=9000;\r\n"
            "var factory_user=\"t9d0004\";\r\nvar factory_passwd=\"secret9\";\r\n");
}

TEST_F(CamsimControl, Family9WirelessAndDdnsSettingsAreKept) {
  auto set = HttpExchange(Web("f9cam"), "GET",
                          "/set_wifi.cgi?next_url=rebootme.htm&user=admin&pwd=123456&channel=5&enable=1"
                          "&ssid=Cafe&mode=0&encrypt=0&authtype=0&keyformat=0&defkey=0&key1=&key2=&key3="
                          "&key4=&key1_bits=0&key2_bits=0&key3_bits=0&key4_bits=0&wpa_psk=");
  ASSERT_TRUE(set.ok);
  EXPECT_NE(set.body.find("rebootme.htm"), std::string::npos) << set.body;
  auto p = HttpExchange(Web("f9cam"), "GET", "/get_params.cgi?user=admin&pwd=123456");
  EXPECT_NE(p.body.find("var wifi_ssid=\"Cafe\";\r\nvar wifi_mode=0;\r\nvar wifi_encrypt=0;"), std::string::npos)
      << p.body;

  // A set request without the wireless keys is refused without the restart marker.
  auto bad = HttpExchange(Web("f9cam"), "GET", "/set_wifi.cgi?user=admin&pwd=123456");
  EXPECT_EQ(bad.body.find("reboot"), std::string::npos);

  auto ddns = HttpExchange(Web("f9cam"), "GET",
                           "/set_ddns.cgi?service=11&user=newid&pwd=newpw&host=&proxy_svr=ddns2.example.net"
                           "&proxy_port=8080&restart_dyndns=&loginuse=admin&loginpas=123456");
  EXPECT_NE(ddns.body.find("ok"), std::string::npos);
  auto f = HttpExchange(Web("f9cam"), "GET", "/get_factory_param.cgi?user=admin&pwd=123456");
  EXPECT_NE(f.body.find("var factory_server=\"ddns2.example.net\";\r\nvar factory_port=8080;\r\n"
                        "var factory_user=\"newid\";\r\nvar factory_passwd=\"newpw\";"),
            std::string::npos)
      << f.body;
  // set_ddns takes its credentials from loginuse/loginpas only (user/pwd are the account).
  auto wrong = HttpExchange(Web("f9cam"), "GET", "/set_ddns.cgi?service=11&user=admin&pwd=123456&proxy_svr=x");
  EXPECT_NE(wrong.body.find("Auth Failed"), std::string::npos);
}

// Family 2 takes its DDNS account with the camera account in cam_user/cam_pwd, reports it
// through get_params and restarts to log in with it.
TEST_F(CamsimControl, Family2DdnsAccountWrite) {
  auto wrong = HttpExchange(Web("f2cam"), "GET",
                            "/set_ddns.cgi?cam_user=admin&cam_pwd=nope&service=7&user=n1&pwd=p1&host="
                            "&proxy_svr=www.ddns.test&proxy_port=808&restart_dyndns=1");
  EXPECT_EQ(wrong.status, 401);
  EXPECT_NE(wrong.body.find("Unauthorized"), std::string::npos) << wrong.body;
  // The query's user/pwd are the DDNS account, not a login.
  auto noCam = HttpExchange(Web("f2cam"), "GET", "/set_ddns.cgi?user=admin&pwd=&proxy_svr=x");
  EXPECT_EQ(noCam.status, 401);

  auto before = HttpExchange(Web("f2cam"), "GET", "/get_params.cgi?user=admin&pwd=");
  EXPECT_NE(before.body.find("var ddns_service=7;\r\nvar ddns_proxy_svr=\"ddns.example.net\";\r\n"
                             "var ddns_proxy_port=9000;\r\nvar ddns_user=\"f2a0001\";"),
            std::string::npos)
      << before.body;
  auto set = HttpExchange(Web("f2cam"), "GET",
                          "/set_ddns.cgi?cam_user=admin&cam_pwd=&service=7&user=new%26id&pwd=p%201&host="
                          "&proxy_svr=www.ddns.test&proxy_port=808&restart_dyndns=1");
  ASSERT_TRUE(set.ok);
  EXPECT_EQ(set.status, 200);
  ASSERT_TRUE(WaitForLog(sim, "camera=f2cam restarting"));
  ASSERT_TRUE(WaitForLog(sim, "camera=f2cam up"));
  auto after = HttpExchange(Web("f2cam"), "GET", "/get_params.cgi?user=admin&pwd=");
  EXPECT_NE(after.body.find("var ddns_service=7;\r\nvar ddns_proxy_svr=\"www.ddns.test\";\r\n"
                            "var ddns_proxy_port=808;\r\nvar ddns_user=\"new&id\";\r\nvar ddns_pwd=\"p 1\";"),
            std::string::npos)
      << after.body;
}

TEST_F(CamsimControl, MultipartUploadIsKeptAndTheCameraRestarts) {
  const std::string content = std::string("BNEG\x00\x01\x02\xff payload", 16);
  const std::string body =
      "--XyZ\r\nContent-Disposition: form-data; name=\"file\"; filename=\"fw.bin\"\r\n"
      "Content-Type: application/x-zip-compressed\r\n\r\n" + content + "\r\n--XyZ--\r\n";
  uint16_t upload = sim.TcpPort("f9cam", "upload");
  ASSERT_NE(upload, 0) << "family 9 takes uploads on its second port";
  auto r = HttpExchange(upload, "POST", "/upgrade_firmware.cgi?loginuse=admin&loginpas=123456",
                        "Content-Type: multipart/form-data; boundary=XyZ\r\n", body);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.status, 200);
  ASSERT_TRUE(WaitForLog(sim, "upload cam=f9cam kind=firmware bytes=16"));
  std::ifstream kept(sim.UploadDir() + "/f9cam-firmware.bin", std::ios::binary);
  std::stringstream ss;
  ss << kept.rdbuf();
  EXPECT_EQ(ss.str(), content);
  ASSERT_TRUE(WaitForLog(sim, "camera=f9cam restarting"));
  ASSERT_TRUE(WaitForLog(sim, "camera=f9cam up"));

  // A GET to the upload script, or a POST without the file part, is refused.
  EXPECT_EQ(HttpExchange(upload, "GET", "/upgrade_firmware.cgi?loginuse=admin&loginpas=123456").status, 405);
  auto none = HttpExchange(upload, "POST", "/upgrade_htmls.cgi?loginuse=admin&loginpas=123456",
                           "Content-Type: multipart/form-data; boundary=XyZ\r\n",
                           "--XyZ\r\nContent-Disposition: form-data; name=\"other\"\r\n\r\nx\r\n--XyZ--\r\n");
  EXPECT_EQ(none.status, 400);
}

TEST_F(CamsimControl, RebootTakesTheCameraAwayAndBringsItBack) {
  auto r = HttpExchange(Web("f2cam"), "GET", "/reboot.cgi?next_url=reboot.htm", "Authorization: Basic YWRtaW46\r\n");
  ASSERT_TRUE(r.ok);
  EXPECT_NE(r.body.find("reboot.htm"), std::string::npos);
  ASSERT_TRUE(WaitForLog(sim, "camera=f2cam restarting"));
  // While it restarts it neither accepts connections nor answers searches.
  EXPECT_TRUE(ConnectRefused(Web("f2cam")) || WaitForLog(sim, "camera=f2cam up", 0));
  ASSERT_TRUE(WaitForLog(sim, "camera=f2cam up"));
  auto again = HttpExchange(Web("f2cam"), "GET", "/get_params.cgi?user=admin&pwd=");
  EXPECT_TRUE(again.ok);
  EXPECT_NE(again.body.find("var "), std::string::npos);
}

// A web server the simulator stops right after it started (at the end of a restart, or at once
// on SIGTERM) still ends: the simulator exits by itself, it is not killed.
TEST_F(CamsimControl, EndsOnSigtermRightAfterItsServersStarted) {
  EXPECT_EQ(sim.Stop(), 0) << sim.output;
  ASSERT_TRUE(sim.Start(kCameras, {"--tcp"})) << sim.output;
  ASSERT_TRUE(HttpExchange(Web("f2cam"), "GET", "/reboot.cgi?next_url=reboot.htm", "Authorization: Basic YWRtaW46\r\n").ok);
  ASSERT_TRUE(WaitForLog(sim, "camera=f2cam up"));
  EXPECT_EQ(sim.Stop(), 0) << sim.output;
}

// ---- CTP -----------------------------------------------------------------------------------

std::string Req(const std::string& cmd, const std::string& args) {
  std::string body = args + "\r\n";
  return "CMD " + cmd + " CTP/1.0\r\nContent-Length:" + std::to_string(body.size()) + "\r\n\r\n" + body;
}

TEST_F(CamsimControl, CtpCommandsAnswerAsTheCameraDoes) {
  TcpConn c(Ctp("f5cam"));
  ASSERT_TRUE(c.connected());
  struct Case {
    std::string request, reply;
  } cases[] = {
      {Req("keepalive", ""), "CTP/1.0 200 OK\r\nContent-Length:2\r\n\r\n\r\n"},
      {Req("cfgusr", "-login admin:vemra\r\n"), "CTP/1.0 200 OK\r\nContent-Length:2\r\n\r\n\r\n"},
      {Req("cfgusr", "-login admin:\r\n"), "CTP/1.0 401 Unauthorized\r\nContent-Length:2\r\n\r\n\r\n"},
      {Req("getoraystate", "-list\r\n"),
       "CTP/1.0 200 OK\r\nContent-Length:23\r\n\r\n-status 2\r\n-domain \r\n\r\n"},
      {Req("cfgwnic", "-list\r\n"),
       "CTP/1.0 200 OK\r\nContent-Length:96\r\n\r\n-enable 1\r\n-ssid Home Net 5G\r\n-authmode WPA2PSK\r\n"
       "-encryptype AES\r\n-key homekey123\r\n-dhcpen 1\r\n\r\n"},
      {Req("iwlist", ""),
       "CTP/1.0 200 OK\r\nContent-Length:74\r\n\r\nOffice,00:11:22:33:44:55,1,0,2,2,78\r\n"
       "Cafe,00:11:22:33:44:66,0,0,0,0,41\r\n\r\n"},
      {Req("nosuch", ""), "CTP/1.0 400 Bad Request\r\nContent-Length:2\r\n\r\n\r\n"},
      {"CMD exit CTP/1.0\r\n", "CTP/1.0 200 OK\r\nContent-Length:2\r\n\r\n\r\n"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.request);
    c.Send(k.request);
    EXPECT_EQ(c.ReadReply(), k.reply);
  }
  // Writing the wireless settings, then reading them back on the same connection.
  c.Send(Req("cfgwnic", "-enable 1\r\n-ssid My Cafe Net\r\n-authmode WPAPSK\r\n-encryptype TKIP\r\n-key k e y\r\n"));
  EXPECT_EQ(c.ReadReply(), "CTP/1.0 200 OK\r\nContent-Length:2\r\n\r\n\r\n");
  c.Send(Req("cfgwnic", "-list\r\n"));
  EXPECT_NE(c.ReadReply().find("-ssid My Cafe Net\r\n-authmode WPAPSK\r\n-encryptype TKIP\r\n-key k e y\r\n"),
            std::string::npos);
}

TEST_F(CamsimControl, CtpReplyInSeveralSegmentsArrivesWhole) {
  TcpConn c(Ctp("slow5"));
  ASSERT_TRUE(c.connected());
  c.Send(Req("iwlist", ""));
  EXPECT_EQ(c.ReadReply(), "CTP/1.0 200 OK\r\nContent-Length:2\r\n\r\n\r\n");
  ASSERT_TRUE(WaitForLog(sim, "cam=slow5"));
}

TEST_F(CamsimControl, CtpCameraThatNeverAnswersKeepsTheConnectionOpen) {
  TcpConn c(Ctp("hang5"));
  ASSERT_TRUE(c.connected());
  c.Send(Req("keepalive", ""));
  ASSERT_TRUE(WaitForLog(sim, "cam=hang5 from="));
  EXPECT_EQ(c.ReadReply(300), "");
}

TEST_F(CamsimControl, CtpRestartDropsTheConnectionAndComesBack) {
  TcpConn c(Ctp("f5cam"));
  ASSERT_TRUE(c.connected());
  c.Send(Req("restart", ""));
  EXPECT_EQ(c.ReadReply(), "CTP/1.0 200 OK\r\nContent-Length:2\r\n\r\n\r\n");
  EXPECT_TRUE(c.WaitClosed());
  ASSERT_TRUE(WaitForLog(sim, "camera=f5cam restarting"));
  ASSERT_TRUE(WaitForLog(sim, "camera=f5cam up"));
  TcpConn again(Ctp("f5cam"));
  ASSERT_TRUE(again.connected());
  again.Send(Req("keepalive", ""));
  EXPECT_EQ(again.ReadReply(), "CTP/1.0 200 OK\r\nContent-Length:2\r\n\r\n\r\n");
}

std::string Hex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(char(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

// Logs in and leaves the current mode, as the package transfer does on its first connection.
void EnterUpgradeMode(uint16_t port) {
  TcpConn c(port);
  ASSERT_TRUE(c.connected());
  c.Send(Req("cfgusr", "-login admin:vemra\r\n"));
  ASSERT_NE(c.ReadReply().find("200 OK"), std::string::npos);
  c.Send("CMD exit CTP/1.0\r\n");
  ASSERT_NE(c.ReadReply().find("200"), std::string::npos);
}

// Reads one upgrade-mode answer line.
std::string Answer(TcpConn& c) { return c.ReadLine(); }

TEST_F(CamsimControl, PackageTransferIsCheckedKeptAndFollowedByARestart) {
  EnterUpgradeMode(Ctp("f5cam"));
  {
  TcpConn c(Ctp("f5cam"));
  ASSERT_TRUE(c.connected());
  c.Send("CMD 10\r\necho hello");
  EXPECT_EQ(Answer(c), "REPLY OK\r\n");
  std::string data;
  for (int i = 0; i < 3000; ++i) data.push_back(char((i * 7) % 256));
  c.Send("FILE 11\r\nfw.bin 3000");
  EXPECT_EQ(Answer(c), "REPLY OK\r\n");
  for (size_t off : {0, 1400, 2800}) {
    size_t n = std::min<size_t>(1400, 3000 - off);
    c.Send("DATA " + std::to_string(n) + "\r\n" + data.substr(off, n));
    EXPECT_EQ(Answer(c), "REPLY OK\r\n");
  }
  c.Send("MD5 16\r\n" + Hex("957a5bf1626328596e72a93e8ca010ad"));
  EXPECT_EQ(Answer(c), "REPLY OK\r\n");
  // An empty file: the digest of no data.
  c.Send("FILE 9\r\nempty.x 0");
  EXPECT_EQ(Answer(c), "REPLY OK\r\n");
  c.Send("MD5 16\r\n" + Hex("d41d8cd98f00b204e9800998ecf8427e"));
  EXPECT_EQ(Answer(c), "REPLY OK\r\n");
  // A wrong digest is refused.
  c.Send("FILE 7\r\nbad.x 1");
  EXPECT_EQ(Answer(c), "REPLY OK\r\n");
  c.Send("DATA 1\r\nZ");
  EXPECT_EQ(Answer(c), "REPLY OK\r\n");
  c.Send("MD5 16\r\n" + std::string(16, '\0'));
  EXPECT_EQ(Answer(c), "REPLY ERROR md5\r\n");
  c.Send("CMD 4\r\nabcd");
  EXPECT_EQ(Answer(c), "REPLY OK\r\n");

  ASSERT_TRUE(WaitForLog(sim, "upload cam=f5cam kind=pk2-fw.bin bytes=3000"));
  std::ifstream kept(sim.UploadDir() + "/f5cam-pk2-fw.bin.bin", std::ios::binary);
  std::stringstream ss;
  ss << kept.rdbuf();
  std::string want = data;
  const uint8_t key[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  for (size_t i = 0; i < want.size(); ++i) want[i] = char(uint8_t(want[i]) ^ key[i % 8]);
  EXPECT_EQ(ss.str(), want) << "kept unscrambled with the configured key";

  }  // hang up: the camera restarts with the package
  ASSERT_TRUE(WaitForLog(sim, "camera=f5cam restarting"));
  ASSERT_TRUE(WaitForLog(sim, "camera=f5cam up"));
}

TEST_F(CamsimControl, PackageTransferNeedsTheModeChangeAndCanAnswerContinue) {
  {
    TcpConn c(Ctp("cont5"));
    ASSERT_TRUE(c.connected());
    c.Send("CMD 10\r\necho hello");
    EXPECT_EQ(Answer(c), "REPLY ERROR\r\n");
    EXPECT_TRUE(c.WaitClosed());
  }
  EnterUpgradeMode(Ctp("cont5"));
  TcpConn c(Ctp("cont5"));
  c.Send("CMD 10\r\necho hello");
  EXPECT_EQ(Answer(c), "REPLY OK\r\n");
  c.Send("CMD 2\r\nab");
  EXPECT_EQ(Answer(c), "REPLY Continue 1\r\n");
  EXPECT_EQ(Answer(c), "REPLY OK\r\n");
}

TEST_F(CamsimControl, NotCtpClosesTheConnection) {
  TcpConn c(Ctp("f5cam"));
  ASSERT_TRUE(c.connected());
  c.Send("GET / HTTP/1.1\r\n\r\n");
  EXPECT_TRUE(c.WaitClosed());
}

}  // namespace
