// Colour reduction: palettes and mappings worked out by hand for small pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "imaging/color_reduction.h"

namespace {

using Rgb = std::array<uint8_t, 3>;

// A picture held as rows of blue-green-red pixels, reduced in one call.
struct Picture {
  int width, height;
  std::vector<uint8_t> pixels, indexes;
  BgrPalette palette{};

  Picture(int w, int h) : width(w), height(h), pixels(size_t(w) * h * 3), indexes(size_t(w) * h) {}
  void Set(int i, Rgb c) {
    pixels[size_t(i) * 3] = c[2];
    pixels[size_t(i) * 3 + 1] = c[1];
    pixels[size_t(i) * 3 + 2] = c[0];
  }
  Rgb At(int i) const { return {pixels[size_t(i) * 3 + 2], pixels[size_t(i) * 3 + 1], pixels[size_t(i) * 3]}; }
  Rgb Slot(int k) const { return {palette[size_t(k) * 3 + 2], palette[size_t(k) * 3 + 1], palette[size_t(k) * 3]}; }
  void Reduce(int colours, int32_t fill, int method) {
    std::vector<const uint8_t*> in;
    std::vector<uint8_t*> out;
    for (int y = 0; y < height; ++y) {
      in.push_back(pixels.data() + size_t(y) * width * 3);
      out.push_back(indexes.data() + size_t(y) * width);
    }
    ReduceColors(out.data(), in.data(), palette, colours, width, height, fill, method);
  }
};

constexpr int32_t kWhite = 0xFFFFFF;

TEST(ColorReduction, SlotZeroIsTheFillColourAndFewColoursAreKept) {
  for (int method : {Popularity, OptimizedMedianCut}) {
    // Pure red fill: slot 0 is stored as the bytes 00 00 FF.
    Picture red(3, 1);
    red.Reduce(16, 0x000000FF, method);
    EXPECT_EQ(red.palette[0], 0);
    EXPECT_EQ(red.palette[1], 0);
    EXPECT_EQ(red.palette[2], 0xFF);

    // White on white: one colour, every pixel index 0.
    Picture white(4, 3);
    for (int i = 0; i < 12; ++i) white.Set(i, {255, 255, 255});
    white.Reduce(256, kWhite, method);
    EXPECT_EQ(white.indexes, std::vector<uint8_t>(12, 0));
  }

  // Popularity keeps up to 15 colours besides the fill exactly, and a colour collected into a
  // palette with free slots still maps to its own slot.
  Picture pic(15, 2);
  for (int i = 0; i < 30; ++i) pic.Set(i, {uint8_t(17 * (i % 15)), uint8_t(100 + i % 15), 3});
  pic.Reduce(16, 0x00123456, Popularity);
  EXPECT_EQ(pic.Slot(0), (Rgb{0x56, 0x34, 0x12}));
  for (int i = 0; i < 30; ++i) EXPECT_EQ(pic.Slot(pic.indexes[size_t(i)]), pic.At(i)) << i;

  Picture few(3, 1);
  few.Set(0, {1, 2, 3});
  few.Set(1, {4, 5, 6});
  few.Set(2, {1, 2, 3});
  few.Reduce(16, kWhite, Popularity);
  EXPECT_EQ(few.indexes, (std::vector<uint8_t>{1, 2, 1}));
}

TEST(ColorReduction, PopularityMovesAColourOnePlacePerPixel) {
  // A B C D D: D enters last and its second pixel moves it past C only (a sort would put it first).
  Picture pic(5, 1);
  const Rgb a{10, 0, 0}, b{20, 0, 0}, c{30, 0, 0}, d{40, 0, 0};
  pic.Set(0, a), pic.Set(1, b), pic.Set(2, c), pic.Set(3, d), pic.Set(4, d);
  pic.Reduce(16, kWhite, Popularity);
  EXPECT_EQ(pic.Slot(1), a);
  EXPECT_EQ(pic.Slot(2), b);
  EXPECT_EQ(pic.Slot(3), d);
  EXPECT_EQ(pic.Slot(4), c);
}

TEST(ColorReduction, NearestSlotByAbsoluteDifferencesEarlierSlotWinsTies) {
  // Slots 1..15 hold fifteen colours met once each; the 16th colour gets no slot. It lies exactly
  // halfway (10 + 10) between slot 3 and slot 7 and far from all others: slot 3 wins.
  Picture pic(17, 1);
  for (int k = 1; k <= 15; ++k) pic.Set(k - 1, {0, uint8_t(255 - k), uint8_t(10 * k)});
  pic.Set(2, {100, 0, 0});
  pic.Set(6, {120, 0, 0});
  pic.Set(15, {110, 0, 0});
  pic.Set(16, {0, 0, 0});  // black is the fill: distance 0 to slot 0
  pic.Reduce(16, 0x000000, Popularity);
  EXPECT_EQ(pic.Slot(3), (Rgb{100, 0, 0}));
  EXPECT_EQ(pic.Slot(7), (Rgb{120, 0, 0}));
  EXPECT_EQ(pic.indexes[15], 3);
  EXPECT_EQ(pic.indexes[16], 0);
  EXPECT_EQ(pic.indexes[6], 7);
}

TEST(ColorReduction, MedianCutBoxColours) {
  // Pixels all in cell (31, 31, 31): the box colour is 31 * 8 = 248 on every channel.
  Picture white(4, 4);
  for (int i = 0; i < 16; ++i) white.Set(i, {255, 250, 249});
  white.Reduce(256, 0, OptimizedMedianCut);
  EXPECT_EQ(white.Slot(1), (Rgb{248, 248, 248}));
  EXPECT_EQ(white.indexes[0], 1);

  // A cell counts at most 255 pixels. Cell A (600 pixels of black) and cell B (255 pixels of
  // red 8) share the first box; fifteen cells at (31, 31, 0..14), 255 pixels each, outweigh
  // them. With the cap the box mean of red5 is 255 / 510, colour 4; without it, 255 / 855 -> 2.
  // Worked cuts: red {0, 31}, green {0, 31}, blue {0, 0, 2, 4, 6, 8, 10, 12}.
  Picture capped(600 + 255 + 15 * 255, 1);
  int i = 0;
  for (int n = 0; n < 600; ++n) capped.Set(i++, {0, 0, 0});
  for (int n = 0; n < 255; ++n) capped.Set(i++, {8, 0, 0});
  for (int c = 0; c < 15; ++c)
    for (int n = 0; n < 255; ++n) capped.Set(i++, {248, 248, uint8_t(c * 8)});
  capped.Reduce(256, kWhite, OptimizedMedianCut);
  EXPECT_EQ(capped.Slot(1), (Rgb{4, 0, 0}));
  EXPECT_EQ(capped.Slot(2), (Rgb{248, 248, 4}));   // blue cells 0 and 1
  EXPECT_EQ(capped.Slot(3), (Rgb{248, 248, 20}));  // blue cells 2 and 3
  EXPECT_EQ(capped.indexes[0], 1);
}

TEST(ColorReduction, MedianCutTakesBoxesInVisitingOrder) {
  // An 8 x 8 grid of cells (red5, green5 in 0, 4, ..., 28), equal counts: 64 boxes, red outermost.
  // With 16 colours the palette is the fill and the first 15 boxes; later boxes map to the nearest.
  Picture pic(64, 4);
  for (int y = 0; y < 4; ++y)
    for (int r = 0; r < 8; ++r)
      for (int g = 0; g < 8; ++g) pic.Set(y * 64 + r * 8 + g, {uint8_t(32 * r), uint8_t(32 * g), 0});
  pic.Reduce(16, kWhite, OptimizedMedianCut);
  EXPECT_EQ(pic.Slot(0), (Rgb{255, 255, 255}));
  for (int k = 1; k < 16; ++k) EXPECT_EQ(pic.Slot(k), (Rgb{uint8_t(32 * ((k - 1) / 8)), uint8_t(32 * ((k - 1) % 8)), 0})) << k;
  // (32, 224) has no slot: (0, 224) in slot 8 and (32, 192) in slot 15 are both 32 away.
  EXPECT_EQ(pic.indexes[8 + 7], 8);
  EXPECT_EQ(pic.indexes[16 + 3], 12);  // (64, 96): nearest (32, 96)
  EXPECT_EQ(pic.indexes[63], 8);       // (224, 224): 224 from slots 8 and 15
}

TEST(ColorReduction, VeryColourfulPicturesStayBounded) {
  // More distinct colours than the tally holds: the reduction still completes and maps every
  // pixel to a slot of the palette.
  Picture pic(300, 200);
  for (int i = 0; i < 60000; ++i) pic.Set(i, {uint8_t(i), uint8_t(i >> 8), uint8_t(i * 7)});
  pic.Reduce(256, kWhite, Popularity);
  EXPECT_EQ(pic.Slot(0), (Rgb{255, 255, 255}));
  EXPECT_EQ(pic.Slot(1), pic.At(0));
  EXPECT_EQ(pic.Slot(255), pic.At(254));
  for (int i = 0; i < 255; ++i) ASSERT_EQ(pic.indexes[size_t(i)], i + 1);
}

}  // namespace

