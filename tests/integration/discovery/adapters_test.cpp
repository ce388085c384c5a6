// Broadcasts through every adapter: the socket's per-adapter send on loopback, and the engine
// with a fake adapter list whose sends all land on loopback (nothing leaves the machine).
#include <gtest/gtest.h>

#include <net/if.h>

#include <map>
#include <mutex>
#include <set>

#include "integration/discovery/fake_cameras.h"
#include "net/hostnet/send_adapters.h"
#include "net/sockets/adapter_paths.h"

namespace kestrova {
namespace {

using testing::Bytes;
using testing::FakeCamera;
using testing::StartsWith;

TEST(UdpSocket, SendToViaLeavesFromTheSocketsPortAndFailsForAnAdapterThatIsGone) {
  UdpSocket rx, tx;
  ASSERT_TRUE(rx.Bind(0, "127.0.0.1"));
  ASSERT_TRUE(tx.Bind(0, "127.0.0.1"));
  const int lo = int(if_nametoindex("lo"));
  ASSERT_GT(lo, 0);
  const Bytes b{1, 2, 3};
  ASSERT_TRUE(tx.SendToVia(lo, "127.0.0.1", "127.0.0.1", rx.LocalPort(), b));
  ASSERT_EQ(rx.WaitReadable(2000), WaitResult::Readable);
  auto d = rx.Receive();
  ASSERT_TRUE(d);
  EXPECT_EQ(d->data, b);
  EXPECT_EQ(d->fromPort, tx.LocalPort());
  // No such interface (unplugged, removed), a bad index, a bad address, a closed socket.
  EXPECT_FALSE(tx.SendToVia(999999, "", "127.0.0.1", rx.LocalPort(), b));
  EXPECT_FALSE(tx.SendToVia(0, "", "127.0.0.1", rx.LocalPort(), b));
  EXPECT_FALSE(tx.SendToVia(lo, "127.0.0.x", "127.0.0.1", rx.LocalPort(), b));
  EXPECT_FALSE(tx.SendToVia(lo, "", "", rx.LocalPort(), b));
  UdpSocket closed;
  EXPECT_FALSE(closed.SendToVia(lo, "", "127.0.0.1", rx.LocalPort(), b));
}

TEST(SendAdapters, NeverListLoopbackAndNameEveryAdapterOnce) {
  std::set<int> seen;
  for (const SendAdapter& a : ListSendAdapters()) {
    EXPECT_NE(a.name, "lo");
    EXPECT_TRUE(seen.insert(a.index).second) << a.name;
    EXPECT_TRUE(ParseIPv4NetOrder(a.address)) << a.address;
    EXPECT_NE(a.address.rfind("127.", 0), 0u) << a.address;
  }
}

// Adapters of the test's making: every send that would leave through one of them goes to the
// same port on loopback instead, and is recorded; the adapters in `failing` refuse.
class FakePaths : public AdapterPaths {
 public:
  std::vector<SendAdapter> Adapters() override {
    std::lock_guard lock(mu_);
    ++listed;
    return adapters;
  }
  bool SendVia(UdpSocket& socket, const SendAdapter& a, const std::string& addr, uint16_t port,
               std::span<const uint8_t> data) override {
    std::lock_guard lock(mu_);
    EXPECT_EQ(addr, "255.255.255.255");
    if (failing.count(a.index)) return false;
    ++sends[a.index];
    return socket.SendTo("127.0.0.1", port, data);
  }
  std::vector<SendAdapter> adapters = {{2, "eth0", "192.168.0.10"}, {3, "usb0", "10.20.0.10"},
                                       {4, "wlan0", "172.16.5.10"}};
  std::set<int> failing;
  std::map<int, int> sends;
  int listed = 0;

