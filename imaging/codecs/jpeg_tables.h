#pragma once
// Fixed tables shared by the JPEG writer and reader: the zigzag scan order, the example
// quantisation and Huffman tables of ITU-T T.81 Annex K, and the mapping from the File Option
// "Compression" value to scaled quantisation tables.
#include <array>
#include <cstdint>

namespace jpeg {

// kZigzag[i] = row-major (natural) index of the i-th coefficient in zigzag order.
extern const std::array<uint8_t, 64> kZigzag;

// Annex K.1 (luminance) and K.2 (chrominance) tables in natural (row-major) order.
extern const std::array<uint8_t, 64> kLuminanceQuant;
extern const std::array<uint8_t, 64> kChrominanceQuant;

// A Huffman table as stored in a DHT segment: bits[l] = number of codes of length l (1..16,
// bits[0] unused) and the symbols in code order.
struct HuffmanSpec {
  std::array<uint8_t, 17> bits{};
  std::array<uint8_t, 256> values{};
  int count = 0;  // number of symbols = sum of bits[1..16]
};

// Annex K.3 tables.
extern const HuffmanSpec kLuminanceDc;
extern const HuffmanSpec kLuminanceAc;
extern const HuffmanSpec kChrominanceDc;
extern const HuffmanSpec kChrominanceAc;

// Quantisation table in natural order for a File Option "Compression" value.
//   compression < 0: the Annex K table exactly.
//   0..100 (larger values clamped): a libjpeg-style quality q is derived so that 0 is the best
//   quality (q = 100, every entry 1), 20 (the program's start value) is q = 50, which is the
//   Annex K table unchanged, and 100 is the strongest compression (q = 1):
//     c <= 20: q = 100 - 5c/2        c > 20: q = 50 - 49(c - 20)/80
//   and the table is scaled as libjpeg does: S = q < 50 ? 5000/q : 200 - 2q percent,
//   entry = clamp((base * S + 50) / 100, 1, 255) (255 keeps the tables baseline).
std::array<uint8_t, 64> QuantTable(int compression, bool chrominance);

// The libjpeg-style quality the compression value stands for (-1 for the unscaled tables).
int QualityForCompression(int compression);

}  // namespace jpeg
