// The address probe's ICMP messages and the reader of the kernel's address dump, on bytes
// written out by hand.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/hostnet/icmp_echo.h"
#include "net/hostnet/netlink_addrs.h"

using namespace kestrova;

TEST(IcmpEcho, RequestBytes) {
  // type 8, code 0, checksum, id 0x1234, sequence 1, "kvprobe!"; the checksum by hand:
  // ~(0x0800 + 0x1234 + 0x0001 + 0x6B76 + 0x7072 + 0x6F62 + 0x6521, folded) = 0x355E
  const std::vector<uint8_t> expected = {8, 0, 0x35, 0x5E, 0x12, 0x34, 0, 1,
                                         'k', 'v', 'p', 'r', 'o', 'b', 'e', '!'};
  std::vector<uint8_t> got = IcmpEchoRequest(0x1234, 1);
  EXPECT_EQ(got, expected);
  EXPECT_EQ(InternetChecksum(got.data(), got.size()), 0);  // a correct checksum sums to zero
}

TEST(IcmpEcho, ReplyTest) {
  const std::vector<uint8_t> ip = {0x45, 0, 0, 36, 0, 0, 0, 0, 64, 1, 0, 0, 192, 168, 1, 9, 192, 168, 1, 10};
  const std::vector<uint8_t> reply = {0, 0, 0, 0, 0x12, 0x34, 0, 1};
  const auto cat = [](std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  std::vector<uint8_t> shortHeader = cat(ip, reply);
  shortHeader[0] = 0x41;  // a header length of 4 bytes would put the ICMP type inside the header
  std::vector<uint8_t> unreachable = cat(ip, {3, 1, 0, 0, 0x12, 0x34, 0, 1});
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    bool raw;
    bool expected;
  } cases[] = {
      {"raw reply with our id", cat(ip, reply), true, true},
      {"raw reply with another id", cat(ip, {0, 0, 0, 0, 0x43, 0x21, 0, 1}), true, false},
      {"raw destination unreachable", unreachable, true, false},
      {"raw header length below 20", shortHeader, true, false},
      {"raw cut inside the ICMP header", cat(ip, {0, 0, 0}), true, false},
      {"ping socket reply, id rewritten by the kernel", {0, 0, 0, 0, 0x99, 0x99, 0, 1}, false, true},
      {"ping socket, 7 bytes", {0, 0, 0, 0, 0, 0, 0}, false, false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsIcmpEchoReply(c.bytes.data(), c.bytes.size(), c.raw, 0x1234), c.expected) << c.what;
}

namespace {
void Put16(std::vector<uint8_t>& b, uint16_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
// rtattr (length, type) + 4 address/flag bytes
void Attr(std::vector<uint8_t>& b, uint16_t type, std::vector<uint8_t> v) {
  Put16(b, 8);
  Put16(b, type);
  b.insert(b.end(), v.begin(), v.end());
}
// nlmsghdr (length, type 20 = RTM_NEWADDR, flags, seq, pid) + ifaddrmsg + attributes
std::vector<uint8_t> NewAddr(uint8_t ifaFlags, uint32_t index, const std::vector<uint8_t>& attrs) {
  std::vector<uint8_t> b;
  Put32(b, uint32_t(16 + 8 + attrs.size()));
  Put16(b, 20);
  Put16(b, 2);
  Put32(b, 1);
  Put32(b, 0);
  b.insert(b.end(), {2, 24, ifaFlags, 0});
  Put32(b, index);
  b.insert(b.end(), attrs.begin(), attrs.end());
  return b;
}
}  // namespace

TEST(NetlinkAddrs, DumpRecordsAndEnd) {
  std::vector<uint8_t> a1;
  Attr(a1, 2, {192, 168, 1, 10});  // IFA_LOCAL
  Attr(a1, 1, {192, 168, 1, 255});  // IFA_ADDRESS: the local one wins
  std::vector<uint8_t> a2;
  Attr(a2, 1, {10, 0, 0, 7});
  Attr(a2, 8, {0x80, 0, 0, 0});  // IFA_FLAGS: permanent
  std::vector<uint8_t> dump = NewAddr(0x00, 3, a1);
  const std::vector<uint8_t> m2 = NewAddr(0x00, 4, a2);
  dump.insert(dump.end(), m2.begin(), m2.end());

  std::vector<TKernelAddr> out;
  EXPECT_FALSE(ReadAddrDump(dump.data(), dump.size(), out));
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].ifindex, 3);
  EXPECT_EQ(out[0].addr, 0xC0A8010Au);
  EXPECT_TRUE(out[0].dynamic);
  EXPECT_EQ(out[1].addr, 0x0A000007u);
  EXPECT_FALSE(out[1].dynamic);

  std::vector<uint8_t> done;
  Put32(done, 20);
  Put16(done, 3);  // NLMSG_DONE
  Put16(done, 2);
  Put32(done, 1);
  Put32(done, 0);
  Put32(done, 0);
  out.clear();
  EXPECT_TRUE(ReadAddrDump(done.data(), done.size(), out));
  EXPECT_TRUE(out.empty());
}

TEST(NetlinkAddrs, LengthsPointingPastTheDatagram) {
  std::vector<uint8_t> a;
  Attr(a, 2, {192, 168, 1, 10});
  std::vector<uint8_t> msg = NewAddr(0, 3, a);
  struct Case {
    const char* what;
    size_t cut;         // bytes of msg kept
    int patchAt;        // byte set to patch (or -1)
    uint8_t patch;
  } cases[] = {
      {"message length beyond the datagram", msg.size(), 0, 200},
      {"attribute cut off", msg.size() - 2, -1, 0},
      {"attribute length beyond its message", msg.size(), 24, 60},
      {"message length below a header", msg.size(), 0, 8},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> b(msg.begin(), msg.begin() + std::ptrdiff_t(c.cut));
    if (c.patchAt >= 0) b[size_t(c.patchAt)] = c.patch;
    // exact-size heap copy, so that AddressSanitizer sees any read past the end
    std::vector<uint8_t> exact(b);
    exact.shrink_to_fit();
    std::vector<TKernelAddr> out;
    EXPECT_FALSE(ReadAddrDump(exact.data(), exact.size(), out)) << c.what;
    EXPECT_TRUE(out.empty()) << c.what;
  }
}
