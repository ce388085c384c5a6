#include "net/sockets/tcp_stream.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace kestrova {

int TcpConnectStart(const std::string& ip, int port) {
  in_addr addr{};
  if (port < 0 || port > 65535 || ::inet_pton(AF_INET, ip.c_str(), &addr) != 1) return -1;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(static_cast<uint16_t>(port));
  peer.sin_addr = addr;
  // Not awaited here: the first send waits for the socket to become writable.
  (void)::connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer);
  return fd;
}

void TcpClose(int fd) {
  if (fd >= 0) ::close(fd);
}

bool TcpWait(int fd, bool forWrite, std::chrono::milliseconds timeout) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() < 0) left = std::chrono::milliseconds(0);
    pollfd p{fd, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0};
    const int r = ::poll(&p, 1, static_cast<int>(left.count()));
    if (r > 0) return true;
    if (r == 0) return false;
    if (errno != EINTR) return false;
  }
}

long TcpSend(int fd, const char* data, std::size_t size) {
  const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
  if (n >= 0) return static_cast<long>(n);
  return (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) ? kTcpWouldBlock : kTcpError;
}

long TcpRecv(int fd, char* data, std::size_t size) {
  const ssize_t n = ::recv(fd, data, size, MSG_DONTWAIT);
  if (n >= 0) return static_cast<long>(n);
  return (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) ? kTcpWouldBlock : kTcpError;
}

}  // namespace kestrova
