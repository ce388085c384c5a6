// The reachability check per family against fake cameras on 127.0.0.1.
#include <gtest/gtest.h>

#include <chrono>

#include "integration/ctp_http/fake_http.h"
#include "net/checkdev/check_dev.h"
#include "net/platform/scaled_clock.h"

namespace kestrova {
namespace {

using namespace std::chrono_literals;

std::string Framed(const std::string& status) { return "CTP/1.0 " + status + "\r\nContent-Length:2\r\n\r\n\r\n"; }

// A CTP camera answering every request with one status line.
struct CtpCamera {
  explicit CtpCamera(std::string status) : status_(std::move(status)) {}
  std::atomic<int> requests{0};
  std::string status_;
  test::FakeTcpServer server{[this](int fd, int) {
    std::string carry;
    for (;;) {
      std::string head = test::ReadUntil(fd, "\r\n\r\n", &carry);
      if (head.empty()) return;
      size_t p = head.find("Content-Length:");
      if (p != std::string::npos) test::ReadN(fd, std::stoul(head.substr(p + 15)), &carry);
      ++requests;
      if (!test::SendAll(fd, Framed(status_))) return;
    }
  }};
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(server.Port()); }
};

// A loopback port where nothing listens (a server that has been stopped).
uint16_t ClosedPort() {
  test::FakeTcpServer s([](int, int) {});
  const uint16_t port = s.Port();
  s.Stop();
  return port;
}

TCheckDevOptions Quick() {
  TCheckDevOptions o;
  o.HttpTimeoutMs = 3000;
  o.Ctp.Send = 1000ms;
  o.Ctp.Reply = 3000ms;
  return o;
}

class CheckDevTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::NoProxyForLoopback();
    SetTimeScale(0.001);  // family 8's 3 s before it is asked
  }
  void TearDown() override {
    SetTimeScale(1.0);
    CtpPoolClear();
  }
};

TEST_F(CheckDevTest, HttpFamiliesCountAnyResponse) {
  for (int status : {200, 401, 404, 500}) {
    test::FakeHttpServer cam([status](const test::HttpRequestSeen&) { return test::HttpAnswer{status, "x"}; });
    for (int family : {2, 9, 4}) {
      SCOPED_TRACE(testing::Message() << "status " << status << " family " << family);
      EXPECT_EQ(CheckDevice(family, cam.Base(), Quick()), 1);
    }
    const auto seen = cam.Requests();
    ASSERT_EQ(seen.size(), 3u);
    for (const auto& r : seen) {
      EXPECT_EQ(r.Path(), "/");
      EXPECT_FALSE(r.HasHeader("Authorization"));
    }
  }
  const std::string closed = "http://127.0.0.1:" + std::to_string(ClosedPort());
  EXPECT_EQ(CheckDevice(2, closed, Quick()), 0);
  EXPECT_EQ(CheckDevice(9, closed, Quick()), 0);
}

TEST_F(CheckDevTest, Family8AsksForItsStatusPage) {
  test::FakeHttpServer cam([](const test::HttpRequestSeen&) { return test::HttpAnswer{404, "not here"}; });
  EXPECT_EQ(CheckDevice(8, cam.Base(), Quick()), 1);
  ASSERT_EQ(cam.Paths(), (std::vector<std::string>{"/get_status.cgi"}));
  EXPECT_FALSE(cam.Requests()[0].HasHeader("Authorization"));
  EXPECT_EQ(CheckDevice(8, "http://127.0.0.1:" + std::to_string(ClosedPort()), Quick()), 0);
}

TEST_F(CheckDevTest, Family5ByCtpKeepalive) {
  {
    CtpCamera cam("200 OK");
    EXPECT_EQ(CheckDevice(5, cam.Url(), Quick()), 1);
    EXPECT_GE(cam.requests.load(), 1);
  }
  CtpPoolClear();
  {
    CtpCamera cam("500 Internal Error");
    EXPECT_EQ(CheckDevice(5, cam.Url(), Quick()), 0);
  }
  CtpPoolClear();
  // No connection: 0 without any keep-alive.
  EXPECT_EQ(CheckDevice(5, "http://127.0.0.1:" + std::to_string(ClosedPort()), Quick()), 0);
}

TEST_F(CheckDevTest, NothingIsAskedOfAnAddressThatIsNotDottedDecimal) {
  test::FakeHttpServer cam([](const test::HttpRequestSeen&) { return test::HttpAnswer{200, "x"}; });
  const std::string byName = "http://localhost:" + std::to_string(cam.Port());
  for (int family : {2, 5, 8, 9}) EXPECT_EQ(CheckDevice(family, byName, Quick()), 0) << family;
  EXPECT_TRUE(cam.Requests().empty());
}

}  // namespace
}  // namespace kestrova
