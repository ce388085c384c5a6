// The advanced window's outer-address check and the reachability request against the
// emulated DDNS service, all on loopback. Requests are written for port 808 of the service's
// host name, as the application sends them; the test's GET sends them to the emulator's port.
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "core/config/deployment.h"
#include "core/remote/outer_check.h"
#include "core/remote/vendor_service.h"
#include "http_listener.h"
#include "support/child_process.h"
#include "support/deadline.h"
#include "support/proxy_env.h"

#ifdef KV_HAVE_TTOOLS
#include "net/http/tools.h"
#else
#include <curl/curl.h>
#endif

namespace kestrova::remote {
namespace {

namespace fs = std::filesystem;

std::optional<std::string> Get(const std::string& url, int timeoutMs) {
#ifdef KV_HAVE_TTOOLS
  test::ClearProxyEnvironment();  // the emulated service listens on loopback
  THttpReply r = TTools::HttpGet(url, {}, {}, timeoutMs);
  if (!r.Ok) return std::nullopt;
  return r.Text;
#else
  CURL* c = curl_easy_init();
  std::string body;
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(timeoutMs));
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeoutMs));
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, +[](char* p, size_t s, size_t n, void* u) {
    static_cast<std::string*>(u)->append(p, s * n);
    return s * n;
  });
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &body);
  CURLcode rc = curl_easy_perform(c);
  curl_easy_cleanup(c);
  if (rc != CURLE_OK) return std::nullopt;
  return body.substr(0, body.find('\0'));
#endif
}

// "http://<any host>:808/..." to "http://127.0.0.1:<port>/...".
HttpGetFn ToLoopback(int port, std::vector<std::string>* seen = nullptr) {
  return [port, seen](const std::string& url, int timeoutMs) -> std::optional<std::string> {
    if (seen) seen->push_back(url);
    size_t hostStart = url.find("://") + 3;
    size_t pathStart = url.find('/', hostStart);
    std::string authority = url.substr(hostStart, pathStart - hostStart);
    EXPECT_TRUE(authority.size() > 4 && authority.compare(authority.size() - 4, 4, ":808") == 0) << url;
    return Get("http://127.0.0.1:" + std::to_string(port) + url.substr(pathStart), timeoutMs);
  };
}