namespace {

// ---- High quality ------------------------------------------------------------------------------

double SquaredError(const Picture& p) {
  double sum = 0;
  for (int i = 0; i < p.width * p.height; ++i) {
    const Rgb a = p.At(i), b = p.Slot(p.indexes[size_t(i)]);
    for (int c = 0; c < 3; ++c) sum += double((a[c] - b[c]) * (a[c] - b[c]));
  }
  return sum;
}

// A smooth two-axis blend with a little fixed noise: more colours than any palette holds.
Picture Blend(int w, int h) {
  Picture p(w, h);
  uint32_t seed = 12345;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int n = int(seed >> 29);  // 0..7
      p.Set(y * w + x, {uint8_t(255 * x / (w - 1)), uint8_t(std::min(255, 40 + 200 * y / (h - 1) + n)),
                        uint8_t(255 - 255 * (x + y) / (w + h - 2))});
    }
  return p;
}

TEST(HighQualityReduction, SlotZeroFillFewColoursExactAndSpareSlotsRepeatTheFill) {
  Picture few(4, 1);
  few.Set(0, {10, 20, 30});
  few.Set(1, {200, 100, 0});
  few.Set(2, {255, 255, 255});
  few.Set(3, {10, 20, 30});
  few.Reduce(16, 0x00123456, HighQuality);
  EXPECT_EQ(few.Slot(0), (Rgb{0x56, 0x34, 0x12}));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(few.Slot(few.indexes[size_t(i)]), few.At(i)) << i;
  for (int k = 4; k < 16; ++k) EXPECT_EQ(few.Slot(k), few.Slot(0)) << k;
  EXPECT_EQ(few.Slot(16), (Rgb{0, 0, 0}));

  // Pixels of the fill colour use slot 0 and take no other slot.
  Picture page(8, 1);
  for (int i = 0; i < 8; ++i) page.Set(i, i < 6 ? Rgb{255, 255, 255} : Rgb{0, 0, 200});
  page.Reduce(16, kWhite, HighQuality);
  EXPECT_EQ(page.indexes, (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 1, 1}));
}

