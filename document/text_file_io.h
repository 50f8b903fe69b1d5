#pragma once
// Opening the program's text files for reading and writing them whole, with a reason for the
// user when that fails (the caller names the file).
#include <fstream>
#include <string>

// Opens path for reading; false with the reason in *error when it can't (a folder or a device
// counts as unreadable).
bool OpenTextFile(const std::string& path, std::ifstream& in, std::string* error);
// Writes bytes to path through a temporary file renamed into place, so a failed write never
// leaves a half-written file; false with the reason in *error.
bool WriteTextFile(const std::string& path, const std::string& bytes, std::string* error);

// True when path names a file inside folder (or the folder itself), after resolving ".", ".."
// and symbolic links of the parts that exist. An empty folder holds nothing.
bool IsInsideFolder(const std::string& path, const std::string& folder);
// The program folder's files (examples, styles, textures) are shipped with the program: writers
// refuse them, with this reason.
constexpr const char* kShippedFileReason =
    "files in the program folder are shipped with the program and read-only; save under another name";
