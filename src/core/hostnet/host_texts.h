// Parsers of the system texts the adapter list is built from. Each takes the whole text and
// returns records; malformed lines are skipped, nothing is read beyond the text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

// One line of the kernel routing table (/proc/net/route): addresses in the kernel's hex form
// (the bytes in network order, written as a host-order number on a little-endian machine).
struct TRouteEntry {
  std::string Iface;
  uint32_t Destination = 0;  // host byte order
  uint32_t Gateway = 0;      // host byte order
  uint32_t Mask = 0;         // host byte order
  unsigned Flags = 0;
  unsigned Metric = 0;
};
std::vector<TRouteEntry> ParseProcNetRoute(std::string_view text);

// The default gateway of an interface, dotted decimal: the up default route (destination and
// mask 0.0.0.0, RTF_UP and RTF_GATEWAY set) of that interface with the lowest metric; the
// first such line wins a tie. Empty when the interface has none.
std::string DefaultGatewayFor(const std::vector<TRouteEntry>& routes, std::string_view iface);

// The first two IPv4 "nameserver" entries of a resolv.conf text (IPv6 servers are skipped:
// the record holds dotted decimal addresses).
struct TNameServers {
  std::string DNS1;
  std::string DNS2;
};
TNameServers ParseResolvConf(std::string_view text);

// Whether a resolv.conf names only the local stub resolver (127.0.0.53 and the like), in which
// case the resolver's upstream file tells the real servers.
bool NamesOnlyLocalResolver(const TNameServers& servers);

// The leased address of a systemd-networkd / NetworkManager internal DHCP lease file
// ("ADDRESS=a.b.c.d" line); empty when there is none.
std::string ParseKeyValueLease(std::string_view text);

// The address of the last lease block for iface in a dhclient lease file
// ("lease { interface "eth0"; fixed-address a.b.c.d; ... }"); empty when there is none.
// A block without an interface statement counts for every interface (per-interface files).
std::string ParseDhclientLeases(std::string_view text, std::string_view iface);

// The DHCP rule of the adapter list. An IPv4 address came from DHCP when
//  - the kernel holds it with a finite lifetime (IFA_F_PERMANENT absent: the "dynamic" that
//    `ip address` shows), which DHCP clients set from the lease time and static set-ups never
//    set; or
//  - a DHCP client's current lease for the interface names this very address (clients that
//    install addresses without a lifetime).
// Anything else is a static address.
bool DecideDhcp(bool kernelDynamic, const std::vector<std::string>& leasedAddresses, std::string_view ip);

// One line of the kernel's neighbour (ARP) table (/proc/net/arp).
struct TArpEntry {
  std::string IP;
  unsigned HwType = 0;
  unsigned Flags = 0;  // 0x2: complete (ATF_COM)
  std::string HwAddr;  // "aa:bb:cc:dd:ee:ff" as the kernel writes it
  std::string Device;
};
std::vector<TArpEntry> ParseProcNetArp(std::string_view text);

// The hardware address (lower-case, ':'-separated) of a complete, non-zero neighbour entry
// for ip on device; empty when the table has none.
std::string ResolvedNeighbour(const std::vector<TArpEntry>& table, std::string_view ip, std::string_view device);

}  // namespace kestrova