 private:
  std::mutex mu_;
};

class AdapterEngineTest : public ::testing::Test {
 protected:
  AdapterEngineTest()
      : f5([this](const Bytes& q) -> std::vector<Bytes> {
          if (!StartsWith(q, {'S', 'E', 'A', 'R', 'C', 'H'})) return {};
          return {testing::Family5Reply("00:11:22:33:44:55", "127.0.0.15")};
        }),
        f8([this](const Bytes& q) -> std::vector<Bytes> {
          if (StartsWith(q, {0x10, 0x10, 0x01, 0x0f})) return {testing::Family8SearchAnswer(cam8)};
          if (StartsWith(q, {0x10, 0x10, 0x12, 0x0f})) return {testing::Family8InfoReply(cam8)};
          if (StartsWith(q, {0x10, 0x10, 0x0f, 0x0f})) return {testing::Family8DdnsReply(cam8)};
          return {};
        }),
        f9([this](const Bytes& q) -> std::vector<Bytes> {
          if (q == Bytes{0x44, 0x48, 0x01, 0x01}) return {testing::Family9Answer(cam9)};
          return {};
        }) {
    cfg = testing::LoopbackConfig();
    cfg.broadcastAddress = "255.255.255.255";  // what the fake adapters turn into loopback
    cfg.adapterPaths = &paths;
    cfg.family5Port = f5.port();
    cfg.family8Port = f8.port();
    cfg.family9Port = f9.port();
    engine = std::make_unique<DiscoveryEngine>(cfg);
  }
  bool Pump(const std::function<bool()>& cond) { return testing::PumpUntil(*engine, {&f5, &f8, &f9}, cond); }
  size_t Count(const FakeCamera& cam, std::initializer_list<uint8_t> prefix) {
    size_t n = 0;
    for (const Bytes& q : cam.Requests()) n += StartsWith(q, prefix) ? 1 : 0;
    return n;
  }

