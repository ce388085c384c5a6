#include "net/hostnet/address_probe.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>

#include "core/hostnet/host_texts.h"
#include "core/hostnet/icmp_echo.h"

namespace kestrova {
namespace {

constexpr uint32_t kShortestMask = 0xFF000000u;  // /8

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

sockaddr_in Addr(uint32_t hostOrder, uint16_t port = 0) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(hostOrder);
  a.sin_port = htons(port);
  return a;
}

// Sends echo requests to target and waits for a reply from it. raw: the socket delivers the
// IP header and every ICMP message of the host, so the reply is matched by source, type and id.
bool EchoAnswered(int fd, bool raw, uint32_t target, int timeoutMs) {
  const uint16_t id = static_cast<uint16_t>(getpid() ^ 0x4B56);
  sockaddr_in to = Addr(target);
  auto start = std::chrono::steady_clock::now();
  auto deadline = start + std::chrono::milliseconds(timeoutMs);
  int sent = 0;
  auto nextSend = start;
  uint8_t buf[1500];
  for (;;) {
    auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    if (sent < 3 && now >= nextSend) {
      auto pkt = IcmpEchoRequest(id, static_cast<uint16_t>(++sent));
      (void)sendto(fd, pkt.data(), pkt.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to));
      nextSend = now + std::chrono::milliseconds(timeoutMs / 3 > 0 ? timeoutMs / 3 : 1);
    }
    auto wait = std::min(deadline, sent < 3 ? nextSend : deadline) - now;
    int ms = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(wait).count());
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, ms > 0 ? ms : 1) <= 0) continue;
    sockaddr_in from{};
    socklen_t fromLen = sizeof(from);
    ssize_t n = recvfrom(fd, buf, sizeof(buf), 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
    if (n <= 0 || ntohl(from.sin_addr.s_addr) != target) continue;
    if (!IsIcmpEchoReply(buf, static_cast<size_t>(n), raw, id)) continue;
    return true;
  }
}

std::string Neighbour(const std::string& ip, const std::string& device) {
  std::ifstream in("/proc/net/arp");
  std::ostringstream s;
  s << in.rdbuf();
  return ResolvedNeighbour(ParseProcNetArp(s.str()), ip, device);
}

void BindTo(int fd, uint32_t source, const std::string& device) {
  if (!device.empty()) {
    // Root only; without it the source address and the on-link route keep the adapter.
    (void)setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, device.c_str(), static_cast<socklen_t>(device.size()));
  }
  sockaddr_in src = Addr(source);
  (void)bind(fd, reinterpret_cast<sockaddr*>(&src), sizeof(src));
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
  auto may = [way](TProbeWay w) { return way == TProbeWay::Auto || way == w; };
  int fd = -1;
  if (may(TProbeWay::PingSocket) && (fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP)) >= 0) {
    Fd hold(fd);
    BindTo(fd, *own, card.IfName);
    answered = EchoAnswered(fd, false, *target, timeoutMs);
    r.Method = "icmp";
  } else if (may(TProbeWay::RawSocket) && (fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP)) >= 0) {
    Fd hold(fd);
    BindTo(fd, *own, card.IfName);
    answered = EchoAnswered(fd, true, *target, timeoutMs);
    r.Method = "icmp-raw";
  } else if (may(TProbeWay::Udp) && (fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) >= 0) {
    // No ICMP socket: a datagram to the discard port makes the kernel resolve the address, and
    // a host that is there usually answers "port unreachable", which the connected socket
    // reports as ECONNREFUSED.
    Fd hold(fd);
    BindTo(fd, *own, card.IfName);
    sockaddr_in to = Addr(*target, 9);
    r.Method = "neighbour";
    if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof(to)) == 0) {
      (void)send(fd, "", 0, 0);
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, timeoutMs) > 0) {
        char b;
        if (recv(fd, &b, 1, MSG_DONTWAIT) < 0 && errno == ECONNREFUSED) {
          answered = true;
          r.Method = "udp-refused";
        }
      }
    }
  }

  r.Mac = card.IfName.empty() ? std::string() : Neighbour(ip, card.IfName);
  if (answered || !r.Mac.empty()) {
    r.State = TAddressState::InUse;
    if (!answered) r.Method = "neighbour";
  } else {
    r.State = TAddressState::Free;
  }
  return r;
}

}  // namespace kestrova
