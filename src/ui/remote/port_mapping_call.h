// The port-forward step's call of the port-mapping window: the router address and the camera's
// mappings (address, port text, "TCP") go in, the window's modal result comes out. Kept in one
// place so that the window can be put in without touching the step.
#pragma once

#include <string>
#include <vector>

namespace kestrova {

struct TPortMappingAsk {
  std::string address, port, protocol;
};

// Shows the port-mapping window modally for routerAddress and the mappings; true when it
// closed with OK (the mappings were set). While no router plug-in can be run here, the user
// is told so (IDS_DLL_NOTFOUND) and the result is false.
bool RunPortMapping(const std::string& routerAddress, const std::vector<TPortMappingAsk>& mappings);

}  // namespace kestrova
