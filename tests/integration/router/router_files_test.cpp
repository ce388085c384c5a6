// Router list and plug-in downloads from a web server on loopback: a download replaces the file
// only when it arrived whole (and with the listed digest), keeps the previous one as ".old",
// and never leaves a partial file where the program loads plug-ins; the update command's
// outcomes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "http_listener.h"
#include "net/router/plugin_host.h"
#include "net/router/router_files.h"
#include "support/proxy_env.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
void Write(const fs::path& p, const std::string& t) { std::ofstream(p, std::ios::binary) << t; }

class RouterFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    test::ClearProxyEnvironment();
    ::setenv("KESTROVA_TIME_SCALE", "0.01", 1);
    dir_ = fs::temp_directory_path() / ("kestrova-router-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    ::setenv("KESTROVA_PROGRAM_DIR", dir_.c_str(), 1);
    web_.server().Get(R"(/(.*))", [this](const httplib::Request& req, httplib::Response& res) {
      std::lock_guard lock(mu_);
      auto it = files_.find(req.matches[1]);
      if (it == files_.end()) {
        res.status = 404;
        return;
      }
      res.set_content(it->second, "application/octet-stream");
    });
    port_ = web_.Listen("127.0.0.1", 0);
    ASSERT_GT(port_, 0);
  }
  void TearDown() override {
    web_.Stop();
    ::unsetenv("KESTROVA_PROGRAM_DIR");
    fs::remove_all(dir_);
  }
  void Serve(const std::string& name, const std::string& body) {
    std::lock_guard lock(mu_);
    files_[name] = body;
  }
  std::string Url(const std::string& name) const { return "http://127.0.0.1:" + std::to_string(port_) + "/" + name; }

  fs::path dir_;
  sim::HttpListener web_;
  std::mutex mu_;
  std::map<std::string, std::string> files_;
  int port_ = 0;
};

TEST_F(RouterFiles, ADownloadReplacesTheFileOnlyWhenItArrivedWhole) {
  const fs::path target = dir_ / "plugin.so";
  const fs::path old = dir_ / "plugin.so.old", ll = dir_ / "plugin.so.ll";
  Write(target, "version one");
  Write(old, "version zero");
  Serve("new.so", "version two");
  Serve("empty.so", "");
  const std::string sha = FileSha256(target);  // the digest of another body

  struct Case {
    const char* what;
    std::string url, sha256;
  } refused[] = {
      {"an empty body", Url("empty.so"), ""},
      {"not on the server", Url("absent.so"), ""},
      {"nobody listening", "http://127.0.0.1:9/x.so", ""},
      {"a body with another digest", Url("new.so"), sha},
  };
  for (const Case& c : refused) {
    EXPECT_FALSE(DownloadFile(c.url, target, c.sha256)) << c.what;
    EXPECT_EQ(Read(target), "version one") << c.what;
    EXPECT_EQ(Read(old), "version zero") << c.what;
    EXPECT_FALSE(fs::exists(ll)) << c.what;
  }

  Write(dir_ / "expected", "version two");
  ASSERT_TRUE(DownloadFile(Url("new.so"), target, FileSha256(dir_ / "expected")));
  EXPECT_EQ(Read(target), "version two");
  EXPECT_EQ(Read(old), "version one");  // the older ".old" is replaced
  EXPECT_FALSE(fs::exists(ll));
  // Without a digest any whole body is taken; with no previous file there is no ".old".
  fs::remove(target);
  fs::remove(old);
  ASSERT_TRUE(DownloadFile(Url("new.so"), target));
  EXPECT_FALSE(fs::exists(old));
}

TEST_F(RouterFiles, TheUpdateCommand) {
  const fs::path folder = dir_ / "Router";
  fs::create_directories(folder);
  const std::string pluginBytes = Read(fs::path(PLUGIN_DIR) / "plugin_echo.so");  // FileVersion 1.2.3.9
  Write(dir_ / "expected", pluginBytes);
  const std::string sha = FileSha256(dir_ / "expected");
  auto list = [&](const std::string& version, const std::string& digest) {
    Serve("Router.ini", "[Router]\r\nCount=1\r\nRenName1=Sample\r\nrpath1=sample.so\r\nVersion1=" + version +
                            (digest.empty() ? "" : "\r\nsha2561=" + digest) + "\r\n");
  };
  router::TDownloadUrls urls{Url("Router.ini"), Url("dll/")};
  router::TRouter r{1, "Sample", "sample.so", ""};
  int asked = 0;
  auto answer = [&](bool yes) {
    return [&asked, yes] {
      ++asked;
      return yes;
    };
  };

  EXPECT_EQ(RunRouterUpdate(nullptr, urls, answer(true)).key, "IDS_NOROUTER_LIST");

  // Not installed: the download is offered; declined, nothing changes.
  list("1.2.3.9", sha);
  Serve("dll/sample.so", pluginBytes);
  EXPECT_EQ(RunRouterUpdate(&r, urls, answer(false)).key, "IDS_DOWNLOAD_INFO");
  EXPECT_EQ(asked, 1);
  EXPECT_FALSE(fs::exists(folder / "sample.so"));

  // A plug-in whose bytes do not match the listed digest is refused and nothing is replaced.
  Serve("dll/sample.so", pluginBytes + "tampered");
  EXPECT_EQ(RunRouterUpdate(&r, urls, answer(true)).key, "IDS_DOWNLOAD_DLL_ERROR");
  EXPECT_FALSE(fs::exists(folder / "sample.so"));
  EXPECT_FALSE(fs::exists(folder / "sample.so.ll"));

  Serve("dll/sample.so", pluginBytes);
  const TRouterUpdateResult ok = RunRouterUpdate(&r, urls, answer(true));
  EXPECT_EQ(ok.key, "IDS_DOWNLOAD_DLL_OK");
  EXPECT_TRUE(ok.downloaded);
  EXPECT_EQ(FileVersionText(folder / "sample.so"), "1.2.3.9");
  EXPECT_FALSE(fs::exists(folder / "Router.tmp"));

  // Installed and listed alike, or installed newer as texts: current, nothing asked.
  asked = 0;
  for (const char* listed : {"1.2.3.9", "1.2.3.10", ""}) {
    list(listed, "");
    EXPECT_EQ(RunRouterUpdate(&r, urls, answer(true)).key, "IDS_NO_NewVERSION") << listed;
  }
  EXPECT_EQ(asked, 0);
  list("1.3.0.0", "");
  EXPECT_EQ(RunRouterUpdate(&r, urls, answer(false)).key, "IDS_DOWNLOAD_INFO");
  EXPECT_EQ(asked, 1);
}

}  // namespace
}  // namespace kestrova
