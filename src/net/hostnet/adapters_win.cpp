#include "net/hostnet/adapters_win.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <windows.h>

namespace kestrova {

namespace {

std::string Utf8(const wchar_t* w) {
  if (!w || !*w) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string out(std::size_t(n - 1), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, w, -1, out.data(), n, nullptr, nullptr);
  return out;
}

bool V4(const SOCKET_ADDRESS& a, uint32_t& out) {
  if (!a.lpSockaddr || a.lpSockaddr->sa_family != AF_INET || a.iSockaddrLength < int(sizeof(sockaddr_in)))
    return false;
  out = ntohl(reinterpret_cast<const sockaddr_in*>(a.lpSockaddr)->sin_addr.s_addr);
  return true;
}

}  // namespace

std::vector<WinAdapter> ListWinAdapters() {
  std::vector<WinAdapter> out;
  const ULONG flags = GAA_FLAG_INCLUDE_GATEWAYS | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_ANYCAST;
  ULONG size = 16 * 1024;
  std::vector<unsigned char> buf;
  ULONG r = ERROR_BUFFER_OVERFLOW;
  for (int i = 0; i < 4 && r == ERROR_BUFFER_OVERFLOW; ++i) {
    buf.assign(size, 0);
    r = ::GetAdaptersAddresses(AF_INET, flags, nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buf.data()), &size);
  }
  if (r != NO_ERROR) return out;
  for (auto* a = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buf.data()); a; a = a->Next) {
    WinAdapter w;
    w.index = int(a->IfIndex);
    w.name = a->AdapterName ? a->AdapterName : "";
    w.description = Utf8(a->Description);
    w.friendly = Utf8(a->FriendlyName);
    w.mac.assign(a->PhysicalAddress, a->PhysicalAddress + std::min<ULONG>(a->PhysicalAddressLength, MAX_ADAPTER_ADDRESS_LENGTH));
    w.up = a->OperStatus == IfOperStatusUp;
    w.loopback = a->IfType == IF_TYPE_SOFTWARE_LOOPBACK;
    w.dhcp = (a->Flags & IP_ADAPTER_DHCP_ENABLED) != 0;
    for (auto* u = a->FirstUnicastAddress; u; u = u->Next) {
      WinAdapter::Addr x;
      if (!V4(u->Address, x.addr)) continue;
      x.prefix = u->OnLinkPrefixLength;
      x.dynamic = u->PrefixOrigin == IpPrefixOriginDhcp;
      w.addrs.push_back(x);
    }
    for (auto* g = a->FirstGatewayAddress; g; g = g->Next) {
      uint32_t v = 0;
      if (V4(g->Address, v)) w.gateways.push_back(v);
    }
    for (auto* d = a->FirstDnsServerAddress; d; d = d->Next) {
      uint32_t v = 0;
      if (V4(d->Address, v)) w.dns.push_back(v);
    }
    out.push_back(std::move(w));
  }
  return out;
}

}  // namespace kestrova
