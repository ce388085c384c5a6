#include "core/hostnet/host_texts.h"
#include "core/hostnet/net_card.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace kestrova {
namespace {

std::string Fixture(const std::string& name) {
  std::ifstream in(std::string(KESTROVA_SOURCE_DIR) + "/tests/unit/hostnet/fixtures/" + name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  EXPECT_FALSE(s.str().empty()) << name;
  return s.str();
}

TEST(NetCard, MacToText) {
  const uint8_t mac[] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
  EXPECT_EQ(MacToText(mac, 6), "00-1A-2B-3C-4D-5E");
  EXPECT_EQ(MacToText(mac, 1), "00");
  EXPECT_EQ(MacToText(mac, 0), "");
  EXPECT_EQ(MacToText(nullptr, 6), "");
}

TEST(NetCard, ListableAndFieldCut) {
  TNET_CARD c;
  EXPECT_FALSE(IsListableCard(c));
  c.IP = "0.0.0.0";
  EXPECT_FALSE(IsListableCard(c));
  c.IP = "192.168.0.10";
  EXPECT_TRUE(IsListableCard(c));
  EXPECT_EQ(CutToField(std::string(300, 'a'), kDescField).size(), 255u);
  EXPECT_EQ(CutToField("eth0", kDescField), "eth0");
}

TEST(NetCard, SubnetHelpers) {
  uint32_t net = *ParseIPv4("192.168.0.10"), mask = *ParseIPv4("255.255.255.0");
  EXPECT_TRUE(IsHostInSubnet(*ParseIPv4("192.168.0.77"), net, mask));
  EXPECT_FALSE(IsHostInSubnet(*ParseIPv4("192.168.0.0"), net, mask));
  EXPECT_FALSE(IsHostInSubnet(*ParseIPv4("192.168.0.255"), net, mask));
  EXPECT_FALSE(IsHostInSubnet(*ParseIPv4("192.168.1.77"), net, mask));
  uint32_t m25 = *ParseIPv4("255.255.255.128");
  EXPECT_FALSE(IsHostInSubnet(*ParseIPv4("192.168.0.200"), net, m25));
  EXPECT_FALSE(IsHostInSubnet(*ParseIPv4("192.168.0.127"), net, m25));
  EXPECT_TRUE(IsContiguousMask(mask));
  EXPECT_TRUE(IsContiguousMask(0));
  EXPECT_FALSE(IsContiguousMask(*ParseIPv4("255.0.255.0")));
  EXPECT_EQ(FormatIPv4(0xC0A8004D), "192.168.0.77");
  EXPECT_FALSE(ParseIPv4("192.168.0"));
  EXPECT_FALSE(ParseIPv4("192.168.0.256"));
}

TEST(RouteTable, DefaultGatewayPerInterface) {
  auto routes = ParseProcNetRoute(Fixture("route.txt"));
  ASSERT_EQ(routes.size(), 6u);  // header and the broken line skipped
  EXPECT_EQ(routes[0].Iface, "eth0");
  EXPECT_EQ(FormatIPv4(routes[0].Gateway), "192.168.0.1");
  EXPECT_EQ(FormatIPv4(routes[1].Destination), "192.168.0.0");
  EXPECT_EQ(FormatIPv4(routes[1].Mask), "255.255.255.0");
  EXPECT_EQ(DefaultGatewayFor(routes, "eth0"), "192.168.0.1");
  // lowest metric among up gateway routes; the route without RTF_UP is ignored
  EXPECT_EQ(DefaultGatewayFor(routes, "wlan0"), "10.10.1.254");
  // a gateway route that is not the default route does not count
  EXPECT_EQ(DefaultGatewayFor(routes, "tun0"), "");
  EXPECT_EQ(DefaultGatewayFor(routes, "lo"), "");
  EXPECT_TRUE(ParseProcNetRoute("").empty());
}

TEST(ResolvConf, FirstTwoIPv4Servers) {
  TNameServers ns = ParseResolvConf(Fixture("resolv_two.conf"));
  EXPECT_EQ(ns.DNS1, "192.168.0.1");
  EXPECT_EQ(ns.DNS2, "8.8.4.4");
  EXPECT_FALSE(NamesOnlyLocalResolver(ns));

  TNameServers one = ParseResolvConf("nameserver 9.9.9.9\n");
  EXPECT_EQ(one.DNS1, "9.9.9.9");
  EXPECT_EQ(one.DNS2, "");

  TNameServers stub = ParseResolvConf(Fixture("resolv_stub.conf"));
  EXPECT_EQ(stub.DNS1, "127.0.0.53");
  EXPECT_TRUE(NamesOnlyLocalResolver(stub));
  EXPECT_EQ(ParseResolvConf("#nameserver 1.2.3.4\nnameserver\n").DNS1, "");
}

TEST(DhcpLeases, KeyValueLease) {
  EXPECT_EQ(ParseKeyValueLease(Fixture("networkd.lease")), "192.168.0.23");
  EXPECT_EQ(ParseKeyValueLease("ADDRESS=garbage\n"), "");
  EXPECT_EQ(ParseKeyValueLease(""), "");
}

TEST(DhcpLeases, DhclientLastCompleteLeaseOfInterface) {
  std::string text = Fixture("dhclient.leases");
  EXPECT_EQ(ParseDhclientLeases(text, "eth0"), "192.168.0.51");  // the unterminated last block is ignored
  EXPECT_EQ(ParseDhclientLeases(text, "wlan0"), "10.10.1.7");
  EXPECT_EQ(ParseDhclientLeases(text, "eth1"), "");
  EXPECT_EQ(ParseDhclientLeases("lease {\n fixed-address 10.0.0.9;\n}\n", "any"), "10.0.0.9");
  EXPECT_EQ(ParseDhclientLeases("release { fixed-address 10.0.0.9; }", "any"), "");
}

TEST(DhcpLeases, Decision) {
  EXPECT_TRUE(DecideDhcp(true, {}, "192.168.0.10"));
  EXPECT_TRUE(DecideDhcp(false, {"10.0.0.1", "192.168.0.10"}, "192.168.0.10"));
  // a lease for another address (the adapter was switched to a static address since) does not count
  EXPECT_FALSE(DecideDhcp(false, {"192.168.0.50"}, "192.168.0.10"));
  EXPECT_FALSE(DecideDhcp(false, {}, "192.168.0.10"));
}

TEST(ArpTable, CompleteNonZeroEntriesOnly) {
  auto table = ParseProcNetArp(Fixture("arp.txt"));
  ASSERT_EQ(table.size(), 4u);
  EXPECT_EQ(ResolvedNeighbour(table, "192.168.0.1", "eth0"), "02:fc:00:00:00:05");
  EXPECT_EQ(ResolvedNeighbour(table, "192.168.0.77", "eth0"), "");  // incomplete
  EXPECT_EQ(ResolvedNeighbour(table, "192.168.0.78", "eth0"), "");  // zero address
  EXPECT_EQ(ResolvedNeighbour(table, "192.168.0.79", "eth0"), "");  // other device
  EXPECT_EQ(ResolvedNeighbour(table, "192.168.0.79", "wlan0"), "00:1a:2b:3c:4d:5e");
}

TEST(ArpTable, LinesWithoutAnEthernetStyleAddressAreLeftOut) {
  const std::string head = "IP address HW type Flags HW address Mask Device\n";
  for (const char* hw : {"\x1d", "00:1a:2b:3c:4d", "00:1a:2b:3c:4d:5e:6f", "00-1a-2b-3c-4d-5e",
                         "00:1a:2b:3c:4d:5g", "001a:2b:3c:4d:5e:"}) {
    const auto table = ParseProcNetArp(head + "192.168.0.9 0x1 0x2 " + hw + " * eth0\n");
    EXPECT_TRUE(table.empty()) << hw;
    EXPECT_EQ(ResolvedNeighbour(table, "192.168.0.9", "eth0"), "") << hw;
  }
}

}  // namespace
}  // namespace kestrova
