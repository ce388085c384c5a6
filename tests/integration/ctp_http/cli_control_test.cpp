// kestrova-cli set-ip and wifi-scan against fake cameras on 127.0.0.1 (every address and port
// of the run points at loopback).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "fake_http.h"
#include "unit/protocols/golden.h"
#include "net/sockets/udp_socket.h"
#include "support/child_process.h"

namespace kestrova {
namespace {

using namespace test;

// One fake camera on a UDP port: answers the search of its family and records the settings
// command it receives, until stopped.
class FakeUdpCamera {
 public:
  using Answer = std::function<std::vector<uint8_t>(const std::vector<uint8_t>&)>;
  explicit FakeUdpCamera(Answer answer) : answer_(std::move(answer)) {
    EXPECT_TRUE(sock_.Bind(0, "127.0.0.1"));
    thread_ = std::thread([this] {
      while (!stop_) {
        if (sock_.WaitReadable(50) != WaitResult::Readable) continue;
        auto d = sock_.Receive(2048);
        if (!d) continue;
        {
          std::lock_guard lock(mu_);
          seen_.push_back(d->data);
        }
        auto reply = answer_(d->data);
        if (!reply.empty()) sock_.SendTo(d->fromIp, d->fromPort, reply);
      }
    });
  }
  ~FakeUdpCamera() {
    stop_ = true;
    thread_.join();
  }
  uint16_t Port() const { return sock_.LocalPort(); }
  // The first datagram received that starts with prefix.
  std::vector<uint8_t> First(const std::vector<uint8_t>& prefix) {
    std::lock_guard lock(mu_);
    for (const auto& d : seen_)
      if (d.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), d.begin())) return d;
    return {};
  }

 private:
  Answer answer_;
  UdpSocket sock_;
  std::atomic<bool> stop_{false};
  std::mutex mu_;
  std::vector<std::vector<uint8_t>> seen_;
  std::thread thread_;
};

bool StartsWith(const std::vector<uint8_t>& d, std::string_view p) {
  return d.size() >= p.size() && std::equal(p.begin(), p.end(), d.begin());
}

struct CliResult {
  int status = -1;
  std::string out;
};

CliResult RunCli(const std::string& args, uint16_t camPort) {
  NoProxyForLoopback();
  const std::string p = std::to_string(camPort);
  const std::string cmd = std::string(KESTROVA_BINARY_DIR) + "/src/cli/kestrova-cli " + args +
                          " --broadcast 127.0.0.1 --bind 127.0.0.1 --local-ports 0,0,0,0,0 --local-port-f9 0"
                          " --port-f2 " + p + " --port-f5 " + p + " --port-f8 " + p + " --port-f9 " + p + " 2>&1";
  const testsupport::CommandResult run = testsupport::RunShell(cmd, 30000);  // stopped after 30 s
  CliResult r;
  r.status = run.code;
  r.out = run.output;
  return r;
}

// A family-9 search answer (offsets of the answer table), for a camera at 127.0.0.1.
std::vector<uint8_t> Family9Answer(uint16_t httpPort) {
  return Patched(516, {{0, Hex("44 48 01 08")},
                       {4, Ascii("127.0.0.1")},
                       {20, Ascii("255.0.0.0")},
                       {36, Ascii("127.0.0.254")},
                       {52, Ascii("8.8.8.8")},
                       {68, Ascii("8.8.4.4")},
                       {84, Hex("00 1a 2b 3c 4d 5e")},
                       {90, {static_cast<uint8_t>(httpPort & 0xff), static_cast<uint8_t>(httpPort >> 8)}},
                       {92, Ascii("DEV9")},
                       {124, Ascii("\x1b[2JDoor")},  // an escape sequence in the name
                       {204, Ascii("9.1.0.5")},
                       {236, Ascii("admin")},
                       {268, Ascii("pw9")},
                       {301, Hex("00")}});
}

std::vector<uint8_t> Family9SetAnswer(uint32_t status) {
  return Patched(328, {{0, Hex("44 48 02 08")},
                       {324, {uint8_t(status), uint8_t(status >> 8), uint8_t(status >> 16), uint8_t(status >> 24)}}});
}

