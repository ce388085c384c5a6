#include "ui/remote/port_mapping_call.h"

#include "ui/dialogs/dialog_placement.h"
#include "ui/router/set_port_forward.h"

namespace kestrova {

bool RunPortMapping(const std::string& routerAddress, const std::vector<TPortMappingAsk>& mappings) {
  TfrmPortForward w;
  w.RouterAddress = routerAddress;
  for (const auto& m : mappings) w.AddMapping(m.address, m.port, m.protocol);
  CenterOnMainWindow(&w);
  return w.exec() == QDialog::Accepted;
}

}  // namespace kestrova
