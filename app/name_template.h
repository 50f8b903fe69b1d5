#pragma once
// Output names of a batch from a template: "{index}" the string's number, "{index:03}" the same
// padded with zeros to 3 digits, "{text}" a file-name-safe slug of the string (made unique within
// the batch by "-2", "-3", ...); "{{" and "}}" are braces. The expansion follows the -o base.
#include <stdexcept>
#include <string>
#include <vector>

struct NameTemplateError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Lower-case ASCII letters and digits, other characters of UTF-8 text kept, everything else one
// '-'; at most 60 bytes; "string" when nothing is left.
std::string Slug(const std::string& text);
// The expansion for every string, in order. Throws NameTemplateError for an unknown placeholder,
// an unclosed brace or an expansion that is empty or holds a '/'.
std::vector<std::string> ExpandNameTemplate(const std::string& pattern, const std::vector<std::string>& strings);