TEST(CliSetIp, Family9AcceptedOrRefused) {
  for (uint32_t status : {0x8000u, 0x0000u}) {
    FakeUdpCamera cam([&](const std::vector<uint8_t>& d) -> std::vector<uint8_t> {
      if (d == Hex("44 48 01 01")) return Family9Answer(81);
      if (d.size() == 324 && d[2] == 0x02 && d[3] == 0x01) return Family9SetAnswer(status);
      return {};
    });
    auto r = RunCli("set-ip --mac 00:1A:2B:3C:4D:5E --ip 10.1.2.3 --dhcp --seconds 2 --local-port-f9set 0", cam.Port());
    auto packet = cam.First(Hex("44 48 02 01"));
    ASSERT_EQ(packet.size(), 324u) << r.out;
    EXPECT_EQ(std::string(packet.begin() + 4, packet.begin() + 12), "10.1.2.3");
    EXPECT_EQ(packet[12], 0);
    EXPECT_EQ(std::string(packet.begin() + 20, packet.begin() + 29), "255.0.0.0");  // kept
    EXPECT_EQ(std::vector<uint8_t>(packet.begin() + 84, packet.begin() + 90), Hex("00 1a 2b 3c 4d 5e"));
    EXPECT_EQ(std::string(packet.begin() + 236, packet.begin() + 242), std::string("admin\0", 6));
    EXPECT_EQ(std::string(packet.begin() + 268, packet.begin() + 272), std::string("pw9\0", 4));
    EXPECT_EQ(packet[301], 1);  // DHCP
    // What is printed: the packet with the password as '*', the name without its escape.
    EXPECT_NE(r.out.find("2a 2a 2a 00"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("70 77 39"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("(?[2JDoor)"), std::string::npos) << r.out;
    if (status == 0x8000) {
      EXPECT_EQ(r.status, 0) << r.out;
      EXPECT_NE(r.out.find("accepted"), std::string::npos);
    } else {
      EXPECT_EQ(r.status, 2) << r.out;
    }
  }
}

TEST(CliSetIp, NoSuchCamera) {
  FakeUdpCamera cam([](const std::vector<uint8_t>& d) -> std::vector<uint8_t> {
    return d == Hex("44 48 01 01") ? Family9Answer(81) : std::vector<uint8_t>{};
  });
  auto r = RunCli("set-ip --mac 00:1a:2b:3c:4d:5e --ip 10.1.2.3 --seconds 1", cam.Port());  // case differs
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_TRUE(cam.First(Hex("44 48 02 01")).empty());
  EXPECT_EQ(RunCli("set-ip --mac 00:1A:2B:3C:4D:5E --ip 10.1.2", cam.Port()).status, 2);
}

// The setup command's own ends that need no camera: the adapters of this host are never looked
// at before a camera answered, so nothing here leaves loopback.
TEST(CliSetup, OptionsAndNoSuchCamera) {
  FakeUdpCamera silent([](const std::vector<uint8_t>&) { return std::vector<uint8_t>{}; });
  CliResult r = RunCli("setup --mac 00:00:00:00:00:01 --seconds 1 --json", silent.Port());
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("no camera with MAC 00:00:00:00:00:01"), std::string::npos) << r.out;
  for (const char* bad : {"setup --seconds 1", "setup --mac X --seconds 0", "setup --mac X --bogus",
                          "setup --mac"}) {
    r = RunCli(bad, silent.Port());
    EXPECT_EQ(r.status, 2) << bad << "\n" << r.out;
  }
  r = RunCli("setup --help", silent.Port());
  EXPECT_EQ(r.status, 0);
  for (const char* text : {"--mac MAC", "--user U", "--password P", "--seconds N", "--json", "KESTROVA_TIME_SCALE",
                           "3 it never reappeared", "4 it reappeared but does"})
    EXPECT_NE(r.out.find(text), std::string::npos) << text;
}

TEST(CliSetIp, Family5AndFamily2OverUdp) {
  const std::string reply5 =
      "REPLY * CTP/1.0\r\n-sn SN5\r\n-name Cam5\r\n-ip 127.0.0.1\r\n-netmask 255.0.0.0\r\n-portctp 81\r\n"
      "-mdns 8.8.8.8\r\n-sdns 8.8.4.4\r\n-mac 00:11:22:AA:BB:CC\r\n-gw 127.0.0.254\r\n-version 5.0\r\n";
  // family-2 search reply: header (opcode 1, body length 64) and the fields at their offsets
  const auto reply2 = Patched(87, {{0, Ascii("MO_I")},
                                   {4, Hex("01 00")},
                                   {15, Hex("40 00 00 00")},
                                   {23, Ascii("MOI0001234567")},
                                   {36, Ascii("Cam2")},
                                   {57, Hex("7f 00 00 01")},
                                   {61, Hex("ff 00 00 00")},
                                   {65, Hex("7f 00 00 fe")},
                                   {69, Hex("08 08 08 08")},
                                   {77, Hex("01 02 03 04 05 06 07 08")},
                                   {85, Hex("00 51")}});
  FakeUdpCamera cam([&](const std::vector<uint8_t>& d) -> std::vector<uint8_t> {
    if (StartsWith(d, "SEARCH * CTP/1.0")) return Ascii(reply5);
    if (StartsWith(d, "MO_I") && d.size() == 27 && d[4] == 0) return reply2;
    return {};
  });
  auto r5 = RunCli("set-ip --mac 001122AABBCC --ip 10.1.2.5 --name Gate --password pw5 --seconds 2", cam.Port());
  EXPECT_EQ(r5.status, 0) << r5.out;
  auto text = cam.First(Ascii("CMD setip"));
  std::string s(text.begin(), text.end());
  EXPECT_NE(s.find("\r\n-interface 127.0.0.1\r\n-pswd pw5\r\n-dhcpen 0\r\n-ip 10.1.2.5\r\n-netmask 255.0.0.0\r\n"
                   "-defgw 127.0.0.254\r\n-name Gate\r\n"),
            std::string::npos)
      << s;
  EXPECT_NE(s.find("-mac 00:11:22:AA:BB:CC\r\n-port 81\r\n\r\n"), std::string::npos) << s;
  EXPECT_EQ(r5.out.find("pw5"), std::string::npos) << r5.out;  // the password is never printed
  EXPECT_NE(r5.out.find("-pswd ***??-dhcpen"), std::string::npos) << r5.out;  // CR LF print as "??"

  auto r2 = RunCli("set-ip --mac MOI0001234567 --ip 10.1.2.6 --port 8080 --seconds 2", cam.Port());
  EXPECT_EQ(r2.status, 0) << r2.out;
  auto moi = cam.First(Hex("4d 4f 5f 49 02 00"));
  ASSERT_EQ(moi.size(), 84u);
  EXPECT_EQ(std::vector<uint8_t>(moi.begin() + 66, moi.begin() + 84),
            Hex("0a 01 02 06  ff 00 00 00  7f 00 00 fe  08 08 08 08  1f 90"));
}

TEST(CliWifiScan, ByFamilyPath) {
  FakeHttpServer web([](const HttpRequestSeen& r) {
    if (r.Path().rfind("/wifi_scan.cgi?user=admin&pwd=pw9", 0) == 0) return HttpAnswer{200, "ok"};
    if (r.Path().rfind("/get_wifi_scan_result.cgi?user=admin&pwd=pw9", 0) == 0)
      return HttpAnswer{200, "var ap_number=1;\r\nvar ap_ssid[0]=\"Office\";\r\nvar ap_dbm0[0]='70';\r\n"};
    return HttpAnswer{401, "Auth Failed"};
  });
  FakeUdpCamera cam([&](const std::vector<uint8_t>& d) -> std::vector<uint8_t> {
    return d == Hex("44 48 01 01") ? Family9Answer(web.Port()) : std::vector<uint8_t>{};
  });
  auto r = RunCli("wifi-scan --mac 00:1A:2B:3C:4D:5E --json --seconds 2", cam.Port());
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("\"SSID\": \"Office\""), std::string::npos) << r.out;
  auto t = RunCli("wifi-scan --mac 00:1A:2B:3C:4D:5E --seconds 2", cam.Port());
  EXPECT_NE(t.out.find("Office(70)"), std::string::npos) << t.out;
  EXPECT_EQ(RunCli("wifi-scan --mac 00:1A:2B:3C:4D:5E --password wrong --seconds 2", cam.Port()).status, 2);
}

