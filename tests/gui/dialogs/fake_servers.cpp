#include "gui/dialogs/fake_servers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "http_listener.h"

namespace kestrova::testing {

FakeCgiCamera::FakeCgiCamera() : web_(std::make_unique<sim::HttpListener>()) {
  web_->server().Get("/get_params.cgi", [this](const httplib::Request& req, httplib::Response& res) {
    std::string auth = req.get_header_value("Authorization");
    {
      std::lock_guard<std::mutex> lock(mu_);
      requests_.push_back(req.target + "|" + auth);
    }
    // Credentials in the query decide; a Basic header, when sent, must carry the same ones
    // ("admin:good" in Base64).
    bool ok = req.get_param_value("user") == "admin" && req.get_param_value("pwd") == "good" &&
              (auth.empty() || auth == "Basic YWRtaW46Z29vZA==");
    if (ok) {
      res.set_content("var alias=\"cam\";\r\nvar ddns_service=7;\r\n", "text/plain");
    } else {
      res.status = 401;
      res.set_content("Auth Failed", "text/plain");
    }
  });
  port_ = web_->Listen("127.0.0.1", 0);
}

FakeCgiCamera::~FakeCgiCamera() {
  web_.reset();  // stopped before the members its handler uses go
}

std::vector<std::string> FakeCgiCamera::Requests() {
  std::lock_guard<std::mutex> lock(mu_);
  return requests_;
}

FakeCtpCamera::FakeCtpCamera() {
  listen_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof(a));
  listen(listen_, 8);
  socklen_t len = sizeof(a);
  getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
  port_ = ntohs(a.sin_port);
  thread_ = std::thread([this] {
    while (!stop_) {
      pollfd p{listen_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      int c = accept(listen_, nullptr, nullptr);
      if (c < 0) continue;
      conns_.emplace_back([this, c] { Serve(c); });
    }
  });
}

FakeCtpCamera::~FakeCtpCamera() {
  stop_ = true;
  thread_.join();
  for (auto& t : conns_) t.join();
  close(listen_);
}

std::vector<std::string> FakeCtpCamera::Requests() {
  std::lock_guard<std::mutex> lock(mu_);
  return requests_;
}

void FakeCtpCamera::Serve(int fd) {
  std::string buf;
  while (!stop_) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    char chunk[1024];
    ssize_t n = recv(fd, chunk, sizeof(chunk), 0);
    if (n <= 0) break;
    buf.append(chunk, static_cast<size_t>(n));
    for (;;) {
      size_t head = buf.find("\r\n\r\n");
      if (head == std::string::npos) break;
      size_t lenAt = buf.find("Content-Length:");
      size_t bodyLen = lenAt != std::string::npos && lenAt < head ? std::stoul(buf.substr(lenAt + 15)) : 0;
      if (buf.size() < head + 4 + bodyLen) break;
      std::string req = buf.substr(0, head + 4 + bodyLen);
      buf.erase(0, req.size());
      {
        std::lock_guard<std::mutex> lock(mu_);
        requests_.push_back(req);
      }
      std::string reply;
      if (req.rfind("CMD cfgusr CTP/1.0\r\n", 0) == 0) {
        reply = req.find("\r\n-login admin:good\r\n") != std::string::npos ? "CTP/1.0 200 OK\r\nContent-Length:0\r\n\r\n"
                                                                            : "CTP/1.0 401 Unauthorized\r\nContent-Length:0\r\n\r\n";
      } else {
        reply = "CTP/1.0 200 OK\r\nContent-Length:0\r\n\r\n";
      }
      send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
    }
  }
  close(fd);
}

int ClosedPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a));
  socklen_t len = sizeof(a);
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  close(fd);
  return ntohs(a.sin_port);
}

}  // namespace kestrova::testing
