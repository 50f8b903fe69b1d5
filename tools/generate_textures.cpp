// Writes the shipped textures: 256 x 256 true-colour pictures made from tileable value noise
// with fixed seeds, so every build writes the same files, and the small "tile_" cells (8 to 16
// pixels) that the Tile effect repeats across the glyphs as a mosaic.
//   generate_textures OUTPUT_FOLDER
// Each texture tiles seamlessly (the noise lattices wrap at the picture's size), since the
// Tile effect repeats them across the glyphs.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "imaging/codecs/png_encoder.h"
#include "imaging/dib_image.h"
#include "imaging/graphics_exception.h"

namespace {

constexpr int kSize = 256;

// The classic rand() recurrence, so that the pictures never depend on the C library.
class Lcg {
 public:
  explicit Lcg(uint32_t seed) : state_(seed) {}
  double Unit() {
    state_ = state_ * 214013u + 2531011u;
    return double((state_ >> 16) & 0x7FFF) / 32767.0;
  }

 private:
  uint32_t state_;
};

// Value noise on a lattice of cellsX x cellsY cells that wraps at the picture's edge.
class TileNoise {
 public:
  TileNoise(uint32_t seed, int cellsX, int cellsY)
      : cellsX_(cellsX), cellsY_(cellsY), values_(size_t(cellsX) * cellsY) {
    Lcg rng(seed);
    for (double& v : values_) v = rng.Unit() * 2.0 - 1.0;
  }
  // x, y in pixels of the kSize picture.
  double At(double x, double y) const {
    const double u = x * cellsX_ / kSize, v = y * cellsY_ / kSize;
    const int i = int(std::floor(u)), j = int(std::floor(v));
    const double fu = Smooth(u - i), fv = Smooth(v - j);
    const double a = Value(i, j), b = Value(i + 1, j), c = Value(i, j + 1), d = Value(i + 1, j + 1);
    return (a + (b - a) * fu) + ((c + (d - c) * fu) - (a + (b - a) * fu)) * fv;
  }

 private:
  static double Smooth(double t) { return t * t * t * (t * (t * 6 - 15) + 10); }
  double Value(int i, int j) const {
    i = ((i % cellsX_) + cellsX_) % cellsX_;
    j = ((j % cellsY_) + cellsY_) % cellsY_;
    return values_[size_t(j) * cellsX_ + size_t(i)];
  }
  int cellsX_, cellsY_;
  std::vector<double> values_;
};

// Octaves of wrapping noise: lattice sizes base, 2 base, 4 base ...; roughly -1..1.
class Fbm {
 public:
  Fbm(uint32_t seed, int base, int octaves, double gain = 0.5) : Fbm(seed, base, base, octaves, gain) {}
  Fbm(uint32_t seed, int baseX, int baseY, int octaves, double gain) : gain_(gain) {
    for (int o = 0; o < octaves; ++o)
      layers_.emplace_back(seed + 7919u * uint32_t(o), baseX << o, baseY << o);
  }
  double At(double x, double y) const {
    double sum = 0, amp = 1, norm = 0;
    for (const auto& layer : layers_) {
      sum += layer.At(x, y) * amp;
      norm += amp;
      amp *= gain_;
    }
    return sum / norm;
  }
  // Sum of absolute values: veins and cracks.
  double Turbulence(double x, double y) const {
    double sum = 0, amp = 1, norm = 0;
    for (const auto& layer : layers_) {
      sum += std::fabs(layer.At(x, y)) * amp;
      norm += amp;
      amp *= gain_;
    }
    return sum / norm;
  }

