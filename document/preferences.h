#pragma once
// The user's preferences, kept between runs in an INI file, section [quorbel], integer keys
// "antialiasing", "clipblank", "reducecolormethod" and our own "dithering" and "recentfile1".."8".
#include <string>
#include <vector>

#include "document/plaquet_document.h"

// $XDG_CONFIG_HOME/quorbel/quorbel.ini, or ~/.config/quorbel/quorbel.ini when that is not set
// (or not an absolute path); "" when neither variable gives a folder.
std::string PreferencesPath();

// The stored values; a missing, unreadable or malformed file gives the start values (1, 1, 2, 0:
// new profiles get the high-quality reduction), and so does a key that is absent or not an
// integer, for that key. A stored "reducecolormethod" is kept as it is.
ProgramSettings LoadPreferences(const std::string& path);
// Writes the values, creating the folder; other sections and keys of the file are kept.
// The file is replaced whole or not at all; false with the reason in *error.
bool StorePreferences(const ProgramSettings& settings, const std::string& path,
                      std::string* error = nullptr);

// The desktop's recently used documents, newest first, at most kMaxRecentFiles; empty values and
// repeats are dropped.
constexpr size_t kMaxRecentFiles = 8;
std::vector<std::string> LoadRecentFiles(const std::string& path);
// Replaces the stored list (the first kMaxRecentFiles entries); the other keys are kept.
bool StoreRecentFiles(const std::vector<std::string>& files, const std::string& path,
                      std::string* error = nullptr);
