// Whether an address of an adapter's own subnet is in use, on Windows: an ICMP echo through the
// IP Helper (IcmpSendEcho2), then the address resolution the
// system does for SendARP. The same rules as elsewhere decide what may be asked at all.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <icmpapi.h>
#include <windows.h>

#include "core/hostnet/host_texts.h"
#include "net/hostnet/address_probe.h"

namespace kestrova {

namespace {

constexpr uint32_t kShortestMask = 0xFF000000u;  // /8

bool EchoAnswered(uint32_t target, int timeoutMs) {
  HANDLE h = ::IcmpCreateFile();
  if (h == INVALID_HANDLE_VALUE) return false;
  char payload[8] = {'k', 'e', 's', 't', 'r', 'o', 'v', 'a'};
  unsigned char reply[sizeof(ICMP_ECHO_REPLY) + sizeof payload + 8 + 64] = {};
  // The target lies in the adapter's own subnet, so the system sends from that adapter.
  const DWORD n = ::IcmpSendEcho2(h, nullptr, nullptr, nullptr, htonl(target), payload, sizeof payload, nullptr,
                                  reply, sizeof reply, DWORD(timeoutMs));
  bool ok = false;
  if (n > 0) {
    const auto* r = reinterpret_cast<const ICMP_ECHO_REPLY*>(reply);
    ok = r->Status == IP_SUCCESS && r->Address == htonl(target);
  }
  ::IcmpCloseHandle(h);
  return ok;
}

std::string ArpAnswer(uint32_t source, uint32_t target) {
  ULONG mac[2] = {};
  ULONG len = 6;
  if (::SendARP(htonl(target), htonl(source), mac, &len) != NO_ERROR || len != 6) return {};
  return MacToText(reinterpret_cast<const uint8_t*>(mac), 6);
}

}  // namespace

TProbeResult AddressInUse(const TNET_CARD& card, const std::string& ip, int timeoutMs) {
  return AddressInUse(card, ip, timeoutMs, TProbeWay::Auto);
}

TProbeResult AddressInUse(const TNET_CARD& card, const std::string& ip, int timeoutMs, TProbeWay way) {
  TProbeResult r;
  auto own = ParseIPv4(card.IP);
  auto mask = ParseIPv4(card.NetMask);
  auto target = ParseIPv4(ip);
  if (!own || !mask || !target || !IsContiguousMask(*mask) || *mask < kShortestMask) return r;
  if (*target == *own) {
    r.State = TAddressState::InUse;
    r.Method = "self";
    return r;
  }
  if (!IsHostInSubnet(*target, *own, *mask)) return r;
  if (timeoutMs < 1) timeoutMs = 1;
  bool answered = false;
  if (way != TProbeWay::Udp) {
    answered = EchoAnswered(*target, timeoutMs);
    r.Method = "icmp";
  }
  r.Mac = ArpAnswer(*own, *target);
  if (answered || !r.Mac.empty()) {
    r.State = TAddressState::InUse;
    if (!answered) r.Method = "neighbour";
  } else {
    r.State = TAddressState::Free;
  }
  return r;
}

}  // namespace kestrova
