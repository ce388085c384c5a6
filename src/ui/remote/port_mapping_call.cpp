#include "ui/remote/port_mapping_call.h"

#include "ui/app/lang_message_box.h"

namespace kestrova {

bool RunPortMapping(const std::string& routerAddress, const std::vector<TPortMappingAsk>& mappings) {
  (void)routerAddress;
  (void)mappings;
  LangMessageBox("IDS_DLL_NOTFOUND", "IDS_WARNING", MB_ICONWARNING);
  return false;
}

}  // namespace kestrova
