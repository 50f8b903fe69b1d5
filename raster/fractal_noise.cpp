#include "raster/fractal_noise.h"

#include <cmath>

#include "raster/random_generator.h"

namespace {
constexpr int kMask = FractalNoise::kLattice - 1;
constexpr double kOffset = 4096.0;  // keeps moderately negative coordinates on the positive side
constexpr double kH = 3.0;
constexpr double kLacunarity = 2.0;
constexpr int kOctaves = 2;

double SCurve(double t) { return t * t * (3.0 - 2.0 * t); }
double Lerp(double t, double a, double b) { return a + t * (b - a); }

// Splits one coordinate into its two lattice cells and the offsets from them. Coordinates past
// the range of an int are first reduced modulo the lattice period, which leaves the noise value
// unchanged; a non-finite coordinate gives false.
bool Setup(double v, int& b0, int& b1, double& r0, double& r1) {
  double t = v + kOffset;
  if (!std::isfinite(t)) return false;
  if (std::fabs(t) > 1e9) t = std::fmod(t, double(FractalNoise::kLattice));
  const int whole = int(t);
  b0 = whole & kMask;
  b1 = (b0 + 1) & kMask;
  r0 = t - whole;
  r1 = r0 - 1.0;
  return true;
}
}  // namespace

FractalNoise::FractalNoise(RandomGenerator& random) {
  auto draw = [&random](int n) { return random.Next() % n; };
  int i = 0;
  for (; i < kLattice; ++i) {
    perm_[size_t(i)] = i;
    auto& g = grad_[size_t(i)];
    for (int j = 0; j < 3; ++j) g[size_t(j)] = double(draw(kLattice + kLattice) - kLattice) / kLattice;
    const double len = std::sqrt(g[0] * g[0] + g[1] * g[1] + g[2] * g[2]);
    // A drawn (0, 0, 0) stays zero rather than becoming NaN.
    if (len > 0) {
      for (auto& c : g) c /= len;
    }
  }
  while (--i) {
    const int j = draw(kLattice);
    std::swap(perm_[size_t(i)], perm_[size_t(j)]);
  }
  for (i = 0; i < kLattice + 2; ++i) {
    perm_[size_t(kLattice + i)] = perm_[size_t(i)];
    grad_[size_t(kLattice + i)] = grad_[size_t(i)];
  }
  double frequency = 1.0;
  for (auto& w : weights_) {
    w = std::pow(frequency, -kH);
    frequency *= kLacunarity;
  }
}

double FractalNoise::Noise3(double x, double y, double z) const {
  int bx0, bx1, by0, by1, bz0, bz1;
  double rx0, rx1, ry0, ry1, rz0, rz1;
  if (!Setup(x, bx0, bx1, rx0, rx1) || !Setup(y, by0, by1, ry0, ry1) || !Setup(z, bz0, bz1, rz0, rz1))
    return 0.0;
  // All indexes stay below kLattice + kLattice + 2 by construction: b < 256, perm < 256.
  const int i = perm_[size_t(bx0)];
  const int j = perm_[size_t(bx1)];
  const int b00 = perm_[size_t(i + by0)];
  const int b10 = perm_[size_t(j + by0)];
  const int b01 = perm_[size_t(i + by1)];
  const int b11 = perm_[size_t(j + by1)];
  const double t = SCurve(rx0), sy = SCurve(ry0), sz = SCurve(rz0);
  auto at = [this](int index, double rx, double ry, double rz) {
    const auto& q = grad_[size_t(index)];
    return rx * q[0] + ry * q[1] + rz * q[2];
  };
  double u = at(b00 + bz0, rx0, ry0, rz0), v = at(b10 + bz0, rx1, ry0, rz0);
  double a = Lerp(t, u, v);
  u = at(b01 + bz0, rx0, ry1, rz0);
  v = at(b11 + bz0, rx1, ry1, rz0);
  double b = Lerp(t, u, v);
  const double c = Lerp(sy, a, b);
  u = at(b00 + bz1, rx0, ry0, rz1);
  v = at(b10 + bz1, rx1, ry0, rz1);
  a = Lerp(t, u, v);
  u = at(b01 + bz1, rx0, ry1, rz1);
  v = at(b11 + bz1, rx1, ry1, rz1);
  b = Lerp(t, u, v);
  const double d = Lerp(sy, a, b);
  return Lerp(sz, c, d);
}

double FractalNoise::operator()(double x, double y, double z) const {
  double value = 0.0;
  for (int i = 0; i < kOctaves; ++i) {
    value += Noise3(x, y, z) * weights_[size_t(i)];
    x *= kLacunarity;
    y *= kLacunarity;
    z *= kLacunarity;
  }
  return value;
}
