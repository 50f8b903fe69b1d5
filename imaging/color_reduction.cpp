#include "imaging/color_reduction.h"

#include <algorithm>
#include <cstring>
#include <array>
#include <cstdlib>
#include <unordered_map>
#include <utility>
#include <vector>

#include "imaging/quality_quantizer.h"

namespace {

struct TallyEntry {
  uint8_t red, green, blue, spare;
  uint32_t count;
};

// The colour tally: entry 0 is a sentinel that no search finds and that stops every move to the
// front; real colours follow in an order that the insertion rules change only a little. An index
// keyed by colour stands in for the linear search, with the same results (colours are unique).
class ColorTally {
 public:
  static constexpr size_t kCapacity = 50000;

  ColorTally() { entries_.push_back({255, 0, 0, 0, 0x7FFFFFFF}); }

  // One pixel: count it and move it one place forward when it now outnumbers its predecessor.
  void AddPixel(uint8_t r, uint8_t g, uint8_t b) {
    size_t i = Find(r, g, b);
    if (i == 0) {
      Append(r, g, b, 1);
      return;
    }
    entries_[i].count += 1;
    if (i > 1 && entries_[i - 1].count < entries_[i].count) Swap(i - 1, i);
  }

  // A weighted colour: a known one moves forward past every smaller count; a new one stays last.
  void AddColor(uint8_t r, uint8_t g, uint8_t b, uint32_t count) {
    size_t i = Find(r, g, b);
    if (i == 0) {
      Append(r, g, b, count);
      return;
    }
    entries_[i].count += count;
    while (i > 1 && entries_[i - 1].count < entries_[i].count) {
      Swap(i - 1, i);
      --i;
    }
  }

  size_t Size() const { return entries_.size(); }
  TallyEntry& operator[](size_t i) { return entries_[i]; }
  const TallyEntry& operator[](size_t i) const { return entries_[i]; }

 private:
  static uint32_t Key(uint8_t r, uint8_t g, uint8_t b) { return uint32_t(r) << 16 | uint32_t(g) << 8 | b; }
  static uint32_t Key(const TallyEntry& e) { return Key(e.red, e.green, e.blue); }

  size_t Find(uint8_t r, uint8_t g, uint8_t b) const {
    auto it = index_.find(Key(r, g, b));
    return it == index_.end() ? 0 : it->second;
  }
  void Append(uint8_t r, uint8_t g, uint8_t b, uint32_t count) {
    if (entries_.size() >= kCapacity) return;  // full: the colour goes uncounted
    index_[Key(r, g, b)] = entries_.size();
    entries_.push_back({r, g, b, 0, count});
  }
  void Swap(size_t a, size_t b) {
    std::swap(entries_[a], entries_[b]);
    index_[Key(entries_[a])] = a;
    index_[Key(entries_[b])] = b;
  }

