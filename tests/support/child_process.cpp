#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "support/deadline.h"

namespace kestrova::testsupport {

namespace {

// An unnamed file for the child's output: created, opened, unlinked at once.
int OutputFile() {
  char path[] = "/tmp/kestrova-child-XXXXXX";
  int fd = mkostemp(path, O_CLOEXEC);
  if (fd >= 0) unlink(path);
  return fd;
}

// In the child, before it runs anything: its own process group, killed with the thread that
// started it, output into the file.
void PrepareChild(pid_t parent, int out_fd, bool capture_stderr, int keep_fd) {
  setpgid(0, 0);
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(126);  // the parent is already gone
  if (out_fd >= 0) {
    dup2(out_fd, 1);
    if (capture_stderr) dup2(out_fd, 2);
  }
  if (keep_fd >= 0) {
    int flags = fcntl(keep_fd, F_GETFD);
    if (flags >= 0) fcntl(keep_fd, F_SETFD, flags & ~FD_CLOEXEC);
  }
  signal(SIGPIPE, SIG_DFL);
}

}  // namespace

ChildProcess::~ChildProcess() {
  Stop();
  if (out_fd_ >= 0) close(out_fd_);
}

bool ChildProcess::Started(pid_t pid) {
  if (pid < 0) return false;
  setpgid(pid, pid);  // also here, so that a signal to the group never races the child's own call
  pid_ = pid;
  pidfd_ = int(syscall(SYS_pidfd_open, pid, 0));  // (the C library's wrapper is not usable from C++ here)
  status_.reset();
  return true;
}

bool ChildProcess::Spawn(const std::vector<std::string>& argv, const Options& options) {
  if (running() || argv.empty()) return false;
  if (out_fd_ < 0) out_fd_ = OutputFile();
  std::vector<std::string> copy = argv;
  std::vector<char*> args;
  for (auto& a : copy) args.push_back(a.data());
  args.push_back(nullptr);
  const pid_t parent = getpid();
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    PrepareChild(parent, out_fd_, options.capture_stderr, options.keep_fd);
    execvp(args[0], args.data());
    _exit(127);
  }
  return Started(pid);
}

bool ChildProcess::Fork(const std::function<int()>& body) {
  if (running()) return false;
  if (out_fd_ < 0) out_fd_ = OutputFile();
  const pid_t parent = getpid();
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    PrepareChild(parent, -1, false, -1);
    int code = 125;
    try {
      code = body();
    } catch (...) {
    }
    std::fflush(nullptr);
    _exit(code);
  }
  return Started(pid);
}

bool ChildProcess::Reaped(int timeout_ms) {
  if (status_) return true;
  if (pid_ <= 0) return false;
  Deadline deadline(timeout_ms);
  for (;;) {
    int st = 0;
    pid_t r = waitpid(pid_, &st, WNOHANG);
    if (r == pid_) {
      status_ = st;
      if (pidfd_ >= 0) close(pidfd_);
      pidfd_ = -1;
      return true;
    }
    if (r < 0) {  // not our child any more (reaped elsewhere): nothing left to wait for
      status_ = -1;
      return true;
    }
    int left = deadline.left_ms();
    if (left <= 0) return false;
    if (pidfd_ >= 0) {
      pollfd p{pidfd_, POLLIN, 0};
      poll(&p, 1, left);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::min(left, 5)));
    }
  }
}

std::optional<int> ChildProcess::Wait(int timeout_ms) {
  if (!Reaped(timeout_ms)) return std::nullopt;
  return status_;
}

int ChildProcess::Stop(int grace_ms) {
  if (pid_ <= 0) return -1;
  if (!status_) {
    kill(-pid_, SIGTERM);
    if (!Reaped(grace_ms)) {
      std::fprintf(stderr, "child %d did not end %d ms after SIGTERM; killing it\n", int(pid_), grace_ms);
      kill(-pid_, SIGKILL);
      if (!Reaped(kReapBoundMs)) {
        std::fprintf(stderr, "child %d could not be reaped; leaving it\n", int(pid_));
        if (pidfd_ >= 0) close(pidfd_);
        pidfd_ = -1;
        pid_ = -1;
        return -1;
      }
    }
  }
  int st = *status_;
  pid_ = -1;
  return st;
}

void ChildProcess::Signal(int sig) {
  if (running()) kill(pid_, sig);
}

bool ChildProcess::ReadLine(std::string& line, int timeout_ms) {
  Deadline deadline(timeout_ms);
  for (;;) {
    auto nl = pending_.find('\n');
    if (nl != std::string::npos) {
      line = pending_.substr(0, nl);
      pending_.erase(0, nl + 1);
      return true;
    }
    bool ended = pid_ <= 0 || Reaped(0);
    char buf[4096];
    ssize_t n = out_fd_ >= 0 ? pread(out_fd_, buf, sizeof buf, read_at_) : 0;
    if (n > 0) {
      read_at_ += n;
      pending_.append(buf, size_t(n));
      continue;
    }
    // Nothing new: a child that has ended prints nothing more.
    if (ended || deadline.left_ms() <= 0) return false;
    // A file cannot be waited on for growth: look again shortly (or when the child ends).
    int step = std::min(deadline.left_ms(), 5);
    if (pidfd_ >= 0) {
      pollfd p{pidfd_, POLLIN, 0};
      poll(&p, 1, step);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(step));
    }
  }
}

std::string ChildProcess::Output() const {
  std::string out;
  if (out_fd_ < 0) return out;
  char buf[8192];
  for (off_t at = 0;;) {
    ssize_t n = pread(out_fd_, buf, sizeof buf, at);
    if (n <= 0) break;
    out.append(buf, size_t(n));
    at += n;
  }
  return out;
}

int ExitCode(int wait_status) {
  return wait_status >= 0 && WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
}

CommandResult RunCommand(const std::vector<std::string>& argv, int timeout_ms, const ChildProcess::Options& options) {
  CommandResult r;
  ChildProcess child;
  if (!child.Spawn(argv, options)) return r;
  if (auto st = child.Wait(timeout_ms)) {
    r.code = ExitCode(*st);
  } else {
    r.timed_out = true;
    child.Stop();
  }
  r.output = child.Output();
  return r;
}

CommandResult RunShell(const std::string& command, int timeout_ms, const ChildProcess::Options& options) {
  return RunCommand({"/bin/sh", "-c", command}, timeout_ms, options);
}

int RunInChild(const std::function<int()>& body, int timeout_ms) {
  ChildProcess child;
  if (!child.Fork(body)) return -1;
  auto st = child.Wait(timeout_ms);
  if (!st) {
    std::fprintf(stderr, "child did not end within %d ms; stopping it\n", timeout_ms);
    child.Stop();
    return -1;
  }
  return ExitCode(*st);
}

bool WaitUntil(const std::function<bool()>& cond, int timeout_ms) {
  Deadline deadline(timeout_ms);
  while (!cond()) {
    if (deadline.passed()) return cond();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

}  // namespace kestrova::testsupport
