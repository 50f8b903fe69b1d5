#include "document/batch_list.h"

#include <fstream>

#include "document/text_file_io.h"
#include "imaging/error.h"

namespace {
bool StartsWith(std::string_view s, std::string_view key) { return s.substr(0, key.size()) == key; }
}  // namespace

std::vector<std::string> ParseBatchList(TextLineReader& in, bool* cut, size_t maxStrings) {
  std::vector<std::string> strings;
  std::string current, piece;
  bool overlong = false;  // the current string has been cut
  if (cut) *cut = false;
  while (in.Next(piece)) {
    // Only the start of a file line can be a separator, not the rest of a long line.
    if (in.startsLine() && StartsWith(piece, "<<br>>")) {
      // Drop the line break that ended the string's last line.
      if (current.size() >= 2 && current.compare(current.size() - 2, 2, "\r\n") == 0)
        current.resize(current.size() - 2);
      if (current.size() > kMaxBatchString) {
        current.resize(kMaxBatchString);
        // Don't leave half a line break at the cut.
        while (!current.empty() && current.back() == '\r') current.pop_back();
        overlong = true;
      }
      if (overlong && cut) *cut = true;
      if (strings.size() >= maxStrings)
        throw quorbel::Error("the list holds more than " + std::to_string(maxStrings) + " strings");
      strings.push_back(std::move(current));
      current.clear();
      overlong = false;
      continue;
    }
    if (in.startsLine() && StartsWith(piece, "<<end>>")) break;
    // Keep at most the bound plus the final line break; the rest of the string is dropped.
    if (current.size() <= kMaxBatchString + 2) {
      current += piece;
      if (in.endedLine()) current += "\r\n";
      if (current.size() > kMaxBatchString + 2) {
        current.resize(kMaxBatchString + 2);
        overlong = true;
      }
    } else {
      overlong = true;
    }
  }
  return strings;
}

std::string FormatBatchList(const std::vector<std::string>& strings) {
  std::string out;
  for (const std::string& s : strings) {
    // Every line break of the string (a LF with any CRs before it) is written as CR LF.
    size_t start = 0;
    for (;;) {
      const size_t lf = s.find('\n', start);
      size_t end = lf == std::string::npos ? s.size() : lf;
      if (lf != std::string::npos)
        while (end > start && s[end - 1] == '\r') --end;
      out.append(s, start, end - start);
      out += "\r\n";
      if (lf == std::string::npos) break;
      start = lf + 1;
    }
    out += "<<br>>\r\n";
  }
  out += "<<end>>\r\n";
  return out;
}

bool ReadBatchList(const std::string& path, std::vector<std::string>& list, std::string* error,
                   bool* cut) {
  std::ifstream file;
  if (!OpenTextFile(path, file, error)) return false;
  TextLineReader in(file);
  try {
    list = ParseBatchList(in, cut);
  } catch (const quorbel::Error& e) {
    if (error) *error = e.what();
    return false;
  }
  return true;
}

bool WriteBatchList(const std::string& path, const std::vector<std::string>& list,
                    std::string* error) {
  return WriteTextFile(path, FormatBatchList(list), error);
}
