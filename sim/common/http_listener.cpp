#include "http_listener.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace kestrova::sim {

HttpListener::~HttpListener() { Stop(); }

int HttpListener::Listen(const std::string& ip, int port) {
  if (th_.joinable()) return -1;
  if (port == 0) {
    port = svr_.bind_to_any_port(ip);
    if (port <= 0) return -1;
  } else if (!svr_.bind_to_port(ip, port)) {
    return -1;
  }
  th_ = std::thread([this] {
    svr_.listen_after_bind();
    ended_ = true;
  });
  return port;
}

bool HttpListener::WaitRunning(int bound_ms) {
  if (!th_.joinable()) return false;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(bound_ms);
  // The library offers nothing to wait on: look again every millisecond.
  while (!svr_.is_running()) {
    if (ended_ || std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void HttpListener::Stop() {
  if (!th_.joinable()) return;
  if (!WaitRunning() && !ended_) {
    std::fprintf(stderr, "HTTP server thread did not start within %d ms; aborting\n", kStartBoundMs);
    std::abort();
  }
  svr_.stop();  // does nothing once the loop has ended on its own
  th_.join();
}

}  // namespace kestrova::sim
