// CTP client against fake cameras on 127.0.0.1.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "fake_ctp.h"
#include "net/ctp/ctp_socket.h"

namespace kestrova {
namespace {

using namespace std::chrono_literals;
using test::FakeTcpServer;
using test::FakeCamera;
using test::Framed;
using test::CommandOf;
using test::ReadCtpRequest;

CtpTimeouts Short() {
  CtpTimeouts t;
  t.Send = 1000ms;
  t.Reply = 3000ms;
  t.QuietGap = 300ms;
  t.FramedGap = 3000ms;
  return t;
}

class CtpTest : public ::testing::Test {
 protected:
  void TearDown() override { CtpPoolClear(); }
};

TEST_F(CtpTest, CommandsSendTheirRequestsAndReadTheReplies) {
  FakeCamera cam;
  cam.answer = [](const std::string& req) -> std::string {
    std::string cmd = CommandOf(req);
    if (cmd == "cfgusr") return Framed(req.find("-login admin:1234") != std::string::npos ? "200 OK" : "401 Denied", "\r\n");
    if (cmd == "getoraystate") return Framed("200 OK", "-status 2\r\n\r\n");
    if (cmd == "cfgwnic" && req.find("-list") != std::string::npos)
      return Framed("200 OK", "-enable 1\r\n-ssid My Home Net\r\n-authmode WPA2PSK\r\n-encryptype AES\r\n-key k\r\n\r\n");
    if (cmd == "cfgwnic") return Framed("200 OK", "\r\n");
    if (cmd == "iwlist") return Framed("200 OK", "Office,00:11:22:33:44:55,1,0,2,2,78\r\n,x,1,1,1,1,1\r\n\r\n");
    return Framed("200", "\r\n");
  };
  TCTPSocket c("127.0.0.1", cam.server.Port());
  ASSERT_TRUE(c.Valid());
  EXPECT_TRUE(Keepalive(c, Short()));
  EXPECT_TRUE(Login(c, "admin", "1234", Short()));
  EXPECT_FALSE(Login(c, "admin", "wrong", Short()));
  EXPECT_EQ(GetOrayState(c, Short()), 2);
  auto w = GetWirelessConfig(c, Short());
  ASSERT_TRUE(w);
  EXPECT_EQ(w->SSID, "My Home Net");
  TDEVWiFi set = *w;
  set.SSID = "Other";
  EXPECT_TRUE(SetWirelessConfig(c, set, Short()));
  std::vector<TCtpNetwork> nets;
  EXPECT_TRUE(ListNetworks(c, &nets, Short()));
  ASSERT_EQ(nets.size(), 1u);
  EXPECT_EQ(nets[0].Text, "Office(78%)");

  auto log = cam.Log();
  ASSERT_EQ(log.size(), 7u);  // one connection carried every exchange
  EXPECT_EQ(log[0], "CMD keepalive CTP/1.0\r\nContent-Length:2\r\n\r\n\r\n");
  EXPECT_EQ(log[5], "CMD cfgwnic CTP/1.0\r\nContent-Length:70\r\n\r\n"
                    "-enable 1\r\n-ssid Other\r\n-authmode WPA2PSK\r\n-encryptype AES\r\n-key k\r\n\r\n");
  EXPECT_EQ(cam.server.Connections(), 1);
}

TEST_F(CtpTest, ReplyInSeveralSegmentsIsReadWhole) {
  const std::string body = "Net A,m,1,0,2,2,70\r\nNet B,m,0,0,0,0,40\r\n\r\n";
  const std::string framed = Framed("200 OK", body);
  const std::string unframed = "CTP/1.0 200 OK\r\n\r\n" + body;
  for (const std::string& reply : {framed, unframed}) {
    FakeTcpServer server([&](int fd, int) {
      std::string carry;
      if (ReadCtpRequest(fd, carry).empty()) return;
      // three segments with pauses that lie well inside the client's gaps
      size_t a = reply.size() / 3, b = 2 * reply.size() / 3;
      test::SendAll(fd, reply.substr(0, a));
      std::this_thread::sleep_for(60ms);
      test::SendAll(fd, reply.substr(a, b - a));
      std::this_thread::sleep_for(60ms);
      test::SendAll(fd, reply.substr(b));
      test::WaitClosed(fd);
    });
    TCTPSocket c("127.0.0.1", server.Port());
    CtpTimeouts t = Short();
    t.QuietGap = 1000ms;
    std::vector<TCtpNetwork> nets;
    EXPECT_TRUE(ListNetworks(c, &nets, t));
    EXPECT_EQ(nets.size(), 2u) << reply;
  }
}

TEST_F(CtpTest, SilentOrAbsentCameraGivesEmptyReply) {
  FakeTcpServer silent([](int fd, int) { test::WaitClosed(fd); });  // accepts, never answers
  CtpTimeouts t = Short();
  t.Reply = 200ms;
  TCTPSocket c("127.0.0.1", silent.Port());
  EXPECT_EQ(c.Exchange(BuildCtpKeepalive(), t), "");
  EXPECT_EQ(GetOrayState(c, t), 5);
  EXPECT_FALSE(GetWirelessConfig(c, t));

  // nothing listens on this port: the connect fails and so does the exchange
  uint16_t closedPort;
  {
    FakeTcpServer gone([](int, int) {});
    closedPort = gone.Port();
  }
  TCTPSocket refused("127.0.0.1", closedPort);
  EXPECT_EQ(refused.Exchange(BuildCtpKeepalive(), t), "");

  TCTPSocket bad("camera.local", 81);
  EXPECT_FALSE(bad.Valid());
  EXPECT_EQ(bad.Exchange(BuildCtpKeepalive(), t), "");
  EXPECT_EQ(AcquireConnection("not-an-address", 81, t), nullptr);
  EXPECT_EQ(SendPooled("not-an-address", 81, BuildCtpKeepalive(), t), "");
}

TEST_F(CtpTest, APeerThatNeverStopsSendingCannotHoldTheExchange) {
  // The peer streams bytes without end from the moment it is connected, and never reads.
  std::atomic<bool> stop{false};
  FakeTcpServer flood([&](int fd, int) {
    const std::string chunk(64 * 1024, 'x');
    while (!stop && test::SendAll(fd, chunk)) {
    }
  });
  TCTPSocket c("127.0.0.1", flood.Port());
  // Let the peer fill the socket buffers, so that the exchange starts with bytes waiting.
  std::this_thread::sleep_for(100ms);
  auto done = std::async(std::launch::async, [&] { return c.Exchange(BuildCtpKeepalive(), Short()); });
  // Bound of the test itself only: the drain ends after the send time-out or its byte budget,
  // the reply after its cap or the reply time-out; whatever was read is at most one reply long.
  ASSERT_EQ(done.wait_for(30s), std::future_status::ready);
  EXPECT_LE(done.get().size(), kCtpMaxReply);
  stop = true;
  flood.Stop();
}

TEST_F(CtpTest, CameraClosingMidReplyYieldsWhatArrived) {
  FakeTcpServer server([](int fd, int) {
    std::string carry;
    if (ReadCtpRequest(fd, carry).empty()) return;
    test::SendAll(fd, "CTP/1.0 200 OK\r\nContent-Length:500\r\n\r\n-status 3\r\n");
    ::shutdown(fd, SHUT_RDWR);
  });
  TCTPSocket c("127.0.0.1", server.Port());
  EXPECT_EQ(GetOrayState(c, Short()), 3);
}

TEST_F(CtpTest, PoolReusesAndReplacesAfterRestart) {
  FakeCamera cam;
  auto first = AcquireConnection("127.0.0.1", cam.server.Port(), Short());
  ASSERT_TRUE(first);
  EXPECT_EQ(CtpPoolSize(), 1u);
  auto again = AcquireConnection("127.0.0.1", cam.server.Port(), Short());
  EXPECT_EQ(again, first);  // it answered keepalive
  EXPECT_EQ(cam.server.Connections(), 1);

  cam.server.DropConnections();  // the camera restarts
  auto fresh = AcquireConnection("127.0.0.1", cam.server.Port(), Short());
  ASSERT_TRUE(fresh);
  EXPECT_NE(fresh, first);
  EXPECT_TRUE(Keepalive(*fresh, Short()));
  EXPECT_EQ(CtpPoolSize(), 1u);

  ReleaseConnection(fresh);
  EXPECT_EQ(CtpPoolSize(), 0u);
  ReleaseConnection(nullptr);
  EXPECT_EQ(CtpPoolKey("192.168.1.20", 81), "192.168.1.20|81");
}

TEST_F(CtpTest, ConnectionInUseSurvivesReleaseFromAnotherThread) {
  std::promise<void> requestSeen;
  std::promise<void> mayAnswer;
  auto mayAnswerFuture = mayAnswer.get_future().share();
  FakeTcpServer server([&](int fd, int idx) {
    std::string carry;
    for (;;) {
      std::string req = ReadCtpRequest(fd, carry);
      if (req.empty()) return;
      if (idx == 0 && CommandOf(req) == "iwlist") {
        requestSeen.set_value();
        mayAnswerFuture.wait();
        test::SendAll(fd, Framed("200 OK", "Late,m,1,0,2,2,10\r\n\r\n"));
      } else {
        test::SendAll(fd, Framed("200 OK", "\r\n"));
      }
    }
  });
  CtpConnection conn = AcquireConnection("127.0.0.1", server.Port(), Short());
  ASSERT_TRUE(conn);
  std::weak_ptr<TCTPSocket> watch = conn;

  std::vector<TCtpNetwork> nets;
  bool listed = false;
  std::thread user([&, c = conn] { listed = ListNetworks(*c, &nets, Short()); });
  requestSeen.get_future().wait();

  // Meanwhile this thread drops the connection from the pool and lets go of it.
  ReleaseConnection(conn);
  conn.reset();
  EXPECT_EQ(CtpPoolSize(), 0u);
  EXPECT_FALSE(watch.expired());  // the other thread still holds it

  // A restart through the pool takes a fresh connection and does not disturb the first.
  TRebootThread reboot("127.0.0.1", server.Port(), Short());
  reboot.Join();

  mayAnswer.set_value();
  user.join();
  EXPECT_TRUE(listed);
  ASSERT_EQ(nets.size(), 1u);
  EXPECT_EQ(nets[0].WiFi.SSID, "Late");
  EXPECT_TRUE(watch.expired());  // closed once the last user let go
}

TEST_F(CtpTest, ManyThreadsShareOnePooledConnection) {
  FakeCamera cam;
  cam.answer = [](const std::string& req) { return Framed("200 OK", "-status 1\r\n\r\n"); };
  std::vector<std::thread> threads;
  std::atomic<int> ok{0};
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&] {
      for (int k = 0; k < 10; ++k) {
        std::string r = SendPooled("127.0.0.1", cam.server.Port(), BuildCtpGetOrayState(), Short());
        if (ParseCtpOrayState(r) == 1) ++ok;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(ok.load(), 40);
  EXPECT_EQ(CtpPoolSize(), 1u);
}

}  // namespace
}  // namespace kestrova
