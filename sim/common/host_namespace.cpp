#include "host_namespace.h"

#include <sys/stat.h>

#include <filesystem>

namespace kestrova::sim {

bool InHostNamespace() {
  struct stat self{};
  if (stat("/proc/self/ns/net", &self) != 0) return true;
  for (const char* dir : {"/run/netns", "/var/run/netns"}) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
      struct stat st{};
      if (stat(it->path().c_str(), &st) == 0 && st.st_ino == self.st_ino && st.st_dev == self.st_dev) return false;
    }
  }
  struct stat init{};
  if (stat("/proc/1/ns/net", &init) != 0) return true;
  return self.st_ino == init.st_ino && self.st_dev == init.st_dev;
}

}  // namespace kestrova::sim
