// Camera stand-ins on 127.0.0.1 for the credential tests: a CGI web server and a CTP server.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kestrova::sim {
class HttpListener;
}

namespace kestrova::testing {

// /get_params.cgi: "var ..." for user admin / password good in the query (and in the Basic
// header when one is sent), "Auth Failed" otherwise.
class FakeCgiCamera {
 public:
  FakeCgiCamera();
  ~FakeCgiCamera();
  int Port() const { return port_; }
  std::vector<std::string> Requests();  // "target|authorization header"

 private:
  std::unique_ptr<sim::HttpListener> web_;
  int port_ = 0;
  std::mutex mu_;
  std::vector<std::string> requests_;
};

// CTP: answers "cfgusr" with 200 OK for -login admin:good, 401 otherwise; "keepalive" with 200.
class FakeCtpCamera {
 public:
  FakeCtpCamera();
  ~FakeCtpCamera();
  int Port() const { return port_; }
  std::vector<std::string> Requests();

 private:
  void Serve(int fd);
  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mu_;
  std::vector<std::string> requests_;
  std::vector<std::thread> conns_;
};

// A loopback port with nobody listening on it.
int ClosedPort();

}  // namespace kestrova::testing
