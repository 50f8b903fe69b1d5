#pragma once
// The 8x8 transforms of the JPEG codec. Blocks are row-major: index = row * 8 + column, and
// coefficient (u, v) (u horizontal, v vertical frequency) sits at v * 8 + u.
#include <cstddef>
#include <cstdint>

namespace jpeg {

// Forward DCT by the direct formula
//   F(u, v) = 1/4 C(u) C(v) sum_x sum_y f(x, y) cos((2x+1)u pi/16) cos((2y+1)v pi/16)
// with C(0) = 0.7071 and the cosines from four-digit single-precision constants, summed in double
// precision and rounded to nearest. `samples` are level-shifted (-128..127).
void ForwardDct(const int16_t samples[64], int16_t coefficients[64]);

// Inverse DCT of dequantised coefficients into 8-bit samples (level shift and clamping
// included), with the accurate integer method libjpeg calls "islow", so that our pixels agree
// with libjpeg's. Writes 8 rows of 8 bytes, `stride` bytes apart.
void InverseDct(const int32_t coefficients[64], uint8_t* out, size_t stride);

}  // namespace jpeg
