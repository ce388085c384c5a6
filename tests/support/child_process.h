// Child processes for the tests, with every wait bounded: starting, reading what the child
// prints, waiting for its end, and stopping it (SIGTERM, then SIGKILL after a grace period,
// then a bounded reap).
//
// The child runs in a process group of its own (Stop() signals the whole group, so a shell's
// children end with it) and is killed when the thread that started it ends, so a test that
// dies leaves no simulator behind: start children from a thread that outlives them (the
// test's own thread, not a short-lived helper thread).
#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kestrova::testsupport {

// Bounds used when a caller gives none.
inline constexpr int kStopGraceMs = 10000;  // SIGTERM to SIGKILL
inline constexpr int kReapBoundMs = 5000;   // SIGKILL to the end of the wait for the child

class ChildProcess {
 public:
  struct Options {
    bool capture_stderr = true;  // false: standard error stays the test's own
    int keep_fd = -1;            // a descriptor the child inherits (all others are close-on-exec)
  };

  ChildProcess() = default;
  ~ChildProcess();  // Stop()
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts argv (argv[0] looked up in PATH). What it prints goes to an unnamed file that
  // ReadLine() and Output() read, so a child that prints a lot never blocks on a full pipe.
  // False when it could not be started at all (a program that cannot be run exits with 127),
  // or while an earlier child of this object still runs. The output of the children of one
  // object follows one another in that file.
  bool Spawn(const std::vector<std::string>& argv, const Options& options);
  bool Spawn(const std::vector<std::string>& argv) { return Spawn(argv, Options()); }
  // Forks; the child runs `body` and exits with what it returns (or 125 when it throws).
  bool Fork(const std::function<int()>& body);

  // The next whole line it printed (without the newline), waiting up to timeout_ms for it.
  // False at the time-out, or when the child has ended and printed no further line.
  bool ReadLine(std::string& line, int timeout_ms);
  // Everything it printed so far.
  std::string Output() const;

  // Waits up to timeout_ms for the child to end; its wait status, or nothing when it still runs.
  std::optional<int> Wait(int timeout_ms);
  // Ends the child: SIGTERM to its group, up to grace_ms for it to end, then SIGKILL and a wait
  // of at most kReapBoundMs. Its wait status; -1 when there was no child or it could not be
  // reaped. Returns at once when the child has already ended.
  int Stop(int grace_ms = kStopGraceMs);
  // Sends sig to the child alone (not its group), e.g. SIGHUP to reload.
  void Signal(int sig);

  bool running() const { return pid_ > 0 && !status_; }
  pid_t pid() const { return pid_; }
  // The wait status once the child has ended.
  std::optional<int> status() const { return status_; }

 private:
  bool Started(pid_t pid);
  bool Reaped(int timeout_ms);

  pid_t pid_ = -1;
  int pidfd_ = -1;
  int out_fd_ = -1;  // the file the child prints into
  off_t read_at_ = 0;
  std::string pending_;  // read from the file, not yet returned as a line
  std::optional<int> status_;
};

// The exit code in a wait status; -1 when the process ended by a signal.
int ExitCode(int wait_status);

struct CommandResult {
  int code = -1;           // exit code; -1 when it was killed (on the time-out or otherwise)
  bool timed_out = false;  // it was still running after timeout_ms and was stopped
  std::string output;
};

// Runs argv to its end, at most timeout_ms (then it is stopped as ChildProcess::Stop does).
CommandResult RunCommand(const std::vector<std::string>& argv, int timeout_ms,
                         const ChildProcess::Options& options = {});
// The same through `/bin/sh -c`, for command lines with redirections.
CommandResult RunShell(const std::string& command, int timeout_ms, const ChildProcess::Options& options = {});

// Runs body in a forked child (e.g. one that unshares its namespaces) and returns its exit code;
// -1 when it did not end within timeout_ms (it is killed then) or ended by a signal.
int RunInChild(const std::function<int()>& body, int timeout_ms);

// Polls cond() every few milliseconds until it holds or timeout_ms pass; cond()'s last value.
// For conditions nothing can be waited on for (a log file growing, a list filling).
bool WaitUntil(const std::function<bool()>& cond, int timeout_ms);

}  // namespace kestrova::testsupport
