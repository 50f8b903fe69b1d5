// Rendering at another size: a 2x picture reduced to 1x must look like the 1x picture, sizes grow
// by the scale, random features keep their places, and supersampling smooths the bi-level edges.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "document/document_file.h"
#include "document/plaquet_document.h"
#include "effects/effect_bodies.h"
#include "effects/effect_catalogue.h"
#include "effects/star_filter.h"
#include "raster/convolution_kernel.h"
#include "engine/render_pipeline.h"
#include "engine/render_scale.h"
#include "raster/engine_context.h"
#include "raster/render_error.h"
#include "support/test_support.h"

namespace {

constexpr uint32_t kSeed = 11;

std::string DataFolder() {
  std::string f = testsupport::DataFolder();
  if (!f.empty() && f.back() != '/') f += '/';
  return f;
}

using testsupport::ShippedExamples;

PlaquetDocument Example(const std::string& path) {
  PlaquetDocument doc = MakeStartUpDocument();
  doc.programFolder = DataFolder();
  std::string error;
  EXPECT_TRUE(ReadDocumentFileChecked(doc, path, &error)) << error;
  return doc;
}

// A fresh context rendering the document at `scale` with `supersample`.
DibImage Render(PlaquetDocument doc, double scale, int supersample = 1, bool antiAliasing = true) {
  EngineContext ctx(kSeed);
  ctx.programFolder = doc.programFolder;
  LoadLightPatterns(ctx);
  ctx.renderScale = scale;
  ctx.settings.supersample = supersample;
  ctx.settings.antiAliasing = antiAliasing;
  RenderPreview(doc, ctx);
  return ctx.image;
}

double Psnr(const DibImage& a, const DibImage& b) {
  const DibRowTable ra(a), rb(b);
  double squares = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width() * 3; ++x) {
      const double d = double(ra[y][x]) - rb[y][x];
      squares += d * d;
    }
  const double mse = squares / (double(a.Width()) * a.Height() * 3);
  return mse == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mse);
}

// Plain black text on white: the glyph mask alone decides every pixel.
PlaquetDocument PlainText(std::vector<EffectRecord> effects) {
  PlaquetDocument doc = MakeStartUpDocument();
  doc.programFolder = DataFolder();
  doc.message().text = "Quorbel";
  doc.message().font.faceName = "DejaVu Sans";
  doc.message().font.height = -40;
  doc.message().font.width = 0;
  doc.message().font.weight = 700;
  doc.message().effects = std::move(effects);
  doc.backdropKind = doc.currentStyle.backdropKind = kBackdropColour;
  doc.backdropColour = doc.currentStyle.backdropColour = 0xFFFFFF;
  return doc;
}

EffectRecord Fill(int32_t colour) {
  EffectRecord r = EffectStartRecord(SingleColor);
  r.p[size_t(EffectParamNamed(SingleColor, "color").slot)] = colour;
  return r;
}

// Every example at 2x, reduced to 1x by area averaging, against its 1x render. Measured: 14 to
// 28 dB, about what each 1x picture scores against itself moved by one pixel (14 to 26 dB): the
// layout rounds sizes to 4 pixels and hinting at another size moves a stem by a pixel, and the
// bi-level glyph edges make such a shift cost much. 13 dB is just under that; the same pictures
// moved by two pixels fall to 11 dB.
TEST(RenderScale, EveryExampleAt2xLooksLikeItself1xAndGrowsByTheScale) {
  const auto examples = ShippedExamples();
  ASSERT_GE(examples.size(), 10u);
  for (const std::string& path : examples) {
    SCOPED_TRACE(path);
    const PlaquetDocument doc = Example(path);
    const DibImage one = Render(doc, 1);
    for (double s : {2.0, 3.0}) {
      const DibImage big = Render(doc, s);
      // Each work area rounds to 4 pixels, and hinted text is a few pixels wider or narrower than
      // S times its 1x extent; boxes sized as shares of the message (up to twice its height)
      // pass that on.
      EXPECT_NEAR(big.Width(), s * one.Width(), 4 * s + 4 + 0.08 * s * one.Width()) << "at " << s;
      EXPECT_NEAR(big.Height(), s * one.Height(), 4 * s + 4 + 0.08 * s * one.Height()) << "at " << s;
      if (s != 2.0) continue;
      const DibImage reduced = AreaAverage(big, one.Width(), one.Height());
      EXPECT_GE(Psnr(reduced, one), 13.0);
    }
  }
}

