#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "raster/fractal_noise.h"
#include "raster/random_generator.h"

namespace {

TEST(FractalNoise, SameSeedSameTablesAndValues) {
  RandomGenerator a(42), b(42), c(43);
  const FractalNoise na(a), nb(b), nc(c);
  EXPECT_EQ(na.Permutation(), nb.Permutation());
  EXPECT_NE(na.Permutation(), nc.Permutation());
  // The permutation is a permutation, repeated for the wrap-around entries.
  std::array<int, 256> seen{};
  for (int i = 0; i < 256; ++i) ++seen[size_t(na.Permutation()[size_t(i)])];
  for (int n : seen) EXPECT_EQ(n, 1);
  for (int i = 0; i < 258; ++i) EXPECT_EQ(na.Permutation()[size_t(256 + i)], na.Permutation()[size_t(i)]);
  for (double x = -3.7; x < 4; x += 0.61) EXPECT_EQ(na(x, 1.3 * x, 0.5), nb(x, 1.3 * x, 0.5));
}

TEST(FractalNoise, ZeroOnTheLatticeContinuousAndBounded) {
  RandomGenerator rng(5);
  const FractalNoise n(rng);
  // Gradient noise vanishes on lattice points, so the fBm (points 1x and 2x) does too.
  for (int i = -3; i < 4; ++i) EXPECT_NEAR(n(i, 2 * i, -i), 0.0, 1e-12);
  double lo = 0, hi = 0, spread = 0;
  for (int i = 0; i < 20000; ++i) {
    const double x = i * 0.0137, y = i * 0.0071 - 40, z = 56.54;
    const double v = n(x, y, z);
    ASSERT_TRUE(std::isfinite(v));
    // Unit gradients bound the noise by sqrt(3)/2; the fBm adds an eighth of that.
    ASSERT_LE(std::fabs(v), 1.125 * std::sqrt(3.0) / 2 + 1e-9);
    lo = std::min(lo, v), hi = std::max(hi, v);
    // Continuity: a step of 1e-4 moves the value by at most (slope bound) x step.
    spread = std::max(spread, std::fabs(n(x + 1e-4, y, z) - v));
  }
  EXPECT_LT(lo, -0.2);
  EXPECT_GT(hi, 0.2);
  EXPECT_LT(spread, 1e-3);
}

TEST(FractalNoise, AnyCoordinateGivesAFiniteValue) {
  RandomGenerator rng(9);
  const FractalNoise n(rng);
  const double inf = std::numeric_limits<double>::infinity();
  for (double v : {1e300, -1e300, 3e9, -5000.25, inf, -inf, std::nan("")}) {
    const double r = n(v, v, v);
    EXPECT_TRUE(std::isfinite(r)) << v;
    EXPECT_LE(std::fabs(r), 1.2);
  }
  // Lattice period 256: far coordinates reduced modulo the period give the same value.
  EXPECT_NEAR(n.Noise3(2e9 + 0.25, 1.5, 2.5), n.Noise3(std::fmod(2e9 + 4096, 256.0) - 4096 + 0.25, 1.5, 2.5), 1e-6);
}

}  // namespace
