#pragma once
// A style section read from and written to a string, for the style-file tests.
#include <sstream>
#include <string>

#include "document/style_file.h"

namespace styletext {

inline PlaquetStyle Parse(const std::string& text) {
  std::istringstream in(text);
  TextLineReader reader(in);
  PlaquetStyle style;
  ParseStyleSection(reader, style);
  return style;
}

inline std::string Format(const PlaquetStyle& style) {
  std::string out;
  FormatStyleSection(style, out);
  return out;
}

}  // namespace styletext
