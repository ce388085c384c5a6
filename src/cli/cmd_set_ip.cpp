#include <cstdio>

#include "cli/commands.h"

namespace kestrova {

int CmdSetIp(int, char**) {
  std::fprintf(stderr, "kestrova-cli set-ip: not available yet\n");
  return 2;
}

}  // namespace kestrova
