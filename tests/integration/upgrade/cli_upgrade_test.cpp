// kestrova-cli upgrade against simulated cameras on loopback: the camera found by discovery,
// the upload to where its answer says, the outcome lines and the exit statuses.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/child_process.h"
#include "support/sim_process.h"
#include "unit/upgrade/pk2_builder.h"

namespace {

using namespace std::string_literals;
using kestrova::testsupport::RunShell;
using kestrova::testsupport::SimProcess;
using kestrova::testsupport::WaitForLog;

// A TCP port nothing listens on at the moment (the simulator takes it right after).
int FreePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  close(fd);
  return ntohs(a.sin_port);
}

class CliUpgrade : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string cams =
        "[f5ok]\nfamily = 5\nmac = 00216B000001\nip = 127.0.0.1\npwd = vemra\nrestart_ms = 200\n"
        "pk2_key = 5A3C960FA5C369F0\nlisten_http_port = 1\nhttp_port = " + std::to_string(FreePort()) + "\n"
        "[f5gone]\nfamily = 5\nmac = 00216B000002\nip = 127.0.0.1\npwd = vemra\nrestart_ms = 200\n"
        "upgrade_return = never\nlisten_http_port = 1\nhttp_port = " + std::to_string(FreePort()) + "\n"
        "[f8ok]\nfamily = 8\nmac = 00:1e:2f:00:00:01\nip = 127.0.0.1\nuser = admin\npwd = pw8\nrestart_ms = 200\n"
        "listen_http_port = 1\nhttp_port = " + std::to_string(FreePort()) + "\n"
        "[f8err]\nfamily = 8\nmac = 00:1e:2f:00:00:02\nip = 127.0.0.1\nuser = admin\npwd = pw8\nfault = http_error\n"
        "listen_http_port = 1\nhttp_port = " + std::to_string(FreePort()) + "\n";
    ASSERT_TRUE(sim.Start(cams, {"--tcp"})) << sim.output;
    dir = sim.UploadDir() + "-in";
    std::filesystem::create_directories(dir);
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string p = dir + "/" + name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }
  kestrova::testsupport::CommandResult Cli(const std::string& args) {
    const std::string p = std::to_string(sim.Port(5));
    const std::string cmd = "KESTROVA_TIME_SCALE=0.01 " + std::string(KESTROVA_CLI_PATH) + " upgrade " + args +
                            " --seconds 1 --broadcast 127.0.0.1 --bind 127.0.0.1 --local-ports 0,0,0,0,0"
                            " --local-port-f9 0 --port-uicam 9 --port-sq610 9 --port-f2 " + std::to_string(sim.Port(2)) +
                            " --port-f5 " + p + " --port-f8 " + std::to_string(sim.Port(8)) +
                            " --port-f9 " + std::to_string(sim.Port(9)) + " 2>&1";
    return RunShell(cmd, 50000);
  }
  std::string Package(const std::string& data) { return kestrova::testing::Pk2OneFile("fw.bin", data); }
  std::string Kept(const std::string& name) {
    std::ifstream f(sim.UploadDir() + "/" + name, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
  }
  SimProcess sim;
  std::string dir;
};

TEST_F(CliUpgrade, PackageToAFamily5Camera) {
  const std::string data(4000, 'q');
  auto r = Cli("--mac 00216B000001 --file " + Write("fw.pk2", Package(data)));
  EXPECT_EQ(r.code, 0) << r.output << sim.LogText();
  EXPECT_NE(r.output.find("IDS_UPGRADESUCC\tUpgrade success!"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("outcome: upgraded"), std::string::npos);
  EXPECT_NE(r.output.find("progress: sent 4000 of 4000 bytes, record 1 of 1"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("progress: sent; waiting for the camera to come back"), std::string::npos);
  EXPECT_EQ(Kept("f5ok-pk2-fw.bin.bin"), data);
}

TEST_F(CliUpgrade, ExitStatusesTellTheOutcome) {
  struct Case {
    std::string args;
    int code;
    const char* says;
  } cases[] = {
      {"--mac 00216B000002 --file " + Write("a.pk2", Package("abc")), 2, "IDS_UPGRADENOTBACK"},
      {"--mac 00216B000001 --file " + Write("b.pk2", Package("abc").substr(0, 40)), 3, "IDS_ERRFILE"},
      {"--mac 00216B000001 --file " + dir + "/missing.pk2", 3, "outcome: refused"},
      {"--mac 001e2f000001 --web-pages --file " + Write("c.bin", "abc"), 3, "IDS_ERRFILE"},
      {"--mac 001e2f000002 --file " + Write("d.bin", "abcdef"), 2, "detail: HTTP 500"},
      {"--mac 001e2f000001 --password wrong --file " + Write("e.bin", "abcdef"), 2, "IDS_UPGRADEFAIL"},
      {"--mac 00:99:99:99:99:99 --file " + Write("f.bin", "abcdef"), 1, "no camera with MAC"},
      {"--mac 00216B000001", 2, "--file is required"},
  };
  for (const auto& c : cases) {
    auto r = Cli(c.args);
    EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.output;
    EXPECT_NE(r.output.find(c.says), std::string::npos) << c.args << "\n" << r.output;
  }
}

TEST_F(CliUpgrade, FirmwareToAFamily8Camera) {
  const std::string content = "\x01\x02\x03\x04" + std::string(30000, 'z');
  auto r = Cli("--mac 001e2f000001 --user admin --password pw8 --file " + Write("fw.bin", content));
  EXPECT_EQ(r.code, 0) << r.output;
  ASSERT_TRUE(WaitForLog(sim, "upload cam=f8ok kind=firmware"));
  EXPECT_EQ(Kept("f8ok-firmware.bin"), content);
}

}  // namespace
