// The advanced window's outer-address check and the reachability request against the
// emulated DDNS service, all on loopback. Requests are written for port 808 of the service's
// host name, as the application sends them; the test's GET sends them to the emulator's port.
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "core/config/deployment.h"
#include "core/remote/outer_check.h"
#include "core/remote/vendor_service.h"
#include "integration/ctp_http/fake_http.h"

#ifdef KV_HAVE_TTOOLS
#include "net/http/tools.h"
#else
#include <curl/curl.h>
#endif

namespace kestrova::remote {
namespace {

namespace fs = std::filesystem;

std::optional<std::string> Get(const std::string& url, int timeoutMs) {
  static const bool noProxy = (test::NoProxyForLoopback(), true);
  (void)noProxy;
#ifdef KV_HAVE_TTOOLS
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
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      close(out[0]);
      close(out[1]);
      std::string cfg = (dir_ / "vendor.conf").string(), log = (dir_ / "vendor.log").string();
      std::string portText = std::to_string(port);
      execl(KV_VENDORSIM, KV_VENDORSIM, "--config", cfg.c_str(), "--bind", "127.0.0.1", "--port", portText.c_str(),
            "--log", log.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    std::string text;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (text.find("vendorsim: ready") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd p{out[0], POLLIN, 0};
      if (poll(&p, 1, 200) <= 0) continue;
      char buf[512];
      ssize_t n = read(out[0], buf, sizeof(buf));
      if (n <= 0) break;
      text.append(buf, static_cast<size_t>(n));
    }
    outFd_ = out[0];
    size_t at = text.find("vendorsim: http 127.0.0.1:");
    if (at != std::string::npos) port_ = std::atoi(text.c_str() + at + 26);
  }
  ~VendorSim() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int st = 0;
      waitpid(pid_, &st, 0);
    }
    if (outFd_ >= 0) close(outFd_);
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
  pid_t pid_ = -1;
  int outFd_ = -1;
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
      svr_.Get("/oem.txt", [](const httplib::Request&, httplib::Response& res) { res.set_content("OEM", "text/plain"); });
    }
    port_ = svr_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { svr_.listen_after_bind(); });
    while (!svr_.is_running()) std::this_thread::yield();
  }
  ~OemServer() {
    svr_.stop();
    thread_.join();
  }
  int Port() const { return port_; }

 private:
  httplib::Server svr_;
  std::thread thread_;
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
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (unshare(CLONE_NEWNET | CLONE_NEWNS) != 0) _exit(77);
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) _exit(77);
    std::string hosts = (fs::temp_directory_path() / ("kv-hosts-" + std::to_string(getpid()))).string();
    std::ofstream(hosts) << "127.0.0.1 localhost\n127.0.0.1 www.ddns.kestrova.test user.ddns.kestrova.test\n";
    if (mount(hosts.c_str(), "/etc/hosts", nullptr, MS_BIND, nullptr) != 0) _exit(77);
    if (std::system("ip link set lo up") != 0) _exit(77);
    int failures = 0;
    {
      VendorSim sim(Config(""), 808);
      if (sim.Port() != 808) _exit(3);
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
    _exit(failures == 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no private namespaces here";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif

}  // namespace
}  // namespace kestrova::remote
