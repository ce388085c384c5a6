// Windows has no rtnetlink: the address dump comes from the IP Helper's adapter list.
#include "net/hostnet/adapters_win.h"
#include "net/hostnet/netlink_addrs.h"

namespace kestrova {

bool ReadAddrDump(const void*, size_t, std::vector<TKernelAddr>&) { return true; }

std::vector<TKernelAddr> QueryKernelAddrs() {
  std::vector<TKernelAddr> out;
  for (const WinAdapter& a : ListWinAdapters())
    for (const WinAdapter::Addr& x : a.addrs) out.push_back(TKernelAddr{a.index, x.addr, x.dynamic});
  return out;
}

}  // namespace kestrova