  std::vector<TallyEntry> entries_;
  std::unordered_map<uint32_t, size_t> index_;
};

void StartTally(ColorTally& tally, int32_t fill, bool weighted) {
  const uint8_t r = uint8_t(fill & 0xFF), g = uint8_t((fill >> 8) & 0xFF), b = uint8_t((fill >> 16) & 0xFF);
  if (weighted) {
    tally.AddColor(r, g, b, 0x0FFFFFFF);
  } else {
    tally.AddPixel(r, g, b);
    tally[1].count = 0x0FFFFFFF;
  }
}

void PaletteFromTally(const ColorTally& tally, BgrPalette& palette, int colours) {
  palette.fill(0);
  for (int k = 0; k < colours; ++k) {
    // Unfilled slots repeat slot 0, which wins every tie, so no pixel ever maps to them.
    const TallyEntry& e = size_t(k) + 1 < tally.Size() ? tally[size_t(k) + 1] : tally[1];
    palette[size_t(k) * 3] = e.blue;
    palette[size_t(k) * 3 + 1] = e.green;
    palette[size_t(k) * 3 + 2] = e.red;
  }
}

void MapPixels(uint8_t* const* outRows, const uint8_t* const* inRows, const BgrPalette& palette, int colours,
               int width, int height) {
  std::array<int, 256 * 3> slot{};
  for (int k = 0; k < colours; ++k) {
    slot[size_t(k) * 3] = palette[size_t(k) * 3 + 2];
    slot[size_t(k) * 3 + 1] = palette[size_t(k) * 3 + 1];
    slot[size_t(k) * 3 + 2] = palette[size_t(k) * 3];
  }
  // A small direct-mapped cache of recent answers: pictures repeat their colours a lot.
  constexpr size_t kCache = 4096;
  std::vector<uint32_t> cacheKey(kCache, 0xFFFFFFFFu);
  std::vector<uint8_t> cacheIndex(kCache, 0);
  for (int y = 0; y < height; ++y) {
    const uint8_t* in = inRows[y];
    uint8_t* out = outRows[y];
    for (int x = 0; x < width; ++x, in += 3) {
      const int b = in[0], g = in[1], r = in[2];
      const uint32_t key = uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
      const size_t c = (key * 2654435761u) >> 20 & (kCache - 1);
      if (cacheKey[c] == key) {
        out[x] = cacheIndex[c];
        continue;
      }
      int best = 765, bestSlot = 0;
      for (int k = 0; k < colours; ++k) {
        const int* s = &slot[size_t(k) * 3];
        const int d = std::abs(r - s[0]) + std::abs(g - s[1]) + std::abs(b - s[2]);
        if (d == 0) {
          bestSlot = k;
          break;
        }
        if (d < best) {
          best = d;
          bestSlot = k;
        }
      }
      cacheKey[c] = key;
      cacheIndex[c] = uint8_t(bestSlot);
      out[x] = uint8_t(bestSlot);
    }
  }
}

void PopularityPalette(ColorTally& tally, const uint8_t* const* inRows, int width, int height) {
  for (int y = 0; y < height; ++y) {
    const uint8_t* in = inRows[y];
    for (int x = 0; x < width; ++x, in += 3) tally.AddPixel(in[2], in[1], in[0]);
  }
}

void MedianCutPalette(ColorTally& tally, const uint8_t* const* inRows, int width, int height) {
  constexpr int kCells = 32 * 32 * 32;
  std::vector<uint8_t> count(kCells, 0);
  std::vector<std::array<uint16_t, 3>> sum(kCells, {0, 0, 0});
  for (int y = 0; y < height; ++y) {
    const uint8_t* in = inRows[y];
    for (int x = 0; x < width; ++x, in += 3) {
      const int r5 = in[2] >> 3, g5 = in[1] >> 3, b5 = in[0] >> 3;
      const int cell = (r5 * 32 + g5) * 32 + b5;
      if (count[size_t(cell)] >= 255) continue;  // a full cell ignores further pixels
      ++count[size_t(cell)];
      sum[size_t(cell)][0] = uint16_t(sum[size_t(cell)][0] + r5);
      sum[size_t(cell)][1] = uint16_t(sum[size_t(cell)][1] + g5);
      sum[size_t(cell)][2] = uint16_t(sum[size_t(cell)][2] + b5);
    }
  }

  // Per-channel slice counts: slice[c][v] = pixels counted whose channel c has the 5-bit value v.
  std::array<std::array<uint64_t, 32>, 3> slice{};
  uint64_t total = 0;
  for (int cell = 0; cell < kCells; ++cell) {
    const uint64_t n = count[size_t(cell)];
    if (n == 0) continue;
    slice[0][size_t(cell >> 10)] += n;
    slice[1][size_t((cell >> 5) & 31)] += n;
    slice[2][size_t(cell & 31)] += n;
    total += n;
  }

  // Cut search. Boundaries a channel does not reach are 32, so the last box it does reach runs to
  // the channel's end and the ones after it are empty.
  std::array<std::array<int, 9>, 3> cut{};
  for (int c = 0; c < 3; ++c) {
    cut[size_t(c)].fill(32);
    cut[size_t(c)][0] = 0;
    int next = 1;
    uint64_t numerator = total, running = 0;
    for (int s = 0; s < 32; ++s) {
      running += slice[size_t(c)][size_t(s)];
      if (running > numerator / 8 && next < 8) {
        cut[size_t(c)][size_t(next)] = s;
        ++next;
        numerator += total;
      }
    }
  }

  for (int i = 0; i < 8; ++i) {
    for (int j = 0; j < 8; ++j) {
      for (int k = 0; k < 8; ++k) {
        const int r0 = cut[0][size_t(i)], r1 = cut[0][size_t(i) + 1];
        const int g0 = cut[1][size_t(j)], g1 = cut[1][size_t(j) + 1];
        const int b0 = cut[2][size_t(k)], b1 = cut[2][size_t(k) + 1];
        if (r0 >= r1 || g0 >= g1 || b0 >= b1) continue;
        uint64_t n = 0, sr = 0, sg = 0, sb = 0;
        for (int r = r0; r < r1; ++r)
          for (int g = g0; g < g1; ++g)
            for (int b = b0; b < b1; ++b) {
              const size_t cell = size_t((r * 32 + g) * 32 + b);
              n += count[cell];
              sr += sum[cell][0];
              sg += sum[cell][1];
              sb += sum[cell][2];
            }
        if (n == 0) continue;
        const double dn = double(n);
        tally.AddColor(uint8_t(int(double(sr) / dn * 8)), uint8_t(int(double(sg) / dn * 8)),
                       uint8_t(int(double(sb) / dn * 8)), uint32_t(n));
      }
    }
  }
}

}  // namespace

