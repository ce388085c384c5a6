// Sending a limited broadcast (255.255.255.255) through every adapter of the PC. The routing
// table sends such a datagram out of one interface only, or fails outright when no route
// covers it (a camera cabled straight to the PC, a LAN without a gateway); cameras on a second
// adapter would never hear a search. So each broadcast is handed to every up, non-loopback
// IPv4 adapter in turn, from the same socket (same source port), and a failure on one adapter
// does not keep it from the others.
//
// AdapterPaths is the platform side: which adapters there are and how to send out of one of
// them (IP_PKTINFO on Linux). Tests put a fake in its place.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kestrova {

class UdpSocket;

// One adapter a broadcast can leave through.
struct SendAdapter {
  int index = 0;        // the system's interface index
  std::string name;     // interface name, for logs
  std::string address;  // its IPv4 address (dotted decimal): the source of what it sends
};

class AdapterPaths {
 public:
  virtual ~AdapterPaths() = default;
  // The up, non-loopback adapters with an IPv4 address, each once; empty when there is none
  // (or the system could not be asked).
  virtual std::vector<SendAdapter> Adapters() = 0;
  // Sends one datagram from socket to addr:port out of adapter a.
  virtual bool SendVia(UdpSocket& socket, const SendAdapter& a, const std::string& addr, uint16_t port,
                       std::span<const uint8_t> data) = 0;
};

inline constexpr const char* kLimitedBroadcast = "255.255.255.255";
bool IsLimitedBroadcast(const std::string& addr);

// What one broadcast achieved.
struct BroadcastOutcome {
  int adapters = 0;  // adapters tried
  int sent = 0;      // adapters that took the datagram
  bool Sent() const { return sent > 0; }
  int Failed() const { return adapters - sent; }
};

// Sends data to addr:port. A limited broadcast goes out of each adapter of `adapters` through
// paths; any other address is one ordinary send (adapters are not used).
BroadcastOutcome SendToEveryAdapter(UdpSocket& socket, AdapterPaths& paths, const std::vector<SendAdapter>& adapters,
                                    const std::string& addr, uint16_t port, std::span<const uint8_t> data);
// The same with the adapters asked of paths now (for single sends such as settings commands).
BroadcastOutcome SendToEveryAdapter(UdpSocket& socket, AdapterPaths& paths, const std::string& addr, uint16_t port,
                                    std::span<const uint8_t> data);

}  // namespace kestrova
