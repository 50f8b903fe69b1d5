#pragma once
// Starts a child program and waits for it.
#include <string>
#include <vector>

namespace platform {

struct ProcessResult {
  bool started = false;  // false: the program could not be run at all
  int exitStatus = -1;   // exit code, or 128 + signal number
  std::string output;    // what it wrote to stdout and stderr
};

ProcessResult RunProcess(const std::vector<std::string>& argv);

}  // namespace platform
