// The PC's adapters on Windows, from the IP Helper functions.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "net/hostnet/adapters_win.h"
#include "net/hostnet/net_cards.h"
#include "net/sockets/udp_socket.h"

namespace kestrova {

namespace {

uint32_t MaskOf(int prefix) { return prefix <= 0 ? 0 : prefix >= 32 ? 0xFFFFFFFFu : ~((1u << (32 - prefix)) - 1); }

}  // namespace

void GetNetCards(std::vector<TNET_CARD>& list) {
  list.clear();
  for (const WinAdapter& a : ListWinAdapters()) {
    if (a.loopback || a.addrs.empty() || a.addrs.front().addr == 0) continue;
    TNET_CARD c;
    c.Desc = CutToField(a.description, kDescField);
    c.MacText = a.mac.empty() ? std::string() : MacToText(a.mac.data(), a.mac.size());
    c.IP = FormatIPv4(a.addrs.front().addr);
    c.NetMask = FormatIPv4(MaskOf(a.addrs.front().prefix));
    if (!a.gateways.empty()) c.Gateway = FormatIPv4(a.gateways.front());
    if (a.dns.size() > 0) c.DNS1 = FormatIPv4(a.dns[0]);
    if (a.dns.size() > 1) c.DNS2 = FormatIPv4(a.dns[1]);
    c.ConnName = CutToField(a.friendly.empty() ? a.description : a.friendly, kDescField);
    c.DhcpOn = a.dhcp;
    c.IfName = a.name;
    if (IsListableCard(c)) list.push_back(std::move(c));
  }
}

void FreeNetCards(std::vector<TNET_CARD>& list) {
  list.clear();
  list.shrink_to_fit();
}

std::string LocalAddressToward(const std::string& ip) {
  if (ParseIPv4(ip) == std::nullopt || !StartSockets()) return {};
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(9);
  if (::inet_pton(AF_INET, ip.c_str(), &to.sin_addr) != 1) return {};
  SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) return {};
  std::string out;
  // connect() on a datagram socket only fixes the peer: the system picks the route and the
  // source address, and nothing is sent.
  if (::connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
    sockaddr_in local{};
    int len = sizeof local;
    if (::getsockname(s, reinterpret_cast<sockaddr*>(&local), &len) == 0 && local.sin_addr.s_addr != 0)
      out = FormatIPv4NetOrder(local.sin_addr.s_addr);
  }
  ::closesocket(s);
  return out;
}

}  // namespace kestrova