 private:
  double gain_;
  std::vector<TileNoise> layers_;
};

struct Rgb {
  double r, g, b;
};
Rgb Mix(Rgb a, Rgb b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
constexpr double kTwoPi = 6.283185307179586;
using Painter = std::function<Rgb(int, int)>;

Painter Marble() {
  const Fbm n(11, 4, 6);
  return [n](int x, int y) -> Rgb {
    const double t = n.Turbulence(x, y);
    // Veins along a diagonal that repeats a whole number of times across the tile.
    const double s = 0.5 + 0.5 * std::sin(kTwoPi * (x + y) * 2.0 / kSize + t * 9.0);
    const double vein = std::pow(s, 0.35);
    return Mix({70, 72, 84}, {236, 234, 228}, vein);
  };
}

Painter Wood() {
  const Fbm n(23, 4, 5);
  const Fbm grain(29, 32, 3);
  return [n, grain](int x, int y) -> Rgb {
    // Rings as stretched bands with a wobble; whole periods across the tile keep it seamless.
    const double w = y + n.At(x, y) * 30.0;
    double ring = 0.5 + 0.5 * std::sin(kTwoPi * w * 8.0 / kSize);
    ring = std::pow(ring, 3.0);
    const double fine = grain.At(x, y) * 0.15;
    return Mix({168, 112, 60}, {96, 56, 26}, ring + fine);
  };
}

// Streaks: noise that changes fast across the rows and slowly along them.
Painter BrushedMetal() {
  const Fbm along(37, 2, 3);
  const Fbm across(41, 4, 128, 2, 0.5);
  return [along, across](int x, int y) -> Rgb {
    const double streak = across.At(x, y) * 0.7 + along.At(x, y) * 0.3;
    const double sheen = 0.5 + 0.25 * std::sin(kTwoPi * x / kSize);
    const double v = std::clamp(150 + streak * 45 + sheen * 40, 0.0, 255.0);
    return {v, v + 2, v + 8};
  };
}

Painter Noise() {
  const Fbm r(53, 8, 5), g(59, 8, 5), b(61, 8, 5);
  return [r, g, b](int x, int y) -> Rgb {
    return {128 + r.At(x, y) * 160, 128 + g.At(x, y) * 160, 128 + b.At(x, y) * 160};
  };
}

Painter Bricks() {
  const Fbm n(67, 16, 4);
  return [n](int x, int y) -> Rgb {
    constexpr int kBrickW = 64, kBrickH = 32, kMortar = 3;
    const int row = y / kBrickH;
    const int shifted = x + (row % 2) * (kBrickW / 2);
    const int bx = shifted % kBrickW, by = y % kBrickH;
    const double grit = n.At(x, y);
    if (bx < kMortar || by < kMortar) return Mix({178, 172, 160}, {140, 134, 124}, 0.5 + grit);
    // Each brick gets its own shade from a hash of its position.
    Lcg rng(uint32_t(row * 131 + (shifted / kBrickW) % (kSize / kBrickW) * 17 + 3));
    const double shade = rng.Unit();
    const Rgb base = Mix({168, 72, 48}, {122, 46, 34}, shade);
    return Mix(base, {60, 30, 24}, 0.35 * (grit + 0.3));
  };
}

Painter Granite() {
  const Fbm n(71, 32, 3, 0.7);
  const Fbm m(73, 8, 4);
  return [n, m](int x, int y) -> Rgb {
    const double speck = n.At(x, y), cloud = m.At(x, y);
    Rgb c = Mix({120, 116, 114}, {180, 172, 166}, 0.5 + cloud);
    if (speck > 0.35) c = Mix(c, {30, 28, 30}, (speck - 0.35) * 4);
    if (speck < -0.4) c = Mix(c, {226, 206, 196}, (-0.4 - speck) * 4);
    return c;
  };
}

Painter Clouds() {
  const Fbm n(79, 4, 6);
  return [n](int x, int y) -> Rgb {
    const double v = std::clamp(n.At(x, y) * 1.4 + 0.2, 0.0, 1.0);
    return Mix({52, 110, 200}, {250, 250, 252}, std::pow(v, 0.8));
  };
}

Painter Sunset() {
  return [](int, int y) -> Rgb {
    // Along y and back, so that the tile's top and bottom rows meet.
    const double t = 1.0 - std::fabs(2.0 * y / kSize - 1.0);
    return t < 0.5 ? Mix({250, 214, 92}, {238, 96, 60}, t * 2) : Mix({238, 96, 60}, {92, 40, 120}, t * 2 - 1);
  };
}

Painter Ocean() {
  return [](int x, int y) -> Rgb {
    const double t = 0.5 - 0.5 * std::cos(kTwoPi * (x + y) / kSize);
    return Mix({120, 230, 230}, {10, 40, 110}, t);
  };
}

// ---- Tile cells ---------------------------------------------------------------------------------
// Tile multiplies each texel by the cell's average colour / 200 and cuts a hole where a texel is
// black: so a cell is grey shading around 200 (lighter rims up and left, darker down and right)
// with black grout between the pieces.
constexpr Rgb kGrout{0, 0, 0};

Rgb Grey(double v) {
  v = std::clamp(v, 1.0, 255.0);  // 0 would cut a hole
  return {v, v, v};
}

// Shading of a piece from its own edge distance d (pixels) and its position (u, v) in -1..1.
Rgb Bevel(double d, double u, double v) {
  const double rim = d < 1.5 ? (u + v < 0 ? 45 : -55) : 0;
  return Grey(205 - 14 * (u + v) + rim);
}

Painter MosaicCell() {  // 8 x 8: square stones, one pixel of grout right and below
  return [](int x, int y) -> Rgb {
    if (x == 7 || y == 7) return kGrout;
    const double d = std::min({x, y, 6 - x, 6 - y}) + 1.0;
    return Bevel(d, (x - 3) / 3.0, (y - 3) / 3.0);
  };
}

Painter DotCell() {  // 8 x 8: round studs with a highlight up-left
  return [](int x, int y) -> Rgb {
    const double dx = x + 0.5 - 4, dy = y + 0.5 - 4, r = std::sqrt(dx * dx + dy * dy);
    if (r > 3.6) return kGrout;
    const double hx = dx + 1.2, hy = dy + 1.2;
    return Grey(245 - 22 * std::sqrt(hx * hx + hy * hy));
  };
}

Painter HexagonCell() {  // 12 x 12: a flat-topped hexagon
  return [](int x, int y) -> Rgb {
    const double u = (x + 0.5 - 6) / 5.6, v = (y + 0.5 - 6) / 5.0;
    const double edge = std::max(std::fabs(v), (std::fabs(u) * 2 + std::fabs(v)) / 2);
    if (edge > 1.0) return kGrout;
    return Bevel((1.0 - edge) * 5.0, u, v);
  };
}

Painter ScaleCell() {  // 12 x 12: a fish scale, round at the bottom, with a dark rim
  return [](int x, int y) -> Rgb {
    const double dx = x + 0.5 - 6, dy = y + 0.5 - 4;
    const double r = dy < 0 ? std::fabs(dx) : std::sqrt(dx * dx + dy * dy);
    if (r > 5.8) return kGrout;
    const double t = r / 5.8;
    return Grey(t > 0.8 ? 150 : 232 - 50 * t - 4 * dy);
  };
}

Painter BrickCell() {  // 16 x 8: a brick, grout above and to the left
  return [](int x, int y) -> Rgb {
    if (x == 0 || y == 0) return kGrout;
    const double d = std::min({x - 1, y - 1, 15 - x, 7 - y}) + 1.0;
    return Bevel(d, (x - 8) / 7.0, (y - 4) / 3.0);
  };
}

struct Texture {
  const char* name;
  Painter (*make)();
  int width = kSize, height = kSize;
};

void Write(const std::string& path, const Painter& paint, int width, int height) {
  DibImage image;
  if (!image.Create(width, height, 24)) throw GraphicsException("cannot create the picture");
  DibRowTable rows(image);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = rows[y];
    for (int x = 0; x < width; ++x) {
      const Rgb c = paint(x, y);
      row[x * 3 + 0] = uint8_t(std::clamp(c.b, 0.0, 255.0));
      row[x * 3 + 1] = uint8_t(std::clamp(c.g, 0.0, 255.0));
      row[x * 3 + 2] = uint8_t(std::clamp(c.r, 0.0, 255.0));
    }
  }
  WritePngTrueColor(image, path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: generate_textures OUTPUT_FOLDER\n");
    return 2;
  }
  std::string folder = argv[1];
  if (!folder.empty() && folder.back() != '/') folder += '/';
  const Texture textures[] = {
      {"marble", Marble},       {"wood", Wood},       {"brushed_metal", BrushedMetal},
      {"noise", Noise},         {"bricks", Bricks},   {"granite", Granite},
      {"clouds", Clouds},       {"gradient_sunset", Sunset}, {"gradient_ocean", Ocean},
      {"tile_mosaic", MosaicCell, 8, 8},     {"tile_dots", DotCell, 8, 8},     {"tile_hexagons", HexagonCell, 12, 12},
      {"tile_scales", ScaleCell, 12, 12},    {"tile_bricks", BrickCell, 16, 8},
  };
  try {
    for (const auto& t : textures) Write(folder + t.name + ".png", t.make(), t.width, t.height);
  } catch (const GraphicsException& e) {
    std::fprintf(stderr, "generate_textures: %s\n", e.what());
    return 1;
  }
  return 0;
}
