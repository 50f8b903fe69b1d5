#include "imaging/transparency.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>

#include "imaging/color_reduction.h"

RgbaPicture SolveAlpha(const uint8_t* const* onBlack, const uint8_t* const* onWhite, int32_t width, int32_t height) {
  RgbaPicture out;
  if (width <= 0 || height <= 0) return out;
  out.width = width;
  out.height = height;
  out.pixels.assign(size_t(width) * size_t(height) * 4, 0);
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* b = onBlack[y];
    const uint8_t* w = onWhite[y];
    uint8_t* o = out.pixels.data() + size_t(y) * size_t(width) * 4;
    for (int32_t x = 0; x < width; ++x, b += 3, w += 3, o += 4) {
      // The page shows through by what the white page added; the channels can differ by a
      // rounding step, so their mean is taken. Alpha never falls below the colour on black, which
      // is the premultiplied colour, so the straight colour stays within 0..255.
      int through = 0, top = 0;
      for (int k = 0; k < 3; ++k) {
        through += std::max(0, int(w[k]) - int(b[k]));
        top = std::max(top, int(b[k]));
      }
      const int alpha = std::max(top, 255 - (through + 1) / 3);
      o[3] = uint8_t(alpha);
      if (alpha == 0) continue;
      for (int k = 0; k < 3; ++k) o[2 - k] = uint8_t(std::min(255, (b[k] * 255 + alpha / 2) / alpha));
    }
  }
  return out;
}