TEST(RenderScale, SupersampledEdgesCarryManyCoverageLevelsAtThePlainSize) {
  const PlaquetDocument doc = PlainText({Fill(0)});
  const DibImage plain = Render(doc, 1, 1, false);
  for (int n : {2, 3, 4}) {
    const DibImage smooth = Render(doc, 1, n, false);
    ASSERT_EQ(smooth.Width(), plain.Width());
    ASSERT_EQ(smooth.Height(), plain.Height());
    auto levels = [](const DibImage& image) {
      std::set<int> seen;
      const DibRowTable rows(image);
      for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x) seen.insert(rows[y][x * 3 + 1]);
      return seen.size();
    };
    auto ink = [](const DibImage& image) {
      double sum = 0;
      const DibRowTable rows(image);
      for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width() * 3; ++x) sum += 255 - rows[y][x];
      return sum;
    };
    // Bi-level: black and white only. An n x n block can cover 0..n*n of its pixels.
    EXPECT_EQ(levels(plain), 2u);
    EXPECT_GE(levels(smooth), size_t(n * n + 1)) << "supersample " << n;
    // Area averaging keeps the amount of ink: the same letters, only their edges shared out.
    EXPECT_NEAR(ink(smooth) / ink(plain), 1.0, 0.1) << "supersample " << n;
  }
}

// Stars drawn by Space at 1x and at 2x from the same seed: each 1x star pixel has its exact colour
// over the 2 x 2 block at twice its place (up to one offset for the whole page, from the rounding
// of the layout). The colours are random, so a new pattern would match almost nowhere.
TEST(RenderScale, SameSeedPutsTheStarsAtTheSameRelativePlaces) {
  PlaquetDocument doc = PlainText({Fill(0), EffectStartRecord(Space)});
  doc.message().font.height = -60;
  const DibImage one = Render(doc, 1, 1, false), two = Render(doc, 2, 1, false);
  const DibRowTable r1(one), r2(two);
  auto colour = [](const DibRowTable& rows, const DibImage& image, int x, int y) {
    if (x < 0 || y < 0 || x >= image.Width() || y >= image.Height()) return -1;
    const uint8_t* p = rows[y] + x * 3;
    return p[0] | p[1] << 8 | p[2] << 16;
  };
  std::vector<std::pair<int, int>> stars;
  for (int y = 0; y < one.Height(); ++y)
    for (int x = 0; x < one.Width(); ++x)
      if (const int c = colour(r1, one, x, y); c != 0 && c != 0xFFFFFF) stars.emplace_back(x, y);
  ASSERT_GE(stars.size(), 50u);
  size_t best = 0;
  for (int oy = -4; oy <= 4; ++oy)
    for (int ox = -4; ox <= 4; ++ox) {
      size_t same = 0;
      for (const auto& [x, y] : stars) {
        const int c = colour(r1, one, x, y);
        same += colour(r2, two, 2 * x + ox, 2 * y + oy) == c && colour(r2, two, 2 * x + 1 + ox, 2 * y + 1 + oy) == c;
      }
      best = std::max(best, same);
    }
  // A star on a glyph pixel the 2x glyph leaves uncovered (edges fall differently) is lost.
  EXPECT_GE(best, stars.size() * 8 / 10) << best << " of " << stars.size();
}

