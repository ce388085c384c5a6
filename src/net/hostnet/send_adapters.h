// The PC's adapters a broadcast can leave through, and the system's way of sending out of one
// of them (the platform side of AdapterPaths).
#pragma once

#include <vector>

#include "net/sockets/adapter_paths.h"

namespace kestrova {

// The interfaces that are up (and have a carrier), are not loopback and have an IPv4 address
// other than 0.0.0.0, in the kernel's order, each once with its primary address. The
// addresses come from the kernel's address dump over rtnetlink.
std::vector<SendAdapter> ListSendAdapters();

// ListSendAdapters and UdpSocket::SendToVia (IP_PKTINFO: the adapter's index and address).
AdapterPaths& SystemAdapterPaths();

}  // namespace kestrova
