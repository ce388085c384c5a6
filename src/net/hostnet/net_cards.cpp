#include "net/hostnet/net_cards.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "core/hostnet/host_texts.h"
#include "net/hostnet/netlink_addrs.h"

namespace kestrova {
namespace {

std::string ReadText(const std::filesystem::path& path, size_t limit = 1 << 20) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string text(limit, '\0');
  in.read(text.data(), static_cast<std::streamsize>(limit));
  text.resize(static_cast<size_t>(in.gcount()));
  return text;
}

std::string FirstLine(std::string text) {
  size_t nl = text.find_first_of("\r\n");
  if (nl != std::string::npos) text.resize(nl);
  return text;
}

// Addresses named by the DHCP clients' current leases for an interface.
std::vector<std::string> LeasedAddresses(const std::string& ifname, int ifindex) {
  namespace fs = std::filesystem;
  std::vector<std::string> out;
  auto add = [&](const std::string& a) {
    if (!a.empty()) out.push_back(a);
  };
  if (ifindex > 0) add(ParseKeyValueLease(ReadText("/run/systemd/netif/leases/" + std::to_string(ifindex))));
  std::error_code ec;
  for (const char* dir : {"/var/lib/NetworkManager", "/var/lib/dhcp", "/var/lib/dhclient"}) {
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
      std::string name = it->path().filename().string();
      bool internal = name.rfind("internal-", 0) == 0 && name.size() > ifname.size() + 7 &&
                      name.compare(name.size() - ifname.size() - 7, std::string::npos, "-" + ifname + ".lease") == 0;
      if (internal) {
        add(ParseKeyValueLease(ReadText(it->path())));
        continue;
      }
      bool dhclient = name.find("dhclient") != std::string::npos &&
                      (name.find(".lease") != std::string::npos);
      if (!dhclient) continue;
      // Per-interface files name the interface in the file name; shared files in their blocks.
      bool perIface = name.find(ifname + ".lease") != std::string::npos || name.find("-" + ifname + ".") != std::string::npos;
      bool shared = name == "dhclient.leases";
      if (perIface || shared) add(ParseDhclientLeases(ReadText(it->path()), ifname));
    }
    ec.clear();
  }
  return out;
}

TNameServers SystemNameServers() {
  TNameServers ns = ParseResolvConf(ReadText("/etc/resolv.conf"));
  if (NamesOnlyLocalResolver(ns)) {
    TNameServers upstream = ParseResolvConf(ReadText("/run/systemd/resolve/resolv.conf"));
    if (!upstream.DNS1.empty()) ns = upstream;
  }
  return ns;
}

}  // namespace

std::vector<TKernelAddr> QueryKernelAddrs() {
  std::vector<TKernelAddr> out;
  int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
  if (fd < 0) return out;
  struct {
    nlmsghdr nh;
    ifaddrmsg ifa;
  } req{};
  req.nh.nlmsg_len = NLMSG_LENGTH(sizeof(ifaddrmsg));
  req.nh.nlmsg_type = RTM_GETADDR;
  req.nh.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
  req.nh.nlmsg_seq = 1;
  req.ifa.ifa_family = AF_INET;
  sockaddr_nl kernel{};
  kernel.nl_family = AF_NETLINK;
  if (sendto(fd, &req, req.nh.nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof(kernel)) < 0) {
    close(fd);
    return out;
  }
  std::vector<char> buf(32768);
  bool done = false;
  while (!done) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 2000) <= 0) break;
    ssize_t n = recv(fd, buf.data(), buf.size(), 0);
    if (n <= 0) break;
    done = ReadAddrDump(buf.data(), static_cast<size_t>(n), out);
  }
  close(fd);
  return out;
}

void GetNetCards(std::vector<TNET_CARD>& list) {
  list.clear();
  ifaddrs* ifs = nullptr;
  if (getifaddrs(&ifs) != 0) return;

  std::map<std::string, std::string> macs;
  for (ifaddrs* p = ifs; p; p = p->ifa_next) {
    if (!p->ifa_addr || !p->ifa_name || p->ifa_addr->sa_family != AF_PACKET) continue;
    auto* ll = reinterpret_cast<sockaddr_ll*>(p->ifa_addr);
    size_t len = ll->sll_halen <= sizeof(ll->sll_addr) ? ll->sll_halen : sizeof(ll->sll_addr);
    macs[p->ifa_name] = MacToText(ll->sll_addr, len);
  }

  const auto routes = ParseProcNetRoute(ReadText("/proc/net/route"));
  const TNameServers ns = SystemNameServers();
  const auto kernel = QueryKernelAddrs();

  std::set<std::string> seen;
  for (ifaddrs* p = ifs; p; p = p->ifa_next) {
    if (!p->ifa_addr || !p->ifa_name || p->ifa_addr->sa_family != AF_INET) continue;
    if (p->ifa_flags & IFF_LOOPBACK) continue;
    std::string name = p->ifa_name;
    if (seen.count(name)) continue;  // one record per interface: its first address
    uint32_t addr = ntohl(reinterpret_cast<sockaddr_in*>(p->ifa_addr)->sin_addr.s_addr);
    uint32_t mask = p->ifa_netmask ? ntohl(reinterpret_cast<sockaddr_in*>(p->ifa_netmask)->sin_addr.s_addr) : 0;
    TNET_CARD card;
    card.IP = FormatIPv4(addr);
    if (!IsListableCard(card)) continue;
    seen.insert(name);

    // An address label ("eth0:1") names the same device.
    std::string device = name.substr(0, name.find(':'));
    int ifindex = static_cast<int>(if_nametoindex(device.c_str()));
    card.IfName = device;
    card.Desc = CutToField(name, kDescField);
    std::string alias = FirstLine(ReadText("/sys/class/net/" + device + "/ifalias", 4096));
    card.ConnName = alias.empty() ? name : alias;
    auto mac = macs.find(device);
    if (mac != macs.end()) card.MacText = mac->second;
    card.NetMask = FormatIPv4(mask);
    card.Gateway = CutToField(DefaultGatewayFor(routes, device), kAddrField);
    card.DNS1 = CutToField(ns.DNS1, kAddrField);
    card.DNS2 = CutToField(ns.DNS2, kAddrField);
    bool dynamic = false;
    for (const auto& k : kernel) {
      if (k.ifindex == ifindex && k.addr == addr) dynamic = k.dynamic;
    }
    card.DhcpOn = DecideDhcp(dynamic, LeasedAddresses(device, ifindex), card.IP);
    list.push_back(std::move(card));
  }
  freeifaddrs(ifs);
}

void FreeNetCards(std::vector<TNET_CARD>& list) {
  list.clear();
  list.shrink_to_fit();
}

std::string LocalAddressToward(const std::string& ip) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(9);
  if (ParseIPv4(ip) == std::nullopt || ::inet_pton(AF_INET, ip.c_str(), &to.sin_addr) != 1) return {};
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return {};
  std::string out;
  // connect() on a datagram socket only fixes the peer: the kernel picks the route and the
  // source address, and nothing is sent.
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
    sockaddr_in local{};
    socklen_t len = sizeof local;
    char text[INET_ADDRSTRLEN] = {};
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &len) == 0 &&
        ::inet_ntop(AF_INET, &local.sin_addr, text, sizeof text) && local.sin_addr.s_addr != 0)
      out = text;
  }
  ::close(fd);
  return out;
}

}  // namespace kestrova
