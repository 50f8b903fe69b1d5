#include "imaging/codecs/jpeg_huffman.h"

#include <algorithm>

namespace jpeg {

HuffmanCodes MakeCodes(const HuffmanSpec& huffman) {
  HuffmanCodes codes;
  uint32_t code = 0;
  int k = 0;
  for (int length = 1; length <= 16; ++length) {
    for (int i = 0; i < huffman.bits[length]; ++i, ++k) {
      uint8_t symbol = huffman.values[static_cast<size_t>(k)];
      codes.code[symbol] = static_cast<uint16_t>(code);
      codes.size[symbol] = static_cast<uint8_t>(length);
      ++code;
    }
    code <<= 1;
  }
  return codes;
}

bool IsValidSpec(const HuffmanSpec& huffman) {
  int total = 0;
  uint32_t code = 0;
  for (int length = 1; length <= 16; ++length) {
    code += huffman.bits[length];
    total += huffman.bits[length];
    // Codes of this length run up to code - 1; the all-ones code must stay unused.
    if (code >= (1u << length)) return false;
    code <<= 1;
  }
  if (total != huffman.count || total > 256) return false;
  std::array<bool, 256> seen{};
  for (int i = 0; i < total; ++i) {
    uint8_t s = huffman.values[static_cast<size_t>(i)];
    if (seen[s]) return false;
    seen[s] = true;
  }
  return true;
}

HuffmanSpec MakeOptimalSpec(const std::array<uint32_t, 256>& frequencies) {
  // Annex K.2, figures K.1 to K.4; index 256 is the reserved pseudo-symbol.
  std::array<uint64_t, 257> freq{};
  for (int i = 0; i < 256; ++i) freq[static_cast<size_t>(i)] = frequencies[static_cast<size_t>(i)];
  freq[256] = 1;
  std::array<int, 257> codeSize{};
  std::array<int, 257> others;
  others.fill(-1);

  for (;;) {
    // c1: least frequent (ties: the larger symbol), c2: next least frequent.
    int c1 = -1, c2 = -1;
    for (int i = 0; i <= 256; ++i) {
      if (freq[static_cast<size_t>(i)] == 0) continue;
      if (c1 < 0 || freq[static_cast<size_t>(i)] <= freq[static_cast<size_t>(c1)]) c1 = i;
    }
    for (int i = 0; i <= 256; ++i) {
      if (freq[static_cast<size_t>(i)] == 0 || i == c1) continue;
      if (c2 < 0 || freq[static_cast<size_t>(i)] <= freq[static_cast<size_t>(c2)]) c2 = i;
    }
    if (c2 < 0) break;
    freq[static_cast<size_t>(c1)] += freq[static_cast<size_t>(c2)];
    freq[static_cast<size_t>(c2)] = 0;
    for (;;) {
      ++codeSize[static_cast<size_t>(c1)];
      if (others[static_cast<size_t>(c1)] < 0) break;
      c1 = others[static_cast<size_t>(c1)];
    }
    others[static_cast<size_t>(c1)] = c2;
    for (;;) {
      ++codeSize[static_cast<size_t>(c2)];
      if (others[static_cast<size_t>(c2)] < 0) break;
      c2 = others[static_cast<size_t>(c2)];
    }
  }

  // Code lengths can reach 256 in the worst case; count them, then fold them into 16 bits.
  std::array<int, 300> bits{};
  for (int i = 0; i <= 256; ++i)
    if (codeSize[static_cast<size_t>(i)] > 0) ++bits[static_cast<size_t>(codeSize[static_cast<size_t>(i)])];
  for (int i = 299; i > 16; --i) {
    while (bits[static_cast<size_t>(i)] > 0) {
      int j = i - 2;
      while (bits[static_cast<size_t>(j)] == 0) --j;
      bits[static_cast<size_t>(i)] -= 2;
      bits[static_cast<size_t>(i - 1)] += 1;
      bits[static_cast<size_t>(j + 1)] += 2;
      bits[static_cast<size_t>(j)] -= 1;
    }
  }
  // Drop the pseudo-symbol: it holds one of the longest codes.
  int longest = 16;
  while (longest > 0 && bits[static_cast<size_t>(longest)] == 0) --longest;
  if (longest > 0) --bits[static_cast<size_t>(longest)];

  HuffmanSpec huffman;
  for (int i = 1; i <= 16; ++i) huffman.bits[static_cast<size_t>(i)] = static_cast<uint8_t>(bits[static_cast<size_t>(i)]);
  // Symbols by code length, then by value (the folding keeps the length order of K.2).
  int k = 0;
  for (int length = 1; length < 300; ++length)
    for (int s = 0; s < 256; ++s)
      if (codeSize[static_cast<size_t>(s)] == length) huffman.values[static_cast<size_t>(k++)] = static_cast<uint8_t>(s);
  huffman.count = k;
  return huffman;
}

}  // namespace jpeg
