#include "document/text_encoding.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace {

struct CharsetCodePage {
  uint8_t charset;
  const char* codePage;
};

constexpr CharsetCodePage kCodePages[] = {
    {238, "CP1250"}, {204, "CP1251"}, {161, "CP1253"}, {162, "CP1254"}, {177, "CP1255"},
    {178, "CP1256"}, {186, "CP1257"}, {163, "CP1258"}, {222, "CP874"},  {128, "CP932"},
    {134, "CP936"},  {129, "CP949"},  {136, "CP950"},  {130, "JOHAB"},  {77, "MACINTOSH"},
    {255, "CP437"},
};

// Length of the UTF-8 sequence at s[i], 0 when it is malformed.
size_t SequenceLength(std::string_view s, size_t i) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = b(i);
  if (c < 0x80) return 1;
  size_t n;
  char32_t cp;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
    cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    cp = c & 0x07;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    cp = cp << 6 | (b(i + k) & 0x3F);
  }
  if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return 0;
  if (cp >= 0xD800 && cp <= 0xDFFF) return 0;
  return n;
}

}  // namespace

bool IsValidUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const size_t n = SequenceLength(s, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

const char* CodePageOfCharset(uint8_t charset) {
  for (const auto& c : kCodePages)
    if (c.charset == charset) return c.codePage;
  return "CP1252";
}

void AppendUtf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | cp >> 6);
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | cp >> 12);
    out += char(0x80 | (cp >> 6 & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | cp >> 18);
    out += char(0x80 | (cp >> 12 & 0x3F));
    out += char(0x80 | (cp >> 6 & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

std::string TextToUtf8(std::string_view bytes, uint8_t charset) {
  if (IsValidUtf8(bytes)) return std::string(bytes);
  std::string out;
  iconv_t cd = iconv_open("UTF-8", CodePageOfCharset(charset));
  if (cd == iconv_t(-1)) {
    for (unsigned char c : bytes) AppendUtf8(c, out);
    return out;
  }
  std::vector<char> in(bytes.begin(), bytes.end());
  char* inPtr = in.data();
  size_t inLeft = in.size();
  while (inLeft > 0) {
    char buf[512];
    char* outPtr = buf;
    size_t outLeft = sizeof buf;
    const size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    out.append(buf, sizeof buf - outLeft);
    if (r == size_t(-1) && errno != E2BIG) {
      // A byte the code page leaves undefined (or a cut double-byte sequence): keep its value.
      AppendUtf8(static_cast<unsigned char>(*inPtr), out);
      ++inPtr;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  // Code pages with combining letters (1255, 1258) hold the last letter back until told the input
  // has ended.
  char buf[64];
  char* outPtr = buf;
  size_t outLeft = sizeof buf;
  iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
  out.append(buf, sizeof buf - outLeft);
  iconv_close(cd);
  return out;
}

size_t Utf8CutPoint(std::string_view s, size_t n) {
  if (n >= s.size() || !IsValidUtf8(s)) return n;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  return n;
}

std::u32string Utf8ToCodePoints(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const size_t n = SequenceLength(s, i);
    if (n == 0) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    char32_t cp = n == 1 ? static_cast<unsigned char>(s[i]) : static_cast<unsigned char>(s[i]) & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) cp = cp << 6 | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    out.push_back(cp);
    i += n;
  }
  return out;
}
