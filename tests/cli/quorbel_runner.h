#pragma once
// Runs the built quorbel executable with arguments and gives its status and output (stdout and
// stderr together), for the tests that use the program as a user would.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/process.h"
#include "support/test_support.h"

namespace testsupport {

struct RunResult {
  int status;
  std::string output;
};

inline RunResult Quorbel(std::vector<std::string> args) {
  args.insert(args.begin(), BinFolder() + "/quorbel");
  platform::ProcessResult r = platform::RunProcess(args);
  EXPECT_TRUE(r.started);
  return {r.exitStatus, r.output};
}

}  // namespace testsupport
