// Whether this process runs on the machine's own network: the simulators then keep to
// loopback addresses.
#pragma once

namespace kestrova::sim {

// False only when this process provably runs in a network namespace of its own: one named by
// `ip netns` (the virtual LAN), or one that differs from process 1's.
bool InHostNamespace();

}  // namespace kestrova::sim