void ReduceColors(uint8_t* const* outRows, const uint8_t* const* inRows, BgrPalette& palette, int colours,
                  int width, int height, int32_t fillColour, int method, bool dither) {
  colours = std::clamp(colours, 1, 256);
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (method == HighQuality) {
    ColourHistogram histogram;
    histogram.Add(inRows, width, height);
    BuildQualityPalette(histogram, palette, colours, fillColour);
    MapToPalette(outRows, inRows, palette, colours, width, height, dither);
    return;
  }
  ColorTally tally;
  const bool medianCut = method != Popularity;
  StartTally(tally, fillColour, medianCut);
  if (medianCut) {
    MedianCutPalette(tally, inRows, width, height);
  } else {
    PopularityPalette(tally, inRows, width, height);
  }
  PaletteFromTally(tally, palette, colours);
  if (dither)
    MapToPalette(outRows, inRows, palette, colours, width, height, true);
  else
    MapPixels(outRows, inRows, palette, colours, width, height);
}

namespace {

// Runs `reduce(outRows, inRows, palette)` over a 24-bit picture and makes it the 8-bit result.
template <typename Reduce>
int ReduceInPlace(DibImage& image, Reduce&& reduce) {
  if (image.Empty() || image.BitCount() != 24) return 1;
  const int W = image.Width(), H = image.Height();
  if (W <= 0 || H <= 0) return 1;
  std::vector<uint8_t> indexes(size_t(W) * size_t(H), 0);
  std::vector<uint8_t*> outRows(static_cast<size_t>(H));
  for (int y = 0; y < H; ++y) outRows[size_t(y)] = indexes.data() + size_t(y) * size_t(W);
  BgrPalette palette{};
  {
    DibRowTable in(image);
    std::vector<const uint8_t*> inRows(in.Rows(), in.Rows() + H);
    reduce(outRows.data(), inRows.data(), palette);
  }
  image.Free();
  if (!image.Create(W, H, 8, palette.data())) return 0;
  DibRowTable out(image);
  for (int y = 0; y < H; ++y) std::memcpy(out[y], outRows[size_t(y)], size_t(W));
  return 1;
}

}  // namespace

int ReduceImage(DibImage& image, int colours, int32_t fillColour, int method, bool dither) {
  const int W = image.Width(), H = image.Height();
  return ReduceInPlace(image, [&](uint8_t* const* out, const uint8_t* const* in, BgrPalette& palette) {
    ReduceColors(out, in, palette, colours, W, H, fillColour, method, dither);
  });
}

int ReduceImageToPalette(DibImage& image, const BgrPalette& palette, int colours, bool dither) {
  const int W = image.Width(), H = image.Height();
  return ReduceInPlace(image, [&](uint8_t* const* out, const uint8_t* const* in, BgrPalette& result) {
    result = palette;
    MapToPalette(out, in, result, colours, W, H, dither);
  });
}

int ExpandToTrueColour(DibImage& image) {
  if (image.Empty() || image.BitCount() == 24) return 1;
  if (image.BitCount() != 8) return 0;
  DibImage full;
  if (!full.Create(image.Width(), image.Height(), 24)) return 0;
  const DibRowTable src(image), dst(full);
  const auto& palette = image.Palette();
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) {
      const uint8_t i = src[y][x];
      const DibImage::PaletteEntry e = i < palette.size() ? palette[i] : DibImage::PaletteEntry{0, 0, 0};
      dst[y][x * 3] = e.blue;
      dst[y][x * 3 + 1] = e.green;
      dst[y][x * 3 + 2] = e.red;
    }
  }
  image = std::move(full);
  return 1;
}
