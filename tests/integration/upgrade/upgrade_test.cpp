// The firmware upgrade against simulated cameras on loopback: the package transfer of family 5
// with every fault the camera can show, and the web uploads of families 2, 8 and 9.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/upgrade/upgrade_flow.h"
#include "net/cgi/device_series.h"
#include "net/platform/scaled_clock.h"
#include "net/upgrade/pk2_transfer.h"
#include "net/upgrade/upgrade_io.h"
#include "integration/ctp_http/fake_http.h"
#include "support/sim_process.h"
#include "unit/upgrade/pk2_builder.h"

namespace kestrova::upgrade {
namespace {

using namespace std::string_literals;
using testsupport::SimProcess;
using testsupport::WaitForLog;

const char* kCameras = R"(
[f5ok]
family = 5
mac = 00:21:6B:10:20:30
ip = 10.1.0.5
pwd = vemra
restart_ms = 200
pk2_key = 5A3C960FA5C369F0

[f5error]
family = 5
mac = 00:21:6B:10:20:31
ip = 10.1.0.6
pwd = vemra
pk2_reply = error

[f5storm]
family = 5
mac = 00:21:6B:10:20:32
ip = 10.1.0.7
pwd = vemra
pk2_reply = storm
pk2_storm = 30

[f5close]
family = 5
mac = 00:21:6B:10:20:33
ip = 10.1.0.8
pwd = vemra
pk2_close_after = 3

[f5gone]
family = 5
mac = 00:21:6B:10:20:34
ip = 10.1.0.9
pwd = vemra
restart_ms = 200
upgrade_return = never

[f5cont]
family = 5
mac = 00:21:6B:10:20:35
ip = 10.1.0.10
pwd = vemra
restart_ms = 200
pk2_reply = continue

[f5hang]
family = 5
mac = 00:21:6B:10:20:36
ip = 10.1.0.12
pwd = vemra
fault = hang

[f2cam]
family = 2
identity = MOI0A1B2C3D4
ip = 10.1.0.2
user = admin
pwd = pw2
restart_ms = 200

[f8cam]
family = 8
mac = 00:1e:2f:40:50:60
ip = 10.1.0.3
user = admin
pwd = pw8
restart_ms = 200

[f8broken]
family = 8
mac = 00:1e:2f:40:50:61
ip = 10.1.0.4
user = admin
pwd = pw8
fault = http_error

[f9cam]
family = 9
mac = 00:1A:2B:3C:4D:5E
version = 48.2.0.1
ip = 10.1.0.11
user = admin
pwd = 123456
restart_ms = 200
)";

using testing::Pk2FilePayload;
using testing::Pk2Header;
using testing::Pk2Record;
using testing::U32;

std::string Data(size_t n) {
  std::string d;
  for (size_t i = 0; i < n; ++i) d.push_back(char((i * 31 + 7) % 251));
  return d;
}

class UpgradeLoopback : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTimeScale(0.01);  // 40 s after the transfer become 0.4 s
    ASSERT_TRUE(sim.Start(kCameras, {"--tcp"})) << sim.output;
    dir = sim.UploadDir() + "-in";
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { SetTimeScale(1); }
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string p = dir + "/" + name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }
  std::string Kept(const std::string& name) {
    std::ifstream f(sim.UploadDir() + "/" + name, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
  }
  std::string Package() {
    return Pk2Header(3) + Pk2Record("FILE", Pk2FilePayload("fw.bin", Data(5000))) + Pk2Record("NOTE", "skipped") +
           Pk2Record("CMD ", "reboot now");
  }
  TTransferResult Upload(const std::string& cam, const std::string& pwd = "vemra") {
    return UploadPackage(Write("p.pk2", Package()), "127.0.0.1", sim.TcpPort(cam, "ctp"), "admin", pwd);
  }
  SimProcess sim;
  std::string dir;
};

TEST_F(UpgradeLoopback, PackageArrivesDescrambledAndTheCameraComesBack) {
  std::vector<TPk2Progress> seen;
  bool awaited = false;
  const TTransferResult r = UploadPackage(Write("p.pk2", Package()), "127.0.0.1", sim.TcpPort("f5ok", "ctp"), " admin ",
                                          " vemra ", [&](const TPk2Progress& p) {
                                            awaited = awaited || p.AwaitingCamera;
                                            if (seen.empty() || seen.back().Sent != p.Sent || seen.back().Record != p.Record)
                                              seen.push_back(p);
                                            return true;
                                          });
  EXPECT_TRUE(r.Ok) << r.MessageKey << " " << r.Detail << "\n" << sim.LogText();
  ASSERT_TRUE(WaitForLog(sim, "upload cam=f5ok kind=pk2-fw.bin bytes=5000"));
  EXPECT_EQ(Kept("f5ok-pk2-fw.bin.bin"), Data(5000)) << "the camera holds the exact bytes";
  EXPECT_NE(sim.LogText().find("complete, digest matches"), std::string::npos);
  EXPECT_NE(sim.LogText().find("camera=f5ok up"), std::string::npos) << "the camera came back before the test";
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back().Total, 5000u + 10u);
  EXPECT_EQ(seen.back().Sent, 5010u);
  EXPECT_EQ(seen.back().Records, 3u);
  EXPECT_TRUE(awaited);
}

