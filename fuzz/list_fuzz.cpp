// Plain and batch string lists as the batch command reads them: every string is UTF-8 within the
// length bound, a plain list has no blank strings, and a list written as a batch list reads back
// unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "document/batch_list.h"
#include "document/string_list.h"
#include "document/text_encoding.h"
#include "imaging/error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  StringList list;
  try {
    list = ParseStringList(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const quorbel::Error&) {
    return 0;  // more strings than a list may hold
  }
  for (const std::string& s : list.strings) {
    if (s.size() > kMaxBatchString || !IsValidUtf8(s)) std::abort();
    if (!list.batchFormat && s.find_first_not_of(" \t\f\v") == std::string::npos) std::abort();
  }
  const StringList back = ParseStringList(FormatBatchList(list.strings));
  if (back.strings != list.strings) std::abort();
  return 0;
}
