// Child processes: exit status, captured output, programs that cannot be started.
#include <gtest/gtest.h>

#include "platform/process.h"

namespace {

using platform::RunProcess;

TEST(RunProcess, ExitStatusAndOutput) {
  auto ok = RunProcess({"/bin/true"});
  EXPECT_TRUE(ok.started);
  EXPECT_EQ(ok.exitStatus, 0);
  auto bad = RunProcess({"/bin/false"});
  EXPECT_TRUE(bad.started);
  EXPECT_EQ(bad.exitStatus, 1);

  // Arguments arrive unchanged (no shell splits or expands them); both streams are captured.
  auto sh = RunProcess({"/bin/sh", "-c", "echo \"$1\"; echo err >&2; exit 3", "sh", "a b  *"});
  EXPECT_TRUE(sh.started);
  EXPECT_EQ(sh.exitStatus, 3);
  EXPECT_NE(sh.output.find("a b  *\n"), std::string::npos) << sh.output;
  EXPECT_NE(sh.output.find("err\n"), std::string::npos) << sh.output;

  // A killed child reports 128 + the signal.
  EXPECT_EQ(RunProcess({"/bin/sh", "-c", "kill -9 $$"}).exitStatus, 128 + 9);
}

TEST(RunProcess, TalkativeChildIsDrainedAndCaptureBounded) {
  auto r = RunProcess({"/bin/sh", "-c", "head -c 1000000 /dev/zero; exit 0"});
  EXPECT_TRUE(r.started);
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.output.size(), 64u * 1024);
}

TEST(RunProcess, ProgramsThatCannotStart) {
  auto missing = RunProcess({"/no/such/program"});
  EXPECT_FALSE(missing.started);
  EXPECT_NE(missing.error.find("/no/such/program"), std::string::npos) << missing.error;
  // argv[0] is a path, never looked up in PATH.
  EXPECT_FALSE(RunProcess({"true-not-a-path-anywhere"}).started);
  EXPECT_FALSE(RunProcess({}).started);
  // A file that is not a program.
  EXPECT_FALSE(RunProcess({"/etc/hostname"}).started);
}

}  // namespace
