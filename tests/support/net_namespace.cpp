#include "support/net_namespace.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <unistd.h>

#include <thread>

namespace kestrova::testsupport {

InNamespace::InNamespace(const std::string& ns) {
  home_ = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
  const int fd = ::open(("/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
  ok_ = home_ >= 0 && fd >= 0 && ::setns(fd, CLONE_NEWNET) == 0;
  if (fd >= 0) ::close(fd);
}

InNamespace::~InNamespace() {
  if (home_ >= 0) {
    ::setns(home_, CLONE_NEWNET);
    ::close(home_);
  }
}

void RunInNamespace(const std::string& ns, const std::function<void()>& fn) {
  std::thread t([&] {
    InNamespace in(ns);
    ASSERT_TRUE(in.ok()) << "cannot enter network namespace " << ns;
    fn();
  });
  t.join();
}

}  // namespace kestrova::testsupport
