#include "host_network.h"

#include <dirent.h>
#include <sys/stat.h>

#include <string>

namespace kestrova::camsim {

bool OnHostNetwork() {
  // The answer is "no" only when this thread provably runs in a namespace of its own: one
  // named by `ip netns` (the virtual LAN), or one that differs from PID 1's. A thread may have
  // entered a namespace on its own (setns), so its own entry counts, not the process's.
  struct stat self{};
  if (stat("/proc/thread-self/ns/net", &self) != 0 && stat("/proc/self/ns/net", &self) != 0) return true;
  for (const char* dir : {"/run/netns", "/var/run/netns"}) {
    DIR* d = opendir(dir);
    if (!d) continue;
    bool found = false;
    while (dirent* e = readdir(d)) {
      if (e->d_name[0] == '.') continue;
      struct stat st{};
      std::string path = std::string(dir) + "/" + e->d_name;
      if (stat(path.c_str(), &st) == 0 && st.st_ino == self.st_ino && st.st_dev == self.st_dev)
        found = true;
    }
    closedir(d);
    if (found) return false;
  }
  struct stat init{};
  if (stat("/proc/1/ns/net", &init) != 0) return true;
  return self.st_ino == init.st_ino && self.st_dev == init.st_dev;
}

}  // namespace kestrova::camsim
