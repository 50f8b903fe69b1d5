#include "document/line_fields.h"

#include "document/text_encoding.h"

#include <limits>

namespace {
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
}  // namespace

void LineFields::SkipBlanks() {
  size_t i = 0;
  while (i < rest_.size() && IsBlank(rest_[i])) ++i;
  rest_.remove_prefix(i);
}

bool LineFields::Word(std::string* out) {
  SkipBlanks();
  size_t n = 0;
  while (n < rest_.size() && !IsBlank(rest_[n])) ++n;
  if (n == 0) return false;
  if (out) out->assign(rest_.substr(0, n));
  rest_.remove_prefix(n);
  return true;
}

bool LineFields::Int(int32_t* out) {
  SkipBlanks();
  size_t i = 0;
  bool negative = false;
  if (i < rest_.size() && (rest_[i] == '+' || rest_[i] == '-')) {
    negative = rest_[i] == '-';
    ++i;
  }
  if (i >= rest_.size() || rest_[i] < '0' || rest_[i] > '9') return false;
  // Accumulate the magnitude with a ceiling just past the int32 range, so long digit runs can't
  // overflow.
  constexpr int64_t kCeiling = int64_t(std::numeric_limits<int32_t>::max()) + 1;
  int64_t magnitude = 0;
  for (; i < rest_.size() && rest_[i] >= '0' && rest_[i] <= '9'; ++i) {
    magnitude = magnitude * 10 + (rest_[i] - '0');
    if (magnitude > kCeiling) magnitude = kCeiling;
  }
  int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<int32_t>::max()) value = std::numeric_limits<int32_t>::max();
  *out = static_cast<int32_t>(value);
  rest_.remove_prefix(i);
  return true;
}

std::string_view LineFields::Rest() const {
  std::string_view r = rest_;
  size_t i = 0;
  while (i < r.size() && IsBlank(r[i])) ++i;
  r.remove_prefix(i);
  while (!r.empty() && IsBlank(r.back())) r.remove_suffix(1);
  return r;
}

std::string CutTo(std::string s, size_t n) {
  if (s.size() > n) s.resize(Utf8CutPoint(s, n));
  return s;
}

std::string_view TrimTrailingBlanks(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}
