#pragma once
// Perlin's three-dimensional gradient noise with a fractional Brownian motion sum over it
// (H 3.0, lacunarity 2.0, two whole octaves). The lattice tables are drawn from the generator
// once, at construction; afterwards the noise is a fixed, pure function of the point.
#include <array>
#include <cstdint>

class RandomGenerator;

class FractalNoise {
 public:
  static constexpr int kLattice = 256;
  static constexpr int kTable = kLattice + kLattice + 2;  // wrap-around copy for b + 1 lookups

  explicit FractalNoise(RandomGenerator& random);

  // Gradient noise at a point; 0 on every lattice point, roughly -1..1 elsewhere.
  double Noise3(double x, double y, double z) const;
  // fBm: Noise3(p) + Noise3(2p) * 2^-3.
  double operator()(double x, double y, double z) const;

  const std::array<int, kTable>& Permutation() const { return perm_; }

 private:
  std::array<int, kTable> perm_{};
  std::array<std::array<double, 3>, kTable> grad_{};
  std::array<double, 21> weights_{};
};
