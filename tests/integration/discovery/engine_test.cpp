// The discovery engine on loopback against in-test cameras of families 2, 5, 8 and 9.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "integration/discovery/fake_cameras.h"

namespace kestrova {
namespace {

using testing::Bytes;
using testing::FakeCamera;
using testing::StartsWith;

Bytes Family5ReplyFor(const std::string& mac, const std::string& ip, const std::string& name = "cam5") {
  return testing::Family5Reply(mac, ip, name);
}

TDevInfo ExpectedFamily2() {
  TDevInfo d;
  d.DevType = 2;
  d.MAC = "ID0000000001";
  d.Name = "cam2";
  d.Version = "1.2.3.4:5.6.7.8";
  d.IP = "127.0.0.12";
  d.NetMask = "255.0.0.0";
  d.Gateway = "127.0.0.1";
  d.DNS1 = "127.0.0.53";
  d.HttpPort = 81;
  d.IPMode = 1;
  d.DDnsServer = "ddns.example.org";
  d.DDnsUser = "f2user";
  d.LifeTicks = 10;
  return d;
}

TDevInfo ExpectedFamily5() {
  TDevInfo d;
  d.DevType = 5;
  d.MAC = "001122334455";
  d.SN = "SN5000";
  d.Name = "cam5";
  d.Version = "5.0.1";
  d.IP = "127.0.0.15";
  d.NetMask = "255.0.0.0";
  d.Gateway = "127.0.0.1";
  d.DNS1 = "127.0.0.53";
  d.DNS2 = "127.0.0.54";
  d.HttpPort = 8080;
  d.IPMode = 2;
  d.DDnsServer = "ddns.example.org:8000";
  d.DDnsUser = "e5user";
  d.DDnsPwd = "e5pwd";
  d.LifeTicks = 10;
  return d;
}

TDevInfo ExpectedFamily8(bool withDdns) {
  TDevInfo d;
  d.DevType = 8;
  d.MAC = "001122aabbcc";
  d.SN = "01020304050607";
  d.Name = "cam8";
  d.Version = "8.1.2";
  d.IP = "127.0.0.18";
  d.NetMask = "255.0.0.0";
  d.Gateway = "127.0.0.1";
  d.DNS1 = "127.0.0.53";
  d.DNS2 = "127.0.0.54";
  d.HttpPort = 88;
  d.DataPort = 8554;
  d.IPMode = 2;
  d.ExtWord = 0x1234;
  if (withDdns) {
    d.DDnsServer = "h8.example.org";
    d.DDnsUser = "h8user";
    d.DDnsPwd = "h8pwd";
  }
  // 30 at the first sighting; the DDNS reply that follows refreshes the entry to 10.
  d.LifeTicks = withDdns ? 10 : 30;
  return d;
}

TDevInfo ExpectedFamily9() {
  TDevInfo d;
  d.DevType = 9;
  d.MAC = "00:1A:2B:3C:4D:5E";
  d.SN = "T9ID";
  d.Name = "cam9";
  d.Version = "9.0.0.1";
  d.IP = "127.0.0.19";
  d.NetMask = "255.0.0.0";
  d.Gateway = "127.0.0.1";
  d.DNS1 = "127.0.0.53";
  d.DNS2 = "127.0.0.54";
  d.HttpPort = 8099;
  d.IPMode = 1;
  d.DDnsServer = "t9.example.org";
  d.DDnsUser = "t9user";
  d.DDnsPwd = "t9ddnspwd";
  d.User = "admin";
  d.Pwd = "t9pwd";
  d.LifeTicks = 10;
  return d;
}

class EngineTest : public ::testing::Test {
 protected:
  EngineTest()
      : f2([this](const Bytes& q) -> std::vector<Bytes> {
          // The family-2 port also gets "IMAGIAQUERY,0"; only the MO_I search is answered.
          if (q.size() == 27 && StartsWith(q, {'M', 'O', '_', 'I', 0x00, 0x00}) && f2Answer) return {f2Reply};
          return {};
        }),
        f5([this](const Bytes& q) -> std::vector<Bytes> {
          if (!StartsWith(q, {'S', 'E', 'A', 'R', 'C', 'H'})) return {};
          return f5Replies;
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
    f2Reply = testing::Family2Reply(testing::Family2Camera{});
    f5Replies = {Family5ReplyFor("00:11:22:33:44:55", "127.0.0.15")};
    cfg = testing::LoopbackConfig();
    cfg.family2Port = f2.port();
    cfg.family5Port = f5.port();
    cfg.family8Port = f8.port();
    cfg.family9Port = f9.port();
  }

  bool Pump(const std::function<bool()>& cond) { return testing::PumpUntil(*engine, {&f2, &f5, &f8, &f9}, cond); }
  const TDevInfo* Find(const std::string& mac) { return engine->List().FindDevByMAC(mac); }
  std::vector<std::string> IpsInOrder() {
    std::vector<std::string> v;
    for (int r = 0; r < engine->List().Count(); ++r) v.push_back(engine->List().DeviceAt(r).IP);
    return v;
  }
  void MakeEngine() {
    engine = std::make_unique<DiscoveryEngine>(cfg);
    ASSERT_TRUE(engine->Start());
  }

  testing::Family8Camera cam8;
  testing::Family9Camera cam9;
  Bytes f2Reply;
  bool f2Answer = true;
  std::vector<Bytes> f5Replies;
  FakeCamera f2, f5, f8, f9;
  DiscoveryConfig cfg;
  std::unique_ptr<DiscoveryEngine> engine;
};

TEST_F(EngineTest, OneRoundFindsEveryFamilyWithEveryFieldAndSortsByAddress) {
  MakeEngine();
  int mergedCalls = 0, added = 0;
  engine->SetOnMerged([&](const DeviceList::MergeResult& r) {
    ++mergedCalls;
    added += r.added ? 1 : 0;
  });
  engine->Tick();
  ASSERT_TRUE(Pump([&] {
    const TDevInfo* h = Find("001122aabbcc");
    return engine->List().Count() == 4 && h && !h->DDnsUser.empty();
  })) << engine->List().Count();
  EXPECT_EQ(*Find("ID0000000001"), ExpectedFamily2());
  EXPECT_EQ(*Find("001122334455"), ExpectedFamily5());
  EXPECT_EQ(*Find("001122aabbcc"), ExpectedFamily8(true));
  EXPECT_EQ(*Find("00:1A:2B:3C:4D:5E"), ExpectedFamily9());
  EXPECT_EQ(IpsInOrder(), (std::vector<std::string>{"127.0.0.12", "127.0.0.15", "127.0.0.18", "127.0.0.19"}));
  EXPECT_EQ(added, 4);
  EXPECT_GE(mergedCalls, 5);  // four additions and the family-8 DDNS reply
  EXPECT_EQ(engine->Round(), 1);
}

TEST_F(EngineTest, EveryRequestLeavesFromItsSocketForItsPortAndImagiaQueryEveryThirdRound) {
  FakeCamera uicam([](const Bytes&) { return std::vector<Bytes>{}; });
  FakeCamera sq610([](const Bytes&) { return std::vector<Bytes>{}; });
  cfg.uicamPort = uicam.port();
  cfg.sq610Port = sq610.port();
  MakeEngine();
  const auto from = [&](DiscoverySocket s) { return engine->LocalPort(s); };
  for (int i = 0; i < 7; ++i) engine->Tick();  // rounds 0..6
  const std::vector<FakeCamera*> all{&f2, &f5, &f8, &f9, &uicam, &sq610};
  ASSERT_TRUE(testing::PumpUntil(*engine, all, [&] {
    return uicam.Requests().size() == 7 && sq610.Requests().size() == 7 && f5.Requests().size() == 7 &&
           f2.Requests().size() == 10;
  }));
  // Family 2 and "IMAGIAQUERY,0" share the camera port; the query only on rounds 0, 3 and 6.
  int imagia = 0, search2 = 0;
  const auto q2 = f2.Requests();
  const auto s2 = f2.Senders();
  const std::string imagiaText = "IMAGIAQUERY,0";
  for (size_t i = 0; i < q2.size(); ++i) {
    if (q2[i] == Bytes(imagiaText.begin(), imagiaText.end())) {
      ++imagia;
      EXPECT_EQ(s2[i], from(DiscoverySocket::IdUDPServer1));
    } else {
      ++search2;
      EXPECT_EQ(q2[i].size(), 27u);
      EXPECT_EQ(s2[i], from(DiscoverySocket::IdUDPServer2));
    }
  }
  EXPECT_EQ(imagia, 3);
  EXPECT_EQ(search2, 7);
  const std::string uicamText = "uicam query";
  EXPECT_EQ(uicam.Requests()[0], Bytes(uicamText.begin(), uicamText.end()));
  EXPECT_EQ(uicam.Senders()[0], from(DiscoverySocket::IdUDPServer3));
  EXPECT_EQ(sq610.Requests()[0].size(), 256u);
  EXPECT_EQ(sq610.Senders()[0], from(DiscoverySocket::IdUDPServer1));
  EXPECT_EQ(f5.Senders()[0], from(DiscoverySocket::IdUDPServer4));
  EXPECT_EQ(f8.Senders()[0], from(DiscoverySocket::IdUDPServer5));
  // The family-8 follow-ups leave from the same socket as its search.
  for (uint16_t p : f8.Senders()) EXPECT_EQ(p, from(DiscoverySocket::IdUDPServer5));
  EXPECT_EQ(engine->Round(), 7);
}

TEST_F(EngineTest, Family8CameraIsAskedForInformationAndDdnsWithTheBytesOfItsAnswers) {
  MakeEngine();
  engine->Tick();
  ASSERT_TRUE(Pump([&] { return f8.Requests().size() >= 3 && Find("001122aabbcc") && !Find("001122aabbcc")->DDnsPwd.empty(); }));
  const auto req = f8.Requests();
  ASSERT_EQ(req.size(), 3u);
  EXPECT_EQ(req[0], (Bytes{0x10, 0x10, 0x01, 0x0f, 0x00, 0x00, 0x00, 0x00}));

  const Bytes block = testing::Family8NetBlock(cam8);
  Bytes info{0x10, 0x10, 0x12, 0x0f, 0x5a, 0xa5, 0x80, 0x00};  // header echoed, length 128
  info.insert(info.end(), block.begin(), block.end());
  EXPECT_EQ(req[1], info);
  Bytes ddns{0x10, 0x10, 0x0f, 0x0f, 0x5a, 0xa5, 0x80, 0x00};
  ddns.insert(ddns.end(), block.begin(), block.end());
  EXPECT_EQ(req[2], ddns);
  EXPECT_EQ(engine->Stats().followUps, 2u);
}

TEST_F(EngineTest, SilentCameraDisappearsOnTheTenthTickAfterItsLastReply) {
  f5Replies = {Family5ReplyFor("00:00:00:00:00:0A", "127.0.0.20", "stays"),
               Family5ReplyFor("00:00:00:00:00:0B", "127.0.0.21", "goes")};
  cfg.family2Port = cfg.family8Port = cfg.family9Port = 9;  // only the family-5 cameras
  MakeEngine();
  engine->Tick();
  ASSERT_TRUE(Pump([&] { return engine->List().Count() == 2; })) << engine->List().Count();
  f5Replies = {Family5ReplyFor("00:00:00:00:00:0A", "127.0.0.20", "stays")};

  for (int tick = 1; tick <= 10; ++tick) {
    const size_t asked = f5.Requests().size();
    const uint64_t accepted = engine->Stats().accepted;
    engine->Tick();
    if (tick < 10) {
      ASSERT_NE(Find("00000000000B"), nullptr) << "gone early at tick " << tick;
      EXPECT_EQ(Find("00000000000B")->LifeTicks, 10 - tick);
    } else {
      EXPECT_EQ(Find("00000000000B"), nullptr) << "still listed after 10 ticks";
    }
    // The camera that answers is refreshed by every round.
    ASSERT_TRUE(Pump([&] { return f5.Requests().size() > asked && engine->Stats().accepted > accepted; }));
    EXPECT_EQ(Find("00000000000A")->LifeTicks, 10);
  }
  EXPECT_EQ(engine->List().Count(), 1);
}

TEST_F(EngineTest, CameraThatMovesKeepsItsEntryAndIsResorted) {
  f5Replies = {Family5ReplyFor("00:00:00:00:00:0A", "127.0.0.20", "a"),
               Family5ReplyFor("00:00:00:00:00:0B", "127.0.0.30", "b")};
  cfg.family2Port = cfg.family8Port = cfg.family9Port = 9;  // only the family-5 cameras
  MakeEngine();
  engine->Tick();
  ASSERT_TRUE(Pump([&] { return engine->List().Count() == 2; }));
  const DeviceItemId id = engine->List().IdAt(engine->List().FindItemByMAC("00000000000B"));
  EXPECT_EQ(IpsInOrder(), (std::vector<std::string>{"127.0.0.20", "127.0.0.30"}));

  f5Replies = {Family5ReplyFor("00:00:00:00:00:0A", "127.0.0.20", "a"),
               Family5ReplyFor("00:00:00:00:00:0B", "127.0.0.9", "b")};
  engine->Tick();
  ASSERT_TRUE(Pump([&] { return Find("00000000000B") && Find("00000000000B")->IP == "127.0.0.9"; }));
  EXPECT_EQ(engine->List().Count(), 2);
  EXPECT_EQ(IpsInOrder(), (std::vector<std::string>{"127.0.0.9", "127.0.0.20"}));
  EXPECT_EQ(engine->List().IdAt(0), id);  // the same entry, moved
  EXPECT_EQ(Find("00000000000B")->LifeTicks, 10);
}

TEST_F(EngineTest, OversizedTruncatedAndForeignDatagramsNeverReachTheList) {
  Bytes oversized = testing::Family2Reply(testing::Family2Camera{});
  oversized.resize(1025, 0);
  Bytes truncated = testing::Family2Reply(testing::Family2Camera{});
  truncated.resize(30);
  Bytes wrongOpcode = testing::Family2Reply(testing::Family2Camera{});
  wrongOpcode[4] = 0x02;
  Bytes shortFamily8{0x10, 0x10, 0x12, 0x8f, 0x00, 0x00, 0x80, 0x00, '1', '2', '7'};
  FakeCamera noisy([&](const Bytes& q) -> std::vector<Bytes> {
    if (q.size() != 27) return {};  // not "IMAGIAQUERY,0"
    return {oversized, truncated, wrongOpcode, shortFamily8, Bytes{'H', 'E', 'L', 'L', 'O'}};
  });
  cfg.family2Port = noisy.port();
  cfg.family5Port = cfg.family8Port = cfg.family9Port = 9;
  MakeEngine();
  engine->Tick();
  ASSERT_TRUE(testing::PumpUntil(*engine, {&noisy}, [&] { return engine->Stats().datagrams >= 5; }));
  EXPECT_EQ(engine->List().Count(), 0);
  EXPECT_EQ(engine->Stats().oversized, 1u);
  EXPECT_EQ(engine->Stats().accepted, 0u);
}

TEST_F(EngineTest, SocketWhosePortRangeIsExhaustedStaysInactiveWhileTheOthersWork) {
  UdpSocket holder;
  ASSERT_TRUE(holder.Bind(0, "127.0.0.1"));
  cfg.preferredPorts[size_t(DiscoverySocket::IdUDPServer2)] = holder.LocalPort();
  cfg.bindRange = 1;
  engine = std::make_unique<DiscoveryEngine>(cfg);
  EXPECT_FALSE(engine->Start());
  EXPECT_FALSE(engine->SocketActive(DiscoverySocket::IdUDPServer2));
  EXPECT_TRUE(engine->SocketActive(DiscoverySocket::IdUDPServer4));
  engine->Tick();
  ASSERT_TRUE(Pump([&] { return Find("001122334455") && Find("00:1A:2B:3C:4D:5E") && Find("001122aabbcc"); }));
  EXPECT_EQ(Find("ID0000000001"), nullptr);  // its socket never sent the family-2 search
  const auto asked = f2.Requests();
  EXPECT_TRUE(std::none_of(asked.begin(), asked.end(), [](const Bytes& q) { return q.size() == 27; }));
}

TEST_F(EngineTest, BusyFamily9PortMeansThatRoundSendsNoFamily9Search) {
  UdpSocket holder;  // like an earlier search still listening
  ASSERT_TRUE(holder.Bind(0, "127.0.0.1"));
  cfg.family9LocalPort = holder.LocalPort();
  MakeEngine();
  engine->Tick();
  ASSERT_TRUE(Pump([&] { return engine->List().Count() == 3; }));
  EXPECT_TRUE(f9.Requests().empty());
  EXPECT_EQ(engine->Stats().family9Busy, 1u);
  EXPECT_EQ(engine->Stats().family9Searches, 0u);

  holder.Close();  // the port is free again: the next round searches
  engine->Tick();
  ASSERT_TRUE(Pump([&] { return Find("00:1A:2B:3C:4D:5E") != nullptr; }));
  EXPECT_EQ(f9.Requests().size(), 1u);
}

TEST_F(EngineTest, Family9SearchEndsAfterItsQuietPeriodsAndFreesItsPort) {
  cfg.family9QuietPeriods = 3;
  cfg.family9WaitMs = 10;
  MakeEngine();
  engine->Tick();
  ASSERT_TRUE(Pump([&] { return Find("00:1A:2B:3C:4D:5E") != nullptr; }));
  engine->FinishSearches(5000);
  EXPECT_EQ(engine->RunningSearches(), 0);
  EXPECT_EQ(engine->Stats().family9Searches, 1u);
}

TEST_F(EngineTest, Family9SearchEndsAtItsDeadlineUnderASteadyStream) {
  // Datagrams arrive on the search's port faster than a quiet slice, without end: the search
  // still ends (and frees its port) when its round is over.
  cfg.family9WaitMs = 30;
  cfg.family9RoundMs = 300;
  MakeEngine();
  std::atomic<bool> stop{false};
  std::thread flood([&] {
    UdpSocket s;
    if (!s.Bind(0, "127.0.0.1")) return;
    const std::vector<uint8_t> junk(64, 0x5A);
    while (!stop) {
      s.SendTo("127.0.0.1", cfg.family9LocalPort, junk);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  engine->Tick();
  ASSERT_EQ(engine->Stats().family9Searches, 1u);
  engine->FinishSearches(10000);  // bound of the test only; the round ends long before
  const int running = engine->RunningSearches();
  stop = true;
  flood.join();
  EXPECT_EQ(running, 0);
}

TEST_F(EngineTest, PostedRecordsBeyondTheQueueBoundAreDropped) {
  MakeEngine();
  // Another thread posts far more than the owner's queue takes, while the owner is not
  // processing: what does not fit is counted and dropped, and the rest is merged.
  std::thread poster([&] {
    for (int i = 0; i < 20000; ++i) {
      TDevInfo d = ExpectedFamily9();
      char mac[18];
      std::snprintf(mac, sizeof mac, "00:1A:2B:%02X:%02X:%02X", (i >> 16) & 0xFF, (i >> 8) & 0xFF, i & 0xFF);
      d.MAC = mac;
      engine->PostRecord(std::move(d));
    }
  });
  poster.join();
  EXPECT_EQ(engine->Stats().queueDropped, 20000u - 8192u);
  engine->Drain(10000);
  EXPECT_EQ(engine->List().Count(), 8192);
}

TEST_F(EngineTest, Family8AnswersAreFollowedUpOncePerCameraAndOnlyDuringARound) {
  // The camera answers every search and information request twice, as a flood or a camera on
  // two paths would: each request still goes out once per round.
  f8.SetResponder([this](const Bytes& q) -> std::vector<Bytes> {
    if (StartsWith(q, {0x10, 0x10, 0x01, 0x0f})) return {testing::Family8SearchAnswer(cam8), testing::Family8SearchAnswer(cam8)};
    if (StartsWith(q, {0x10, 0x10, 0x12, 0x0f})) return {testing::Family8InfoReply(cam8), testing::Family8InfoReply(cam8)};
    if (StartsWith(q, {0x10, 0x10, 0x0f, 0x0f})) return {testing::Family8DdnsReply(cam8)};
    return {};
  });
  cfg.family2Port = cfg.family5Port = cfg.family9Port = 9;  // only the family-8 camera
  MakeEngine();
  UdpSocket stranger;
  ASSERT_TRUE(stranger.Bind(0, "127.0.0.1"));
  // Before any round: an answer nobody asked for gets no request back.
  ASSERT_TRUE(stranger.SendTo("127.0.0.1", engine->LocalPort(DiscoverySocket::IdUDPServer5), testing::Family8SearchAnswer(cam8)));
  ASSERT_TRUE(Pump([&] { return engine->Stats().datagrams == 1; }));
  EXPECT_EQ(engine->Stats().followUps, 0u);
  EXPECT_EQ(engine->Stats().followUpsSkipped, 1u);

  for (int round = 1; round <= 2; ++round) {
    engine->Tick();
    ASSERT_TRUE(Pump([&] { return f8.Requests().size() >= size_t(3 * round) && Find("001122aabbcc") &&
                                  !Find("001122aabbcc")->DDnsPwd.empty(); }));
    engine->Drain(1000);
    testing::PumpUntil(*engine, {&f8}, [] { return false; }, 200);  // late duplicates, if any
    EXPECT_EQ(f8.Requests().size(), size_t(3 * round)) << round;  // search, information, DDNS
    EXPECT_EQ(engine->Stats().followUps, uint64_t(2 * round)) << round;
    if (round == 1) engine->List().ClearDevices();
  }

  // A round is over once its window has passed: a late answer is not followed up either.
  engine->Stop();
  cfg.family8FollowUpWindowMs = 50;
  MakeEngine();
  engine->Tick();
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  testing::PumpUntil(*engine, {&f8}, [] { return false; }, 300);
  EXPECT_EQ(engine->Stats().followUps, 0u);
  EXPECT_GE(engine->Stats().followUpsSkipped, 1u);
  EXPECT_EQ(f8.Requests().size(), 7u);  // only the searches of both engines' rounds
}

// A flood on one socket is read in bounded batches, the sockets in turn: each turn of the
// owner's loop does at most one batch (so its timer keeps its tick), a camera answering on
// another socket is listed in the first turn, and nothing that fits the buffers is lost.
TEST_F(EngineTest, AFloodIsReadInBoundedBatchesWithTheSocketsInTurn) {
  cfg.maxDatagramsPerTurn = 40;
  cfg.maxRecordsPerTurn = 25;
  MakeEngine();
  UdpSocket flood;
  ASSERT_TRUE(flood.Bind(0, "127.0.0.1"));
  const std::vector<uint8_t> junk(64, 0x5A);
  const int junkCount = 150;
  for (int i = 0; i < junkCount; ++i)
    ASSERT_TRUE(flood.SendTo("127.0.0.1", engine->LocalPort(DiscoverySocket::IdUDPServer2), junk));
  ASSERT_TRUE(flood.SendTo("127.0.0.1", engine->LocalPort(DiscoverySocket::IdUDPServer4),
                           Family5ReplyFor("00:00:00:00:00:0C", "127.0.0.30", "beside")));
  for (int i = 0; i < 60; ++i) {
    TDevInfo d = ExpectedFamily9();
    d.MAC = "00:1A:2B:00:00:" + std::string(1, char('A' + i / 16)) + std::string(1, "0123456789ABCDEF"[i % 16]);
    engine->PostRecord(std::move(d));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // loopback delivery

  engine->ProcessPending();
  EXPECT_EQ(engine->Stats().datagrams, 40u);
  EXPECT_NE(Find("00000000000C"), nullptr);
  EXPECT_EQ(engine->List().Count(), 1 + 25);
  EXPECT_EQ(engine->Stats().turnsCut, 1u);
  // What was left keeps the descriptors readable for the owner's next turn.
  EXPECT_GT(engine->WaitAndProcess(0), 0);
  EXPECT_LE(engine->Stats().datagrams, 80u);
  engine->Drain(5000);
  const DiscoveryStats st = engine->Stats();
  EXPECT_EQ(st.datagrams, uint64_t(junkCount + 1));
  EXPECT_EQ(engine->List().Count(), 1 + 60);

  // A flood that never stops: the owner's loop still comes round to every tick, one bounded
  // batch per turn, and the camera beside it is found in every round.
  std::atomic<bool> stop{false};
  std::thread flooder([&] {
    UdpSocket s;
    if (!s.Bind(0, "127.0.0.1")) return;
    while (!stop) s.SendTo("127.0.0.1", engine->LocalPort(DiscoverySocket::IdUDPServer2), junk);
  });
  f5Replies = {Family5ReplyFor("00:00:00:00:00:0D", "127.0.0.31", "found")};
  engine->List().ClearDevices();
  for (int tick = 0; tick < 5; ++tick) {
    engine->Tick();
    for (int turn = 0; turn < 20; ++turn) {
      f5.Serve();
      const uint64_t before = engine->Stats().datagrams;
      engine->WaitAndProcess(5);
      EXPECT_LE(engine->Stats().datagrams - before, 40u);
    }
  }
  stop = true;
  flooder.join();
  EXPECT_NE(Find("00000000000D"), nullptr);
}

TEST_F(EngineTest, FindClearsTheListAndRunsRoundZeroWithTheSdkStep) {
  MakeEngine();
  int sdkSearches = 0;
  engine->SetSdkSearch([&] { ++sdkSearches; });
  engine->Tick();
  engine->Tick();
  EXPECT_EQ(sdkSearches, 0);  // timer rounds never run the SDK search
  ASSERT_TRUE(Pump([&] { return engine->List().Count() == 4; }));
  engine->Find();
  EXPECT_EQ(engine->List().Count(), 0);
  EXPECT_EQ(sdkSearches, 1);
  ASSERT_TRUE(Pump([&] { return engine->List().Count() == 4; }));
}

TEST_F(EngineTest, RecordsFromOtherThreadsAreMergedOnTheOwnersThread) {
  MakeEngine();
  const std::thread::id owner = std::this_thread::get_id();
  std::thread::id mergedOn;
  engine->SetOnMerged([&](const DeviceList::MergeResult&) { mergedOn = std::this_thread::get_id(); });
  TDevInfo sdk;
  sdk.DevType = 4;
  sdk.MAC = "a1b2c3d4e5f6";
  sdk.IP = "127.0.0.44";
  bool delivered = false;
  std::thread reporter([&] { delivered = engine->DeliverAndWait(sdk); });
  ASSERT_TRUE(Pump([&] { return Find("a1b2c3d4e5f6") != nullptr; }));
  reporter.join();
  EXPECT_TRUE(delivered);
  EXPECT_EQ(mergedOn, owner);
  // On the owner's own thread it merges at once instead of waiting for itself.
  sdk.MAC = "a1b2c3d4e5f7";
  EXPECT_TRUE(engine->DeliverAndWait(sdk));
  EXPECT_NE(Find("a1b2c3d4e5f7"), nullptr);

  // Once the engine stops, a reporter is released instead of waiting for ever.
  engine->Stop();
  EXPECT_FALSE(engine->DeliverAndWait(sdk));
  EXPECT_EQ(engine->List().Count(), 0);
}

TEST_F(EngineTest, StopClosesTheSocketsAndClearsTheList) {
  MakeEngine();
  engine->Tick();
  ASSERT_TRUE(Pump([&] { return engine->List().Count() == 4; }));
  engine->Stop();
  EXPECT_EQ(engine->List().Count(), 0);
  EXPECT_FALSE(engine->SocketActive(DiscoverySocket::IdUDPServer5));
  EXPECT_EQ(engine->fds().size(), 1u);  // only the wake-up pipe
  engine->Tick();                        // a stopped engine sends nothing
  EXPECT_EQ(engine->ProcessPending(), 0);
}

}  // namespace
}  // namespace kestrova
