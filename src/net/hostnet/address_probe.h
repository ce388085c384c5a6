// Whether an address inside one adapter's own subnet already answers. Used by the automatic
// address setting before it gives a camera an address.
//
// Only ever sends to an address inside the adapter's subnet (the adapter's own address, the
// subnet's network and broadcast addresses excluded, masks shorter than /8 refused); anything
// else is refused without a single packet.
#pragma once

#include <string>

#include "core/hostnet/address_state.h"
#include "core/hostnet/net_card.h"

namespace kestrova {

// Probes ip on card (card.IP/card.NetMask give the subnet, card.IfName the device). Sends
// ICMP echo requests through an unprivileged ping socket when the system allows it, else a raw
// ICMP socket (root); when neither is possible, a UDP datagram to the discard port makes the
// kernel resolve the address, and the host's "port unreachable" answer counts. Afterwards a complete neighbour-table entry for the address on
// the adapter's device also counts as in use (a device that drops echo requests still answers
// address resolution). The adapter's own address is in use without any traffic.
TProbeResult AddressInUse(const TNET_CARD& card, const std::string& ip, int timeoutMs);

// The same probe with one way of asking forced (tests; Auto is the order above).
enum class TProbeWay { Auto, PingSocket, RawSocket, Udp };
TProbeResult AddressInUse(const TNET_CARD& card, const std::string& ip, int timeoutMs, TProbeWay way);

}  // namespace kestrova
