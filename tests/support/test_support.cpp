#include "support/test_support.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace testsupport {

TempDir::TempDir() {
  std::random_device rd;
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate = std::filesystem::temp_directory_path() /
                     ("quorbel-test-" + std::to_string(rd()) + "-" + std::to_string(attempt));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  if (const char* old = std::getenv(name)) old_ = old;
  if (value)
    setenv(name, value, 1);
  else
    unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
  if (old_)
    setenv(name_, old_->c_str(), 1);
  else
    unsetenv(name_);
}

std::vector<std::string> FolderNames(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> ShippedExamples() {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(DataFolder()))
    if (e.path().extension() == ".plq") out.push_back(e.path().string());
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteFileText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

static std::string EnvOr(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::string(v) : std::string(fallback);
}

#ifndef QUORBEL_DEFAULT_DATA
#define QUORBEL_DEFAULT_DATA ""
#define QUORBEL_DEFAULT_TEST_SOURCE "tests"
#define QUORBEL_DEFAULT_BIN ""
#define QUORBEL_DEFAULT_HOME ""
#endif

std::string DataFolder() { return EnvOr("QUORBEL_DATA", QUORBEL_DEFAULT_DATA); }
std::string TestSourceFolder() { return EnvOr("QUORBEL_TEST_SOURCE", QUORBEL_DEFAULT_TEST_SOURCE); }
std::string BinFolder() { return EnvOr("QUORBEL_BIN", QUORBEL_DEFAULT_BIN); }

namespace {
// Tests never read or write the user's own profile or cache: point them into the build tree,
// and let the programs the tests start find the data folder.
struct TestEnvironment {
  TestEnvironment() {
    const std::string home = QUORBEL_DEFAULT_HOME;
    if (!home.empty()) {
      setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
      setenv("XDG_CACHE_HOME", (home + "/cache").c_str(), 1);
    }
    if (!std::getenv("QUORBEL_DATA") && *QUORBEL_DEFAULT_DATA) setenv("QUORBEL_DATA", QUORBEL_DEFAULT_DATA, 1);
  }
};
const TestEnvironment environment;
}  // namespace

}  // namespace testsupport
