#include "imaging/codecs/jpeg_dct.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace jpeg {

namespace {

// cos(k pi / 16) for k = 0..31 built from the four-digit constants, so that the encoder's
// coefficients follow from those values and nothing else.
constexpr std::array<double, 32> MakeCosines() {
  constexpr float kFirstQuadrant[8] = {1.0f,    0.9808f, 0.9239f, 0.8315f,
                                       0.7071f, 0.5556f, 0.3827f, 0.1951f};
  std::array<double, 32> c{};
  for (int k = 0; k < 32; ++k) {
    if (k < 8) c[k] = kFirstQuadrant[k];
    else if (k == 8 || k == 24) c[k] = 0.0;
    else if (k < 16) c[k] = -static_cast<double>(kFirstQuadrant[16 - k]);
    else if (k < 24) c[k] = -static_cast<double>(kFirstQuadrant[k - 16]);
    else c[k] = kFirstQuadrant[32 - k];
  }
  return c;
}

// kForward[x][u] = cos((2x+1) u pi / 16).
constexpr std::array<std::array<double, 8>, 8> MakeForward() {
  constexpr std::array<double, 32> cosines = MakeCosines();
  std::array<std::array<double, 8>, 8> t{};
  for (int x = 0; x < 8; ++x)
    for (int u = 0; u < 8; ++u) t[x][u] = cosines[((2 * x + 1) * u) % 32];
  return t;
}

constexpr std::array<std::array<double, 8>, 8> kForward = MakeForward();
constexpr double kC0 = 0.7071;

}  // namespace

void ForwardDct(const int16_t samples[64], int16_t coefficients[64]) {
  // Separable evaluation of the same double sum: rows first, then columns.
  double rows[8][8];  // rows[y][u] = sum_x f(x, y) cos((2x+1)u pi/16)
  for (int y = 0; y < 8; ++y) {
    const int16_t* f = samples + y * 8;
    for (int u = 0; u < 8; ++u) {
      double sum = 0.0;
      for (int x = 0; x < 8; ++x) sum += f[x] * kForward[x][u];
      rows[y][u] = sum;
    }
  }
  for (int v = 0; v < 8; ++v) {
    for (int u = 0; u < 8; ++u) {
      double sum = 0.0;
      for (int y = 0; y < 8; ++y) sum += rows[y][u] * kForward[y][v];
      double scale = 0.25 * (u == 0 ? kC0 : 1.0) * (v == 0 ? kC0 : 1.0);
      coefficients[v * 8 + u] = static_cast<int16_t>(static_cast<int>(std::round(scale * sum)));
    }
  }
}

// The accurate integer IDCT (Loeffler, Ligtenberg and Moschytz, as in libjpeg's "islow"): 13-bit
// fixed-point constants, two extra bits of precision between the passes. 64-bit intermediates, so
// that no coefficient a damaged file holds can overflow.
namespace {

constexpr int kConstBits = 13;
constexpr int kPass1Bits = 2;
constexpr int64_t kFix0_298631336 = 2446, kFix0_390180644 = 3196, kFix0_541196100 = 4433,
                  kFix0_765366865 = 6270, kFix0_899976223 = 7373, kFix1_175875602 = 9633,
                  kFix1_501321110 = 12299, kFix1_847759065 = 15137, kFix1_961570560 = 16069,
                  kFix2_053119869 = 16819, kFix2_562915447 = 20995, kFix3_072711026 = 25172;

int64_t Descale(int64_t x, int n) { return (x + (int64_t{1} << (n - 1))) >> n; }

// One 8-point inverse transform; in[k * step] are the inputs, out[0..7] the unscaled results.
void Idct8(const int64_t* in, int step, int descale, int64_t* out) {
  auto at = [&](int k) { return in[k * step]; };
  // Even part.
  int64_t z2 = at(2), z3 = at(6);
  int64_t z1 = (z2 + z3) * kFix0_541196100;
  int64_t tmp2 = z1 + z3 * -kFix1_847759065;
  int64_t tmp3 = z1 + z2 * kFix0_765366865;
  z2 = at(0);
  z3 = at(4);
  int64_t tmp0 = (z2 + z3) * (int64_t{1} << kConstBits);
  int64_t tmp1 = (z2 - z3) * (int64_t{1} << kConstBits);
  int64_t tmp10 = tmp0 + tmp3, tmp13 = tmp0 - tmp3, tmp11 = tmp1 + tmp2, tmp12 = tmp1 - tmp2;
  // Odd part.
  tmp0 = at(7);
  tmp1 = at(5);
  tmp2 = at(3);
  tmp3 = at(1);
  z1 = tmp0 + tmp3;
  z2 = tmp1 + tmp2;
  z3 = tmp0 + tmp2;
  int64_t z4 = tmp1 + tmp3;
  int64_t z5 = (z3 + z4) * kFix1_175875602;
  tmp0 *= kFix0_298631336;
  tmp1 *= kFix2_053119869;
  tmp2 *= kFix3_072711026;
  tmp3 *= kFix1_501321110;
  z1 *= -kFix0_899976223;
  z2 *= -kFix2_562915447;
  z3 = z3 * -kFix1_961570560 + z5;
  z4 = z4 * -kFix0_390180644 + z5;
  tmp0 += z1 + z3;
  tmp1 += z2 + z4;
  tmp2 += z2 + z3;
  tmp3 += z1 + z4;
  out[0] = Descale(tmp10 + tmp3, descale);
  out[7] = Descale(tmp10 - tmp3, descale);
  out[1] = Descale(tmp11 + tmp2, descale);
  out[6] = Descale(tmp11 - tmp2, descale);
  out[2] = Descale(tmp12 + tmp1, descale);
  out[5] = Descale(tmp12 - tmp1, descale);
  out[3] = Descale(tmp13 + tmp0, descale);
  out[4] = Descale(tmp13 - tmp0, descale);
}

}  // namespace

void InverseDct(const int32_t coefficients[64], uint8_t* out, size_t stride) {
  int64_t in[64];
  for (int i = 0; i < 64; ++i) in[i] = coefficients[i];
  int64_t work[64];
  // Pass 1: columns. A column without AC terms is its DC term, scaled.
  for (int x = 0; x < 8; ++x) {
    const int64_t* c = in + x;
    if ((c[8] | c[16] | c[24] | c[32] | c[40] | c[48] | c[56]) == 0) {
      for (int y = 0; y < 8; ++y) work[y * 8 + x] = c[0] * (1 << kPass1Bits);
      continue;
    }
    int64_t column[8];
    Idct8(c, 8, kConstBits - kPass1Bits, column);
    for (int y = 0; y < 8; ++y) work[y * 8 + x] = column[y];
  }
  // Pass 2: rows, removing the pass-1 scaling and the factor 8, adding the level shift.
  for (int y = 0; y < 8; ++y) {
    const int64_t* w = work + y * 8;
    uint8_t* line = out + static_cast<size_t>(y) * stride;
    if ((w[1] | w[2] | w[3] | w[4] | w[5] | w[6] | w[7]) == 0) {  // flat row: same result, cheaper
      std::memset(line, static_cast<uint8_t>(std::clamp<int64_t>(Descale(w[0], kPass1Bits + 3) + 128, 0, 255)), 8);
      continue;
    }
    int64_t row[8];
    Idct8(w, 1, kConstBits + kPass1Bits + 3, row);
    for (int x = 0; x < 8; ++x) line[x] = static_cast<uint8_t>(std::clamp<int64_t>(row[x] + 128, 0, 255));
  }
}

}  // namespace jpeg
