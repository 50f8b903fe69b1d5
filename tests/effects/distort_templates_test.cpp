#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <random>

#include "raster/fractal_noise.h"
#include "effects/work_fixture.h"
#include "effects/effect_bodies.h"
#include "effects/effect_catalogue.h"
#include "effects/three_d_model.h"

namespace {

using namespace enginetest;

constexpr double kDeg = 3.14 / 180;
constexpr int W = 24, H = 16;

// A Disturbing Font record with the template, wavelength and amplitude, run as a style runs it.
void Distort(EngineContext& ctx, int templ, int wavelength, int amplitude) {
  EffectRecord r = EffectStartRecord(DisturbTemplet);
  r.p[4] = templ, r.p[5] = wavelength, r.p[6] = amplitude;
  ApplyEffect(EffectTarget::For(ctx, false), DistortParams::From(r));
}

uint8_t Pattern(int x, int y) {
  // A distinct value per pixel, so that every misplaced copy shows.
  return uint8_t((x * 7 + y * 13) % 251 + 1);
}

// The template's formula evaluated directly: source of target (x, y) as doubles.
using SourceFn = std::function<void(int x, int y, double& sx, double& sy)>;
void ExpectDisplaced(const EngineContext& ctx, const SourceFn& source, const char* name) {
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      double sx, sy;
      source(x, y, sx, sy);
      const long ix = long(std::trunc(sx)), iy = long(std::trunc(sy));
      const uint8_t want = (ix >= 0 && ix < W && iy >= 0 && iy < H) ? Pattern(int(ix), int(iy)) : 0;
      ASSERT_EQ(Glyph(ctx, x, y), want) << name << " at " << x << "," << y;
    }
}

TEST(Distort, DisplacementTemplatesMatchTheirFormulas) {
  const int wavelength = 250, amplitude = 37;
  const float phase = float(wavelength * 0.01 / W * 360.0), amp = float(amplitude * 0.1), ns = float(phase * 0.1);
  // The lattice the fractal templates use: drawn first from a generator seeded as the context.
  RandomGenerator rng(11);
  const FractalNoise noise(rng);
  const auto wave = [&](int v) { return std::sin(float(v) * phase * kDeg) * amp; };
  const auto fractal = [&](int x, int y, double z) { return noise(float(x) * ns, float(y) * ns, z) * amp; };
  const SourceFn sources[] = {
      [&](int x, int y, double& sx, double& sy) { sx = x + wave(y), sy = y; },
      [&](int x, int y, double& sx, double& sy) { sx = x, sy = wave(x) + y; },
      [&](int x, int y, double& sx, double& sy) {
        sx = x + wave(y);
        sy = std::cos(float(x) * phase * kDeg) * amp + y;
      },
      [&](int x, int y, double& sx, double& sy) { sx = fractal(x, y, 0) + x, sy = y; },
      [&](int x, int y, double& sx, double& sy) { sx = x, sy = fractal(x, y, 56.54) + y; },
      [&](int x, int y, double& sx, double& sy) { sx = fractal(x, y, 0) + x, sy = fractal(x, y, 56.54) + y; },
  };
  for (int templ = 1; templ <= 6; ++templ) {
    auto ctx = MakeContext(W, H, Pattern, 11);
    ctx->work.glyphChanged = false;
    Distort(*ctx, templ, wavelength, amplitude);
    ExpectDisplaced(*ctx, sources[templ - 1], std::to_string(templ).c_str());
    EXPECT_TRUE(ctx->work.glyphChanged) << templ;  // a later 3D effect must rebuild its map
  }
}

TEST(Distort, ZeroAmplitudeKeepsAndHugeShiftsBlacken) {
  for (int templ = 1; templ <= 6; ++templ) {
    auto ctx = MakeContext(W, H, Pattern);
    const std::vector<uint8_t> before = ctx->work.glyphMask;
    ctx->work.glyphChanged = false;
    Distort(*ctx, templ, 100, 0);
    EXPECT_EQ(ctx->work.glyphMask, before) << templ;
    EXPECT_FALSE(ctx->work.glyphChanged) << templ;  // nothing moved, the map stays valid
    // Amplitude and wavelength from a file may be anything.
    Distort(*ctx, templ, INT32_MAX, INT32_MAX);
    Distort(*ctx, templ, INT32_MIN, INT32_MIN);
  }
  // A shift of more than the width blackens every row but row 0, where the sine is 0.
  auto ctx = MakeContext(W, H, Pattern);
  Distort(*ctx, 1, 100, 10000000);
  for (int y = 1; y < H; ++y)
    for (int x = 0; x < W; ++x) ASSERT_EQ(Glyph(*ctx, x, y), 0) << x << "," << y;
}

TEST(Distort, RandomDotKeepsTheDrawnShare) {
  auto ctx = MakeContext(W, H, Pattern, 5);
  RandomGenerator rng(5);
  Distort(*ctx, 7, 100, 455);  // keep when rand() % 100 < 45.5
  int kept = 0;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const bool keep = rng.Next() % 100 < 45.5f;
      ASSERT_EQ(Glyph(*ctx, x, y), keep ? Pattern(x, y) : 0);
      kept += keep;
    }
  EXPECT_GT(kept, W * H / 4);
  // Amplitude 0 clears every lit pixel, and the edge plane follows.
  Distort(*ctx, 7, 100, 0);
  for (uint8_t v : ctx->work.glyphMask) ASSERT_EQ(v, 0);
  for (uint8_t v : ctx->work.edgePlane) ASSERT_EQ(v, 0);
}

