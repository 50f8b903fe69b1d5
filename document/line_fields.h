#pragma once
// Reads the blank-separated fields of one line the way the file formats were written: a word,
// then decimal integers. Reading stops at the first field that is missing or not a number, so the
// caller's later fields keep their values.
#include <cstdint>
#include <string>
#include <string_view>

class LineFields {
 public:
  explicit LineFields(std::string_view line) : rest_(line) {}

  // The next run of non-blank characters; false when the line holds no more.
  bool Word(std::string* out = nullptr);
  // The next field as a signed decimal integer (leading sign, then digits; anything after the
  // digits is left for the next field). Values past the 32-bit range saturate. False, with *out
  // untouched and nothing consumed, when the field is missing or does not start with a number.
  bool Int(int32_t* out);
  // Everything left, less blanks at both ends.
  std::string_view Rest() const;

 private:
  void SkipBlanks();
  std::string_view rest_;
};

// Cuts s to at most n bytes, never inside a UTF-8 sequence.
std::string CutTo(std::string s, size_t n);
// s less trailing blanks (spaces and tabs).
std::string_view TrimTrailingBlanks(std::string_view s);