// One kestrova-vendorsim process on 127.0.0.1 with a port of its own choosing.
class VendorSim {
 public:
  explicit VendorSim(const std::string& config, int port = 0) {
    dir_ = fs::temp_directory_path() / ("kv-vendor-" + std::to_string(getpid()) + "-" + std::to_string(counter_++));
    fs::create_directories(dir_);
    std::ofstream(dir_ / "vendor.conf") << config;
    std::string cfg = (dir_ / "vendor.conf").string(), log = (dir_ / "vendor.log").string();
    if (!child_.Spawn({KV_VENDORSIM, "--config", cfg, "--bind", "127.0.0.1", "--port", std::to_string(port), "--log", log},
                      {.capture_stderr = false}))
      return;
    testsupport::Deadline deadline(10000);
    for (std::string line; child_.ReadLine(line, deadline.left_ms()) && line != "vendorsim: ready";) {
      if (line.rfind("vendorsim: http 127.0.0.1:", 0) == 0) port_ = std::atoi(line.c_str() + 26);
    }
  }
  ~VendorSim() {
    child_.Stop();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  int Port() const { return port_; }
  std::string Log() const {
    std::ifstream in(dir_ / "vendor.log");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  static inline int counter_ = 0;
  fs::path dir_;
  testsupport::ChildProcess child_;
  int port_ = 0;
};

const char* kAccounts = R"(
[account cam-online]
password = pw1
online = 1
remote = 203.0.113.20:81

[account cam-offline]
password = pw2
online = 0

[account cam-gone]
password = pw3
registered = 0

[account cam-garbled]
password = pw4
online = 1
fault = garbage
)";

std::string Config(const std::string& service, const std::string& accounts = kAccounts) {
  return "[service]\n" + service + "\n" + accounts;
}

TEST(VendorCheck, EveryBranchOfTheOuterAddressCheck) {
  VendorSim sim(Config("garbage = <html>oops\\x01</html>"));
  ASSERT_GT(sim.Port(), 0);
  struct Case {
    std::string user, pwd, key, appendix;
    int requests;
  };
  const Case cases[] = {
      {"cam-online", "pw1", "IDS_CHECKNORM", "", 1},
      {"cam-unknown", "x", "IDS_NOID", "", 1},
      {"cam-gone", "pw3", "IDS_NOID", "", 1},
      {"cam-offline", "pw2", "IDS_NOREG", "", 2},
      {"cam-offline", "wrong", "IDS_ERRPWD", "", 2},
      {"cam-garbled", "pw4", "IDS_UNKNOWERR", "<html>oops?</html>", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.user + "/" + c.pwd);
    std::vector<std::string> urls;
    OuterCheckResult r = CheckOuterAddress("http://" + c.user + ".ddns.kestrova.test", c.user, c.pwd,
                                           ToLoopback(sim.Port(), &urls), 5000);
    EXPECT_TRUE(r.ran);
    EXPECT_EQ(r.messageKey, c.key);
    EXPECT_EQ(r.appendix, c.appendix);
    ASSERT_EQ(urls.size(), static_cast<size_t>(c.requests));
    EXPECT_EQ(urls[0], "http://user.ddns.kestrova.test:808/func/getremote.asp?id=" + c.user);
  }
  // The service saw the requests as the application wrote them.
  EXPECT_NE(sim.Log().find("GET /api/checkauth.asp?id=cam-offline&pwd=wrong"), std::string::npos) << sim.Log();
}

TEST(VendorCheck, ServiceFaultsGiveCannotConnectWithinTheTimeOut) {
  VendorSim slow(Config("fault = slow\nslow_ms = 8000"));
  VendorSim down(Config("fault = down"));
  ASSERT_GT(slow.Port(), 0);
  ASSERT_GT(down.Port(), 0);
  // A port nobody listens on.
  int refused = 0;
  {
    httplib::Server probe;
    refused = probe.bind_to_any_port("127.0.0.1");
  }
  for (int port : {slow.Port(), down.Port(), refused}) {
    SCOPED_TRACE(port);
    auto start = std::chrono::steady_clock::now();
    OuterCheckResult r = CheckOuterAddress("http://cam-online.ddns.kestrova.test", "cam-online", "pw1",
                                           ToLoopback(port), 600);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.messageKey, "IDS_CANNOTCONNECTSERVER");
    EXPECT_EQ(r.requests, 1);
    EXPECT_LT(took, std::chrono::milliseconds(8000));  // the time-out ended it, not the answer
  }
}

TEST(VendorCheck, GarbledServiceIsAnUnknownError) {
  VendorSim sim(Config("fault = garbage"));
  ASSERT_GT(sim.Port(), 0);
  OuterCheckResult r = CheckOuterAddress("http://cam-online.ddns.kestrova.test", "cam-online", "pw1",
                                         ToLoopback(sim.Port()), 5000);
  EXPECT_EQ(r.messageKey, "IDS_UNKNOWERR");
  EXPECT_FALSE(r.appendix.empty());
  for (unsigned char c : r.appendix) EXPECT_GE(c, 0x20);
}

// A camera's web server on loopback that serves /oem.txt, or answers 404.
class OemServer {
 public:
  explicit OemServer(bool serve) {
    if (serve) {
      web_.server().Get("/oem.txt", [](const httplib::Request&, httplib::Response& res) { res.set_content("OEM", "text/plain"); });
    }
    port_ = web_.Listen("127.0.0.1", 0);
  }
  int Port() const { return port_; }

 private:
  sim::HttpListener web_;
  int port_ = 0;
};

