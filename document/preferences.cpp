#include "document/preferences.h"

#include <algorithm>
#include <ini.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <limits>
#include <strings.h>
#include <system_error>
#include <utility>
#include <vector>

#include "document/text_file_io.h"

namespace {

constexpr const char* kSection = "quorbel";

struct Entry {
  std::string section, key, value;
};

struct ReadState {
  std::vector<Entry> entries;
};

int Collect(void* user, const char* section, const char* key, const char* value) {
  auto* state = static_cast<ReadState*>(user);
  state->entries.push_back({section, key, value});
  return 1;
}

// Parses the whole file; false when it can't be opened. A malformed line is skipped (inih
// reports it and reads on), so it spoils only itself and not the good keys around it.
bool ReadEntries(const std::string& path, std::vector<Entry>& entries) {
  std::error_code ec;
  if (path.empty() || std::filesystem::is_directory(path, ec)) return false;
  ReadState state;
  if (ini_parse(path.c_str(), Collect, &state) < 0) return false;
  entries = std::move(state.entries);
  return true;
}

bool SameName(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

bool ParseInt(const std::string& text, int32_t* out) {
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (end == text.c_str() || *end != '\0' || errno == ERANGE) return false;
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
    return false;
  *out = static_cast<int32_t>(v);
  return true;
}

// A key holds a number or a flag (any number but 0 is on; written as 1 or 0).
struct Key {
  const char* name;
  int32_t ProgramSettings::*number;
  bool ProgramSettings::*flag;
};
constexpr Key kKeys[] = {
    {"antialiasing", nullptr, &ProgramSettings::antiAliasing},
    {"clipblank", nullptr, &ProgramSettings::clipBlank},
    {"reducecolormethod", &ProgramSettings::reduceColorMethod, nullptr},
    {"dithering", nullptr, &ProgramSettings::dithering},
    {"supersampling", &ProgramSettings::supersample, nullptr},
};

int32_t Value(const ProgramSettings& settings, const Key& k) {
  return k.flag ? int32_t(settings.*k.flag) : settings.*k.number;
}

}  // namespace

std::string PreferencesPath() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  std::filesystem::path base;
  if (xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !home[0]) return "";
    base = std::filesystem::path(home) / ".config";
  }
  return (base / "quorbel" / "quorbel.ini").string();
}

ProgramSettings LoadPreferences(const std::string& path) {
  ProgramSettings settings;
  std::vector<Entry> entries;
  if (!ReadEntries(path, entries)) return settings;
  for (const Entry& e : entries) {
    if (!SameName(e.section, kSection)) continue;
    for (const Key& k : kKeys) {
      int32_t v;
      if (!SameName(e.key, k.name) || !ParseInt(e.value, &v)) continue;
      if (k.flag)
        settings.*k.flag = v != 0;
      else
        settings.*k.number = v;
    }
  }
  // 1 is off; a hand-edited value past the renderer's range takes the nearest one.
  settings.supersample = std::clamp(settings.supersample, 1, 4);
  return settings;
}

namespace {

bool IsRecentKey(const std::string& key) { return strncasecmp(key.c_str(), "recentfile", 10) == 0; }

// Rewrites the profile with ours as the first keys of our section; keys that replaced() claims
// are dropped from what was stored, everything else (other keys, other sections) is kept.
bool StoreSection(const std::vector<std::pair<std::string, std::string>>& ours,
                  const std::function<bool(const std::string&)>& replaced, const std::string& path,
                  std::string* error) {
  if (path.empty()) {
    if (error) *error = "no folder for the preferences (neither XDG_CONFIG_HOME nor HOME is set)";
    return false;
  }
  std::vector<Entry> entries;
  ReadEntries(path, entries);  // a missing file is simply created; a malformed line is dropped
  std::string text = std::string("[") + kSection + "]\n";
  for (const auto& [key, value] : ours) text += key + "=" + value + "\n";
  for (const Entry& e : entries)
    if (SameName(e.section, kSection) && !replaced(e.key)) text += e.key + "=" + e.value + "\n";
  std::string lastSection = kSection;
  for (const Entry& e : entries) {
    if (SameName(e.section, kSection)) continue;
    if (e.section != lastSection) {
      text += "\n[" + e.section + "]\n";
      lastSection = e.section;
    }
    text += e.key + "=" + e.value + "\n";
  }
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::error_code ec;
  if (!folder.empty()) std::filesystem::create_directories(folder, ec);
  if (ec) {
    if (error) *error = "cannot create the folder " + folder.string() + ": " + ec.message();
    return false;
  }
  return WriteTextFile(path, text, error);
}

}  // namespace

bool StorePreferences(const ProgramSettings& settings, const std::string& path,
                      std::string* error) {
  std::vector<std::pair<std::string, std::string>> ours;
  for (const Key& k : kKeys) ours.emplace_back(k.name, std::to_string(Value(settings, k)));
  const auto replaced = [](const std::string& key) {
    for (const Key& k : kKeys)
      if (SameName(key, k.name)) return true;
    return false;
  };
  return StoreSection(ours, replaced, path, error);
}

std::vector<std::string> LoadRecentFiles(const std::string& path) {
  std::vector<Entry> entries;
  std::vector<std::string> files;
  if (!ReadEntries(path, entries)) return files;
  for (size_t n = 1; n <= kMaxRecentFiles; ++n) {
    const std::string key = "recentfile" + std::to_string(n);
    for (const Entry& e : entries) {
      if (!SameName(e.section, kSection) || !SameName(e.key, key.c_str()) || e.value.empty()) continue;
      if (std::find(files.begin(), files.end(), e.value) == files.end()) files.push_back(e.value);
      break;
    }
  }
  return files;
}

bool StoreRecentFiles(const std::vector<std::string>& files, const std::string& path, std::string* error) {
  std::vector<std::pair<std::string, std::string>> ours;
  for (const std::string& f : files) {
    // A line break would end the value early and turn the rest into a stray key.
    if (f.empty() || f.find_first_of("\r\n") != std::string::npos) continue;
    if (ours.size() == kMaxRecentFiles) break;
    ours.emplace_back("recentfile" + std::to_string(ours.size() + 1), f);
  }
  return StoreSection(ours, IsRecentKey, path, error);
}
