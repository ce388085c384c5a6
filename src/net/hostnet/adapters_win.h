// The PC's adapters as the IP Helper's GetAdaptersAddresses reports them (Windows only).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrova {

struct WinAdapter {
  int index = 0;           // IPv4 interface index
  std::string name;        // the adapter's name (its GUID text)
  std::string description; // the adapter's description, UTF-8
  std::string friendly;    // the connection's display name, UTF-8
  std::vector<uint8_t> mac;
  bool up = false;         // operational status up
  bool loopback = false;
  bool dhcp = false;       // DHCP enabled on the adapter
  struct Addr {
    uint32_t addr = 0;     // host byte order
    int prefix = 0;
    bool dynamic = false;  // the address came from DHCP
  };
  std::vector<Addr> addrs;      // IPv4 unicast addresses, in the system's order
  std::vector<uint32_t> gateways;  // IPv4, host byte order
  std::vector<uint32_t> dns;       // IPv4, host byte order
};

// Every adapter with its IPv4 details; empty when the call failed.
std::vector<WinAdapter> ListWinAdapters();

}  // namespace kestrova
