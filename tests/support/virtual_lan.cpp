#include "support/virtual_lan.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "support/child_process.h"
#include "support/deadline.h"

namespace kestrova::testsupport {

namespace {

const std::string kScript = std::string(KESTROVA_SOURCE_DIR) + "/tools/vlan/vlan.sh";

}  // namespace

bool VirtualLan::Available() {
  return geteuid() == 0 && RunShell("ip netns list >/dev/null 2>&1", 10000).code == 0;
}

VirtualLan::VirtualLan(const std::string& prefix, const std::string& stem)
    : prefix_(prefix.empty() ? stem + std::to_string(getpid() % 100000) : prefix) {}

VirtualLan::~VirtualLan() {
  Down();
  if (lock_fd_ >= 0) close(lock_fd_);
}

bool VirtualLan::Lock() {
  if (lock_fd_ >= 0) return true;
  // The same file vlan.sh locks (vlan.sh lockfile).
  const std::string path = "/tmp/kestrova-vlan-" + prefix_ + ".lock";
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  Deadline deadline(kLockBoundMs);
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (deadline.passed()) {
      output = "virtual LAN " + prefix_ + " is busy (lock " + path + ")";
      close(fd);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  lock_fd_ = fd;
  return true;
}

int VirtualLan::Run(const std::vector<std::string>& args) {
  // vlan.sh takes the lock we hold through KV_LOCK_FD, on the descriptor the child inherits.
  ChildProcess::Options o;
  o.keep_fd = lock_fd_;
  std::vector<std::string> argv = {"env", "KV_PREFIX=" + prefix_, "KV_LOCK_FD=" + std::to_string(lock_fd_), "bash",
                                   kScript};
  argv.insert(argv.end(), args.begin(), args.end());
  CommandResult r = RunCommand(argv, kScriptBoundMs, o);
  output = r.output;
  return r.code;
}

bool VirtualLan::Up(const std::vector<std::string>& args) {
  if (!Lock()) return false;
  Run({"down"});
  up_ = true;  // whatever part of it came up goes again in Down()
  std::vector<std::string> up = {"up"};
  up.insert(up.end(), args.begin(), args.end());
  return Run(up) == 0;
}

void VirtualLan::Down() {
  if (!up_) return;
  Run({"down"});
  up_ = false;
}

}  // namespace kestrova::testsupport