TEST_F(UpgradeLoopback, ContinueAnswersAreFollowedToTheirEnd) {
  const TTransferResult r = Upload("f5cont");
  EXPECT_TRUE(r.Ok) << r.MessageKey << " " << r.Detail;
}

TEST_F(UpgradeLoopback, EveryFaultIsAFailureWithItsOwnMessage) {
  struct Case {
    const char* cam;
    const char* pwd;
    const char* key;
    const char* detail;
  } cases[] = {
      {"f5ok", "wrong", "IDS_ERRACCESS", ""},
      {"f5error", "vemra", "IDS_UPGRADEMODEFAIL", "REPLY ERROR"},
      {"f5storm", "vemra", "IDS_UPGRADEMODEFAIL", "Continue"},
      {"f5close", "vemra", "IDS_UPGRADEMODEFAIL", "record 1 of 3"},
      {"f5gone", "vemra", "IDS_UPGRADENOTBACK", ""},
      {"f5hang", "vemra", "IDS_ERRACCESS", ""},  // holds the connection and never answers
  };
  for (const auto& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    const TTransferResult r = Upload(c.cam, c.pwd);
    EXPECT_FALSE(r.Ok) << c.cam;
    EXPECT_EQ(r.MessageKey, c.key) << c.cam << " " << r.Detail;
    EXPECT_NE(r.Detail.find(c.detail), std::string::npos) << c.cam << " " << r.Detail;
    // Bounded by the transfer's own waits (each answer within 8 s), whatever the camera does.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30)) << c.cam;
  }
}

TEST_F(UpgradeLoopback, NothingConnectsForABadPackageOrANonAddress) {
  const std::string pk = Package();
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"not PK2", "PK2\x01" + pk.substr(4)},
      {"truncated last record", pk.substr(0, pk.size() - 1)},
      {"huge record count", pk.substr(0, 24) + U32(0xFFFFFFFF) + pk.substr(28)},
      {"name length of 4 GB", Pk2Header(1) + Pk2Record("FILE", U32(0xFFFFFFFF) + std::string(8, 'n'))},
      {"short header", "PK2\0"s + "abc"},
  };
  for (const auto& c : cases) {
    const TTransferResult r = UploadPackage(Write("bad.pk2", c.bytes), "127.0.0.1", sim.TcpPort("f5ok", "ctp"), "admin", "vemra");
    EXPECT_EQ(r.MessageKey, "IDS_ERRFILE") << c.what;
  }
  EXPECT_EQ(sim.LogText().find("ctp cam=f5ok connect"), std::string::npos) << "no connection for a refused package";
  EXPECT_EQ(UploadPackage(Write("p.pk2", Package()), "host.example", 80, "admin", "").MessageKey, "IDS_CANTCONNECT");
}

TEST_F(UpgradeLoopback, ACameraThatIsNotThereIsNotReportedAsUpgraded) {
  // A port nobody listens on: refused at once.
  const uint16_t port = sim.TcpPort("f5ok", "ctp");
  sim.Stop();
  EXPECT_EQ(UploadPackage(Write("p.pk2", Package()), "127.0.0.1", port, "admin", "vemra").MessageKey, "IDS_CANTCONNECT");
}

