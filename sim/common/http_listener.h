// An HTTP server whose accept loop runs on a thread of its own, with a Stop() that always
// ends that thread.
//
// The server library ignores stop() until its accept loop has started (is_running()), and the
// loop never notices a stop() that came earlier: a server stopped right after it was started
// would keep its thread, and whoever joins it, waiting for ever. Stop() therefore waits (for a
// bounded time) until the loop runs or has ended before it stops it.
#pragma once

#include <httplib.h>

#include <atomic>
#include <string>
#include <thread>

namespace kestrova::sim {

class HttpListener {
 public:
  // Longest wait for the accept loop to start (a thread that is not scheduled for this long
  // means the machine is stuck, not busy).
  static constexpr int kStartBoundMs = 10000;

  HttpListener() = default;
  ~HttpListener();
  HttpListener(const HttpListener&) = delete;
  HttpListener& operator=(const HttpListener&) = delete;

  // The server, for its handlers and settings; set them up before Listen().
  httplib::Server& server() { return svr_; }

  // Binds ip:port (0: any free port) and starts the accept loop on its thread (once per
  // listener). The port, or -1 when it cannot bind.
  int Listen(const std::string& ip, int port);
  // Waits until the accept loop runs (at most `bound_ms`); false when it has ended or has not
  // started by then.
  bool WaitRunning(int bound_ms = kStartBoundMs);
  // Stops accepting and joins the thread once the connections in progress are done (their read
  // and write time-outs bound that). Safe to call at any time, and more than once. A loop that
  // has not started within kStartBoundMs ends the process (abort) rather than leaving a thread
  // that could never be joined.
  void Stop();

 private:
  httplib::Server svr_;
  std::thread th_;
  std::atomic<bool> ended_{false};
};

}  // namespace kestrova::sim
