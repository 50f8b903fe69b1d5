#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "platform/program_folder.h"

namespace {

// Replaces this process with quorbel-desktop when it is installed beside us; returns only when
// it is not there (or could not be started), so that the caller falls back to the help.
void StartDesktopBeside(int argc, char** argv) {
  const std::string desktop = platform::ExecutableFolder() + "quorbel-desktop";
  if (access(desktop.c_str(), X_OK) != 0) return;
  std::vector<char*> args(argv, argv + argc);
  args[0] = const_cast<char*>(desktop.c_str());
  args.push_back(nullptr);
  execv(desktop.c_str(), args.data());
  std::cerr << "quorbel: " << desktop << ": " << std::strerror(errno) << "\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (!IsHeadlessCommand(argc, argv)) {
    StartDesktopBeside(argc, argv);
    if (argc < 2) {
      // No desktop application: a bare quorbel shows what the command line offers.
      char help[] = "--help";
      char* helpArgv[] = {argv[0], help, nullptr};
      return RunCommandLine(2, helpArgv);
    }
  }
  return RunCommandLine(argc, argv);
}