TEST_F(UpgradeLoopback, WebUploadsOfEachFamilyKeepTheExactBytes) {
  TT517Series driver;
  struct Case {
    const char* cam;
    int family;
    TUpgradeKind kind;
    std::string content;
    const char* user;
    const char* pwd;
    const char* kept;  // empty: the upload fails
  } cases[] = {
      {"f2cam", 2, TUpgradeKind::Firmware, "BNEG" + Data(70000), "admin", "pw2", "f2cam-firmware.bin"},
      {"f2cam", 2, TUpgradeKind::WebPages, "\xBD\x9A\x0C\x44" + Data(3000), "admin", "pw2", "f2cam-htmls.bin"},
      {"f8cam", 8, TUpgradeKind::Firmware, Data(20000), "admin", "pw8", "f8cam-firmware.bin"},
      {"f8cam", 8, TUpgradeKind::WebPages, Data(10), "admin", "wrong", ""},
      {"f8broken", 8, TUpgradeKind::Firmware, Data(10), "admin", "pw8", ""},
      {"f9cam", 9, TUpgradeKind::WebPages, Data(9000), "admin", "123456", "f9cam-htmls.bin"},
  };
  for (const auto& c : cases) {
    uint64_t lastSent = 0;
    TUpgradeIo io = NetUpgradeIo(driver, [&](const TPk2Progress& p) {
      lastSent = p.Sent;
      return true;
    });
    TUpgradeTarget t{c.family, "127.0.0.1", sim.TcpPort(c.cam, "web"), c.user, c.pwd};
    const TUpgradeOutcome o = RunUpgrade(t, c.kind, Write("up.bin", c.content), io);
    if (std::string(c.kept).empty()) {
      EXPECT_EQ(o.Status, TUpgradeStatus::Failed) << c.cam;
      EXPECT_EQ(o.MessageKey, "IDS_UPGRADEFAIL");
      continue;
    }
    EXPECT_EQ(o.Status, TUpgradeStatus::Success) << c.cam << " " << o.Detail << "\n" << sim.LogText();
    ASSERT_TRUE(WaitForLog(sim, "kept=" + sim.UploadDir() + "/" + c.kept)) << c.cam;
    EXPECT_EQ(Kept(c.kept), c.content) << c.cam;
    if (c.family != 9) {
      EXPECT_GE(lastSent, c.content.size()) << "progress up to the whole body";
    }
    ASSERT_TRUE(WaitForLog(sim, "camera="s + c.cam + " up"));
  }
}

// The two forms as they go over the wire: request line, headers, credentials, the file part.
TEST(UploadForms, RequestsOfFamilies2And8ByteForByte) {
  test::NoProxyForLoopback();
  int status = 200;
  test::FakeHttpServer server([&](const test::HttpRequestSeen&) { return test::HttpAnswer{status, "ok", false, ""}; });
  const std::string file = (std::filesystem::temp_directory_path() / ("kv-form-" + std::to_string(::getpid()) + ".bin")).string();
  std::ofstream(file, std::ios::binary) << "BNEG\x01\x02rest";
  TT517Series driver;
  const TUpgradeIo io = NetUpgradeIo(driver);

  TUpgradeOutcome o = RunUpgrade({2, "127.0.0.1", server.Port(), "admin", "pw"}, TUpgradeKind::Firmware, file, io);
  EXPECT_EQ(o.Status, TUpgradeStatus::Success) << o.Detail;
  o = RunUpgrade({8, "127.0.0.1", server.Port(), "admin", "pw8"}, TUpgradeKind::WebPages, file, io);
  EXPECT_EQ(o.Status, TUpgradeStatus::Success) << o.Detail;
  const auto seen = server.Requests();
  ASSERT_EQ(seen.size(), 2u);

  const test::HttpRequestSeen& f2 = seen[0];
  EXPECT_EQ(f2.head.substr(0, f2.head.find("\r\n")),
            "POST /upgrade_firmware.cgi?user=admin&pwd=pw&next_url=reboot.htm HTTP/1.0");
  EXPECT_EQ(f2.Header("User-Agent"), "Mozilla/3.0 (compatible; Indy Library)");
  EXPECT_EQ(f2.Header("Accept"), "text/html, */*");
  EXPECT_FALSE(f2.HasHeader("Authorization")) << "credentials in the query only";
  EXPECT_EQ(f2.Header("Content-Type").rfind("multipart/form-data; boundary=", 0), 0u);
  EXPECT_NE(f2.body.find("Content-Disposition: form-data; name=\"file\"; filename=\"" +
                         std::filesystem::path(file).filename().string() + "\"\r\n"
                         "Content-Type: application/octet-stream\r\n\r\nBNEG\x01\x02rest\r\n"),
            std::string::npos)
      << f2.body;

  const test::HttpRequestSeen& f8 = seen[1];
  EXPECT_EQ(f8.head.substr(0, f8.head.find("\r\n")), "POST /cgi-bin/upgrade_htmls.cgi?next_url=reboot.htm HTTP/1.1");
  EXPECT_EQ(f8.Header("Authorization"), "Basic YWRtaW46cHc4");  // admin:pw8
  EXPECT_EQ(f8.Header("Accept"), "image/gif, image/jpeg, image/pjpeg, image/pjpeg, application/x-shockwave-flash, */*");
  EXPECT_EQ(f8.Header("Accept-Encoding"), "gzip,deflate");
  EXPECT_NE(f8.body.find("Content-Type: application/x-zip-compressed\r\n\r\nBNEG"), std::string::npos);

  // An error status is a failure, never a success.
  status = 500;
  o = RunUpgrade({8, "127.0.0.1", server.Port(), "admin", "pw8"}, TUpgradeKind::Firmware, file, io);
  EXPECT_EQ(o.Status, TUpgradeStatus::Failed);
  EXPECT_EQ(o.Detail, "HTTP 500");
  std::filesystem::remove(file);
}

}  // namespace
}  // namespace kestrova::upgrade
