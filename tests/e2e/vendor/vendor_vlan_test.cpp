// The vendor's DDNS service of the virtual LAN, asked by name from the PC namespace with the
// application's HTTP client: the advanced window's check of an outer address, and the
// registration and reachability requests of the port-forward step. run_vendor_e2e.sh runs it
// inside the PC namespace once per state of the service (KV_SERVICE = up, slow or stopped);
// it refuses to run anywhere else.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "core/config/deployment.h"
#include "core/remote/outer_check.h"
#include "core/remote/vendor_service.h"
#include "net/http/tools.h"

namespace kestrova::remote {
namespace {

using Clock = std::chrono::steady_clock;

// The accounts of run_vendor_e2e.sh's service and the cameras behind them.
const std::string kFrontCamera = "192.168.0.102:81";  // family 9, web server on 81
const std::string kBrokenCamera = "192.168.0.103:80"; // its web server answers 500
const std::string kNobody = "192.168.0.120:80";       // no camera at that address

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::optional<std::string> Get(const std::string& url, int timeoutMs) {
  THttpReply r = TTools::HttpGet(url, {}, {}, timeoutMs);
  if (!r.Ok) return std::nullopt;
  return r.Text;
}

// The GET the checks are handed, remembering what was asked.
HttpGetFn Recording(std::vector<std::string>& urls) {
  return [&urls](const std::string& url, int timeoutMs) {
    urls.push_back(url);
    return Get(url, timeoutMs);
  };
}

std::string Resolve(const std::string& name) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* res = nullptr;
  if (getaddrinfo(name.c_str(), nullptr, &hints, &res) != 0 || !res) return "";
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(res->ai_addr)->sin_addr, text, sizeof text);
  freeaddrinfo(res);
  return text;
}

std::string OuterUrl(const std::string& id) { return "http://" + id + std::string(deployment::kDefaultDdnsDomainSuffix); }

std::string DownloadHost() {
  std::string site(deployment::kDownloadSite);
  site = site.substr(site.find("://") + 3);
  return site.substr(0, site.find_first_of(":/"));
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

const std::string kService(deployment::kDdnsServiceHost);

// ---- the service is up ---------------------------------------------------------------------

TEST(ServiceUp, EveryServiceNameLeadsToTheServiceNamespace) {
  for (const std::string& name : {kService, OuterCheckHost(OuterUrl("kv0001")), DownloadHost()}) {
    EXPECT_EQ(Resolve(name), Env("KV_VENDOR_IP")) << name;
  }
}

TEST(ServiceUp, OuterAddressCheckGivesEachBranch) {
  struct Case {
    const char* id;
    const char* pwd;
    const char* key;
    size_t requests;
  } cases[] = {
      {"kv0001", "ddnspw1", "IDS_CHECKNORM", 1},  // registered and online
      {"kv0099", "any", "IDS_NOID", 1},           // the service has never heard of it
      {"kv0003", "any", "IDS_NOID", 1},           // known to the camera only
      {"kv0002", "ddnspw2", "IDS_NOREG", 2},      // offline, password right
      {"kv0002", "wrong", "IDS_ERRPWD", 2},       // offline, password wrong
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.id) + "/" + c.pwd);
    std::vector<std::string> urls;
    OuterCheckResult r = CheckOuterAddress(OuterUrl(c.id), c.id, c.pwd, Recording(urls));
    EXPECT_TRUE(r.ran);
    EXPECT_EQ(r.messageKey, c.key);
    EXPECT_EQ(r.appendix, "");
    ASSERT_EQ(urls.size(), c.requests);
    EXPECT_EQ(urls[0], "http://user" + std::string(deployment::kDefaultDdnsDomainSuffix) +
                           ":808/func/getremote.asp?id=" + c.id);
    if (c.requests == 2) {
      EXPECT_EQ(urls[1], "http://user" + std::string(deployment::kDefaultDdnsDomainSuffix) +
                             ":808/api/checkauth.asp?id=" + c.id + "&pwd=" + c.pwd);
    }
  }
}

