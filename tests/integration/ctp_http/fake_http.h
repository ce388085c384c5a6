// A raw HTTP/1.1 server on 127.0.0.1 for the client tests: it records every request byte for
// byte (head and body) and answers from a handler, which may also write raw bytes itself.
#pragma once

#include <map>

#include "fake_tcp.h"

namespace kestrova::test {

struct HttpRequestSeen {
  std::string head;  // request line and headers, up to and including the blank line
  std::string body;
  std::string Path() const {
    size_t a = head.find(' '), b = head.find(' ', a + 1);
    return head.substr(a + 1, b - a - 1);
  }
  // The value of the first header with this name (case-sensitive), or "" when absent.
  std::string Header(const std::string& name) const {
    size_t p = head.find("\r\n" + name + ": ");
    if (p == std::string::npos) return {};
    p += name.size() + 4;
    return head.substr(p, head.find("\r\n", p) - p);
  }
  bool HasHeader(const std::string& name) const { return head.find("\r\n" + name + ":") != std::string::npos; }
};

struct HttpAnswer {
  int status = 200;
  std::string body;
  bool silent = false;  // accept the request and never answer
};

inline std::string HttpResponse(int status, const std::string& body) {
  return "HTTP/1.1 " + std::to_string(status) + (status < 400 ? " OK" : " Error") +
         "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

class FakeHttpServer {
 public:
  using Handler = std::function<HttpAnswer(const HttpRequestSeen&)>;
  explicit FakeHttpServer(Handler h) : handler_(std::move(h)) {}

  uint16_t Port() const { return server_.Port(); }
  std::string Base() const { return "http://127.0.0.1:" + std::to_string(Port()); }
  std::vector<HttpRequestSeen> Requests() {
    std::lock_guard lock(mu_);
    return seen_;
  }
  std::vector<std::string> Paths() {
    std::vector<std::string> out;
    for (const auto& r : Requests()) out.push_back(r.Path());
    return out;
  }

 private:
  void Serve(int fd) {
    std::string carry;
    HttpRequestSeen req;
    req.head = ReadUntil(fd, "\r\n\r\n", &carry);
    if (req.head.empty()) return;
    size_t p = req.head.find("Content-Length: ");
    if (p != std::string::npos) req.body = ReadN(fd, std::stoul(req.head.substr(p + 16)), &carry);
    {
      std::lock_guard lock(mu_);
      seen_.push_back(req);
    }
    HttpAnswer a = handler_(req);
    if (a.silent) {
      WaitClosed(fd);
      return;
    }
    SendAll(fd, HttpResponse(a.status, a.body));
    ::shutdown(fd, SHUT_WR);
    WaitClosed(fd);
  }

  Handler handler_;
  std::mutex mu_;
  std::vector<HttpRequestSeen> seen_;
  FakeTcpServer server_{[this](int fd, int) { Serve(fd); }};
};

// Keeps loopback requests away from any proxy: the test runs with no proxy settings at all.
inline void NoProxyForLoopback() {
  for (const char* name : {"http_proxy", "https_proxy", "all_proxy", "no_proxy", "HTTP_PROXY", "HTTPS_PROXY",
                           "ALL_PROXY", "NO_PROXY"})
    ::unsetenv(name);
}

}  // namespace kestrova::test
