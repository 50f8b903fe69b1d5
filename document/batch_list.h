#pragma once
// Batch text lists (.blt): each string, a line break, then the line "<<br>>"; the list ends with
// the line "<<end>>". The files are read and written by the rules of a text-mode C stream on
// Windows, so that the lists go both ways between us and programs that read them so: writing
// turns every LF into CR LF (a string's own CR LF breaks are written as CR CR LF), reading turns
// every CR LF back into LF, so a string comes back exactly as held. Reading goes in pieces of at
// most 299 characters, newline included; a piece that begins with "<<br>>" ends the current
// string and one that begins with "<<end>>" ends the list. A string with a line that begins so
// can't be stored.
#include <istream>
#include <string>
#include <vector>

constexpr size_t kMaxBatchString = 299;

// The strings of the list up to "<<end>>" or the end of the input; text after the last "<<br>>"
// is not a string. Strings longer than kMaxBatchString are cut, and *cut set.
std::vector<std::string> ParseBatchList(std::istream& in, bool* cut = nullptr);
std::string FormatBatchList(const std::vector<std::string>& strings);

// Replaces list with the strings of the file; when it can't be opened the list is left as it
// was and the result is false with the reason in *error.
bool ReadBatchList(const std::string& path, std::vector<std::string>& list,
                   std::string* error = nullptr, bool* cut = nullptr);
// Writes the list to path whole or not at all; false with the reason in *error.
bool WriteBatchList(const std::string& path, const std::vector<std::string>& list,
                    std::string* error = nullptr);

inline bool ReadBatchListFile(const std::string& path, std::vector<std::string>& list,
                              std::string* error = nullptr, bool* cut = nullptr) {
  return ReadBatchList(path, list, error, cut);
}