  testing::Family8Camera cam8;
  testing::Family9Camera cam9;
  FakeCamera f5, f8, f9;
  FakePaths paths;
  DiscoveryConfig cfg;
  std::unique_ptr<DiscoveryEngine> engine;
};

TEST_F(AdapterEngineTest, EveryRequestLeavesThroughEveryAdapterAndOneRefusingAdapterStopsNoOther) {
  paths.failing = {3};  // unplugged during the round
  ASSERT_TRUE(engine->Start());
  engine->Tick();
  ASSERT_TRUE(Pump([&] {
    const TDevInfo* h = engine->List().FindDevByMAC("001122aabbcc");
    return engine->List().Count() == 3 && h && !h->DDnsUser.empty() && Count(f8, {0x10, 0x10, 0x0f, 0x0f}) == 2;
  })) << engine->List().Count();
  EXPECT_EQ(paths.listed, 1);  // once a round
  // The same request through both working adapters, from the socket's own port.
  EXPECT_EQ(Count(f5, {'S', 'E', 'A', 'R', 'C', 'H'}), 2u);
  for (uint16_t p : f5.Senders()) EXPECT_EQ(p, engine->LocalPort(DiscoverySocket::IdUDPServer4));
  EXPECT_EQ(Count(f9, {0x44, 0x48, 0x01, 0x01}), 2u);
  EXPECT_EQ(Count(f8, {0x10, 0x10, 0x01, 0x0f}), 2u);
  // Two answers of the camera, one follow-up of each kind, sent through both adapters.
  EXPECT_EQ(Count(f8, {0x10, 0x10, 0x12, 0x0f}), 2u);
  const DiscoveryStats st = engine->Stats();
  EXPECT_EQ(st.followUps, 2u);
  EXPECT_EQ(paths.sends[2], paths.sends[4]);
  EXPECT_EQ(paths.sends.count(3), 0u);
  // Each request and follow-up failed once, on the refusing adapter, and none failed in all.
  EXPECT_EQ(st.adapterSendFailures, uint64_t(paths.sends[2]));
  EXPECT_EQ(st.sendFailures, 0u);
  EXPECT_FALSE(engine->RoundUnsent());
  ASSERT_EQ(engine->RoundAdapters().size(), 3u);
  // A camera heard through two adapters is one entry.
  EXPECT_EQ(engine->List().Count(), 3);
}

TEST_F(AdapterEngineTest, RoundThatNoAdapterCouldSendIsReportedUntilOneCanAgain) {
  paths.adapters.clear();  // no adapter up at all
  ASSERT_TRUE(engine->Start());
  EXPECT_FALSE(engine->RoundUnsent());  // nothing said before the first round
  engine->Tick();
  EXPECT_TRUE(engine->RoundUnsent());
  EXPECT_EQ(engine->Stats().unsentRounds, 1u);
  EXPECT_GT(engine->Stats().sendFailures, 0u);

  paths.adapters = {{2, "eth0", "192.168.0.10"}, {3, "usb0", "10.20.0.10"}};
  paths.failing = {2, 3};  // listed, but every send fails
  engine->Tick();
  EXPECT_TRUE(engine->RoundUnsent());
  EXPECT_EQ(engine->Stats().unsentRounds, 2u);

  paths.failing = {2};
  engine->Tick();
  EXPECT_FALSE(engine->RoundUnsent());
  ASSERT_TRUE(Pump([&] { return engine->List().Count() == 3; }));
  EXPECT_EQ(engine->Stats().unsentRounds, 2u);
}

TEST_F(AdapterEngineTest, SettingsCommandGoesThroughTheAdaptersAsTheyAreNow) {
  paths.adapters = {{2, "eth0", "192.168.0.10"}};
  ASSERT_TRUE(engine->Start());
  engine->Tick();
  paths.adapters.push_back({5, "eth1", "10.20.0.10"});  // plugged in after the round
  const int before = paths.sends[2];
  ASSERT_TRUE(engine->SendFrom(DiscoverySocket::IdUDPServer4, kFamily5Port, Bytes{'X'}));
  EXPECT_EQ(paths.sends[2], before + 1);
  EXPECT_EQ(paths.sends[5], 1);
  paths.failing = {2, 5};
  EXPECT_FALSE(engine->SendFrom(DiscoverySocket::IdUDPServer4, kFamily5Port, Bytes{'X'}));
  // A camera added by address gets it directly even when no broadcast leaves.
  engine->SetAddresses({"127.0.0.1"});
  ASSERT_TRUE(engine->SendFrom(DiscoverySocket::IdUDPServer4, kFamily5Port, Bytes{'Y'}));
  ASSERT_TRUE(Pump([&] { return Count(f5, {'Y'}) == 1; }));
  EXPECT_EQ(Count(f5, {'X'}), 2u);  // the two sends through the adapters above
}

TEST_F(AdapterEngineTest, AddedAddressIsAskedDirectlyWithItsFollowUpsWhereNoBroadcastReaches) {
  paths.failing = {2, 3, 4};  // no broadcast leaves at all
  cfg.addresses = {"127.0.0.1", "camera.local", "127.0.0.1", "1.2.3.4:80"};
  engine = std::make_unique<DiscoveryEngine>(cfg);
  EXPECT_EQ(engine->Addresses(), (std::vector<std::string>{"127.0.0.1"}));
  ASSERT_TRUE(engine->Start());
  engine->Tick();
  ASSERT_TRUE(Pump([&] {
    const TDevInfo* h = engine->List().FindDevByMAC("001122aabbcc");
    return engine->List().Count() == 3 && h && !h->DDnsUser.empty();
  })) << engine->List().Count();
  EXPECT_TRUE(engine->RoundUnsent());  // the status line still says that no adapter could send
  EXPECT_EQ(Count(f5, {'S', 'E', 'A', 'R', 'C', 'H'}), 1u);
  EXPECT_EQ(Count(f9, {0x44, 0x48, 0x01, 0x01}), 1u);
  EXPECT_EQ(Count(f8, {0x10, 0x10, 0x12, 0x0f}), 1u);  // the follow-ups went to it directly
  EXPECT_EQ(Count(f8, {0x10, 0x10, 0x0f, 0x0f}), 1u);
  EXPECT_EQ(engine->Stats().followUps, 2u);

  // Forgotten: the next round does not ask it.
  EXPECT_TRUE(engine->SetAddresses({}).empty());
  engine->Tick();
  testing::PumpUntil(*engine, {&f5, &f8, &f9}, [] { return false; }, 300);  // whatever still arrives
  EXPECT_EQ(Count(f5, {'S', 'E', 'A', 'R', 'C', 'H'}), 1u);
}

}  // namespace
}  // namespace kestrova