// Enlarge written out: disk weights of radius amp, stamped white in scan order.
std::vector<uint8_t> DirectEnlarge(const EngineContext& ctx, int amplitude) {
  const int w = ctx.work.workWidth, h = ctx.work.workHeight;
  std::vector<uint8_t> out = ctx.work.glyphMask;
  const float amp = float(amplitude * 0.1), f = std::floor(amp);
  const int r = (int(2 * amp + 1.0) - 1) / 2;
  for (int ey = 0; ey < h; ++ey)
    for (int ex = 0; ex < w; ++ex) {
      if (!ctx.work.edgePlane[size_t(ey) * w + ex]) continue;
      for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx) {
          const int tx = ex + dx, ty = ey + dy;
          if (tx < 0 || ty < 0 || tx >= w || ty >= h) continue;
          const double d = std::sqrt(double(dx) * dx + double(dy) * dy);
          const float K = d < f ? 1.0f : (float(d) < f + 1 ? (f + 1) - float(d) : 0.0f);
          for (int k = 0; k < 3; ++k) {
            uint8_t& v = out[(size_t(ty) * w + tx) * 3 + k];
            v = uint8_t((1.0f - K) * float(v) + 255.0f * K);
          }
        }
    }
  return out;
}

TEST(Distort, EnlargeStampsTheDiskAlongTheOutline) {
  auto box = [](int x, int y) { return uint8_t(x >= 8 && x < 14 && y >= 6 && y < 10 ? 255 : 0); };
  for (int amplitude : {0, 15, 27, 40}) {
    auto ctx = MakeContext(W, H, box);
    const std::vector<uint8_t> want = DirectEnlarge(*ctx, amplitude);
    Distort(*ctx, 8, 100, amplitude);
    EXPECT_EQ(ctx->work.glyphMask, want) << amplitude;
  }
  // The glyphs grow by the radius: amplitude 30 (3 pixels) lights (5, 8), three left of the box.
  auto ctx = MakeContext(W, H, box);
  Distort(*ctx, 8, 100, 30);
  EXPECT_EQ(Glyph(*ctx, 5, 8), 255);
  EXPECT_EQ(Glyph(*ctx, 4, 8), 0);
}

TEST(Distort, EnlargeWithFileSizedRadiiEndsQuickly) {
  auto box = [](int x, int y) { return uint8_t(x >= 40 && x < 60 && y >= 20 && y < 30 ? 255 : 0); };
  const auto start = std::chrono::steady_clock::now();
  auto huge = MakeContext(100, 48, box);
  Distort(*huge, 8, 100, INT32_MAX);  // a disk past the diagonal lights everything
  for (uint8_t v : huge->work.glyphMask) ASSERT_EQ(v, 255);
  // A 550-pixel disk in a 600-pixel area: wider than any kept kernel, same result.
  auto wide = MakeContext(600, 100, box);
  const std::vector<uint8_t> want = DirectEnlarge(*wide, 5500);
  Distort(*wide, 8, 100, 5500);
  EXPECT_EQ(wide->work.glyphMask, want);
  auto negative = MakeContext(100, 48, box);
  const std::vector<uint8_t> before = negative->work.glyphMask;
  Distort(*negative, 8, 100, -50);
  EXPECT_EQ(negative->work.glyphMask, before);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(Distort, OriginalFontRestoresAndUnknownTemplatesOnlyRebuildTheEdges) {
  auto ctx = MakeContext(W, H, [](int x, int y) { return uint8_t(x > 4 && x < 18 && y > 3 && y < 12 ? 255 : 0); });
  const std::vector<uint8_t> original = ctx->work.glyphMask;
  const std::vector<uint8_t> edges = ctx->work.edgePlane;
  Distort(*ctx, 3, 300, 50);
  ASSERT_NE(ctx->work.glyphMask, original);
  ASSERT_NE(ctx->work.edgePlane, edges);
  ctx->work.effectCoverage[7] = 99;
  Distort(*ctx, 0, 100, 10);
  EXPECT_EQ(ctx->work.glyphMask, original);
  EXPECT_EQ(ctx->work.edgePlane, edges);
  EXPECT_EQ(ctx->work.effectCoverage[7], 0);
  EXPECT_TRUE(ctx->work.glyphChanged);
  ctx->work.glyphChanged = false;
  std::fill(ctx->work.edgePlane.begin(), ctx->work.edgePlane.end(), 1);
  Distort(*ctx, 9, 100, 10);
  Distort(*ctx, -1, 100, 10);
  EXPECT_EQ(ctx->work.glyphMask, original);
  EXPECT_EQ(ctx->work.edgePlane, edges);
  EXPECT_FALSE(ctx->work.glyphChanged);
}

}  // namespace
