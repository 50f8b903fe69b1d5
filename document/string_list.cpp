#include "document/string_list.h"

#include <sstream>

#include "document/batch_list.h"
#include "document/text_encoding.h"

namespace {

bool StartsWith(std::string_view s, std::string_view key) { return s.substr(0, key.size()) == key; }

// Cuts at kMaxBatchString bytes without splitting a UTF-8 sequence.
// U+FEFF at the start of a line is a byte-order mark an editor left (or doubled, or pasted in),
// never text worth drawing. Dropped before anything else, so that "<<br>>" after one is still a
// separator and a list reads back the same after it is written.
std::string DropLineStartMarks(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  bool lineStart = true;
  for (size_t i = 0; i < text.size();) {
    if (lineStart && text.compare(i, 3, "\xEF\xBB\xBF") == 0) {
      i += 3;
      continue;
    }
    lineStart = text[i] == '\n';
    out += text[i++];
  }
  return out;
}

bool CutString(std::string& s) {
  if (s.size() <= kMaxBatchString) return false;
  s.resize(Utf8CutPoint(s, kMaxBatchString));
  return true;
}

}  // namespace

std::string Windows1252ToUtf8(std::string_view text) { return TextToUtf8(text, 0); }

bool LooksLikeBatchList(std::string_view text) {
  size_t start = 0;
  while (start < text.size()) {
    const std::string_view line = text.substr(start);
    if (StartsWith(line, "<<br>>") || StartsWith(line, "<<end>>")) return true;
    const size_t lf = text.find('\n', start);
    if (lf == std::string_view::npos) break;
    start = lf + 1;
  }
  return false;
}

StringList ParseStringList(std::string_view raw) {
  StringList list;
  std::string text;
  if (IsValidUtf8(raw)) {
    text.assign(raw);
  } else {
    text = Windows1252ToUtf8(raw);
    list.fromWindows1252 = true;
  }
  // A byte-order mark is not part of the first string.
  text = DropLineStartMarks(text);
  if (LooksLikeBatchList(text)) {
    list.batchFormat = true;
    std::istringstream in(text);
    list.strings = ParseBatchList(in, &list.cut);
    return list;
  }
  size_t start = 0;
  while (start < text.size()) {
    size_t lf = text.find('\n', start);
    if (lf == std::string::npos) lf = text.size();
    size_t end = lf;
    while (end > start && text[end - 1] == '\r') --end;
    std::string line = text.substr(start, end - start);
    start = lf + 1;
    if (line.find_first_not_of(" \t\f\v") == std::string::npos) continue;
    if (CutString(line)) list.cut = true;
    list.strings.push_back(std::move(line));
  }
  return list;
}
