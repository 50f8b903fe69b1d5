#pragma once
// Starts a child program and waits for it.
#include <string>
#include <vector>

namespace platform {

struct ProcessResult {
  bool started = false;  // false: the program could not be run at all
  int exitStatus = -1;   // exit code, or 128 + signal number
  std::string output;    // what it wrote to stdout and stderr (the first 64 KiB)
  std::string error;     // why it could not be started or waited for; empty otherwise
};

// argv[0] is the program's path (no PATH search, no shell). Waits for the program to end.
ProcessResult RunProcess(const std::vector<std::string>& argv);

}  // namespace platform
