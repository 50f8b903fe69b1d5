#include "document/batch_list.h"

#include <fstream>

#include "document/text_encoding.h"
#include "document/text_file_io.h"

namespace {
bool StartsWith(std::string_view s, std::string_view key) { return s.substr(0, key.size()) == key; }
}  // namespace

std::vector<std::string> ParseBatchList(TextLineReader& in, bool* cut, uint8_t charset) {
  // Raw bytes kept per string: the bound's worth of characters in any encoding, plus a line break.
  constexpr size_t kRawBound = kMaxBatchString * 4 + 2;
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
      current = TextToUtf8(current, charset);
      if (current.size() > kMaxBatchString) {
        current.resize(Utf8CutPoint(current, kMaxBatchString));
        // Don't leave half a line break at the cut.
        while (!current.empty() && current.back() == '\r') current.pop_back();
        overlong = true;
      }
      if (overlong && cut) *cut = true;
      strings.push_back(std::move(current));
      current.clear();
      overlong = false;
      continue;
    }
    if (in.startsLine() && StartsWith(piece, "<<end>>")) break;
    // Keep at most the raw bound; the rest of the string is dropped.
    if (current.size() <= kRawBound) {
      current += piece;
      if (in.endedLine()) current += "\r\n";
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
                   bool* cut, uint8_t charset) {
  std::ifstream file;
  if (!OpenTextFile(path, file, error)) return false;
  TextLineReader in(file);
  list = ParseBatchList(in, cut, charset);
  return true;
}

bool WriteBatchList(const std::string& path, const std::vector<std::string>& list,
                    std::string* error) {
  return WriteTextFile(path, FormatBatchList(list), error);
}