TEST(CliWifiScan, CtpFamily) {
  FakeTcpServer ctp([](int fd, int) {
    std::string carry;
    for (;;) {
      std::string head = ReadUntil(fd, "\r\n\r\n", &carry);
      if (head.empty()) return;
      size_t p = head.find("Content-Length:");
      if (p != std::string::npos) ReadN(fd, std::stoul(head.substr(p + 15)), &carry);
      std::string body = "Office,00:11:22:33:44:55,1,0,2,2,78\r\n\r\n";
      SendAll(fd, "CTP/1.0 200 OK\r\nContent-Length:" + std::to_string(body.size()) + "\r\n\r\n" + body);
    }
  });
  const std::string reply5 = "REPLY * CTP/1.0\r\n-sn SN5\r\n-ip 127.0.0.1\r\n-portctp " + std::to_string(ctp.Port()) +
                             "\r\n-mac 00:11:22:AA:BB:CC\r\n";
  FakeUdpCamera cam([&](const std::vector<uint8_t>& d) -> std::vector<uint8_t> {
    return StartsWith(d, "SEARCH * CTP/1.0") ? Ascii(reply5) : std::vector<uint8_t>{};
  });
  auto r = RunCli("wifi-scan --mac 001122AABBCC --seconds 2", cam.Port());
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("Office(78%)"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace kestrova
