#pragma once
// Text encodings. The program carries UTF-8; files written by the original platform hold 8-bit
// text in the Windows code page of the item's font character set. Conversions go through the C
// library's iconv.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// True when s is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsValidUtf8(std::string_view s);
// The iconv name of the Windows code page of a LOGFONT character set (ANSI and unknown sets:
// Windows-1252).
const char* CodePageOfCharset(uint8_t charset);
// bytes as UTF-8: unchanged when already valid UTF-8, else decoded from the code page of the
// character set. Bytes the code page leaves undefined become the code point of the same value.
std::string TextToUtf8(std::string_view bytes, uint8_t charset);
// The largest n' <= n at which s can be cut without splitting a UTF-8 sequence (n itself when s is
// not valid UTF-8, or is shorter).
size_t Utf8CutPoint(std::string_view s, size_t n);
// Decodes valid UTF-8 into code points (invalid bytes become U+FFFD).
std::u32string Utf8ToCodePoints(std::string_view s);
void AppendUtf8(char32_t cp, std::string& out);
