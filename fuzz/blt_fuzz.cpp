// Batch list reader: strings stay within bounds, and a written list reads back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "document/batch_list.h"

namespace {
std::vector<std::string> Parse(const std::string& text) {
  std::istringstream in(text);
  return ParseBatchList(in);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> list = Parse(std::string(reinterpret_cast<const char*>(data), size));
  for (const std::string& s : list)
    if (s.size() > kMaxBatchString) std::abort();
  if (Parse(FormatBatchList(list)) != list) std::abort();
  return 0;
}
