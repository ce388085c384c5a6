// The address step's rules and its flow over a fake clock: what ConfigureCamera proposes, the
// number taken from the MAC, the address-in-use check, and the waits after the settings went
// out (every case in behaviour time, nothing sleeps).
#include "core/setup/set_ip.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace kestrova {
namespace {

TDevInfo Camera(const char* ip, uint16_t port, const char* mac, uint8_t mode = 2, uint16_t dataPort = 554) {
  TDevInfo d;
  d.DevType = 5;
  d.MAC = mac;
  d.Name = "Cam";
  d.IP = ip;
  d.NetMask = "255.255.255.0";
  d.Gateway = "192.168.1.1";
  d.DNS1 = "192.168.1.1";
  d.DNS2 = "";
  d.HttpPort = port;
  d.DataPort = dataPort;
  d.IPMode = mode;
  return d;
}

const TSetIpPc kPc{"192.168.0.10", "192.168.0.1", "255.255.255.0"};

TEST(MacNumber, FirstPieceThatIsNotZeroFromTheEnd) {
  struct Case {
    const char* mac;
    int want;
  } cases[] = {
      {"00:1A:2B:3C:4D:5E", 0x5E},
      {"00:1A:2B:3C:4D:00", 0x4D},     // the piece before a ":00"
      {"00:1a:2b:00:00:00", 0x2B},     // lower case
      {"001A2B3C4D5E", 0x5E},          // 12 digits: pieces at 10, 7, 4, 1
      {"000000000000", 777},           // every piece "00"
      {"00:00:00:00:00:00", 777},
      {"", 777},
      {"5", 5},                        // the only piece starts at the first character
      {"ID0000000001", 1},             // family-2 identity text
      {"MOI0A1B2C3DZ", 777},           // a piece that is not a hex number
      {"MOI0A1B2C3D4", 0xD4},
  };
  for (const auto& c : cases) EXPECT_EQ(MacNumber(c.mac, 777), c.want) << c.mac;
}

TEST(ConfigureCamera, ProposalsByCase) {
  struct Case {
    const char* what;
    TDevInfo dev;
    TSetIpPlan::TKind kind;
    // Expected settings record fields when Apply.
    const char* ip;
    uint16_t port;
    uint16_t dataPort;
    const char* gateway;
    const char* dns1;
    uint8_t mode;
  } cases[] = {
      {"factory address, port 81", Camera("192.168.1.126", 81, "00:1A:2B:3C:4D:5E"), TSetIpPlan::Apply,
       "192.168.0.220", 1175, 554 + 2094, "192.168.0.1", "8.8.8.8", 2},
      {"last octet 200: 294 mod 255", Camera("192.168.1.200", 80, "00:1A:2B:3C:4D:5E"), TSetIpPlan::Apply,
       "192.168.0.39", 80, 554 + 2094, "192.168.0.1", "8.8.8.8", 2},
      {"DHCP in the same subnet: static only", Camera("192.168.0.50", 80, "00:1A:2B:3C:4D:5E", 1),
       TSetIpPlan::Apply, "192.168.0.50", 80, 554, "192.168.1.1", "192.168.1.1", 2},
      {"static in the same subnet: check only", Camera("192.168.0.50", 80, "00:1A:2B:3C:4D:5E", 2),
       TSetIpPlan::CheckOnly, "", 0, 0, "", "", 0},
      {"port 81 in the same subnet keeps the address", Camera("192.168.0.50", 81, "00:1A:2B:3C:4D:5E", 2),
       TSetIpPlan::Apply, "192.168.0.50", 1175, 554 + 2094, "192.168.0.1", "8.8.8.8", 2},
      {"a MAC ending in :00", Camera("192.168.1.126", 80, "00:1A:2B:3C:4D:00"), TSetIpPlan::Apply,
       "192.168.0.203", 80, 554 + 2077, "192.168.0.1", "8.8.8.8", 2},
      {"data port wraps at 16 bits", Camera("192.168.5.10", 80, "00:00:00:00:00:10", 2, 65000), TSetIpPlan::Apply,
       "192.168.0.26", 80, uint16_t(65000 + 2016), "192.168.0.1", "8.8.8.8", 2},
      {"h + r of 255 would be the broadcast address", Camera("192.168.1.126", 80, "00:00:00:00:00:81"),
       TSetIpPlan::Unusable, "", 0, 0, "", "", 0},
      {"a camera address that is not dotted decimal", Camera("192.168.1", 80, "00:00:00:00:00:01"),
       TSetIpPlan::BadCamera, "", 0, 0, "", "", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const TSetIpPlan plan = ConfigureCamera(c.dev, kPc, 777);
    ASSERT_EQ(plan.Kind, c.kind);
    if (c.kind != TSetIpPlan::Apply) continue;
    EXPECT_EQ(plan.New.IP, c.ip);
    EXPECT_EQ(plan.New.HttpPort, c.port);
    EXPECT_EQ(plan.New.DataPort, c.dataPort);
    EXPECT_EQ(plan.New.Gateway, c.gateway);
    EXPECT_EQ(plan.New.DNS1, c.dns1);
    EXPECT_EQ(plan.New.IPMode, c.mode);
    // What the rules do not touch stays.
    EXPECT_EQ(plan.New.NetMask, c.dev.NetMask);
    EXPECT_EQ(plan.New.MAC, c.dev.MAC);
    EXPECT_EQ(plan.New.Name, c.dev.Name);
  }
  // The factory case names both DNS servers.
  const TSetIpPlan f = ConfigureCamera(Camera("192.168.1.126", 81, "00:1A:2B:3C:4D:5E"), kPc, 0);
  EXPECT_EQ(f.New.DNS2, "208.67.222.222");
}

TEST(ConfigureCamera, ThePcSideDecidesWhatMayBeProposed) {
  const TDevInfo factory = Camera("192.168.1.126", 81, "00:1A:2B:3C:4D:5E");
  for (const char* bad : {"", "192.168.0", "not an address", "192.168.0.300"}) {
    const TSetIpPlan p = ConfigureCamera(factory, {bad, "192.168.0.1", "255.255.255.0"}, 0);
    EXPECT_EQ(p.Kind, TSetIpPlan::NoPcAddress) << bad;
    EXPECT_EQ(p.MessageKey, "IDS_NOPCADDR");
  }
  // Under a /25 the derived .220 lies outside the PC's subnet; under an unreadable mask only
  // the last octets 0 and 255 are refused.
  TSetIpPlan p = ConfigureCamera(factory, {"192.168.0.10", "192.168.0.1", "255.255.255.128"}, 0);
  EXPECT_EQ(p.Kind, TSetIpPlan::Unusable);
  EXPECT_EQ(p.MessageKey, "IDS_AUTOIPINVALID");
  EXPECT_EQ(p.MessageArg, "192.168.0.220");
  p = ConfigureCamera(factory, {"192.168.0.10", "192.168.0.1", ""}, 0);
  EXPECT_EQ(p.Kind, TSetIpPlan::Apply);
  EXPECT_EQ(p.New.IP, "192.168.0.220");
  // (h + r) mod 255 reaching 0 is refused too: 255 + 255 = 510.
  p = ConfigureCamera(Camera("192.168.1.255", 80, "00:00:00:00:00:FF"), {"192.168.0.10", "192.168.0.1", ""}, 0);
  EXPECT_EQ(p.Kind, TSetIpPlan::Unusable);
  EXPECT_EQ(p.MessageArg, "192.168.0.0");
}

TEST(ConfigureCamera, TheFactoryAddressMovesEvenInThePcsSubnet) {
  const TSetIpPlan p =
      ConfigureCamera(Camera("192.168.1.126", 80, "00:00:00:00:00:02"), {"192.168.1.10", "192.168.1.1", ""}, 0);
  ASSERT_EQ(p.Kind, TSetIpPlan::Apply);
  EXPECT_EQ(p.New.IP, "192.168.1.128");
  EXPECT_EQ(p.New.Gateway, "192.168.1.1");
}

TEST(ConfigureCamera, AllZeroMacTakesTheMilliseconds) {
  const TSetIpPlan p = ConfigureCamera(Camera("192.168.1.100", 80, "00:00:00:00:00:00"), kPc, 55);
  ASSERT_EQ(p.Kind, TSetIpPlan::Apply);
  EXPECT_EQ(p.New.IP, "192.168.0.155");
  EXPECT_EQ(p.New.DataPort, 554 + 2055);
}

// A front end in behaviour time: pauses advance the clock, the camera is listed at its new
// address from `appearsAt` on, and every call is recorded.
struct FakeFrontEnd {
  int now = 0;
  std::optional<int> appearsAt;
  std::optional<int> leaveAt;  // the user leaves the page at this time
  bool applyOk = true;
  TProbeResult probe;  // Refused: no answer from the probe
  std::vector<std::string> calls;
  int lookups = 0;
  int firstLookupAt = -1;
  std::string listedIp;

  TSetIpIo Io() {
    TSetIpIo io;
    io.Probe = [this](const std::string& ip) {
      calls.push_back("probe " + ip);
      return probe;
    };
    io.Apply = [this](const TDevInfo& old, const TDevInfo& neu) {
      calls.push_back("apply " + old.IP + " -> " + neu.IP);
      return applyOk;
    };
    io.Pause = [this](int ms) {
      now += ms;
      return !(leaveAt && now >= *leaveAt);
    };
    io.Listed = [this](const std::string& ip) {
      if (firstLookupAt < 0) firstLookupAt = now;
      ++lookups;
      return appearsAt && now >= *appearsAt && ip == listedIp;
    };
    io.OnConfiguring = [this](const TSetIpPlan& p) { calls.push_back("configuring " + p.New.IP); };
    return io;
  }
};

TEST(RunSetIp, WaitsThirtySecondsThenLooksTheNewAddressUp) {
  const TDevInfo cam = Camera("192.168.1.126", 81, "00:1A:2B:3C:4D:5E");
  FakeFrontEnd fe;
  fe.listedIp = "192.168.0.220";
  fe.appearsAt = 45000;
  const TSetIpResult r = RunSetIp(cam, kPc, 0, fe.Io());
  EXPECT_EQ(r.Status, TSetIpResult::Found);
  EXPECT_EQ(r.Device.IP, "192.168.0.220");
  EXPECT_EQ(r.Device.HttpPort, 1175);
  EXPECT_TRUE(r.MessageKey.empty());
  // Nothing is looked up during the first 30 s; then every 100 ms until it is there.
  EXPECT_EQ(fe.firstLookupAt, 30000);
  EXPECT_EQ(fe.lookups, 151);
  EXPECT_EQ(fe.now, 45000);
  const std::vector<std::string> calls = {"configuring 192.168.0.220", "probe 192.168.0.220",
                                          "apply 192.168.1.126 -> 192.168.0.220"};
  EXPECT_EQ(fe.calls, calls);
}

TEST(RunSetIp, ACameraThatNeverReappearsEndsAfterEightySeconds) {
  FakeFrontEnd fe;
  const TSetIpResult r = RunSetIp(Camera("192.168.1.126", 81, "00:1A:2B:3C:4D:5E"), kPc, 0, fe.Io());
  EXPECT_EQ(r.Status, TSetIpResult::NotFound);
  EXPECT_EQ(r.MessageKey, "IDS_CONFIGUR_ERROR");
  EXPECT_EQ(fe.lookups, 500);
  EXPECT_EQ(fe.now, 80000);
  EXPECT_EQ(r.Plan.New.IP, "192.168.0.220");
}

TEST(RunSetIp, OutcomesBesidesTheWait) {
  const TDevInfo factory = Camera("192.168.1.126", 81, "00:1A:2B:3C:4D:5E");
  {
    SCOPED_TRACE("another device answers at the proposed address: nothing is sent");
    FakeFrontEnd fe;
    fe.probe = {TAddressState::InUse, "00:11:22:33:44:55", "neighbour"};
    const TSetIpResult r = RunSetIp(factory, kPc, 0, fe.Io());
    EXPECT_EQ(r.Status, TSetIpResult::InUse);
    EXPECT_EQ(r.MessageKey, "IDS_SETIPINUSE");
    EXPECT_EQ(r.MessageArg, "192.168.0.220");
    EXPECT_EQ(fe.calls.back(), "probe 192.168.0.220");
    EXPECT_EQ(fe.now, 0);
  }
  {
    SCOPED_TRACE("the camera itself answering does not count");
    FakeFrontEnd fe;
    fe.probe = {TAddressState::InUse, "00-1a-2b-3c-4d-5e", "neighbour"};
    fe.listedIp = "192.168.0.220";
    fe.appearsAt = 0;
    EXPECT_EQ(RunSetIp(factory, kPc, 0, fe.Io()).Status, TSetIpResult::Found);
  }
  {
    SCOPED_TRACE("the settings command fails: no wait");
    FakeFrontEnd fe;
    fe.applyOk = false;
    const TSetIpResult r = RunSetIp(factory, kPc, 0, fe.Io());
    EXPECT_EQ(r.Status, TSetIpResult::ApplyFailed);
    EXPECT_EQ(r.MessageKey, "IDS_CONFIGUR_ERROR");
    EXPECT_EQ(fe.now, 0);
  }
  {
    SCOPED_TRACE("an address that stays is not probed; a DHCP camera is found at once after 30 s");
    FakeFrontEnd fe;
    fe.listedIp = "192.168.0.50";
    fe.appearsAt = 0;
    const TSetIpResult r = RunSetIp(Camera("192.168.0.50", 80, "00:1A:2B:3C:4D:5E", 1), kPc, 0, fe.Io());
    EXPECT_EQ(r.Status, TSetIpResult::Found);
    EXPECT_EQ(r.Device.IPMode, 2);
    const std::vector<std::string> calls = {"configuring 192.168.0.50", "apply 192.168.0.50 -> 192.168.0.50"};
    EXPECT_EQ(fe.calls, calls);
    EXPECT_EQ(fe.now, 30000);
  }
  {
    SCOPED_TRACE("check only: nothing sent, no wait, the camera's own record");
    FakeFrontEnd fe;
    const TDevInfo cam = Camera("192.168.0.50", 80, "00:1A:2B:3C:4D:5E");
    const TSetIpResult r = RunSetIp(cam, kPc, 0, fe.Io());
    EXPECT_EQ(r.Status, TSetIpResult::Found);
    EXPECT_EQ(r.Device, cam);
    EXPECT_TRUE(fe.calls.empty());
  }
  {
    SCOPED_TRACE("no PC address: nothing proposed, the status line says so");
    FakeFrontEnd fe;
    const TSetIpResult r = RunSetIp(factory, {"", "", ""}, 0, fe.Io());
    EXPECT_EQ(r.Status, TSetIpResult::NoProposal);
    EXPECT_EQ(r.MessageKey, "IDS_NOPCADDR");
    EXPECT_TRUE(fe.calls.empty());
  }
}

TEST(RunSetIp, LeavingThePageEndsTheWaitAtTheNextPause) {
  for (int leave : {5000, 30000, 52000}) {
    SCOPED_TRACE(leave);
    FakeFrontEnd fe;
    fe.leaveAt = leave;
    const TSetIpResult r = RunSetIp(Camera("192.168.1.126", 81, "00:1A:2B:3C:4D:5E"), kPc, 0, fe.Io());
    EXPECT_EQ(r.Status, TSetIpResult::Abandoned);
    EXPECT_TRUE(r.MessageKey.empty());
    EXPECT_EQ(fe.now, leave);
  }
}

TEST(CardFacingCamera, SubnetFirstThenTheRoutedAdapter) {
  auto card = [](const char* name, const char* ip, const char* mask) {
    TNET_CARD c;
    c.IfName = name;
    c.IP = ip;
    c.NetMask = mask;
    return c;
  };
  const std::vector<TNET_CARD> cards = {card("wlan0", "10.0.0.5", "255.255.255.0"),
                                        card("eth0", "192.168.0.10", "255.255.255.0"),
                                        card("odd", "172.16.0.1", "")};
  EXPECT_EQ(CardFacingCamera(cards, "192.168.0.77", "10.0.0.5"), 1);   // its subnet holds the camera
  EXPECT_EQ(CardFacingCamera(cards, "192.168.1.126", "192.168.0.10"), 1);  // the route decides
  EXPECT_EQ(CardFacingCamera(cards, "192.168.1.126", "10.0.0.5"), 0);
  EXPECT_EQ(CardFacingCamera(cards, "192.168.1.126", ""), -1);
  EXPECT_EQ(CardFacingCamera(cards, "bad", "172.16.0.1"), 2);
  EXPECT_EQ(CardFacingCamera({}, "192.168.0.77", "192.168.0.10"), -1);
}

}  // namespace
}  // namespace kestrova
