// The list of the PC's network adapters that have an IPv4 address, in the order the system
// reports them. Loopback is not listed. Read once by the advanced window.
#pragma once

#include <string>
#include <vector>

#include "core/hostnet/net_card.h"

namespace kestrova {

// Fills list (emptied first) from the running system:
//  - interfaces, IPv4 addresses, masks and flags from getifaddrs (one record per interface
//    name, its first IPv4 address; interfaces without one, loopback and 0.0.0.0 are left out);
//  - the hardware address from the interface's link-layer entry of the same enumeration;
//  - the default gateway from /proc/net/route;
//  - the name servers from /etc/resolv.conf, or from the local resolver's upstream file when
//    /etc/resolv.conf names only the local stub;
//  - DhcpOn by DecideDhcp: the kernel's "dynamic" address flag (no IFA_F_PERMANENT) read over
//    rtnetlink, or a DHCP client lease for the interface that names the address;
//  - Desc: the interface name; ConnName: the interface's alias when one is set, else its name.
// A system call that fails leaves its fields empty; nothing is reported.
void GetNetCards(std::vector<TNET_CARD>& list);

// The local address the system would send to ip from (its routing decision), or "" when ip is
// not dotted decimal or there is no route. Asks the kernel only: no packet leaves the machine.
std::string LocalAddressToward(const std::string& ip);

// Destroys every record and empties the list.
void FreeNetCards(std::vector<TNET_CARD>& list);

}  // namespace kestrova
