// TTools HTTP client against a raw fake server on 127.0.0.1.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "fake_http.h"
#include "net/http/tools.h"

namespace kestrova {
namespace {

using test::FakeHttpServer;
using test::HttpAnswer;
using test::HttpRequestSeen;

class HttpGetTest : public ::testing::Test {
 protected:
  void SetUp() override { test::NoProxyForLoopback(); }
};

TEST_F(HttpGetTest, BasicHeaderOnlyWithUserAndPassword) {
  FakeHttpServer server([](const HttpRequestSeen&) { return HttpAnswer{200, "var a=1;"}; });
  struct Case {
    std::string user, password, header;
  } cases[] = {
      {"admin", "12345", "Basic YWRtaW46MTIzNDU="},
      {"admin", "", ""},
      {"", "12345", ""},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    auto r = TTools::HttpGet(server.Base() + "/get_params.cgi", c.user, c.password, 3000);
    EXPECT_TRUE(r.Ok);
    EXPECT_EQ(r.Text, "var a=1;");
  }
  auto seen = server.Requests();
  ASSERT_EQ(seen.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(seen[i].Header("Authorization"), cases[i].header) << i;
    EXPECT_EQ(seen[i].HasHeader("Authorization"), !cases[i].header.empty()) << i;
  }
}

TEST_F(HttpGetTest, LongCredentialsStayOnOneHeaderLine) {
  FakeHttpServer server([](const HttpRequestSeen&) { return HttpAnswer{200, "ok"}; });
  const std::string user(40, 'u'), password(40, 'p');  // 81 bytes with the colon
  ASSERT_TRUE(TTools::HttpGet(server.Base() + "/x", user, password, 3000).Ok);
  auto seen = server.Requests();
  ASSERT_EQ(seen.size(), 1u);
  std::string value = seen[0].Header("Authorization");
  // 81 bytes encode to 108 characters; without line breaks the value is all of them.
  EXPECT_EQ(value.size(), std::string("Basic ").size() + 108);
  EXPECT_EQ(value.find_first_of("\r\n"), std::string::npos);
  EXPECT_EQ(value.substr(0, 10), "Basic dXV1");
  // every header line is a "name: value" line
  std::string head = seen[0].head;
  size_t pos = head.find("\r\n") + 2;
  while (pos < head.size() - 2) {
    size_t end = head.find("\r\n", pos);
    EXPECT_NE(head.substr(pos, end - pos).find(": "), std::string::npos) << head.substr(pos, end - pos);
    pos = end + 2;
  }
}

TEST_F(HttpGetTest, BodyIsReadWholeUpToTheCap) {
  std::string big(300000, 'a');
  for (size_t i = 0; i < big.size(); i += 1000) big[i] = 'b';
  std::string huge(600000, 'c');
  FakeHttpServer server([&](const HttpRequestSeen& r) {
    if (r.Path() == "/big") return HttpAnswer{200, big};
    if (r.Path() == "/huge") return HttpAnswer{200, huge};
    return HttpAnswer{200, std::string("head\0tail", 9)};
  });
  auto r1 = TTools::HttpGet(server.Base() + "/big", {}, {}, 5000);
  EXPECT_TRUE(r1.Ok);
  EXPECT_EQ(r1.Text, big);
  auto r2 = TTools::HttpGet(server.Base() + "/huge", {}, {}, 5000);
  EXPECT_TRUE(r2.Ok);
  EXPECT_EQ(r2.Text.size(), kHttpGetMaxReply);
  auto r3 = TTools::HttpGet(server.Base() + "/nul", {}, {}, 5000);
  EXPECT_TRUE(r3.Ok);
  EXPECT_EQ(r3.Text, "head");  // the text ends at the first zero byte
}

TEST_F(HttpGetTest, ErrorPageCountsAsReply) {
  FakeHttpServer server([](const HttpRequestSeen&) { return HttpAnswer{401, "Auth Failed"}; });
  auto r = TTools::HttpGet(server.Base() + "/get_params.cgi?user=a&pwd=b", {}, {}, 3000);
  EXPECT_TRUE(r.Ok);
  EXPECT_EQ(r.Status, 401);
  EXPECT_EQ(r.Text, "Auth Failed");
  std::string text;
  EXPECT_TRUE(TTools::HttpGet(server.Base() + "/", "", "", 3000, text));
  EXPECT_EQ(text, "Auth Failed");
}

TEST_F(HttpGetTest, SilentOrAbsentServerFails) {
  FakeHttpServer silent([](const HttpRequestSeen&) { return HttpAnswer{200, "", true}; });
  auto r = TTools::HttpGet(silent.Base() + "/x", {}, {}, 300);
  EXPECT_FALSE(r.Ok);
  EXPECT_EQ(r.Text, "");

  uint16_t closedPort;
  {
    test::FakeTcpServer gone([](int, int) {});
    closedPort = gone.Port();
  }
  EXPECT_FALSE(TTools::HttpGet("http://127.0.0.1:" + std::to_string(closedPort) + "/x", {}, {}, 1000).Ok);
  EXPECT_FALSE(TTools::HttpGet("not a url", {}, {}, 1000).Ok);
}

TEST_F(HttpGetTest, OnlyAbsoluteHttpUrlsAreRequested) {
  FakeHttpServer server([](const HttpRequestSeen&) { return HttpAnswer{200, "var a=1;"}; });
  const std::string port = std::to_string(server.Port());
  // Without a scheme nothing is guessed: no request goes to the host such a text names.
  for (const std::string& url : {"x@127.0.0.1:" + port + "/get_params.cgi", "127.0.0.1:" + port + "/x",
                                 std::string("/get_params.cgi?user=admin"), "ftp://127.0.0.1:" + port + "/x",
                                 std::string()})
    EXPECT_FALSE(TTools::HttpGet(url, "admin", "pw", 1000).Ok) << url;
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(HttpGetTest, RedirectsStayOnTheSameServer) {
  FakeHttpServer elsewhere([](const HttpRequestSeen&) { return HttpAnswer{200, "var stolen=1;"}; });
  FakeHttpServer camera([&](const HttpRequestSeen& r) {
    const std::string p = r.Path();
    if (p == "/here") return HttpAnswer{302, "moved", false, "Location: /there?x=1\r\n"};
    if (p == "/there?x=1") return HttpAnswer{200, "var ok=1;"};
    // Another port of the same address is another server.
    if (p == "/away") return HttpAnswer{302, "moved away", false, "Location: " + elsewhere.Base() + "/x\r\n"};
    if (p == "/loop") return HttpAnswer{302, "again", false, "Location: /loop\r\n"};
    return HttpAnswer{404, "missing"};
  });
  auto same = TTools::HttpGet(camera.Base() + "/here", "admin", "pw", 3000);
  EXPECT_TRUE(same.Ok);
  EXPECT_EQ(same.Status, 200);
  EXPECT_EQ(same.Text, "var ok=1;");
  // Not followed: the redirect itself is the reply, and the other server hears nothing.
  auto away = TTools::HttpGet(camera.Base() + "/away", "admin", "pw", 3000);
  EXPECT_TRUE(away.Ok);
  EXPECT_EQ(away.Status, 302);
  EXPECT_EQ(away.Text, "moved away");
  EXPECT_TRUE(elsewhere.Requests().empty());
  auto loop = TTools::HttpGet(camera.Base() + "/loop", {}, {}, 3000);
  EXPECT_EQ(loop.Status, 302);

  auto seen = camera.Requests();
  ASSERT_EQ(seen.size(), 9u);  // here, there, away, the loop and its five redirects
  EXPECT_EQ(seen[1].Path(), "/there?x=1");
  EXPECT_EQ(seen[1].Header("Authorization"), "Basic YWRtaW46cHc=");
}

TEST_F(HttpGetTest, CamerasOnTheLanAreAskedWithoutTheProxy) {
  FakeHttpServer proxy([](const HttpRequestSeen&) { return HttpAnswer{200, "from the proxy"}; });
  FakeHttpServer camera([](const HttpRequestSeen&) { return HttpAnswer{200, "from the camera"}; });
  for (const char* name : {"http_proxy", "all_proxy"}) {
    SCOPED_TRACE(name);
    ::setenv(name, proxy.Base().c_str(), 1);
    auto cam = TTools::HttpGet(camera.Base() + "/get_status.cgi", {}, {}, 3000);
    // A name outside the LAN goes through the proxy (which gets the whole URL; nothing is
    // resolved here).
    auto vendor = TTools::HttpGet("http://ddns.localhost:808/func/getremote.asp?id=x1", {}, {}, 3000);
    test::ClearProxyEnvironment();
    EXPECT_EQ(cam.Text, "from the camera");
    EXPECT_EQ(vendor.Text, "from the proxy");
  }
  EXPECT_EQ(camera.Requests().size(), 2u);
  EXPECT_EQ(proxy.Paths(), (std::vector<std::string>(2, "http://ddns.localhost:808/func/getremote.asp?id=x1")));
}

TEST_F(HttpGetTest, ATricklingServerIsCutOffAtTheDeadline) {
  // The server announces a body and sends one byte of it every 10 ms, so no wait for data
  // ever reaches the time-out; the exchange still ends at its deadline.
  std::atomic<bool> clientLeft{false};
  test::FakeTcpServer trickle([&](int fd, int) {
    if (test::ReadUntil(fd, "\r\n\r\n").empty()) return;
    test::SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n");
    for (int i = 0; i < 6000; ++i) {  // a minute at most, far beyond the deadline
      if (!test::SendAll(fd, "v")) {
        clientLeft = true;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  const int timeoutMs = 1000;
  auto r = TTools::HttpGet("http://127.0.0.1:" + std::to_string(trickle.Port()) + "/get_params.cgi", {}, {},
                           timeoutMs);
  EXPECT_FALSE(r.Ok);
  // The client hung up, not the server: wait (bounded) until the server notices.
  for (int i = 0; i < 500 && !clientLeft; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(clientLeft);
}

class HttpFileTest : public HttpGetTest {
 protected:
  void SetUp() override {
    HttpGetTest::SetUp();
    dir_ = std::filesystem::temp_directory_path() / ("kestrova_http_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(HttpFileTest, MultipartUploadOfOneFile) {
  FakeHttpServer server([](const HttpRequestSeen& r) {
    return HttpAnswer{r.Path().find("fail") != std::string::npos ? 500 : 200, "done"};
  });
  auto file = dir_ / "fw.zip";
  std::ofstream(file, std::ios::binary) << std::string("PK\x03\x04payload", 11);
  std::string reply;
  EXPECT_TRUE(TTools::HttpPostFile(server.Base() + "/upgrade_firmware.cgi?loginuse=admin&loginpas=pw", "file",
                                   file.string(), "application/x-zip-compressed", "admin", "pw", 5000, &reply));
  EXPECT_EQ(reply, "done");
  auto seen = server.Requests();
  ASSERT_EQ(seen.size(), 1u);
  const auto& req = seen[0];
  EXPECT_EQ(req.head.substr(0, 5), "POST ");
  EXPECT_EQ(req.Path(), "/upgrade_firmware.cgi?loginuse=admin&loginpas=pw");
  EXPECT_NE(req.Header("Content-Type").find("multipart/form-data; boundary="), std::string::npos);
  EXPECT_EQ(req.Header("Accept-Encoding"), "gzip,deflate");
  EXPECT_EQ(req.Header("Accept"),
            "image/gif, image/jpeg, image/pjpeg, image/pjpeg, application/x-shockwave-flash, */*");
  EXPECT_EQ(req.Header("Authorization"), "Basic YWRtaW46cHc=");
  EXPECT_NE(req.body.find("Content-Disposition: form-data; name=\"file\"; filename=\"fw.zip\""), std::string::npos);
  EXPECT_NE(req.body.find("Content-Type: application/x-zip-compressed"), std::string::npos);
  EXPECT_NE(req.body.find(std::string("PK\x03\x04payload", 11)), std::string::npos);

  EXPECT_FALSE(TTools::HttpPostFile(server.Base() + "/fail", "file", file.string(), "application/x-zip-compressed",
                                    "", "", 5000));
  EXPECT_FALSE(TTools::HttpPostFile(server.Base() + "/x", "file", (dir_ / "missing.zip").string(),
                                    "application/x-zip-compressed", "", "", 5000));
}

TEST_F(HttpFileTest, GetIntoAFile) {
  FakeHttpServer server([](const HttpRequestSeen& r) {
    return r.Path() == "/plugin.so" ? HttpAnswer{200, "PLUGIN-BYTES"} : HttpAnswer{404, "missing"};
  });
  auto target = dir_ / "plugin.so";
  EXPECT_TRUE(TTools::HttpGetToFile(server.Base() + "/plugin.so", target, 3000));
  std::ifstream in(target, std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "PLUGIN-BYTES");
  // a failed download leaves an existing file alone and no partial file behind
  EXPECT_FALSE(TTools::HttpGetToFile(server.Base() + "/other.so", target, 3000));
  std::ifstream again(target, std::ios::binary);
  std::string still((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>());
  EXPECT_EQ(still, "PLUGIN-BYTES");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "plugin.so.part"));
}

TEST_F(HttpFileTest, DownloadFollowsOnlyItsOwnServer) {
  FakeHttpServer elsewhere([](const HttpRequestSeen&) { return HttpAnswer{200, "OTHER-BYTES"}; });
  FakeHttpServer site([&](const HttpRequestSeen& r) {
    if (r.Path() == "/old.so") return HttpAnswer{301, "moved", false, "Location: /plugin.so\r\n"};
    if (r.Path() == "/plugin.so") return HttpAnswer{200, "PLUGIN-BYTES"};
    return HttpAnswer{302, "moved away", false, "Location: " + elsewhere.Base() + "/plugin.so\r\n"};
  });
  auto target = dir_ / "plugin.so";
  EXPECT_TRUE(TTools::HttpGetToFile(site.Base() + "/old.so", target, 3000));
  std::ifstream in(target, std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "PLUGIN-BYTES");  // the redirect page is not part of the file
  // A redirect to another server is no download: nothing is written, nothing asked there.
  auto other = dir_ / "other.so";
  EXPECT_FALSE(TTools::HttpGetToFile(site.Base() + "/other.so", other, 3000));
  EXPECT_FALSE(std::filesystem::exists(other));
  EXPECT_TRUE(elsewhere.Requests().empty());
}

TEST_F(HttpFileTest, FolderHelpers) {
  const std::string base = dir_.string() + "/";
  EXPECT_TRUE(TTools::ForceDirectories(base + "a/b/c/"));
  EXPECT_TRUE(std::filesystem::is_directory(base + "a/b/c"));
  EXPECT_TRUE(TTools::ForceDirectories(""));
  std::ofstream(base + "a/one.dll") << "1";
  std::ofstream(base + "a/two.txt") << "2";
  std::ofstream(base + "a/b/three.dll") << "3";
  std::ofstream(base + "a/b/c/four.ini") << "4";

  std::vector<TFoundFile> found;
  TTools::FindFiles(found, base + "a", false, nullptr, true, "*.dll;*.ini");
  std::vector<std::string> paths;
  for (const auto& f : found) paths.push_back(f.Path);
  EXPECT_EQ(paths, (std::vector<std::string>{base + "a/one.dll", base + "a/b/three.dll", base + "a/b/c/four.ini"}));
  TTools::FindFiles(found, base + "a", true, nullptr, false, "*.dll|*.txt");  // unique: one.dll not again
  EXPECT_EQ(found.size(), 4u);
  EXPECT_EQ(found.back().Path, base + "a/two.txt");
  std::vector<TFoundFile> stopped;
  TTools::FindFiles(stopped, base + "a", false, [] { return false; }, true, "*.dll");
  EXPECT_EQ(stopped.size(), 1u);

  std::vector<std::string> parts;
  TTools::SplitText("a||b", "|", parts);
  TTools::SplitText("", "|", parts);
  EXPECT_EQ(parts, (std::vector<std::string>{"a", "", "b", ""}));

  EXPECT_TRUE(TTools::DeleteTree(base + "a/b", false));
  EXPECT_TRUE(std::filesystem::is_directory(base + "a/b"));
  EXPECT_TRUE(std::filesystem::is_empty(base + "a/b"));
  EXPECT_TRUE(TTools::DeleteTree(base + "a", true));
  EXPECT_FALSE(std::filesystem::exists(base + "a"));

  EXPECT_EQ(TTools::TempPath().back(), '/');
  EXPECT_FALSE(TTools::ModulePath().empty());
  EXPECT_EQ(TTools::AppDir().back(), '/');
  ::setenv("XDG_CONFIG_HOME", (dir_ / "cfg").c_str(), 1);
  std::string appData = TTools::AppDataDir(TSpecialFolderId::AppData, true);
  EXPECT_EQ(appData.rfind((dir_ / "cfg").string() + "/", 0), 0u);
  EXPECT_TRUE(std::filesystem::is_directory(appData));
  ::unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace kestrova
