// The adapters of the machine the test runs on, compared with what `ip` reports.
#include "net/hostnet/net_cards.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include "support/child_process.h"

namespace kestrova {
namespace {

std::string Run(const char* cmd) { return testsupport::RunShell(cmd, 10000, {.capture_stderr = false}).output; }

struct IpLine {
  std::string dev, ip, prefix;
  bool dynamic = false;
};

// `ip -o -4 address show`: "2: eth0    inet 192.0.2.2/24 brd ... scope global dynamic eth0\ ..."
std::vector<IpLine> IpAddresses() {
  std::vector<IpLine> out;
  std::istringstream in(Run("ip -o -4 address show 2>/dev/null"));
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream f(line);
    std::string idx, dev, inet, cidr;
    f >> idx >> dev >> inet >> cidr;
    if (inet != "inet") continue;
    IpLine l;
    l.dev = dev;
    l.ip = cidr.substr(0, cidr.find('/'));
    l.prefix = cidr.substr(cidr.find('/') + 1);
    l.dynamic = line.find(" dynamic ") != std::string::npos;
    out.push_back(l);
  }
  return out;
}

TEST(HostAdapters, MatchTheSystemsOwnView) {
  std::vector<TNET_CARD> cards;
  GetNetCards(cards);
  auto lines = IpAddresses();
  if (lines.empty()) GTEST_SKIP() << "ip(8) gives no IPv4 addresses here";

  // Every non-loopback device with an IPv4 address is listed once, with its first address.
  std::vector<std::string> expectDevs;
  std::map<std::string, IpLine> first;
  for (const auto& l : lines) {
    if (l.dev == "lo" || l.ip.rfind("127.", 0) == 0 || first.count(l.dev)) continue;
    first[l.dev] = l;
    expectDevs.push_back(l.dev);
  }
  std::vector<std::string> gotDevs;
  for (const auto& c : cards) gotDevs.push_back(c.IfName);
  std::sort(expectDevs.begin(), expectDevs.end());
  std::sort(gotDevs.begin(), gotDevs.end());
  EXPECT_EQ(gotDevs, expectDevs);

  const std::regex mac("^([0-9A-F]{2}(-[0-9A-F]{2})*)?$");
  for (const auto& c : cards) {
    SCOPED_TRACE(c.IfName);
    EXPECT_TRUE(IsListableCard(c));
    EXPECT_FALSE(c.Desc.empty());
    EXPECT_FALSE(c.ConnName.empty());
    EXPECT_TRUE(std::filesystem::exists("/sys/class/net/" + c.IfName));
    EXPECT_TRUE(std::regex_match(c.MacText, mac)) << c.MacText;
    auto m = ParseIPv4(c.NetMask);
    ASSERT_TRUE(m.has_value());
    EXPECT_TRUE(IsContiguousMask(*m));
    if (!c.Gateway.empty()) {
      EXPECT_TRUE(ParseIPv4(c.Gateway).has_value()) << c.Gateway;
    }
    if (!c.DNS1.empty()) {
      EXPECT_TRUE(ParseIPv4(c.DNS1).has_value()) << c.DNS1;
    }
    EXPECT_TRUE(c.DNS2.empty() || !c.DNS1.empty());
    auto it = first.find(c.IfName);
    if (it == first.end()) continue;
    EXPECT_EQ(c.IP, it->second.ip);
    int prefix = 0;
    for (uint32_t v = *m; v; v <<= 1) ++prefix;
    EXPECT_EQ(std::to_string(prefix), it->second.prefix);
    // "dynamic" in ip's output is the kernel flag the DHCP rule starts from.
    if (it->second.dynamic) {
      EXPECT_TRUE(c.DhcpOn);
    }
  }

  for (const auto& c : cards) {
    std::printf("%s [%s] mac %s ip %s/%s gw %s dns %s %s dhcp %d\n", c.Desc.c_str(), c.ConnName.c_str(),
                c.MacText.c_str(), c.IP.c_str(), c.NetMask.c_str(), c.Gateway.c_str(), c.DNS1.c_str(),
                c.DNS2.c_str(), c.DhcpOn ? 1 : 0);
  }
  FreeNetCards(cards);
  EXPECT_TRUE(cards.empty());
}

}  // namespace
}  // namespace kestrova
