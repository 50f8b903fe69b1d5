#pragma once
// Styles, example documents and textures by name: "golden" or "golden.sty" is looked for in the
// working folder, then in the data folder. An argument that names an existing file is taken as
// it stands. A name found nowhere is a CliError that lists the near names.
#include <string>
#include <vector>

// The file the argument stands for. extension is ".sty" or ".plq"; what is "style" or "example"
// (used in the message).
std::string ResolveNamedFile(const std::string& argument, const std::string& extension, const std::string& what,
                             const std::string& dataFolder);
// Names (without the extension) of the files with that extension in the folder, sorted.
std::vector<std::string> NamesInFolder(const std::string& folder, const std::string& extension);
// Every file name in the folder, sorted (textures keep their extensions).
std::vector<std::string> FilesInFolder(const std::string& folder);
// Up to `limit` candidates near the name (prefix, substring or a small edit distance, case
// ignored), nearest first.
std::vector<std::string> NearNames(const std::string& name, const std::vector<std::string>& candidates,
                                   size_t limit = 5);
// Levenshtein distance of the lower-cased strings.
size_t EditDistance(const std::string& a, const std::string& b);
