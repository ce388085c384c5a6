#include <cstdio>

#include "cli/commands.h"

namespace kestrova {

int CmdDiscover(int, char**) {
  std::fprintf(stderr, "kestrova-cli discover: not available yet\n");
  return 2;
}

}  // namespace kestrova
