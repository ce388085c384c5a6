#include "net/hostnet/send_adapters.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <set>

#include "net/hostnet/netlink_addrs.h"
#include "net/sockets/udp_socket.h"

namespace kestrova {

namespace {

class SystemPaths : public AdapterPaths {
 public:
  std::vector<SendAdapter> Adapters() override { return ListSendAdapters(); }
  bool SendVia(UdpSocket& socket, const SendAdapter& a, const std::string& addr, uint16_t port,
               std::span<const uint8_t> data) override {
    return socket.SendToVia(a.index, a.address, addr, port, data);
  }
};

}  // namespace

std::vector<SendAdapter> ListSendAdapters() {
  std::vector<SendAdapter> out;
  const std::vector<TKernelAddr> addrs = QueryKernelAddrs();
  if (addrs.empty()) return out;
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return out;
  std::set<int> seen;
  for (const TKernelAddr& k : addrs) {
    if (k.ifindex <= 0 || k.addr == 0 || seen.count(k.ifindex)) continue;
    char name[IF_NAMESIZE] = {};
    if (!::if_indextoname(static_cast<unsigned>(k.ifindex), name)) continue;  // gone meanwhile
    ifreq req{};
    static_assert(sizeof req.ifr_name >= IF_NAMESIZE);
    std::memcpy(req.ifr_name, name, IF_NAMESIZE);  // if_indextoname's text ends within it
    if (::ioctl(fd, SIOCGIFFLAGS, &req) != 0) continue;
    const int flags = req.ifr_flags;
    if ((flags & IFF_LOOPBACK) || !(flags & IFF_UP) || !(flags & IFF_RUNNING)) continue;
    seen.insert(k.ifindex);
    out.push_back(SendAdapter{k.ifindex, name, FormatIPv4NetOrder(htonl(k.addr))});
  }
  ::close(fd);
  return out;
}

AdapterPaths& SystemAdapterPaths() {
  static SystemPaths paths;
  return paths;
}

}  // namespace kestrova