// Every pixel a colour of its own (40,960 of them): past the count that is cut exactly.
Picture Colourful() {
  Picture p(256, 160);
  for (int y = 0; y < 160; ++y)
    for (int x = 0; x < 256; ++x) p.Set(y * 256 + x, {uint8_t(x), uint8_t(y), uint8_t((x * 7 + y * 3) & 0xFF)});
  return p;
}

TEST(HighQualityReduction, EveryPixelTakesItsNearestSlotAndBeatsTheClassicMethods) {
  for (Picture (*make)() : {+[] { return Blend(96, 64); }, &Colourful}) {
    for (int colours : {16, 256}) {
      Picture quality = make();
      quality.Reduce(colours, kWhite, HighQuality);
      // Brute-force check of the mapping: no slot lies nearer than the chosen one.
      for (int i = 0; i < quality.width * quality.height; ++i) {
        auto d2 = [&](int k) {
          const Rgb a = quality.At(i), s = quality.Slot(k);
          int d = 0;
          for (int c = 0; c < 3; ++c) d += (a[c] - s[c]) * (a[c] - s[c]);
          return d;
        };
        const int chosen = d2(quality.indexes[size_t(i)]);
        for (int k = 0; k < colours; ++k) ASSERT_LE(chosen, d2(k)) << "pixel " << i << " slot " << k;
      }
      for (int method : {Popularity, OptimizedMedianCut}) {
        Picture classic = make();
        classic.Reduce(colours, kWhite, method);
        EXPECT_LT(SquaredError(quality) * 2, SquaredError(classic))
            << quality.width << " wide, " << colours << " colours, method " << method;
      }
    }
  }
}

TEST(HighQualityReduction, DitheringKeepsTheLocalMeanOfAGradient) {
  // What the eye sees is the average over a small area: compare 4x4 block means.
  auto blockError = [](const Picture& p) {
    double sum = 0;
    for (int by = 0; by + 4 <= p.height; by += 4)
      for (int bx = 0; bx + 4 <= p.width; bx += 4)
        for (int c = 0; c < 3; ++c) {
          double diff = 0;
          for (int y = by; y < by + 4; ++y)
            for (int x = bx; x < bx + 4; ++x) {
              const int i = y * p.width + x;
              diff += double(p.At(i)[size_t(c)]) - double(p.Slot(p.indexes[size_t(i)])[size_t(c)]);
            }
          sum += (diff / 16) * (diff / 16);
        }
    return sum;
  };
  auto gradient = [] {
    Picture p(256, 16);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 256; ++x) p.Set(y * 256 + x, {255, uint8_t(160 + x * 95 / 255), uint8_t(x / 4)});
    return p;
  };
  Picture plain = gradient(), dithered = gradient();
  plain.Reduce(16, kWhite, HighQuality);
  std::vector<const uint8_t*> in;
  std::vector<uint8_t*> out;
  for (int y = 0; y < 16; ++y) {
    in.push_back(dithered.pixels.data() + size_t(y) * 256 * 3);
    out.push_back(dithered.indexes.data() + size_t(y) * 256);
  }
  ReduceColors(out.data(), in.data(), dithered.palette, 16, 256, 16, kWhite, HighQuality, true);
  EXPECT_EQ(dithered.palette, plain.palette);  // dithering changes the mapping, not the palette
  EXPECT_LT(blockError(dithered) * 3, blockError(plain));
}

}  // namespace
