#include <cstdio>

#include "cli/commands.h"

namespace kestrova {

int CmdWifiScan(int, char**) {
  std::fprintf(stderr, "kestrova-cli wifi-scan: not available yet\n");
  return 2;
}

}  // namespace kestrova
