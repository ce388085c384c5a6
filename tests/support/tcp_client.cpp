#include "support/tcp_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

#include "support/deadline.h"

namespace kestrova::testsupport {

namespace {

// A connected socket, or -1 when the connection is refused or not made within timeout_ms.
int Connect(const std::string& ip, uint16_t port, int timeout_ms = 5000) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  if (inet_pton(AF_INET, ip.c_str(), &a.sin_addr) != 1) return -1;
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  if (!ok && errno == EINPROGRESS) {
    pollfd p{fd, POLLOUT, 0};
    int err = 0;
    socklen_t len = sizeof err;
    ok = poll(&p, 1, timeout_ms) == 1 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0;
  }
  if (!ok) {
    close(fd);
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

bool SendAll(int fd, const std::string& s) {
  size_t off = 0;
  while (off < s.size()) {
    ssize_t n = send(fd, s.data() + off, s.size() - off, MSG_NOSIGNAL);
    if (n <= 0) return false;
    off += size_t(n);
  }
  return true;
}

}  // namespace

HttpReply HttpExchange(const std::string& ip, uint16_t port, const std::string& method, const std::string& target,
                       const std::string& extraHeaders, const std::string& body, int timeout_ms) {
  HttpReply r;
  int fd = Connect(ip, port);
  if (fd < 0) return r;
  std::string req = method + " " + target + " HTTP/1.1\r\nHost: " + ip + "\r\nConnection: close\r\n" + extraHeaders;
  if (method == "POST") req += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  req += "\r\n" + body;
  SendAll(fd, req);
  std::string all;
  Deadline deadline(timeout_ms);
  for (;;) {
    int left = deadline.left_ms();
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, left) <= 0) break;
    char buf[8192];
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    all.append(buf, size_t(n));
  }
  close(fd);
  auto sep = all.find("\r\n\r\n");
  if (all.compare(0, 9, "HTTP/1.1 ") != 0 || sep == std::string::npos) return r;
  r.ok = true;
  r.status = std::atoi(all.c_str() + 9);
  r.headers = all.substr(0, sep + 2);
  r.body = all.substr(sep + 4);
  return r;
}

TcpConn::TcpConn(uint16_t port) : fd_(Connect("127.0.0.1", port)) {}
TcpConn::~TcpConn() {
  if (fd_ >= 0) close(fd_);
}
void TcpConn::Send(const std::string& s) { SendAll(fd_, s); }

std::string TcpConn::ReadReply(int timeout_ms) {
  // A CTP reply is whole when its body holds Content-Length bytes.
  std::string all;
  Deadline deadline(timeout_ms);
  for (;;) {
    auto sep = all.find("\r\n\r\n");
    auto cl = all.find("Content-Length:");
    if (sep != std::string::npos && cl != std::string::npos && cl < sep) {
      size_t len = std::strtoul(all.c_str() + cl + 15, nullptr, 10);
      if (all.size() >= sep + 4 + len) return all;
    }
    int left = deadline.left_ms();
    if (left <= 0) return all;
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, left) <= 0) return all;
    char buf[4096];
    ssize_t n = recv(fd_, buf, sizeof buf, 0);
    if (n <= 0) return all;
    all.append(buf, size_t(n));
  }
}

std::string TcpConn::ReadLine(int timeout_ms) {
  Deadline deadline(timeout_ms);
  for (;;) {
    auto nl = pending_.find("\r\n");
    if (nl != std::string::npos) {
      std::string line = pending_.substr(0, nl + 2);
      pending_.erase(0, nl + 2);
      return line;
    }
    int left = deadline.left_ms();
    if (left <= 0) return std::exchange(pending_, std::string());
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, left) <= 0) return std::exchange(pending_, std::string());
    char buf[4096];
    ssize_t n = recv(fd_, buf, sizeof buf, 0);
    if (n <= 0) return std::exchange(pending_, std::string());
    pending_.append(buf, size_t(n));
  }
}

bool TcpConn::WaitClosed(int timeout_ms) {
  Deadline deadline(timeout_ms);
  for (;;) {
    int left = deadline.left_ms();
    if (left <= 0) return false;
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, left) <= 0) return false;
    char buf[256];
    if (recv(fd_, buf, sizeof buf, 0) <= 0) return true;
  }
}

bool ConnectRefused(uint16_t port) {
  int fd = Connect("127.0.0.1", port);
  if (fd < 0) return true;
  close(fd);
  return false;
}

}  // namespace kestrova::testsupport
