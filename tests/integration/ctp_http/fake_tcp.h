// A small TCP server on 127.0.0.1 with an ephemeral port for the protocol tests. Every
// accepted connection runs the handler on a thread of its own; Stop() (or the destructor)
// closes the listener, shuts every open connection down and joins the threads.
#pragma once

#ifdef _WIN32
// The same calls on Windows Sockets (the test server only; the code under test keeps its
// platform side in its own files).
#include <winsock2.h>
#include <ws2tcpip.h>

#include "net/sockets/udp_socket.h"  // StartSockets
using ssize_t = long long;
#define MSG_NOSIGNAL 0
#define SHUT_RDWR SD_BOTH
#define SOCK_CLOEXEC 0
namespace kestrova::test::sys {
inline int socket(int af, int type, int proto) { StartSockets(); return int(::socket(af, type, proto)); }
inline int close(int fd) { return ::closesocket(SOCKET(fd)); }
inline int poll(pollfd* p, unsigned n, int ms) { return ::WSAPoll(p, n, ms); }
// A send blocked on a peer that never reads is not woken by shutdown() there: it gives up
// after two seconds instead, so that Stop() can join the connection's thread.
inline int accept4(int fd, sockaddr* a, int* l, int) {
  const SOCKET s = ::accept(SOCKET(fd), a, l);
  if (s != INVALID_SOCKET) {
    const DWORD ms = 2000;
    ::setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
  }
  return int(s);
}
// shutdown() alone does not wake a thread blocked in recv() on that socket here; cancelling
// the socket's pending I/O does.
inline int shutdown(int fd, int how) {
  const int r = ::shutdown(SOCKET(fd), how);
  ::CancelIoEx(reinterpret_cast<HANDLE>(SOCKET(fd)), nullptr);
  return r;
}
}  // namespace kestrova::test::sys
#define KESTROVA_SYS kestrova::test::sys
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#define KESTROVA_SYS
#endif

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kestrova::test {

class FakeTcpServer {
 public:
  using Handler = std::function<void(int fd, int connectionIndex)>;

  explicit FakeTcpServer(Handler h) : handler_(std::move(h)) {
    listen_ = KESTROVA_SYS::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listen_, 16);
    socklen_t len = sizeof a;
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    acceptor_ = std::thread([this] { AcceptLoop(); });
  }
  ~FakeTcpServer() { Stop(); }

  uint16_t Port() const { return port_; }
  int Connections() const { return count_.load(); }

  void Stop() {
    if (stopped_.exchange(true)) return;
    KESTROVA_SYS::shutdown(listen_, SHUT_RDWR);
    KESTROVA_SYS::close(listen_);
    acceptor_.join();
    {
      std::lock_guard lock(mu_);
      for (int fd : fds_) KESTROVA_SYS::shutdown(fd, SHUT_RDWR);
    }
    for (auto& t : workers_) t.join();
    std::lock_guard lock(mu_);
    for (int fd : fds_) KESTROVA_SYS::close(fd);
    fds_.clear();
  }

  // Closes every connection accepted so far (the camera "restarts"); the listener stays.
  void DropConnections() {
    std::lock_guard lock(mu_);
    for (int fd : fds_) KESTROVA_SYS::shutdown(fd, SHUT_RDWR);
  }

 private:
  void AcceptLoop() {
    for (;;) {
      pollfd p{listen_, POLLIN, 0};
      if (KESTROVA_SYS::poll(&p, 1, 50) < 0 || stopped_) return;
      if (!(p.revents & POLLIN)) continue;
      int fd = KESTROVA_SYS::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) {
        if (stopped_) return;
        continue;
      }
      int one = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
      int idx = count_++;
      std::lock_guard lock(mu_);
      fds_.push_back(fd);
      workers_.emplace_back([this, fd, idx] { handler_(fd, idx); });
    }
  }

  Handler handler_;
  int listen_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stopped_{false};
  std::atomic<int> count_{0};
  std::thread acceptor_;
  std::mutex mu_;
  std::vector<int> fds_;
  std::vector<std::thread> workers_;
};

// Reads until the text holds `terminator` (or the peer closes); returns what was read.
inline std::string ReadUntil(int fd, const std::string& terminator, std::string* carry = nullptr) {
  std::string buf = carry ? *carry : std::string();
  if (carry) carry->clear();
  char tmp[4096];
  for (;;) {
    size_t p = buf.find(terminator);
    if (p != std::string::npos) {
      size_t end = p + terminator.size();
      if (carry) *carry = buf.substr(end);
      return buf.substr(0, end);
    }
    ssize_t n = ::recv(fd, tmp, sizeof tmp, 0);
    if (n <= 0) return buf.empty() ? std::string() : buf;
    buf.append(tmp, static_cast<size_t>(n));
  }
}

// Reads exactly n more bytes (fewer when the peer closes).
inline std::string ReadN(int fd, size_t n, std::string* carry = nullptr) {
  std::string buf = carry ? *carry : std::string();
  if (carry) carry->clear();
  char tmp[65536];
  while (buf.size() < n) {
    ssize_t r = ::recv(fd, tmp, sizeof tmp, 0);
    if (r <= 0) break;
    buf.append(tmp, static_cast<size_t>(r));
  }
  if (buf.size() > n) {
    if (carry) *carry = buf.substr(n);
    buf.resize(n);
  }
  return buf;
}

inline bool SendAll(int fd, const std::string& s) {
  size_t off = 0;
  while (off < s.size()) {
    ssize_t n = ::send(fd, s.data() + off, s.size() - off, MSG_NOSIGNAL);
    if (n <= 0) return false;
    off += static_cast<size_t>(n);
  }
  return true;
}

// Blocks until the peer closes or the server shuts the connection down.
inline void WaitClosed(int fd) {
  char tmp[256];
  while (::recv(fd, tmp, sizeof tmp, 0) > 0) {
  }
}

}  // namespace kestrova::test
