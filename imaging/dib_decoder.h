#pragma once
// Turns a device-independent bitmap as BMP files hold it (12-, 40-, 52-, 56-, 108- or 124-byte
// header; 1, 2, 4, 8, 16, 24 or 32 bits; uncompressed, RLE8, RLE4 or bit fields; bottom-up or
// top-down) into the store's own form: a 40-byte header, 8-bit with a 256-entry colour table or
// 24-bit, rows bottom-up. Pixels are kept exact (indexes and their table for indexed pictures;
// 16-bit channels scaled to 8 bits, alpha dropped).
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/limits.h"

// pixelOffset: where the rows start, counted from the header's first byte; -1 when they follow
// the colour table directly (a packed DIB). On failure returns false with the reason (without a
// file name) and leaves out untouched. Pictures past `limits` are refused before allocating.
bool DecodeDib(std::vector<uint8_t> block, int64_t pixelOffset, std::vector<uint8_t>& out, std::string& reason,
               const ImageLimits& limits = ImageLimits());
