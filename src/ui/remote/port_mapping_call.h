// The port-forward step's call of the port-mapping window: the router address and the camera's
// mappings (address, port text, "TCP") go in, the window's modal result comes out. The advanced
// window's Set port mapping goes through it too.
#pragma once

#include <string>
#include <vector>

namespace kestrova {

struct TPortMappingAsk {
  std::string address, port, protocol;
};

// Shows the port-mapping window modally for routerAddress and the mappings; true when it
// closed with OK (the mappings were set and the router confirmed them).
bool RunPortMapping(const std::string& routerAddress, const std::vector<TPortMappingAsk>& mappings);

}  // namespace kestrova
