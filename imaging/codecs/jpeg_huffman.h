#pragma once
// Huffman code construction for the JPEG codec (ITU-T T.81 Annex C and K.2).
#include <array>
#include <cstdint>

#include "imaging/codecs/jpeg_tables.h"

namespace jpeg {

// Symbol -> code lookup for encoding. size[s] == 0 marks a symbol the table lacks.
struct HuffmanCodes {
  std::array<uint16_t, 256> code{};
  std::array<uint8_t, 256> size{};
};

// Codes of a table in canonical order (Annex C). The table must be valid (see IsValidSpec).
HuffmanCodes MakeCodes(const HuffmanSpec& huffman);

// True when the counts describe a prefix code that fits in 16 bits, leaves the all-ones code of
// every length unused, and the symbols are distinct.
bool IsValidSpec(const HuffmanSpec& huffman);

// An optimal length-limited (16 bits) table for the symbol frequencies, following Annex K.2:
// a reserved pseudo-symbol keeps the all-ones code free; symbols of frequency 0 get no code.
HuffmanSpec MakeOptimalSpec(const std::array<uint32_t, 256>& frequencies);

}  // namespace jpeg
