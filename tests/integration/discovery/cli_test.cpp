// kestrova-cli discover against in-test cameras on loopback, and its JSON text escaping.
#include <gtest/gtest.h>

#include <string>

#include "cli/json.h"
#include "integration/discovery/fake_cameras.h"
#include "support/child_process.h"

namespace kestrova {
namespace {

using testing::Bytes;
using testing::FakeCamera;

TEST(CliJson, StringsAreEscapedAndStrayBytesKeepTheirValue) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"", R"("")"},
      {"cam \"1\" \\ x", R"("cam \"1\" \\ x")"},
      {std::string("a\x01\x1f\x7f\n\r\t", 7), R"("a\u0001\u001f\u007f\n\r\t")"},
      {std::string("\0z", 2), R"("\u0000z")"},
      {"\xe6\x91\x84\xe5\x83\x8f", "\"\xe6\x91\x84\xe5\x83\x8f\""},  // valid UTF-8 stays
      {"\xf0\x9f\x93\xb7", "\"\xf0\x9f\x93\xb7\""},
      {"\xb5", R"("\u00b5")"},                  // stray continuation byte
      {"\xc0\xaf", R"("\u00c0\u00af")"},        // overlong form
      {"\xed\xa0\x80", R"("\u00ed\u00a0\u0080")"},  // surrogate
      {"\xe6\x91", R"("\u00e6\u0091")"},        // cut sequence at the end
      {"\xf4\x90\x80\x80", R"("\u00f4\u0090\u0080\u0080")"},  // above U+10FFFF
  };
  for (const auto& c : cases) EXPECT_EQ(cli::JsonString(c.in), c.out) << c.out;
}

// The command's standard output (its standard error stays the test's own); stopped after 30 s.
std::string RunCommand(const std::string& cmd, int* rc) {
  const testsupport::CommandResult r = testsupport::RunShell(cmd, 30000, {.capture_stderr = false});
  *rc = r.code;
  return r.output;
}

TEST(CliDiscover, JsonListsTheCamerasInAddressOrderWithEveryField) {
  const Bytes b = testing::Family5Reply("00:11:22:33:44:55", "127.0.0.15", std::string("n\"\x01\xb5", 4));
  const Bytes a = testing::Family5Reply("00:00:00:00:00:0A", "127.0.0.9", "first");
  FakeCamera f5([&](const Bytes& q) -> std::vector<Bytes> {
    if (testing::StartsWith(q, {'S', 'E', 'A', 'R', 'C', 'H'})) return {b, a};
    return {};
  });
  f5.ServeInBackground();
  const std::string cmd = std::string(KESTROVA_CLI_PATH) +
                          " discover --json --seconds 1 --broadcast 127.0.0.1 --bind 127.0.0.1"
                          " --local-ports 0,0,0,0,0 --local-port-f9 0 --port-f2 9 --port-uicam 9"
                          " --port-sq610 9 --port-f8 9 --port-f9 9 --port-f5 " +
                          std::to_string(f5.port());
  int rc = -1;
  const std::string out = RunCommand(cmd, &rc);
  f5.StopBackground();
  EXPECT_EQ(rc, 0);
  const std::string first =
      R"({"DevType": 5, "MAC": "00000000000A", "SN": "SN5000", "Name": "first", "Version": "5.0.1", )"
      R"("IP": "127.0.0.9", "NetMask": "255.0.0.0", "Gateway": "127.0.0.1", "AuxAddr": "", )"
      R"("DNS1": "127.0.0.53", "DNS2": "127.0.0.54", "HttpPort": 8080, "DataPort": 0, "AuxPort": 0, )"
      R"("IPMode": 2, "DDnsUser": "e5user", "DDnsPwd": "********", "DDnsServer": "ddns.example.org:8000", )"
      R"("User": "", "Pwd": "", "ExtWord": 0})";
  const std::string second =
      R"({"DevType": 5, "MAC": "001122334455", "SN": "SN5000", "Name": "n\"\u0001\u00b5", )";
  EXPECT_EQ(out.rfind("[\n  " + first + ",\n  " + second, 0), 0u) << out;
  ASSERT_GE(out.size(), 4u);
  EXPECT_EQ(out.substr(out.size() - 4), "}\n]\n");
  size_t objects = 0;
  for (size_t at = out.find("\"DevType\""); at != std::string::npos; at = out.find("\"DevType\"", at + 1)) ++objects;
  EXPECT_EQ(objects, 2u);
}