TEST(RenderScale, ScaledRendersKeepToTheLimitsAndRefuseBadScales) {
  PlaquetDocument doc = PlainText({Fill(0)});
  doc.message().font.height = -200;  // fits at 1x, not at 4x
  EngineContext ctx(kSeed);
  ctx.limits.maxPixels = 1'000'000;
  ctx.renderScale = 4;
  try {
    RenderPreview(doc, ctx);
    FAIL() << "a render past the limits was made";
  } catch (const RenderError& e) {
    EXPECT_NE(std::string(e.what()).find("at 4 times the size"), std::string::npos) << e.what();
  }
  for (double bad : {0.5, 4.5, double(NAN)}) {
    ctx.renderScale = bad;
    EXPECT_THROW(RenderPreview(doc, ctx), RenderError) << bad;
  }
}

TEST(RenderScale, AreaAverageKeepsMeansAndWeighsColourByAlpha) {
  // 3 x 1 grey ramp to 2 x 1: each target pixel covers 1.5 source pixels.
  DibImage ramp;
  ASSERT_TRUE(ramp.Create(3, 1, 24));
  const uint8_t values[3] = {0, 90, 180};
  for (int x = 0; x < 3; ++x) std::fill_n(DibRowTable(ramp)[0] + x * 3, 3, values[x]);
  const DibImage half = AreaAverage(ramp, 2, 1);
  EXPECT_EQ(DibRowTable(half)[0][0], 30);   // (0 + 0.5 * 90) / 1.5
  EXPECT_EQ(DibRowTable(half)[0][3], 150);  // (0.5 * 90 + 180) / 1.5
  // A transparent red pixel beside an opaque blue one: the colour is blue's, alpha the mean.
  RgbaPicture pair{2, 1, {255, 0, 0, 0, 0, 0, 255, 255}};
  const RgbaPicture one = AreaAverage(pair, 1, 1);
  ASSERT_EQ(one.pixels.size(), 4u);
  EXPECT_EQ(one.pixels[0], 0);
  EXPECT_EQ(one.pixels[2], 255);
  EXPECT_EQ(one.pixels[3], 128);
}

// The glow of Star Filter along a straight edge: at 1x every add truncates; a 2x pass lays twice
// as many stamps of half the weight and truncates once. Half-way through the glow (at twice the
// distance at 2x) both must add the same light, within the truncation of the few 1x adds.
TEST(RenderScale, StarGlowAlongAnEdgeAddsTheSameLightAtTwiceTheSize) {
  ConvolutionKernel pattern(9, 9);
  for (int dy = -4; dy <= 4; ++dy)
    for (int dx = -4; dx <= 4; ++dx)
      for (int k = 0; k < 3; ++k) pattern.Cell(dx, dy)[k] = float(std::exp(-(dx * dx + dy * dy) / 8.0));
  const StarKernel kernel = PrepareStarKernel(pattern, 0xFFFFFF, 12.0f);
  ASSERT_GT(kernel.width, 0);
  auto glow = [&](int scale) {
    const int W = 40 * scale, H = 40 * scale;
    std::vector<uint8_t> edges(size_t(W) * H, 0), colour(size_t(W) * H * 3, 0);
    std::vector<uint16_t> coverage(size_t(W) * H, 0);
    std::vector<uint8_t*> edgeRows(static_cast<size_t>(H), nullptr), colourRows(static_cast<size_t>(H), nullptr);
    for (int y = 0; y < H; ++y) {
      edgeRows[size_t(y)] = edges.data() + size_t(y) * W;
      colourRows[size_t(y)] = colour.data() + size_t(y) * W * 3;
      edgeRows[size_t(y)][W / 2] = 1;  // a vertical edge down the middle
    }
    if (scale == 1) StampStars(kernel, edgeRows.data(), colourRows.data(), coverage.data(), W, H, 0, 0);
    else StampStarsScaled(kernel, scale, edgeRows.data(), colourRows.data(), coverage.data(), W, H, 0, 0);
    std::vector<int> row;  // across the edge, on the middle row
    for (int d = 0; d <= 4 * scale; ++d) row.push_back(colourRows[size_t(H / 2)][(W / 2 + d) * 3]);
    return row;
  };
  const std::vector<int> one = glow(1), two = glow(2);
  for (int d = 0; d <= 4; ++d) EXPECT_NEAR(two[size_t(2 * d)], one[size_t(d)], 3 + one[size_t(d)] / 10) << d;
}

}  // namespace