TEST(VendorCheck, ReachabilityFetchesOemTxtFromThePublicAddress) {
  OemServer camera(true), noOem(false);
  std::string accounts = "[account cam-a]\npassword = p\nonline = 1\nremote = 127.0.0.1:" + std::to_string(camera.Port()) +
                         "\n[account cam-b]\npassword = p\nonline = 1\nremote = 127.0.0.1:" + std::to_string(noOem.Port()) +
                         "\n[account cam-c]\npassword = p\nonline = 1\nremote = 10.20.30.40:81\n";
  VendorSim sim(Config("fetch_timeout_ms = 1000\nfetch_allow = 127.0.0.0/8", accounts));
  ASSERT_GT(sim.Port(), 0);
  auto get = ToLoopback(sim.Port());
  struct Case {
    std::string id;
    ReachStatus want;
  };
  // cam-c's address lies outside what the service may reach here: not reachable, and no packet.
  for (const Case& c : {Case{"cam-a", ReachStatus::Reachable}, Case{"cam-b", ReachStatus::Unreachable},
                        Case{"cam-c", ReachStatus::Unreachable}}) {
    SCOPED_TRACE(c.id);
    RegReply reg = ClassifyGetRemote(get(BuildGetRemoteUrl("www.ddns.kestrova.test", c.id), 5000));
    ASSERT_EQ(reg.status, RegStatus::Online);
    ASSERT_FALSE(reg.publicAddress.empty());
    std::string url = BuildCheckUrlUrl("www.ddns.kestrova.test", reg.publicAddress);
    EXPECT_EQ(ClassifyCheckUrl(get(url, 5000)), c.want);
  }
  EXPECT_NE(sim.Log().find("fetch http://127.0.0.1:" + std::to_string(camera.Port()) + "/oem.txt -> 200"), std::string::npos)
      << sim.Log();
  EXPECT_NE(sim.Log().find("fetch 10.20.30.40: address not allowed"), std::string::npos) << sim.Log();
}

TEST(VendorCheck, ReachabilityOfASlowServiceIsNoAnswer) {
  VendorSim sim(Config("fault = slow\nslow_ms = 8000"));
  ASSERT_GT(sim.Port(), 0);
  auto r = ToLoopback(sim.Port())(BuildCheckUrlUrl("www.ddns.kestrova.test", "127.0.0.1:9"), 600);
  EXPECT_EQ(ClassifyCheckUrl(r), ReachStatus::NoAnswer);
}

#ifdef KV_HAVE_TTOOLS
// The requests exactly as the application sends them (service names, port 808), inside a
// network and mount namespace of the test's own: loopback only, and a hosts file that names
// the service hosts 127.0.0.1.
TEST(VendorCheck, ByNameOnPort808) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root for private namespaces";
  const int code = testsupport::RunInChild([] {
    if (unshare(CLONE_NEWNET | CLONE_NEWNS) != 0) return 77;
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return 77;
    std::string hosts = (fs::temp_directory_path() / ("kv-hosts-" + std::to_string(getpid()))).string();
    std::ofstream(hosts) << "127.0.0.1 localhost\n127.0.0.1 www.ddns.kestrova.test user.ddns.kestrova.test\n";
    if (mount(hosts.c_str(), "/etc/hosts", nullptr, MS_BIND, nullptr) != 0) return 77;
    if (std::system("ip link set lo up") != 0) return 77;
    int failures = 0;
    {
      VendorSim sim(Config(""), 808);
      if (sim.Port() != 808) return 3;
      auto get = [](const std::string& url, int timeoutMs) { return Get(url, timeoutMs); };
      struct Case {
        const char* user;
        const char* pwd;
        const char* key;
      };
      for (const Case& c : {Case{"cam-online", "pw1", "IDS_CHECKNORM"}, Case{"cam-offline", "pw2", "IDS_NOREG"},
                            Case{"cam-offline", "x", "IDS_ERRPWD"}, Case{"cam-gone", "pw3", "IDS_NOID"}}) {
        OuterCheckResult r = CheckOuterAddress(std::string("http://") + c.user + ".ddns.kestrova.test", c.user, c.pwd, get);
        if (r.messageKey != c.key) {
          std::fprintf(stderr, "%s/%s: %s, wanted %s\n", c.user, c.pwd, r.messageKey.c_str(), c.key);
          ++failures;
        }
      }
      RegReply reg = ClassifyGetRemote(get(BuildGetRemoteUrl(deployment::kDdnsServiceHost, "cam-online"), 5000));
      if (reg.status != RegStatus::Online || reg.publicAddress != "203.0.113.20:81") ++failures;
    }
    umount(hosts.c_str());
    std::error_code ec;
    fs::remove(hosts, ec);
    return failures == 0 ? 0 : 1;
  }, 60000);
  if (code == 77) GTEST_SKIP() << "no private namespaces here";
  EXPECT_EQ(code, 0);
}
#endif

}  // namespace
}  // namespace kestrova::remote
