// Document reader: any input must read within bounds, and a written document must read back
// with the same items.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "document/document_file.h"

namespace {
void CheckBounds(const PlaquetDocument& doc) {
  if (doc.itemCount() != 3) std::abort();
  for (const PlaquetItem& item : doc.items) {
    if (item.text.size() > kMaxText || item.styleName.size() > kMaxStyleName) std::abort();
    if (item.font.faceName.size() > LogFont::kMaxFaceName) std::abort();
    if (item.effects.size() > static_cast<size_t>(kMaxEffects)) std::abort();
    for (const EffectRecord& r : item.effects)
      if (r.fileName.size() > kMaxEffectFileName) std::abort();
  }
  for (int32_t v : doc.boxParams)
    if (v < 0) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PlaquetDocument doc = MakeStartUpDocument();
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  TextLineReader reader(in);
  if (!ReadDocumentFrom(doc, reader)) return 0;
  CheckBounds(doc);

  std::string text;
  WriteDocumentTo(doc, text);
  PlaquetDocument again = MakeStartUpDocument();
  std::istringstream in2(text);
  TextLineReader reader2(in2);
  if (!ReadDocumentFrom(again, reader2)) std::abort();
  CheckBounds(again);
  for (int i = 0; i < 3; ++i) {
    if (again.items[i].kind != doc.items[i].kind) std::abort();
    if (again.items[i].effects != doc.items[i].effects) std::abort();
    if (again.items[i].moreInfo != doc.items[i].moreInfo) std::abort();
  }
  if (again.boxParams != doc.boxParams || again.extensionX != doc.extensionX) std::abort();
  return 0;
}
