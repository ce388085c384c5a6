// Moves this thread (and threads it starts later) into a network namespace of the virtual LAN
// for its lifetime, and back afterwards.
#pragma once

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <string>

namespace kestrova::e2e {

class InNamespace {
 public:
  explicit InNamespace(const std::string& ns) {
    home_ = ::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    const int fd = ::open(("/var/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
    ok_ = home_ >= 0 && fd >= 0 && ::setns(fd, CLONE_NEWNET) == 0;
    if (fd >= 0) ::close(fd);
  }
  ~InNamespace() {
    if (home_ >= 0) {
      ::setns(home_, CLONE_NEWNET);
      ::close(home_);
    }
  }
  InNamespace(const InNamespace&) = delete;
  InNamespace& operator=(const InNamespace&) = delete;
  bool ok() const { return ok_; }

 private:
  int home_ = -1;
  bool ok_ = false;
};

}  // namespace kestrova::e2e
