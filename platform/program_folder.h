#pragma once
// Where the program finds its data (texture/, star*.lit, examples, help) and keeps its own files.
#include <string>

namespace platform {

// Folder of the running executable, ending with '/'.
std::string ExecutableFolder();
// The data folder, ending with '/': $QUORBEL_DATA; else ../share/quorbel/ beside the executable;
// else the build tree's data folder.
std::string FindProgramFolder();
// $XDG_CONFIG_HOME/quorbel/ (default ~/.config/quorbel/), ending with '/'; not created.
std::string ConfigFolder();
// A per-user cache folder for files the program writes for itself, created on demand.
std::string CacheFolder();

}  // namespace platform
