#pragma once
// The two checksums of the PNG format: CRC-32 (ISO 3309, over each chunk's type and data) and
// Adler-32 (RFC 1950, over the uncompressed data of a zlib stream). Both can be computed
// piecewise: feed the running value back in.
#include <cstddef>
#include <cstdint>

// Running CRC-32: start from 0, Crc32(Crc32(0, a, n), b, m) == Crc32 over a then b.
uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size);

// Running Adler-32: start from 1.
uint32_t Adler32(uint32_t adler, const uint8_t* data, size_t size);
