// The PC's side of the UDP protocols in a test: one socket on 127.0.0.1 (any free port) for
// the simulator on loopback, or broadcast-enabled sockets on the assistant's own ports inside
// the PC namespace of the virtual LAN.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kestrova::testsupport {

using Bytes = std::vector<uint8_t>;

// A UDP socket on 127.0.0.1 (any free port) standing in for the PC.
class Peer {
 public:
  Peer();
  ~Peer();
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;
  void SendTo(uint16_t port, const Bytes& b);
  // The next datagram, or nothing after timeout_ms (only a failing test waits that long).
  std::optional<Bytes> Receive(int timeout_ms = 5000);
  uint16_t port() const { return port_; }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

struct Datagram {
  Bytes bytes;
  std::string from;  // ip
  uint16_t local_port;
};

// The PC's side in the virtual LAN: broadcast-enabled sockets on the ports the assistant binds
// (made in the namespace of the calling thread).
class PcSockets {
 public:
  explicit PcSockets(std::vector<uint16_t> ports);  // a port that cannot be bound fails the test
  ~PcSockets();
  PcSockets(const PcSockets&) = delete;
  PcSockets& operator=(const PcSockets&) = delete;
  void Broadcast(uint16_t from, uint16_t to, const Bytes& b);
  // Next datagram that `want` accepts (others, e.g. our own broadcasts, are skipped).
  std::optional<Datagram> Next(const std::function<bool(const Datagram&)>& want, int timeout_ms = 3000);

 private:
  std::map<uint16_t, int> socks_;
};

}  // namespace kestrova::testsupport
