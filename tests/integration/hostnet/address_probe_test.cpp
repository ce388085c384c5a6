// The address probe on loopback only: every address of 127.0.0.0/8 answers there, and every
// refusal must happen without a packet.
#include "net/hostnet/address_probe.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kestrova
