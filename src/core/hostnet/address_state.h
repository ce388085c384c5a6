// The answer of the address-in-use probe, as the address rules take it.
#pragma once

#include <string>

namespace kestrova {

enum class TAddressState {
  Free,     // nobody answered within the time-out
  InUse,    // an echo reply came, or the neighbour table resolved the address
  Refused,  // not probed: invalid input or outside the adapter's subnet
};

struct TProbeResult {
  TAddressState State = TAddressState::Refused;
  std::string Mac;     // hardware address of the answering device when the neighbour table knows it
  std::string Method;  // "self", "icmp", "icmp-raw", "neighbour" or "" (for diagnostics)
};

}  // namespace kestrova
