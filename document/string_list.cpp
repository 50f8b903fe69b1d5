#include "document/string_list.h"

#include <sstream>

#include "document/batch_list.h"

namespace {

// Windows-1252's 0x80..0x9F; 0 where the code page leaves a byte undefined.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

bool StartsWith(std::string_view s, std::string_view key) { return s.substr(0, key.size()) == key; }

// Cuts at kMaxBatchString bytes without splitting a UTF-8 sequence.
bool CutString(std::string& s) {
  if (s.size() <= kMaxBatchString) return false;
  size_t end = kMaxBatchString;
  while (end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80) --end;
  s.resize(end);
  return true;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    size_t extra = 0;
    char32_t cp = 0, min = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1, cp = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2, cp = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3, cp = c & 0x07, min = 0x10000;
    } else {
      return false;
    }
    if (i + extra >= text.size()) return false;
    for (size_t k = 1; k <= extra; ++k) {
      const unsigned char d = static_cast<unsigned char>(text[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    // Overlong forms, surrogates and code points past Unicode are not UTF-8.
    if (cp < min || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return false;
    i += extra + 1;
  }
  return true;
}

std::string Windows1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c >= 0x80 && c < 0xA0)
      AppendUtf8(out, kHighControls[c - 0x80] ? kHighControls[c - 0x80] : char32_t(0xFFFD));
    else
      AppendUtf8(out, c);
  }
  return out;
}

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
  if (StartsWith(text, "\xEF\xBB\xBF")) text.erase(0, 3);
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
