// kestrova-portfwd: forwards TCP connections from public address:port pairs to LAN
// address:port pairs, as a home router's port mapping does. See README.md.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "host_namespace.h"

namespace {

struct Endpoint {
  sockaddr_in addr{};
  std::string text;
};

struct Rule {
  Endpoint from, to;
  int fd = -1;
};

constexpr int kConnectTimeoutMs = 3000;
constexpr int kIdleTimeoutMs = 30000;

std::mutex g_logMu;
std::string g_log;

void Log(const std::string& line) {
  std::lock_guard<std::mutex> lock(g_logMu);
  std::cout << "portfwd: " << line << std::endl;
  if (!g_log.empty()) std::ofstream(g_log, std::ios::app) << line << "\n";
}

std::optional<Endpoint> ParseEndpoint(const std::string& text) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos) return std::nullopt;
  Endpoint e;
  e.text = text;
  e.addr.sin_family = AF_INET;
  if (inet_pton(AF_INET, text.substr(0, colon).c_str(), &e.addr.sin_addr) != 1) return std::nullopt;
  char* end = nullptr;
  const long port = std::strtol(text.c_str() + colon + 1, &end, 10);
  if (*end != '\0' || port < 1 || port > 65535) return std::nullopt;
  e.addr.sin_port = htons(static_cast<uint16_t>(port));
  return e;
}

bool IsLoopback(const Endpoint& e) { return (ntohl(e.addr.sin_addr.s_addr) >> 24) == 127; }

// Non-blocking connect bounded by kConnectTimeoutMs; -1 when refused or silent.
int ConnectTo(const Endpoint& to) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&to.addr), sizeof(to.addr)) != 0 && errno != EINPROGRESS) {
    close(fd);
    return -1;
  }
  pollfd p{fd, POLLOUT, 0};
  int err = 0;
  socklen_t len = sizeof(err);
  if (poll(&p, 1, kConnectTimeoutMs) != 1 || getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Copies both ways until both sides are done or nothing moved for kIdleTimeoutMs.
void Relay(int a, int b) {
  bool openA = true, openB = true;  // reading side still open
  char buf[16384];
  while (openA || openB) {
    pollfd p[2] = {{a, static_cast<short>(openA ? POLLIN : 0), 0}, {b, static_cast<short>(openB ? POLLIN : 0), 0}};
    int n = poll(p, 2, kIdleTimeoutMs);
    if (n <= 0) break;
    for (int i = 0; i < 2; ++i) {
      if (!(p[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const int from = i == 0 ? a : b, to = i == 0 ? b : a;
      const ssize_t got = recv(from, buf, sizeof buf, 0);
      if (got <= 0) {
        shutdown(to, SHUT_WR);
        (i == 0 ? openA : openB) = false;
        continue;
      }
      for (ssize_t sent = 0; sent < got;) {
        pollfd w{to, POLLOUT, 0};
        if (poll(&w, 1, kIdleTimeoutMs) != 1) return;
        const ssize_t s = send(to, buf + sent, static_cast<size_t>(got - sent), MSG_NOSIGNAL);
        if (s <= 0) return;
        sent += s;
      }
    }
  }
}

void Serve(int client, const Rule& rule, const std::string& peer) {
  const int server = ConnectTo(rule.to);
  if (server < 0) {
    Log(peer + " -> " + rule.from.text + " -> " + rule.to.text + ": not reached");
    close(client);
    return;
  }
  Log(peer + " -> " + rule.from.text + " -> " + rule.to.text);
  Relay(client, server);
  close(server);
  close(client);
}

void Usage() {
  std::fprintf(stderr,
               "usage: kestrova-portfwd --forward PUBLIC:PORT=LAN:PORT [--forward ...] [--log FILE] [--pidfile FILE]\n");
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<Rule> rules;
  std::string pidfile;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 >= argc) {
      Usage();
      return 2;
    }
    const std::string v = argv[++i];
    if (a == "--forward") {
      const size_t eq = v.find('=');
      auto from = ParseEndpoint(v.substr(0, eq));
      auto to = eq == std::string::npos ? std::nullopt : ParseEndpoint(v.substr(eq + 1));
      if (!from || !to) {
        std::fprintf(stderr, "portfwd: bad forward '%s'\n", v.c_str());
        return 2;
      }
      rules.push_back({*from, *to});
    } else if (a == "--log") {
      g_log = v;
    } else if (a == "--pidfile") {
      pidfile = v;
    } else {
      Usage();
      return 2;
    }
  }
  if (rules.empty()) {
    Usage();
    return 2;
  }
  // On the machine's own network only loopback on both sides.
  if (kestrova::sim::InHostNamespace()) {
    for (const Rule& r : rules) {
      if (!IsLoopback(r.from) || !IsLoopback(r.to)) {
        std::fprintf(stderr, "portfwd: on the machine's own network only loopback addresses are allowed\n");
        return 2;
      }
    }
  }
  signal(SIGPIPE, SIG_IGN);
  for (Rule& r : rules) {
    r.fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(r.fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    if (bind(r.fd, reinterpret_cast<const sockaddr*>(&r.from.addr), sizeof(r.from.addr)) != 0 || listen(r.fd, 16) != 0) {
      std::fprintf(stderr, "portfwd: cannot listen on %s: %s\n", r.from.text.c_str(), std::strerror(errno));
      return 1;
    }
    std::cout << "portfwd: forward " << r.from.text << " -> " << r.to.text << std::endl;
  }
  if (!pidfile.empty()) std::ofstream(pidfile) << getpid() << "\n";
  std::cout << "portfwd: ready" << std::endl;

  std::vector<pollfd> fds;
  for (const Rule& r : rules) fds.push_back({r.fd, POLLIN, 0});
  for (;;) {
    if (poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      return 1;
    }
    for (size_t i = 0; i < fds.size(); ++i) {
      if (!(fds[i].revents & POLLIN)) continue;
      sockaddr_in peer{};
      socklen_t len = sizeof(peer);
      const int c = accept4(rules[i].fd, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC);
      if (c < 0) continue;
      char text[INET_ADDRSTRLEN] = {};
      inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
      std::thread(Serve, c, rules[i], std::string(text)).detach();
    }
  }
}
