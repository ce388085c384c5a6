// The address probe on loopback only: every address of 127.0.0.0/8 answers there, and every
// refusal must happen without a packet.
#include "net/hostnet/address_probe.h"

#include <sched.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "support/child_process.h"

namespace kestrova {
namespace {

TNET_CARD Loopback(const std::string& mask = "255.0.0.0") {
  TNET_CARD c;
  c.IfName = "lo";
  c.Desc = "lo";
  c.IP = "127.0.0.1";
  c.NetMask = mask;
  return c;
}

TEST(AddressProbe, OwnAddressIsInUseWithoutTraffic) {
  TProbeResult r = AddressInUse(Loopback(), "127.0.0.1", 200);
  EXPECT_EQ(r.State, TAddressState::InUse);
  EXPECT_EQ(r.Method, "self");
}

TEST(AddressProbe, AnsweringAddressIsInUse) {
  TProbeResult r = AddressInUse(Loopback(), "127.0.0.2", 1000);
  EXPECT_EQ(r.State, TAddressState::InUse) << r.Method;
  // Without any ICMP socket: the host's "port unreachable" answer to a datagram.
  TProbeResult udp = AddressInUse(Loopback(), "127.0.0.3", 1000, TProbeWay::Udp);
  EXPECT_EQ(udp.State, TAddressState::InUse);
  EXPECT_EQ(udp.Method, "udp-refused");
  // Raw sockets need root; the ping socket needs the system's permission for our group.
  for (TProbeWay way : {TProbeWay::RawSocket, TProbeWay::PingSocket}) {
    TProbeResult icmp = AddressInUse(Loopback(), "127.0.0.4", 1000, way);
    if (icmp.Method.rfind("icmp", 0) == 0) {
      EXPECT_EQ(icmp.State, TAddressState::InUse) << icmp.Method;
    }
  }
}

TEST(AddressProbe, RefusesEverythingOutsideTheAdaptersSubnet) {
  struct Case {
    std::string mask, ip;
  };
  const Case cases[] = {
      {"255.0.0.0", "10.0.0.1"},        // another subnet
      {"255.255.255.0", "127.0.1.2"},   // outside a /24
      {"255.0.0.0", "127.0.0.0"},       // network address
      {"255.0.0.0", "127.255.255.255"}, // broadcast address
      {"0.0.0.0", "127.0.0.2"},         // a mask that would take in everything
      {"254.0.0.0", "127.0.0.2"},       // shorter than /8
      {"255.0.255.0", "127.0.0.2"},     // not a mask
      {"255.0.0.0", "127.0.0"},         // not an address
      {"255.0.0.0", ""},
  };
  for (const auto& c : cases) {
    TProbeResult r = AddressInUse(Loopback(c.mask), c.ip, 200);
    EXPECT_EQ(r.State, TAddressState::Refused) << c.mask << " " << c.ip;
    EXPECT_EQ(r.Method, "") << c.mask << " " << c.ip;
  }
  TNET_CARD bad = Loopback();
  bad.IP = "0.0.0.0.1";
  EXPECT_EQ(AddressInUse(bad, "127.0.0.2", 200).State, TAddressState::Refused);
}

// An address nobody holds: probed inside a network namespace of the test's own, whose only
// link is a veth pair with nothing behind it, so the requests cannot leave.
TEST(AddressProbe, SilentAddressIsFree) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root for a private network namespace";
  const int code = testsupport::RunInChild([] {
    if (unshare(CLONE_NEWNET) != 0) return 77;
    if (std::system("ip link set lo up && ip link add kvp0 type veth peer name kvp1 && "
                    "ip addr add 10.77.0.1/24 dev kvp0 && ip link set kvp0 up && ip link set kvp1 up") != 0) {
      return 77;
    }
    TNET_CARD card;
    card.IfName = "kvp0";
    card.IP = "10.77.0.1";
    card.NetMask = "255.255.255.0";
    TProbeResult free = AddressInUse(card, "10.77.0.2", 600);
    TProbeResult freeUdp = AddressInUse(card, "10.77.0.3", 600, TProbeWay::Udp);
    TProbeResult self = AddressInUse(card, "10.77.0.1", 600);
    bool ok = free.State == TAddressState::Free && free.Mac.empty() && freeUdp.State == TAddressState::Free &&
              self.State == TAddressState::InUse;
    return ok ? 0 : 1;
  }, 30000);
  if (code == 77) GTEST_SKIP() << "no private network namespace here";
  EXPECT_EQ(code, 0);
}

}  // namespace
}  // namespace kestrova
