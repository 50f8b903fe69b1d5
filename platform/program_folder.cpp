#include "platform/program_folder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace fs = std::filesystem;

namespace platform {
namespace {

std::string WithSlash(std::string s) {
  if (s.empty() || s.back() != '/') s += '/';
  return s;
}

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string HomeFolder() {
  std::string home = Env("HOME");
  return home.empty() ? std::string("/tmp") : home;
}

}  // namespace

std::string ExecutableFolder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return WithSlash(fs::current_path(ec).string());
  return WithSlash(exe.parent_path().string());
}

std::string FindProgramFolder() {
  std::string fromEnv = Env("QUORBEL_DATA");
  if (!fromEnv.empty()) return WithSlash(fromEnv);
  std::error_code ec;
  fs::path installed = fs::path(ExecutableFolder()) / ".." / "share" / "quorbel";
  if (fs::is_directory(installed, ec)) return WithSlash(fs::weakly_canonical(installed, ec).string());
#ifdef QUORBEL_BUILD_DATA_DIR
  if (fs::is_directory(QUORBEL_BUILD_DATA_DIR, ec)) return WithSlash(QUORBEL_BUILD_DATA_DIR);
#endif
  return WithSlash(fs::current_path(ec).string());
}

std::string ConfigFolder() {
  std::string base = Env("XDG_CONFIG_HOME");
  if (base.empty()) base = HomeFolder() + "/.config";
  return WithSlash(base) + "quorbel/";
}

std::string CacheFolder() {
  std::string base = Env("XDG_CACHE_HOME");
  if (base.empty()) base = HomeFolder() + "/.cache";
  std::string folder = WithSlash(base) + "quorbel/";
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) {
    folder = WithSlash(fs::temp_directory_path(ec).string()) + "quorbel-" + std::to_string(getuid()) + "/";
    fs::create_directories(folder, ec);
  }
  return folder;
}

}  // namespace platform