// The round's broadcast goes where no camera listens; the camera is asked at its address.
TEST(CliDiscover, AddressOptionAsksEachGivenAddressDirectly) {
  const Bytes a = testing::Family5Reply("00:00:00:00:00:0A", "127.0.0.1", "direct");
  FakeCamera f5([&](const Bytes& q) -> std::vector<Bytes> {
    if (testing::StartsWith(q, {'S', 'E', 'A', 'R', 'C', 'H'})) return {a};
    return {};
  });
  f5.ServeInBackground();
  const std::string base = std::string(KESTROVA_CLI_PATH) +
                           " discover --json --seconds 1 --broadcast 127.0.0.2 --bind 127.0.0.1"
                           " --local-ports 0,0,0,0,0 --local-port-f9 0 --port-f2 9 --port-uicam 9"
                           " --port-sq610 9 --port-f8 9 --port-f9 9 --port-f5 " +
                           std::to_string(f5.port());
  int rc = -1;
  const std::string without = RunCommand(base, &rc);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(without, "[]\n");
  // Given twice: asked once a round all the same.
  const std::string with = RunCommand(base + " --address 127.0.0.1 --address 127.0.0.3 --address 127.0.0.1", &rc);
  f5.StopBackground();
  EXPECT_EQ(rc, 0);
  EXPECT_NE(with.find(R"("MAC": "00000000000A")"), std::string::npos) << with;
  size_t searches = 0;
  for (const Bytes& q : f5.Requests()) searches += testing::StartsWith(q, {'S', 'E', 'A', 'R', 'C', 'H'}) ? 1 : 0;
  EXPECT_EQ(searches, 1u);
}

TEST(CliDiscover, RejectsBadOptions) {
  int rc = -1;
  RunCommand(std::string(KESTROVA_CLI_PATH) + " discover --seconds 0 2>/dev/null", &rc);
  EXPECT_EQ(rc, 2);
  RunCommand(std::string(KESTROVA_CLI_PATH) + " discover --seconds x 2>/dev/null", &rc);
  EXPECT_EQ(rc, 2);
  RunCommand(std::string(KESTROVA_CLI_PATH) + " discover --local-ports 1,2,3 2>/dev/null", &rc);
  EXPECT_EQ(rc, 2);
  RunCommand(std::string(KESTROVA_CLI_PATH) + " nosuch 2>/dev/null", &rc);
  EXPECT_EQ(rc, 2);
  for (const char* bad : {"camera.local", "1.2.3.4:80", "192.168.001.20", "255.255.255.255", "''"}) {
    const testsupport::CommandResult r =
        testsupport::RunShell(std::string(KESTROVA_CLI_PATH) + " discover --address " + bad + " 2>&1", 30000);
    EXPECT_EQ(r.code, 2) << bad;
    EXPECT_NE(r.output.find("--address needs a camera's IPv4 address (A.B.C.D)"), std::string::npos) << r.output;
  }
  RunCommand(std::string(KESTROVA_CLI_PATH) + " discover --address 2>/dev/null", &rc);
  EXPECT_EQ(rc, 2);
  const std::string help = RunCommand(std::string(KESTROVA_CLI_PATH) + " discover --help", &rc);
  EXPECT_EQ(rc, 0);
  EXPECT_NE(help.find("--seconds"), std::string::npos);
  EXPECT_NE(help.find("--address A.B.C.D"), std::string::npos);
  EXPECT_EQ(help.find("--broadcast"), std::string::npos);  // test options stay out of the help
}

}  // namespace
}  // namespace kestrova
