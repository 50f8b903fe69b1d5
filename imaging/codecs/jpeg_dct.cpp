#include "imaging/codecs/jpeg_dct.h"

#include <array>
#include <cmath>

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

// kInverse[x][u] = C(u)/2 cos((2x+1) u pi / 16) with exact constants.
struct InverseTable {
  float t[8][8];
  InverseTable() {
    const double pi = std::acos(-1.0);
    for (int x = 0; x < 8; ++x)
      for (int u = 0; u < 8; ++u)
        t[x][u] = static_cast<float>((u == 0 ? std::sqrt(0.5) : 1.0) / 2.0 *
                                     std::cos((2 * x + 1) * u * pi / 16.0));
  }
};
const InverseTable kInverse;

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

void InverseDct(const int32_t coefficients[64], uint8_t* out, size_t stride) {
  // Pass 1 along each coefficient row; rows without coefficients stay zero and are skipped in
  // pass 2 (most rows of a quantised block are empty).
  float rows[8][8];
  bool used[8];
  for (int v = 0; v < 8; ++v) {
    const int32_t* c = coefficients + v * 8;
    used[v] = (c[0] | c[1] | c[2] | c[3] | c[4] | c[5] | c[6] | c[7]) != 0;
    if (!used[v]) continue;
    for (int x = 0; x < 8; ++x) {
      float sum = 0.0f;
      for (int u = 0; u < 8; ++u) sum += static_cast<float>(c[u]) * kInverse.t[x][u];
      rows[v][x] = sum;
    }
  }
  for (int y = 0; y < 8; ++y) {
    float column[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    for (int v = 0; v < 8; ++v) {
      if (!used[v]) continue;
      float w = kInverse.t[y][v];
      for (int x = 0; x < 8; ++x) column[x] += w * rows[v][x];
    }
    uint8_t* line = out + static_cast<size_t>(y) * stride;
    for (int x = 0; x < 8; ++x) {
      float value = column[x] + 128.5f;
      line[x] = value <= 0.0f ? 0 : value >= 255.0f ? 255 : static_cast<uint8_t>(value);
    }
  }
}

}  // namespace jpeg