DibImage ComposeOnto(const RgbaPicture& picture, int32_t colour) {
  DibImage out;
  if (picture.Empty() || !out.Create(picture.width, picture.height, 24)) return out;
  const int page[3] = {(colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF};  // blue, green, red
  DibRowTable rows(out);
  for (int32_t y = 0; y < picture.height; ++y) {
    const uint8_t* s = picture.pixels.data() + size_t(y) * size_t(picture.width) * 4;
    uint8_t* d = rows[y];
    for (int32_t x = 0; x < picture.width; ++x, s += 4, d += 3) {
      const int a = s[3];
      for (int k = 0; k < 3; ++k) d[k] = uint8_t((s[2 - k] * a + page[k] * (255 - a) + 127) / 255);
    }
  }
  return out;
}

DibImage ReduceWithTransparentIndex(const RgbaPicture& picture, const DibImage& shown, int colours,
                                    int32_t fillColour, int method) {
  DibImage out;
  const int W = picture.width, H = picture.height;
  if (picture.Empty() || shown.BitCount() != 24 || shown.Width() != W || shown.Height() != H) return out;
  colours = std::clamp(colours, 2, 256);
  std::vector<uint8_t> indexes(size_t(W) * size_t(H), 0);
  std::vector<uint8_t*> outRows(static_cast<size_t>(H));
  for (int y = 0; y < H; ++y) outRows[size_t(y)] = indexes.data() + size_t(y) * size_t(W);
  BgrPalette reduced{};
  {
    const DibRowTable in(shown);
    std::vector<const uint8_t*> inRows(in.Rows(), in.Rows() + H);
    ReduceColors(outRows.data(), inRows.data(), reduced, colours - 1, W, H, fillColour, method);
  }
  BgrPalette palette{};
  palette[0] = uint8_t((fillColour >> 16) & 0xFF);
  palette[1] = uint8_t((fillColour >> 8) & 0xFF);
  palette[2] = uint8_t(fillColour & 0xFF);
  std::memcpy(palette.data() + 3, reduced.data(), size_t(colours - 1) * 3);
  if (!out.Create(W, H, 8, palette.data())) return DibImage{};
  DibRowTable rows(out);
  for (int y = 0; y < H; ++y) {
    const uint8_t* a = picture.pixels.data() + size_t(y) * size_t(W) * 4 + 3;
    for (int x = 0; x < W; ++x) rows[y][x] = a[size_t(x) * 4] == 0 ? 0 : uint8_t(outRows[size_t(y)][x] + 1);
  }
  return out;
}

namespace {

struct Sample {
  std::array<int, 4> v;  // red, green, blue premultiplied by alpha, then alpha
  uint32_t key;          // straight red, green, blue, alpha packed
  uint32_t count;
};

std::array<int, 4> Premultiplied(uint32_t key) {
  const int r = int(key >> 24), g = int((key >> 16) & 0xFF), b = int((key >> 8) & 0xFF), a = int(key & 0xFF);
  return {(r * a + 127) / 255, (g * a + 127) / 255, (b * a + 127) / 255, a};
}

struct Box {
  size_t begin, end;
  int axis = 0;
  int range = 0;
  uint64_t weight = 0;
};

void Measure(const std::vector<Sample>& s, Box& box) {
  std::array<int, 4> lo{255, 255, 255, 255}, hi{0, 0, 0, 0};
  box.weight = 0;
  for (size_t i = box.begin; i < box.end; ++i) {
    for (int k = 0; k < 4; ++k) {
      lo[size_t(k)] = std::min(lo[size_t(k)], s[i].v[size_t(k)]);
      hi[size_t(k)] = std::max(hi[size_t(k)], s[i].v[size_t(k)]);
    }
    box.weight += s[i].count;
  }
  box.range = -1;
  for (int k = 0; k < 4; ++k)
    if (hi[size_t(k)] - lo[size_t(k)] > box.range) {
      box.range = hi[size_t(k)] - lo[size_t(k)];
      box.axis = k;
    }
}

}  // namespace

void QuantizeRgba(const RgbaPicture& picture, std::vector<uint8_t>& palette, std::vector<uint8_t>& indexes) {
  palette.clear();
  indexes.assign(size_t(std::max(0, picture.width)) * size_t(std::max(0, picture.height)), 0);
  if (picture.Empty()) return;
  const size_t n = indexes.size();
  auto keyAt = [&](size_t i) {
    const uint8_t* p = picture.pixels.data() + i * 4;
    if (p[3] == 0) return uint32_t(0);  // every fully transparent pixel is the same
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
  };
  std::unordered_map<uint32_t, uint32_t> counts;
  for (size_t i = 0; i < n; ++i) ++counts[keyAt(i)];
  const bool anyClear = counts.count(0) != 0;
  std::vector<Sample> samples;
  samples.reserve(counts.size());
  for (const auto& [key, count] : counts)
    if (key != 0) samples.push_back({Premultiplied(key), key, count});
  std::sort(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) { return a.key < b.key; });

  const size_t budget = anyClear ? 255 : 256;
  std::vector<std::array<int, 4>> entries;  // premultiplied
  if (anyClear) entries.push_back({0, 0, 0, 0});
  if (samples.size() <= budget) {
    // Few enough colours: the palette holds them exactly.
    std::unordered_map<uint32_t, uint8_t> index;
    if (anyClear) {
      palette.assign(4, 0);
      index[0] = 0;
    }
    for (const Sample& s : samples) {
      index[s.key] = uint8_t(palette.size() / 4);
      for (int shift = 24; shift >= 0; shift -= 8) palette.push_back(uint8_t(s.key >> shift));
    }
    for (size_t i = 0; i < n; ++i) indexes[i] = index[keyAt(i)];
    return;
  } else {
    // Median cut: split the box with the widest channel, weighted by pixels, at its pixel median.
    std::vector<Box> boxes{{0, samples.size()}};
    Measure(samples, boxes[0]);
    while (boxes.size() < budget) {
      size_t pick = boxes.size();
      uint64_t best = 0;
      for (size_t i = 0; i < boxes.size(); ++i) {
        const uint64_t score = uint64_t(boxes[i].range) * boxes[i].weight;
        if (boxes[i].end - boxes[i].begin > 1 && boxes[i].range > 0 && score > best) {
          best = score;
          pick = i;
        }
      }
      if (pick == boxes.size()) break;
      Box box = boxes[pick];
      const int axis = box.axis;
      std::sort(samples.begin() + long(box.begin), samples.begin() + long(box.end),
                [axis](const Sample& a, const Sample& b) { return a.v[size_t(axis)] < b.v[size_t(axis)]; });
      uint64_t half = 0;
      size_t cut = box.begin;
      while (cut < box.end - 1 && (half + samples[cut].count) * 2 <= box.weight) half += samples[cut++].count;
      if (cut == box.begin) cut = box.begin + 1;
      Box lower{box.begin, cut}, upper{cut, box.end};
      Measure(samples, lower);
      Measure(samples, upper);
      boxes[pick] = lower;
      boxes.push_back(upper);
    }
    for (const Box& box : boxes) {
      std::array<uint64_t, 4> sum{};
      for (size_t i = box.begin; i < box.end; ++i)
        for (int k = 0; k < 4; ++k) sum[size_t(k)] += uint64_t(samples[i].v[size_t(k)]) * samples[i].count;
      std::array<int, 4> mean{};
      for (int k = 0; k < 4; ++k) mean[size_t(k)] = int((sum[size_t(k)] + box.weight / 2) / box.weight);
      entries.push_back(mean);
    }
  }

  palette.resize(entries.size() * 4);
  for (size_t i = 0; i < entries.size(); ++i) {
    const auto& e = entries[i];
    const int a = e[3];
    for (int k = 0; k < 3; ++k)
      palette[i * 4 + size_t(k)] = a ? uint8_t(std::min(255, (e[size_t(k)] * 255 + a / 2) / a)) : 0;
    palette[i * 4 + 3] = uint8_t(a);
  }
  std::unordered_map<uint32_t, uint8_t> nearest;
  nearest.reserve(samples.size() + 1);
  if (anyClear) nearest[0] = 0;
  for (const Sample& s : samples) {
    size_t best = 0;
    int64_t bestDistance = INT64_MAX;
    for (size_t i = anyClear ? 1 : 0; i < entries.size(); ++i) {
      int64_t d = 0;
      for (int k = 0; k < 4; ++k) {
        const int64_t diff = s.v[size_t(k)] - entries[i][size_t(k)];
        d += diff * diff;
      }
      if (d < bestDistance) {
        bestDistance = d;
        best = i;
      }
    }
    nearest[s.key] = uint8_t(best);
  }
  for (size_t i = 0; i < n; ++i) indexes[i] = nearest[keyAt(i)];
}
