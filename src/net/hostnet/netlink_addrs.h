// The kernel's answer to an IPv4 address dump over rtnetlink (RTM_GETADDR), read message by
// message. Kept apart from the socket so that any byte sequence can be fed to it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestrova {

struct TKernelAddr {
  int ifindex = 0;
  uint32_t addr = 0;  // host byte order
  bool dynamic = false;  // IFA_F_PERMANENT absent: the address has a lifetime (DHCP)
};

// Appends the IPv4 addresses of one datagram of the dump to out. data must be 4-byte aligned
// (a buffer from the allocator is); no byte beyond len is read, whatever the length fields say.
// Returns true when the datagram ends the dump (NLMSG_DONE or NLMSG_ERROR).
bool ReadAddrDump(const void* data, size_t len, std::vector<TKernelAddr>& out);

// The IPv4 addresses of every interface with their flags, asked of the kernel over rtnetlink
// (getifaddrs does not carry the flags), in the kernel's order (an interface's primary
// address before its secondary ones). Empty when the kernel could not be asked.
std::vector<TKernelAddr> QueryKernelAddrs();

}  // namespace kestrova
