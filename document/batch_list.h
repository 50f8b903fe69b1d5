#pragma once
// Batch text lists (.blt): the message strings of a batch run, each written as its lines, then
// the line "<<br>>"; the list ends with the line "<<end>>". Lines end in CR LF; a string's own
// line breaks are CR LF and read back as CR LF (a LF alone in a string is written, and so read
// back, as CR LF). A string whose line starts with "<<br>>" or "<<end>>" can't be stored.
#include <cstdint>
#include <string>
#include <vector>

#include "document/text_line_reader.h"

constexpr size_t kMaxBatchString = 299;

// The strings of the list up to "<<end>>" or the end of the input; text after the last "<<br>>"
// is not a string. Strings are UTF-8: read as UTF-8 when valid, else in the code page of charset
// (the message font's LOGFONT character set). Strings longer than kMaxBatchString bytes are cut at
// a character, and *cut set.
std::vector<std::string> ParseBatchList(TextLineReader& in, bool* cut = nullptr, uint8_t charset = 0);
std::string FormatBatchList(const std::vector<std::string>& strings);

// Replaces list with the strings of the file; when it can't be opened the list is left as it
// was and the result is false with the reason in *error.
bool ReadBatchList(const std::string& path, std::vector<std::string>& list,
                   std::string* error = nullptr, bool* cut = nullptr, uint8_t charset = 0);
// Writes the list to path whole or not at all; false with the reason in *error.
bool WriteBatchList(const std::string& path, const std::vector<std::string>& list,
                    std::string* error = nullptr);

inline bool ReadBatchListFile(const std::string& path, std::vector<std::string>& list,
                              std::string* error = nullptr, bool* cut = nullptr, uint8_t charset = 0) {
  return ReadBatchList(path, list, error, cut, charset);
}
