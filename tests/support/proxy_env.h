// Tests that send HTTP requests to their own servers on loopback clear the proxy settings of
// the environment first, so that a proxy the machine names never sees (or swallows) them.
#pragma once

#include <cstdlib>

namespace kestrova::test {

inline void ClearProxyEnvironment() {
  for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY",
                           "no_proxy", "NO_PROXY"})
    ::unsetenv(name);
}

}  // namespace kestrova::test
