#include "support/pc_sockets.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/deadline.h"

namespace kestrova::testsupport {

Peer::Peer() {
  fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
  port_ = ntohs(a.sin_port);
}

Peer::~Peer() { close(fd_); }

void Peer::SendTo(uint16_t port, const Bytes& b) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sendto(fd_, b.data(), b.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
}

std::optional<Bytes> Peer::Receive(int timeout_ms) {
  pollfd p{fd_, POLLIN, 0};
  if (poll(&p, 1, timeout_ms) <= 0) return std::nullopt;
  Bytes b(65536);
  ssize_t n = recv(fd_, b.data(), b.size(), 0);
  if (n < 0) return std::nullopt;
  b.resize(size_t(n));
  return b;
}

PcSockets::PcSockets(std::vector<uint16_t> ports) {
  for (uint16_t p : ports) {
    int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(s, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(p);
    EXPECT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0) << p;
    socks_[p] = s;
  }
}

PcSockets::~PcSockets() {
  for (auto& [p, s] : socks_) close(s);
}

void PcSockets::Broadcast(uint16_t from, uint16_t to, const Bytes& b) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(to);
  a.sin_addr.s_addr = htonl(INADDR_BROADCAST);
  sendto(socks_.at(from), b.data(), b.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
}

std::optional<Datagram> PcSockets::Next(const std::function<bool(const Datagram&)>& want, int timeout_ms) {
  Deadline deadline(timeout_ms);
  for (;;) {
    int left = deadline.left_ms();
    if (left <= 0) return std::nullopt;
    std::vector<pollfd> fds;
    std::vector<uint16_t> ports;
    for (auto& [p, s] : socks_) {
      fds.push_back({s, POLLIN, 0});
      ports.push_back(p);
    }
    if (poll(fds.data(), fds.size(), left) <= 0) return std::nullopt;
    for (size_t i = 0; i < fds.size(); ++i) {
      if (!(fds[i].revents & POLLIN)) continue;
      Datagram d;
      d.bytes.resize(4096);
      sockaddr_in from{};
      socklen_t len = sizeof from;
      ssize_t n = recvfrom(fds[i].fd, d.bytes.data(), d.bytes.size(), 0, reinterpret_cast<sockaddr*>(&from), &len);
      if (n < 0) continue;
      d.bytes.resize(size_t(n));
      char ip[INET_ADDRSTRLEN];
      inet_ntop(AF_INET, &from.sin_addr, ip, sizeof ip);
      d.from = ip;
      d.local_port = ports[i];
      if (want(d)) return d;
    }
  }
}

}  // namespace kestrova::testsupport
