// The UDP socket on Windows Sockets 2. A SOCKET is kept in the int the interface hands out
// (socket handles are small values that fit; the cast is checked when the socket is made).
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mswsock.h>

#include <cstring>
#include <mutex>

#include "net/sockets/udp_socket.h"

#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

namespace kestrova {

bool StartSockets() {
  static const bool started = [] {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

std::optional<uint32_t> ParseIPv4NetOrder(const std::string& text) {
  // inet_pton rules: exactly four decimal parts, no leading signs or blanks; InetPtonA follows them.
  in_addr a{};
  if (::inet_pton(AF_INET, text.c_str(), &a) != 1) return std::nullopt;
  return a.s_addr;
}

std::string FormatIPv4NetOrder(uint32_t networkOrder) {
  in_addr a{};
  a.s_addr = networkOrder;
  char buf[INET_ADDRSTRLEN] = {};
  if (!::inet_ntop(AF_INET, &a, buf, sizeof buf)) return {};
  return buf;
}

namespace {

SOCKET S(int fd) { return static_cast<SOCKET>(fd); }

bool MakeAddr(const std::string& addr, uint16_t port, sockaddr_in& out) {
  std::memset(&out, 0, sizeof out);
  out.sin_family = AF_INET;
  out.sin_port = htons(port);
  if (addr.empty()) {
    out.sin_addr.s_addr = htonl(INADDR_ANY);
    return true;
  }
  auto a = ParseIPv4NetOrder(addr);
  if (!a) return false;
  out.sin_addr.s_addr = *a;
  return true;
}

// A new non-blocking, non-inheritable IPv4 UDP socket, or -1.
int NewUdpSocket() {
  if (!StartSockets()) return -1;
  SOCKET s = ::WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (s == INVALID_SOCKET) return -1;
  if (s > SOCKET(0x7fffffff)) {
    ::closesocket(s);
    return -1;
  }
  u_long nb = 1;
  // Without this, an ICMP "port unreachable" for an earlier datagram fails the next receive.
  BOOL no = FALSE;
  DWORD got = 0;
  ::WSAIoctl(s, SIO_UDP_CONNRESET, &no, sizeof no, nullptr, 0, &got, nullptr, nullptr);
  if (::ioctlsocket(s, FIONBIO, &nb) != 0) {
    ::closesocket(s);
    return -1;
  }
  return static_cast<int>(s);
}

}  // namespace

UdpSocket::~UdpSocket() { Close(); }

UdpSocket::UdpSocket(UdpSocket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

bool UdpSocket::Open() {
  Close();
  fd_ = NewUdpSocket();
  return fd_ >= 0;
}

bool UdpSocket::Bind(uint16_t port, const std::string& localAddr) {
  if (fd_ < 0 && !Open()) return false;
  sockaddr_in sa{};
  if (!MakeAddr(localAddr, port, sa)) return false;
  // Exclusive: no other socket may take the same port on top of this one.
  BOOL on = TRUE;
  ::setsockopt(S(fd_), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
  return ::bind(S(fd_), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
}

bool UdpSocket::BindFreePort(uint16_t first, const std::string& localAddr, int range) {
  sockaddr_in sa{};
  if (!MakeAddr(localAddr, 0, sa)) {
    Close();
    return false;
  }
  if (!Open()) return false;
  BOOL on = TRUE;
  ::setsockopt(S(fd_), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
  for (int i = 0; i < range; ++i) {
    const int port = int(first) + i;
    if (port > 65535) break;
    sa.sin_port = htons(uint16_t(port));
    if (::bind(S(fd_), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0) return true;
  }
  Close();
  return false;
}

bool UdpSocket::SetBroadcast(bool on) {
  if (fd_ < 0) return false;
  BOOL v = on ? TRUE : FALSE;
  return ::setsockopt(S(fd_), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&v), sizeof v) == 0;
}

bool UdpSocket::SetReceiveBuffer(int bytes) {
  if (fd_ < 0) return false;
  return ::setsockopt(S(fd_), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes) == 0;
}

int UdpSocket::ReceiveBufferSize() const {
  if (fd_ < 0) return 0;
  int granted = 0;
  int len = sizeof granted;
  if (::getsockopt(S(fd_), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&granted), &len) != 0) return 0;
  return granted;
}

bool UdpSocket::SendTo(const std::string& addr, uint16_t port, std::span<const uint8_t> data) {
  if (fd_ < 0 || data.size() > 65535) return false;
  sockaddr_in sa{};
  if (!MakeAddr(addr, port, sa) || addr.empty()) return false;
  const int n = ::sendto(S(fd_), reinterpret_cast<const char*>(data.data()), int(data.size()), 0,
                         reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
  return n >= 0 && std::size_t(n) == data.size();
}

bool UdpSocket::SendToVia(int ifindex, const std::string& source, const std::string& addr, uint16_t port,
                          std::span<const uint8_t> data) {
  if (fd_ < 0 || ifindex <= 0 || addr.empty() || data.size() > 65535) return false;
  sockaddr_in sa{};
  if (!MakeAddr(addr, port, sa)) return false;
  IN_PKTINFO info{};
  info.ipi_ifindex = ULONG(ifindex);
  if (!source.empty()) {
    auto src = ParseIPv4NetOrder(source);
    if (!src) return false;
    info.ipi_addr.s_addr = *src;
  }
  alignas(WSACMSGHDR) char control[WSA_CMSG_SPACE(sizeof(IN_PKTINFO))] = {};
  WSABUF buf{ULONG(data.size()), reinterpret_cast<char*>(const_cast<uint8_t*>(data.data()))};
  WSAMSG msg{};
  msg.name = reinterpret_cast<sockaddr*>(&sa);
  msg.namelen = sizeof sa;
  msg.lpBuffers = &buf;
  msg.dwBufferCount = 1;
  msg.Control.buf = control;
  msg.Control.len = sizeof control;
  WSACMSGHDR* c = WSA_CMSG_FIRSTHDR(&msg);
  c->cmsg_level = IPPROTO_IP;
  c->cmsg_type = IP_PKTINFO;
  c->cmsg_len = WSA_CMSG_LEN(sizeof(IN_PKTINFO));
  std::memcpy(WSA_CMSG_DATA(c), &info, sizeof info);
  DWORD sent = 0;
  if (::WSASendMsg(S(fd_), &msg, 0, &sent, nullptr, nullptr) != 0) return false;
  return sent == data.size();
}

bool UdpSocket::SendTo(const std::string& addr, uint16_t port, const std::string& text) {
  return SendTo(addr, port,
                std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

std::optional<UdpDatagram> UdpSocket::Receive(std::size_t limit) {
  if (fd_ < 0) return std::nullopt;
  UdpDatagram d;
  d.data.resize(limit);
  sockaddr_in from{};
  int fromLen = sizeof from;
  const int n = ::recvfrom(S(fd_), reinterpret_cast<char*>(d.data.data()), int(d.data.size()), 0,
                           reinterpret_cast<sockaddr*>(&from), &fromLen);
  if (n < 0) {
    // A datagram longer than the buffer is taken off the queue with WSAEMSGSIZE.
    if (::WSAGetLastError() != WSAEMSGSIZE) return std::nullopt;
    d.oversized = true;
  } else {
    d.data.resize(std::size_t(n));
  }
  d.fromIp = FormatIPv4NetOrder(from.sin_addr.s_addr);
  d.fromPort = ntohs(from.sin_port);
  return d;
}

WaitResult UdpSocket::WaitReadable(int timeoutMs) const {
  if (fd_ < 0) return WaitResult::Error;
  const int one[1] = {fd_};
  return WaitAnyReadable(one, timeoutMs);
}

WaitResult WaitAnyReadable(std::span<const int> fds, int timeoutMs) {
  if (fds.empty()) return WaitResult::Error;
  std::vector<WSAPOLLFD> p;
  for (int fd : fds) p.push_back(WSAPOLLFD{S(fd), POLLRDNORM, 0});
  const int r = ::WSAPoll(p.data(), ULONG(p.size()), timeoutMs);
  if (r < 0) return WaitResult::Error;
  if (r == 0) return WaitResult::Timeout;
  if (p.size() == 1 && (p[0].revents & (POLLERR | POLLNVAL)) && !(p[0].revents & POLLRDNORM))
    return WaitResult::Error;
  return WaitResult::Readable;
}

void UdpSocket::Close() {
  if (fd_ >= 0) {
    ::closesocket(S(fd_));
    fd_ = -1;
  }
}

uint16_t UdpSocket::LocalPort() const {
  if (fd_ < 0) return 0;
  sockaddr_in sa{};
  int len = sizeof sa;
  if (::getsockname(S(fd_), reinterpret_cast<sockaddr*>(&sa), &len) != 0) return 0;
  return ntohs(sa.sin_port);
}

// Windows has no pipe a socket wait can watch: a UDP socket on 127.0.0.1 connected to itself
// takes its place (loopback only). rd_ and wr_ are the same socket.
WakePipe::WakePipe() {
  const int fd = NewUdpSocket();
  if (fd < 0) return;
  sockaddr_in sa{};
  MakeAddr("127.0.0.1", 0, sa);
  int len = sizeof sa;
  if (::bind(S(fd), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0 ||
      ::getsockname(S(fd), reinterpret_cast<sockaddr*>(&sa), &len) != 0 ||
      ::connect(S(fd), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
    ::closesocket(S(fd));
    return;
  }
  rd_ = wr_ = fd;
}

WakePipe::~WakePipe() {
  if (rd_ >= 0) ::closesocket(S(rd_));
}

void WakePipe::Signal() {
  if (wr_ < 0) return;
  const char c = 1;
  ::send(S(wr_), &c, 1, 0);
}

void WakePipe::Drain() {
  if (rd_ < 0) return;
  char buf[256];
  while (::recv(S(rd_), buf, sizeof buf, 0) > 0) {
  }
}

}  // namespace kestrova
