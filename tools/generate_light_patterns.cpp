// Writes the three star light patterns: 101 x 101 cells of three little-endian floats (blue,
// green, red weight), rows from the top, no header.
//   generate_light_patterns OUTPUT_FOLDER
// star0.lit: a radial glow; star1.lit: the glow with horizontal and vertical streaks;
// star2.lit: the glow with diagonal streaks.
//
// A weight w adds w x channel x intensity x 1000 per outline pixel (intensity 10 at the start),
// and each addition is truncated, so weights below about 4e-7 add nothing. The glow is a sharp
// core plus a wide halo; the stamps of neighbouring outline pixels add up, so the core need not
// saturate on its own. The streaks are thin, fade to nothing at the border and are a little
// bluer than the glow, as the rays of a real cross filter are.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/atomic_file.h"
#include "imaging/graphics_exception.h"

namespace {

constexpr int kRadius = 50;
constexpr int kSide = 2 * kRadius + 1;

struct Weights {
  float blue, green, red;
};

double Glow(double d) {
  // Core of a few pixels and a halo that reaches about 25 pixels at the start intensity.
  return 2.0e-5 * std::exp(-d * d / 4.0) + 3.0e-6 * std::exp(-d / 9.0);
}

// A thin ray along the axis u (the distance along it) with v the distance across it.
double Ray(double u, double v) {
  // The linear factor brings the ray to 0 before the border; diagonal rays reach |u| = 70.
  const double along = std::exp(-std::fabs(u) / 20.0) * std::max(0.0, 1.0 - std::fabs(u) / (kRadius + 1.0));
  const double across = std::exp(-v * v / 0.35);
  return 1.2e-5 * along * across;
}

std::vector<Weights> Pattern(int kind) {
  std::vector<Weights> cells(size_t(kSide) * kSide);
  for (int dy = -kRadius; dy <= kRadius; ++dy) {
    for (int dx = -kRadius; dx <= kRadius; ++dx) {
      const double d = std::hypot(double(dx), double(dy));
      const double glow = Glow(d);
      double rays = 0;
      if (kind == 1) {
        rays = Ray(dx, dy) + Ray(dy, dx);
      } else if (kind == 2) {
        const double s = std::sqrt(0.5);
        const double u = (dx + dy) * s, v = (dx - dy) * s;
        rays = Ray(u, v) + Ray(v, u);
      }
      // Rays lean towards blue, the glow towards warm white.
      Weights& w = cells[size_t(dy + kRadius) * kSide + size_t(dx + kRadius)];
      w.blue = float(glow * 0.96 + rays * 1.05);
      w.green = float(glow * 0.98 + rays * 1.0);
      w.red = float(glow * 1.0 + rays * 0.92);
    }
  }
  return cells;
}

void PutFloat(std::vector<uint8_t>& out, float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(bits >> (8 * i)));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: generate_light_patterns OUTPUT_FOLDER\n");
    return 2;
  }
  std::string folder = argv[1];
  if (!folder.empty() && folder.back() != '/') folder += '/';
  try {
    for (int kind = 0; kind < 3; ++kind) {
      std::vector<uint8_t> bytes;
      bytes.reserve(size_t(kSide) * kSide * 12);
      for (const Weights& w : Pattern(kind)) {
        PutFloat(bytes, w.blue);
        PutFloat(bytes, w.green);
        PutFloat(bytes, w.red);
      }
      AtomicFileWriter file(folder + "star" + std::to_string(kind) + ".lit");
      file.Write(bytes.data(), bytes.size());
      file.Commit();
    }
  } catch (const GraphicsException& e) {
    std::fprintf(stderr, "generate_light_patterns: %s\n", e.what());
    return 1;
  }
  return 0;
}
