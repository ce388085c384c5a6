#include "net/sockets/udp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kestrova {

std::optional<uint32_t> ParseIPv4NetOrder(const std::string& text) {
  in_addr a{};
  if (inet_pton(AF_INET, text.c_str(), &a) != 1) return std::nullopt;
  return a.s_addr;
}

std::string FormatIPv4NetOrder(uint32_t networkOrder) {
  in_addr a{};
  a.s_addr = networkOrder;
  char buf[INET_ADDRSTRLEN] = {};
  if (!inet_ntop(AF_INET, &a, buf, sizeof buf)) return {};
  return buf;
}

namespace {

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
  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  return fd_ >= 0;
}

bool UdpSocket::Bind(uint16_t port, const std::string& localAddr) {
  if (fd_ < 0 && !Open()) return false;
  sockaddr_in sa{};
  if (!MakeAddr(localAddr, port, sa)) return false;
  return ::bind(fd_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
}

bool UdpSocket::BindFreePort(uint16_t first, const std::string& localAddr, int range) {
  sockaddr_in sa{};
  if (!MakeAddr(localAddr, 0, sa)) {
    Close();
    return false;
  }
  // A UDP socket whose bind failed stays unbound, so one socket can try every port in turn;
  // that also leaves no gap between probing a port and taking it.
  if (!Open()) return false;
  for (int i = 0; i < range; ++i) {
    const int port = int(first) + i;
    if (port > 65535) break;
    sa.sin_port = htons(uint16_t(port));
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0) return true;
  }
  Close();
  return false;
}

bool UdpSocket::SetBroadcast(bool on) {
  if (fd_ < 0) return false;
  int v = on ? 1 : 0;
  return ::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &v, sizeof v) == 0;
}

bool UdpSocket::SetReceiveBuffer(int bytes) {
  if (fd_ < 0) return false;
  if (::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) != 0) return false;
  // Linux caps the request at twice net.core.rmem_max (a stock machine grants 416 KiB, too
  // little for a reply storm of a large LAN); with CAP_NET_ADMIN the cap can be passed.
  if (ReceiveBufferSize() < bytes) ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes);
  return true;
}

int UdpSocket::ReceiveBufferSize() const {
  if (fd_ < 0) return 0;
  int granted = 0;
  socklen_t len = sizeof granted;
  if (::getsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &granted, &len) != 0) return 0;
  return granted;
}

bool UdpSocket::SendTo(const std::string& addr, uint16_t port, std::span<const uint8_t> data) {
  if (fd_ < 0) return false;
  sockaddr_in sa{};
  if (!MakeAddr(addr, port, sa) || addr.empty()) return false;
  ssize_t n;
  do {
    n = ::sendto(fd_, data.data(), data.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&sa),
                 sizeof sa);
  } while (n < 0 && errno == EINTR);
  return n >= 0 && std::size_t(n) == data.size();
}

bool UdpSocket::SendToVia(int ifindex, const std::string& source, const std::string& addr, uint16_t port,
                          std::span<const uint8_t> data) {
  if (fd_ < 0 || ifindex <= 0 || addr.empty()) return false;
  sockaddr_in sa{};
  if (!MakeAddr(addr, port, sa)) return false;
  in_pktinfo info{};
  info.ipi_ifindex = ifindex;
  if (!source.empty()) {
    auto src = ParseIPv4NetOrder(source);
    if (!src) return false;
    info.ipi_spec_dst.s_addr = *src;
  }
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
  iovec iov{const_cast<uint8_t*>(data.data()), data.size()};
  msghdr msg{};
  msg.msg_name = &sa;
  msg.msg_namelen = sizeof sa;
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  msg.msg_control = control;
  msg.msg_controllen = sizeof control;
  cmsghdr* c = CMSG_FIRSTHDR(&msg);
  c->cmsg_level = IPPROTO_IP;
  c->cmsg_type = IP_PKTINFO;
  c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
  std::memcpy(CMSG_DATA(c), &info, sizeof info);
  ssize_t n;
  do {
    n = ::sendmsg(fd_, &msg, MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  return n >= 0 && std::size_t(n) == data.size();
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
  socklen_t fromLen = sizeof from;
  ssize_t n;
  do {
    // MSG_TRUNC: the result is the datagram's real length even when it did not fit.
    n = ::recvfrom(fd_, d.data.data(), d.data.size(), MSG_TRUNC | MSG_DONTWAIT,
                   reinterpret_cast<sockaddr*>(&from), &fromLen);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return std::nullopt;
  if (std::size_t(n) > limit) {
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
  pollfd p{fd_, POLLIN, 0};
  int r;
  do {
    r = ::poll(&p, 1, timeoutMs);
  } while (r < 0 && errno == EINTR);
  if (r < 0) return WaitResult::Error;
  if (r == 0) return WaitResult::Timeout;
  if (p.revents & (POLLERR | POLLNVAL)) return (p.revents & POLLIN) ? WaitResult::Readable : WaitResult::Error;
  return WaitResult::Readable;
}

void UdpSocket::Close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

uint16_t UdpSocket::LocalPort() const {
  if (fd_ < 0) return 0;
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return 0;
  return ntohs(sa.sin_port);
}

bool StartSockets() { return true; }

WaitResult WaitAnyReadable(std::span<const int> fds, int timeoutMs) {
  if (fds.empty()) return WaitResult::Error;
  std::vector<pollfd> p;
  for (int fd : fds) p.push_back(pollfd{fd, POLLIN, 0});
  int r;
  do {
    r = ::poll(p.data(), p.size(), timeoutMs);
  } while (r < 0 && errno == EINTR);
  if (r < 0) return WaitResult::Error;
  return r == 0 ? WaitResult::Timeout : WaitResult::Readable;
}

WakePipe::WakePipe() {
  int fds[2];
  if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
    rd_ = fds[0];
    wr_ = fds[1];
  }
}

WakePipe::~WakePipe() {
  if (rd_ >= 0) ::close(rd_);
  if (wr_ >= 0) ::close(wr_);
}

void WakePipe::Signal() {
  if (wr_ < 0) return;
  const char c = 1;
  // A full pipe already guarantees a wake-up; the result does not matter.
  [[maybe_unused]] ssize_t n = ::write(wr_, &c, 1);
}

void WakePipe::Drain() {
  if (rd_ < 0) return;
  char buf[256];
  while (::read(rd_, buf, sizeof buf) > 0) {
  }
}

}  // namespace kestrova
