#include "platform/face_cache.h"

#include <fontconfig/fontconfig.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "imaging/atomic_file.h"

namespace platform {
namespace {

constexpr const char* kHeader = "quorbel-faces 1";
constexpr size_t kMaxEntries = 1000;

// What fontconfig reads from the environment: where its configuration lives, and the languages
// that FcDefaultSubstitute adds to every pattern.
constexpr const char* kEnvironment[] = {"FONTCONFIG_FILE", "FONTCONFIG_PATH", "FONTCONFIG_SYSROOT",
                                        "HOME",            "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                                        "FC_LANG",         "LC_ALL",          "LC_CTYPE",
                                        "LANG"};

// Fields are tab-separated and records end at a line break; both may occur in names and paths.
std::string Escape(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    if (c == '\\') out += "\\\\";
    else if (c == '\t') out += "\\t";
    else if (c == '\n') out += "\\n";
    else out += c;
  }
  return out;
}

bool Unescape(const std::string& s, std::string& out) {
  out.clear();
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\') {
      out += s[i];
      continue;
    }
    if (++i == s.size()) return false;
    if (s[i] == '\\') out += '\\';
    else if (s[i] == 't') out += '\t';
    else if (s[i] == 'n') out += '\n';
    else return false;
  }
  return true;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

bool Number(const std::string& s, unsigned long long& out) {
  if (s.empty() || s.size() > 20 || !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return false;
  errno = 0;
  out = std::strtoull(s.c_str(), nullptr, 10);
  return errno == 0;
}

bool SignedNumber(const std::string& s, long long& out) {
  unsigned long long magnitude = 0;
  const bool negative = !s.empty() && s[0] == '-';
  if (!Number(negative ? s.substr(1) : s, magnitude) || magnitude > 0x7FFFFFFFFFFFFFFFull) return false;
  out = negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
  return true;
}

}  // namespace

FaceCache::FaceCache(std::string path) : path_(std::move(path)) {}

std::string FaceCache::DefaultPath() {
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  std::string base;
  if (xdg && xdg[0] == '/') {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
    base = std::string(home) + "/.cache";
  } else {
    return {};
  }
  if (base.back() != '/') base += '/';
  return base + "quorbel/faces";
}

FaceCache::Stamp FaceCache::Take(const std::string& path) {
  Stamp s;
  s.path = path;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return s;
  s.exists = true;
  s.inode = st.st_ino;
  s.size = static_cast<unsigned long long>(st.st_size);
  s.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  return s;
}

std::string FaceCache::Environment() {
  std::string env = "fontconfig " + std::to_string(FcGetVersion());
  for (const char* name : kEnvironment) {
    const char* value = std::getenv(name);
    env += '\x1f';
    env += name;
    if (value) env += std::string("=") + value;
  }
  return env;
}

void FaceCache::Load() {
  loaded_ = true;
  if (path_.empty()) return;
  std::ifstream in(path_, std::ios::binary);
  if (!in) return;
  std::string line;
  if (!std::getline(in, line) || line != kHeader) return;
  if (!std::getline(in, line) || line != "env\t" + Escape(Environment())) return;
  std::vector<Stamp> stamps;
  std::map<std::string, CachedFace> entries;
  while (std::getline(in, line)) {
    const std::vector<std::string> f = Fields(line);
    if (f[0] == "path" && f.size() == 6) {
      Stamp s;
      unsigned long long exists = 0;
      if (!Number(f[1], exists) || exists > 1 || !Number(f[2], s.inode) || !Number(f[3], s.size) ||
          !SignedNumber(f[4], s.mtimeNs) || !Unescape(f[5], s.path))
        return;
      s.exists = exists == 1;
      stamps.push_back(std::move(s));
    } else if (f[0] == "face" && f.size() == 5) {
      std::string key;
      CachedFace face;
      unsigned long long index = 0;
      if (!Unescape(f[1], key) || !Number(f[2], index) || index > 0x7FFFFFFF || !Unescape(f[4], face.file)) return;
      face.index = int(index);
      for (char c : f[3]) {
        if (c == 'b') face.bold = true;
        else if (c == 'i') face.italic = true;
        else if (c == 'c') face.colorBitmap = true;
        else if (c != '-') return;
      }
      entries[key] = std::move(face);
    } else {
      return;  // not ours, or cut short: read as empty, rewritten on the next answer
    }
  }
  // An answer is only as good as the configuration and fonts it came from.
  if (stamps.empty()) return;
  for (const Stamp& s : stamps)
    if (!(Take(s.path) == s)) return;
  stamps_ = std::move(stamps);
  entries_ = std::move(entries);
}

std::optional<CachedFace> FaceCache::Find(const std::string& key) {
  if (!loaded_) Load();
  if (auto it = entries_.find(key); it != entries_.end()) return it->second;
  return std::nullopt;
}

void FaceCache::Store(const std::string& key, const CachedFace& face) {
  if (!loaded_) Load();
  // Every face name a document asks for is kept, so the file is bounded: past the cap, start afresh.
  if (entries_.size() >= kMaxEntries && !entries_.count(key)) entries_.clear();
  entries_[key] = face;
  dirty_ = true;
}

void FaceCache::SetWatched(std::vector<std::string> paths) {
  if (!loaded_) Load();
  std::sort(paths.begin(), paths.end());
  paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
  std::vector<Stamp> fresh;
  fresh.reserve(paths.size());
  for (const auto& p : paths) fresh.push_back(Take(p));
  // Answers read from the file came from another configuration: drop them.
  if (!stamps_.empty() && stamps_ != fresh) {
    entries_.clear();
    dirty_ = true;
  }
  stamps_ = std::move(fresh);
  watchedKnown_ = true;
}

void FaceCache::Flush() {
  if (!dirty_ || path_.empty() || !watchedKnown_ || stamps_.empty()) return;
  dirty_ = false;
  std::ostringstream out;
  out << kHeader << '\n' << "env\t" << Escape(Environment()) << '\n';
  for (const Stamp& s : stamps_)
    out << "path\t" << (s.exists ? 1 : 0) << '\t' << s.inode << '\t' << s.size << '\t' << s.mtimeNs << '\t'
        << Escape(s.path) << '\n';
  for (const auto& [key, face] : entries_) {
    std::string flags;
    if (face.bold) flags += 'b';
    if (face.italic) flags += 'i';
    if (face.colorBitmap) flags += 'c';
    if (flags.empty()) flags = "-";
    out << "face\t" << Escape(key) << '\t' << face.index << '\t' << flags << '\t' << Escape(face.file) << '\n';
  }
  const std::string text = out.str();
  try {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), ec);
    AtomicFileWriter writer(path_);
    writer.Write(text.data(), text.size());
    writer.Commit();
  } catch (...) {
    // An unwritable cache folder or a full disk costs the next run time, never a render.
  }
}

}  // namespace platform
