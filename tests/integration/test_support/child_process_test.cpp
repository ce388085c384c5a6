// Child processes that do not cooperate still end within the bounds the helpers promise.
#include <signal.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "support/child_process.h"

namespace kestrova::testsupport {
namespace {

TEST(ChildProcess, ChildThatIgnoresSigtermIsKilledAfterTheGracePeriod) {
  ChildProcess child;
  ASSERT_TRUE(child.Spawn({"/bin/sh", "-c", "trap '' TERM; echo up; while :; do sleep 1; done"}));
  std::string line;
  ASSERT_TRUE(child.ReadLine(line, 10000));
  EXPECT_EQ(line, "up");
  const int st = child.Stop(200);
  ASSERT_TRUE(WIFSIGNALED(st)) << st;
  EXPECT_EQ(WTERMSIG(st), SIGKILL);
  EXPECT_FALSE(child.running());
}

TEST(ChildProcess, ReadLineEndsAtItsTimeOutAndWhenTheChildEnds) {
  ChildProcess silent;
  ASSERT_TRUE(silent.Spawn({"/bin/sh", "-c", "exec sleep 30"}));
  std::string line;
  EXPECT_FALSE(silent.ReadLine(line, 50));
  EXPECT_EQ(ExitCode(silent.Stop()), -1);  // ended by SIGTERM

  ChildProcess brief;
  ASSERT_TRUE(brief.Spawn({"/bin/sh", "-c", "echo one; printf two"}));
  ASSERT_TRUE(brief.ReadLine(line, 10000));
  EXPECT_EQ(line, "one");
  EXPECT_FALSE(brief.ReadLine(line, 10000)) << "no newline after the last text, and the child is gone";
  EXPECT_EQ(brief.Output(), "one\ntwo");
  EXPECT_EQ(ExitCode(brief.Stop()), 0);
}

TEST(ChildProcess, CommandsAndForkedChildrenAreStoppedAtTheirTimeOut) {
  struct Case {
    const char* command;
    int timeout_ms;
    int code;
    bool timed_out;
    const char* output;
  } cases[] = {
      {"echo out; echo err >&2; exit 3", 10000, 3, false, "out\nerr\n"},
      {"exec sleep 30", 100, -1, true, ""},
      // The shell's own child goes with it: the whole group is signalled.
      {"sleep 30; echo never", 100, -1, true, ""},
      {"kill -KILL $$", 10000, -1, false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    CommandResult r = RunShell(c.command, c.timeout_ms);
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(r.timed_out, c.timed_out);
    EXPECT_EQ(r.output, c.output);
  }
  EXPECT_EQ(RunShell("echo err >&2", 10000, {.capture_stderr = false}).output, "");
  EXPECT_EQ(RunInChild([] { return 7; }, 10000), 7);
  EXPECT_EQ(RunInChild(
                [] {
                  pause();
                  return 0;
                },
                100),
            -1);
}

}  // namespace
}  // namespace kestrova::testsupport
