#include "net/hostnet/netlink_addrs.h"

#include <arpa/inet.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include <cstring>

namespace kestrova {
namespace {

// Every header is copied out of the datagram before it is looked at, so neither the alignment
// of the data nor a length field that points past the end can make a read leave it.
template <typename T>
bool ReadAt(const uint8_t* data, size_t len, size_t off, T& out) {
  if (off > len || len - off < sizeof(T)) return false;
  std::memcpy(&out, data + off, sizeof(T));
  return true;
}

constexpr size_t Align4(size_t n) { return (n + 3) & ~size_t(3); }

// One RTM_NEWADDR message (its payload is data[off, end)).
void ReadNewAddr(const uint8_t* data, size_t off, size_t end, std::vector<TKernelAddr>& out) {
  ifaddrmsg ifa{};
  if (!ReadAt(data, end, off, ifa) || ifa.ifa_family != AF_INET) return;
  uint32_t flags = ifa.ifa_flags;
  uint32_t local = 0, address = 0;
  bool haveLocal = false, haveAddr = false;
  for (size_t a = off + Align4(sizeof(ifaddrmsg)); a < end;) {
    rtattr rta{};
    if (!ReadAt(data, end, a, rta) || rta.rta_len < sizeof(rtattr) || rta.rta_len > end - a) break;
    const size_t payload = a + Align4(sizeof(rtattr));
    const size_t payloadLen = rta.rta_len - Align4(sizeof(rtattr));
    if (payloadLen >= 4 && payload + 4 <= end) {
      if (rta.rta_type == IFA_FLAGS) {
        std::memcpy(&flags, data + payload, 4);
      } else if (rta.rta_type == IFA_LOCAL) {
        std::memcpy(&local, data + payload, 4);
        haveLocal = true;
      } else if (rta.rta_type == IFA_ADDRESS) {
        std::memcpy(&address, data + payload, 4);
        haveAddr = true;
      }
    }
    a += Align4(rta.rta_len);
  }
  if (!haveLocal && !haveAddr) return;
  TKernelAddr k;
  k.ifindex = static_cast<int>(ifa.ifa_index);
  k.addr = ntohl(haveLocal ? local : address);
  k.dynamic = !(flags & IFA_F_PERMANENT);
  out.push_back(k);
}

}  // namespace

bool ReadAddrDump(const void* bytes, size_t len, std::vector<TKernelAddr>& out) {
  const auto* data = static_cast<const uint8_t*>(bytes);
  for (size_t off = 0; off < len;) {
    nlmsghdr nh{};
    if (!ReadAt(data, len, off, nh) || nh.nlmsg_len < sizeof(nlmsghdr) || nh.nlmsg_len > len - off) break;
    if (nh.nlmsg_type == NLMSG_DONE || nh.nlmsg_type == NLMSG_ERROR) return true;
    if (nh.nlmsg_type == RTM_NEWADDR) ReadNewAddr(data, off + Align4(sizeof(nlmsghdr)), off + nh.nlmsg_len, out);
    off += Align4(nh.nlmsg_len);
  }
  return false;
}

}  // namespace kestrova
