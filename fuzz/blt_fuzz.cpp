// Batch list reader: strings stay within bounds, and a written list reads back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "document/batch_list.h"
#include "imaging/error.h"

namespace {
std::vector<std::string> Parse(const std::string& text) {
  std::istringstream in(text);
  return ParseBatchList(in);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> list;
  try {
    list = Parse(std::string(reinterpret_cast<const char*>(data), size));
  } catch (const quorbel::Error&) {
    return 0;  // more strings than a list may hold
  }
  for (const std::string& s : list)
    if (s.size() > kMaxBatchString) std::abort();
  if (Parse(FormatBatchList(list)) != list) std::abort();
  return 0;
}
