// In-test camera responders on loopback: each owns a UDP socket on 127.0.0.1 (port 0), records
// every request it receives and answers with hand-written reply bytes. They run on the test's
// thread (Serve) or on a thread of their own (ServeInBackground) when another process searches.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <ostream>
#include <thread>
#include <vector>

#include "net/discovery/discovery_engine.h"
#include "net/sockets/udp_socket.h"
#include "integration/discovery/camera_replies.h"

namespace kestrova {
// Readable records in failure messages.
inline void PrintTo(const TDevInfo& d, std::ostream* os) {
  *os << "{DevType " << d.DevType << ", MAC '" << d.MAC << "', SN '" << d.SN << "', Name '" << d.Name
      << "', Version '" << d.Version << "', IP '" << d.IP << "', NetMask '" << d.NetMask << "', Gateway '"
      << d.Gateway << "', AuxAddr '" << d.AuxAddr << "', DNS1 '" << d.DNS1 << "', DNS2 '" << d.DNS2
      << "', HttpPort " << d.HttpPort << ", DataPort " << d.DataPort << ", AuxPort " << d.AuxPort
      << ", IPMode " << int(d.IPMode) << ", DDnsUser '" << d.DDnsUser << "', DDnsPwd '" << d.DDnsPwd
      << "', DDnsServer '" << d.DDnsServer << "', User '" << d.User << "', Pwd '" << d.Pwd << "', LifeTicks "
      << d.LifeTicks << ", ExtWord " << d.ExtWord << "}";
}
}  // namespace kestrova

namespace kestrova::testing {

class FakeCamera {
 public:
  // Gets one request, returns the replies (none to stay silent).
  using Responder = std::function<std::vector<Bytes>(const Bytes& request)>;

  explicit FakeCamera(Responder r) : responder_(std::move(r)) {
    socket_.Bind(0, "127.0.0.1");
  }
  ~FakeCamera() { StopBackground(); }
  uint16_t port() const { return socket_.LocalPort(); }
  int fd() const { return socket_.fd(); }

  // Answers every waiting request; returns how many were handled.
  int Serve() {
    int n = 0;
    while (auto d = socket_.Receive(4096)) {
      ++n;
      std::vector<Bytes> replies;
      {
        std::lock_guard lock(mu_);
        requests_.push_back(d->data);
        senders_.push_back(d->fromPort);
        replies = responder_(d->data);
      }
      for (const auto& r : replies) socket_.SendTo(d->fromIp, d->fromPort, r);
    }
    return n;
  }
  void ServeInBackground() {
    bg_ = std::thread([this] {
      while (!stop_) {
        if (socket_.WaitReadable(20) == WaitResult::Readable) Serve();
      }
    });
  }
  void StopBackground() {
    stop_ = true;
    if (bg_.joinable()) bg_.join();
  }
  std::vector<Bytes> Requests() const {
    std::lock_guard lock(mu_);
    return requests_;
  }
  // The local port each request came from, in order.
  std::vector<uint16_t> Senders() const {
    std::lock_guard lock(mu_);
    return senders_;
  }
  void SetResponder(Responder r) {
    std::lock_guard lock(mu_);
    responder_ = std::move(r);
  }

 private:
  UdpSocket socket_;
  Responder responder_;
  mutable std::mutex mu_;
  std::vector<Bytes> requests_;
  std::vector<uint16_t> senders_;
  std::atomic<bool> stop_{false};
  std::thread bg_;
};

inline bool StartsWith(const Bytes& b, std::initializer_list<uint8_t> prefix) {
  if (b.size() < prefix.size()) return false;
  size_t i = 0;
  for (uint8_t v : prefix)
    if (b[i++] != v) return false;
  return true;
}

// Serves the cameras and lets the engine process until cond() holds or timeoutMs passes
// (a generous bound for loopback delivery, not a timing assumption).
inline bool PumpUntil(DiscoveryEngine& engine, const std::vector<FakeCamera*>& cams,
                      const std::function<bool()>& cond, int timeoutMs = 5000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    for (auto* c : cams) c->Serve();
    engine.ProcessPending();
    if (cond()) return true;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return false;
    std::vector<int> fds = engine.fds();
    for (auto* c : cams) fds.push_back(c->fd());
    WaitAnyReadable(fds, int(std::min<long long>(left, 100)));
  }
}

// A configuration that keeps everything on loopback: bind 127.0.0.1, any free local ports,
// requests to 127.0.0.1 at the fake cameras' ports.
inline DiscoveryConfig LoopbackConfig() {
  DiscoveryConfig c;
  c.bindAddress = "127.0.0.1";
  c.broadcastAddress = "127.0.0.1";
  c.preferredPorts = {0, 0, 0, 0, 0};
  c.family9LocalPort = 0;
  // Nobody listens on these unless a test sets them; loopback sends to a closed port are harmless.
  c.family2Port = c.uicamPort = c.sq610Port = c.family5Port = c.family8Port = c.family9Port = 9;
  c.receiveBufferBytes = 0;
  return c;
}

}  // namespace kestrova::testing