TEST(ServiceUp, RegistrationAndReachabilityOfTheCameras) {
  struct Case {
    const char* id;
    RegStatus reg;
    std::string address;
    ReachStatus reach;
  } cases[] = {
      {"kv0001", RegStatus::Online, kFrontCamera, ReachStatus::Reachable},
      {"kv0004", RegStatus::Online, kBrokenCamera, ReachStatus::Unreachable},
      {"kv0005", RegStatus::Online, kNobody, ReachStatus::Unreachable},
      {"kv0002", RegStatus::Offline, "", ReachStatus::NoAnswer},
      {"kv0099", RegStatus::NoId, "", ReachStatus::NoAnswer},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    RegReply reg = ClassifyGetRemote(Get(BuildGetRemoteUrl(kService, c.id), deployment::kDdnsServiceTimeoutMs));
    EXPECT_EQ(reg.status, c.reg);
    EXPECT_EQ(reg.publicAddress, c.address);
    if (reg.status != RegStatus::Online) continue;
    std::string probe = BuildCheckUrlUrl(kService, reg.publicAddress);
    EXPECT_EQ(probe, "http://" + kService + ":808/api/checkurl.asp?url=http://" + c.address + "/oem.txt");
    EXPECT_EQ(ClassifyCheckUrl(Get(probe, deployment::kDdnsServiceTimeoutMs)), c.reach);
  }
  // The service fetched the file from the camera itself, across the LAN.
  const std::string vendorLog = ReadFile(Env("KV_VENDOR_LOG"));
  EXPECT_NE(vendorLog.find("fetch http://" + kFrontCamera + "/oem.txt -> 200"), std::string::npos) << vendorLog;
  const std::string cameraLog = ReadFile(Env("KV_CAMSIM_LOG"));
  EXPECT_NE(cameraLog.find("http cam=front web GET /oem.txt status=200"), std::string::npos) << cameraLog;
  EXPECT_NE(cameraLog.find("http cam=broken web GET /oem.txt status=500"), std::string::npos) << cameraLog;
}

// ---- the service accepts but answers too late: the client's time-out ends each request -------

TEST(ServiceSlow, CannotConnectOnceTheTimeOutHasPassed) {
  const int timeoutMs = 1500;
  auto start = Clock::now();
  OuterCheckResult r = CheckOuterAddress(OuterUrl("kv0001"), "kv0001", "ddnspw1", Get, timeoutMs);
  auto took = Clock::now() - start;
  EXPECT_EQ(r.messageKey, "IDS_CANNOTCONNECTSERVER");
  EXPECT_EQ(r.requests, 1);
  EXPECT_LT(took, std::chrono::milliseconds(timeoutMs + 3000));

  start = Clock::now();
  EXPECT_EQ(ClassifyCheckUrl(Get(BuildCheckUrlUrl(kService, kFrontCamera), timeoutMs)), ReachStatus::NoAnswer);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(timeoutMs + 3000));
}

// ---- nothing listens on the service's port any more ------------------------------------------

TEST(ServiceStopped, CannotConnectAtOnce) {
  auto start = Clock::now();
  OuterCheckResult r = CheckOuterAddress(OuterUrl("kv0002"), "kv0002", "ddnspw2", Get);
  EXPECT_EQ(r.messageKey, "IDS_CANNOTCONNECTSERVER");
  EXPECT_EQ(r.requests, 1);
  EXPECT_EQ(ClassifyGetRemote(Get(BuildGetRemoteUrl(kService, "kv0001"), deployment::kDdnsServiceTimeoutMs)).status,
            RegStatus::NoAnswer);
  EXPECT_EQ(ClassifyCheckUrl(Get(BuildCheckUrlUrl(kService, kFrontCamera), deployment::kDdnsServiceTimeoutMs)),
            ReachStatus::NoAnswer);
  // A refused connection is an answer of its own: nothing waits for the 20 s time-out.
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(deployment::kDdnsServiceTimeoutMs));
}

}  // namespace
}  // namespace kestrova::remote

int main(int argc, char** argv) {
  // Talks to the addresses of the virtual LAN: never on the host network.
  const std::string phase = kestrova::remote::Env("KV_SERVICE");
  if (kestrova::remote::Env("KESTROVA_VLAN_PC") != "1" || kestrova::remote::Env("KV_VENDOR_IP").empty() ||
      (phase != "up" && phase != "slow" && phase != "stopped")) {
    std::fprintf(stderr, "vendor_vlan_e2e: runs only inside the virtual LAN (see run_vendor_e2e.sh)\n");
    return 77;
  }
  // Every service name must lead into the LAN before a single request is sent.
  if (kestrova::remote::Resolve(std::string(kestrova::deployment::kDdnsServiceHost)) !=
      kestrova::remote::Env("KV_VENDOR_IP")) {
    std::fprintf(stderr, "vendor_vlan_e2e: %s is not the vendor namespace's address here\n",
                 std::string(kestrova::deployment::kDdnsServiceHost).c_str());
    return 1;
  }
  ::setenv("no_proxy", "*", 1);
  ::testing::InitGoogleTest(&argc, argv);
  const char* filters[] = {"ServiceUp.*", "ServiceSlow.*", "ServiceStopped.*"};
  GTEST_FLAG_SET(filter, phase == "up" ? filters[0] : phase == "slow" ? filters[1] : filters[2]);
  return RUN_ALL_TESTS();
}
