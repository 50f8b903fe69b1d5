// Style section reader: any input must parse within bounds, and what it parses must survive a
// write and a second read unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "document/style_file.h"

namespace {
PlaquetStyle Parse(const std::string& text) {
  std::istringstream in(text);
  TextLineReader reader(in);
  PlaquetStyle style;
  ParseStyleSection(reader, style);
  return style;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const PlaquetStyle style = Parse(std::string(reinterpret_cast<const char*>(data), size));
  if (style.effects.size() > static_cast<size_t>(kMaxEffects)) std::abort();
  if (style.backdropBitmap.size() > kMaxText) std::abort();
  for (const EffectRecord& r : style.effects) {
    if (r.type < 0 || r.type >= kEffectTypeCount) std::abort();
    if (r.fileName.size() > kMaxEffectFileName) std::abort();
  }
  std::string text;
  FormatStyleSection(style, text);
  const PlaquetStyle again = Parse(text);
  if (again.effects != style.effects || again.backdropKind != style.backdropKind ||
      again.backdropColour != style.backdropColour)
    std::abort();
  // A bitmap name too long for its line is written cut.
  if (style.backdropBitmap.compare(0, again.backdropBitmap.size(), again.backdropBitmap) != 0)
    std::abort();
  return 0;
}
