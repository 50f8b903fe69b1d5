#pragma once
// Small helpers shared by the test executables.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// A fresh, empty folder under the system temporary folder, removed when the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Sets (or, given nullptr, removes) an environment variable for the object's lifetime.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// The names in a folder, sorted.
std::vector<std::string> FolderNames(const std::filesystem::path& folder);

std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteFileText(const std::string& path, const std::string& text);
std::string ReadFileText(const std::string& path);

// The build tree's data folder (textures, light patterns, examples), from QUORBEL_DATA.
std::string DataFolder();
// Paths of the shipped example documents (*.plq in the data folder), sorted.
std::vector<std::string> ShippedExamples();
// Source folder of the tests (for corpus and crasher files), from QUORBEL_TEST_SOURCE.
std::string TestSourceFolder();
// Folder holding the built executables (quorbel, bmp2gif), from QUORBEL_BIN.
std::string BinFolder();

}  // namespace testsupport
