#include "imaging/quality_quantizer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// ---- Wu's box cuts ---------------------------------------------------------------------------
// Moments over a 65^3 grid (6 bits a channel, index 0 is the zero border of the prefix sums).
constexpr int kSide = 65;
constexpr size_t kGrid = size_t(kSide) * kSide * kSide;

size_t At(int r, int g, int b) { return (size_t(r) * kSide + size_t(g)) * kSide + size_t(b); }

struct Moments {
  std::vector<double> w, r, g, b, sq;
  Moments() : w(kGrid), r(kGrid), g(kGrid), b(kGrid), sq(kGrid) {}
};

struct Box {
  int r0, r1, g0, g1, b0, b1;  // lower bounds exclusive, upper inclusive
};

struct Sums {
  double w = 0, r = 0, g = 0, b = 0;
};

double Volume(const Box& c, const std::vector<double>& m) {
  return m[At(c.r1, c.g1, c.b1)] - m[At(c.r1, c.g1, c.b0)] - m[At(c.r1, c.g0, c.b1)] + m[At(c.r1, c.g0, c.b0)] -
         m[At(c.r0, c.g1, c.b1)] + m[At(c.r0, c.g1, c.b0)] + m[At(c.r0, c.g0, c.b1)] - m[At(c.r0, c.g0, c.b0)];
}

Sums BoxSums(const Box& c, const Moments& m) {
  return {Volume(c, m.w), Volume(c, m.r), Volume(c, m.g), Volume(c, m.b)};
}

double Variance(const Box& c, const Moments& m) {
  const Sums s = BoxSums(c, m);
  if (s.w <= 0) return 0;
  return Volume(c, m.sq) - (s.r * s.r + s.g * s.g + s.b * s.b) / s.w;
}

void PrefixSums(std::vector<double>& v) {
  for (int r = 1; r < kSide; ++r) {
    std::array<double, kSide> area{};
    for (int g = 1; g < kSide; ++g) {
      double line = 0;
      for (int b = 1; b < kSide; ++b) {
        line += v[At(r, g, b)];
        area[size_t(b)] += line;
        v[At(r, g, b)] = v[At(r - 1, g, b)] + area[size_t(b)];
      }
    }
  }
}

int& Lower(Box& c, int dir) { return dir == 0 ? c.r0 : dir == 1 ? c.g0 : c.b0; }
int& Upper(Box& c, int dir) { return dir == 0 ? c.r1 : dir == 1 ? c.g1 : c.b1; }

// Splits `box` where the two halves' summed squared means are largest; false when it can't be split.
bool Split(Box& box, Box& other, const Moments& m) {
  const Sums whole = BoxSums(box, m);
  double best = 0;
  int bestDir = -1, bestCut = 0;
  for (int dir = 0; dir < 3; ++dir) {
    const int lo = Lower(box, dir), hi = Upper(box, dir);
    for (int cut = lo + 1; cut < hi; ++cut) {
      Box half = box;
      Upper(half, dir) = cut;
      const Sums a = BoxSums(half, m);
      const Sums b{whole.w - a.w, whole.r - a.r, whole.g - a.g, whole.b - a.b};
      if (a.w <= 0 || b.w <= 0) continue;
      const double score =
          (a.r * a.r + a.g * a.g + a.b * a.b) / a.w + (b.r * b.r + b.g * b.g + b.b * b.b) / b.w;
      if (score > best) {
        best = score;
        bestDir = dir;
        bestCut = cut;
      }
    }
  }
  if (bestDir < 0) return false;
  other = box;
  Upper(box, bestDir) = bestCut;
  Lower(other, bestDir) = bestCut;
  return true;
}

struct Colour {
  int r, g, b;
  double w;
};

// Up to `wanted` box means for the colours.
std::vector<std::array<double, 3>> WuCentres(const std::vector<Colour>& colours, int wanted) {
  Moments m;
  for (const Colour& c : colours) {
    const size_t i = At((c.r >> 2) + 1, (c.g >> 2) + 1, (c.b >> 2) + 1);
    m.w[i] += c.w;
    m.r[i] += c.w * c.r;
    m.g[i] += c.w * c.g;
    m.b[i] += c.w * c.b;
    m.sq[i] += c.w * double(c.r * c.r + c.g * c.g + c.b * c.b);
  }
  for (auto* v : {&m.w, &m.r, &m.g, &m.b, &m.sq}) PrefixSums(*v);

  std::vector<Box> boxes{{0, kSide - 1, 0, kSide - 1, 0, kSide - 1}};
  std::vector<double> variance{Variance(boxes[0], m)};
  while (int(boxes.size()) < wanted) {
    const size_t next = size_t(std::max_element(variance.begin(), variance.end()) - variance.begin());
    if (variance[next] <= 0) break;
    Box other{};
    if (!Split(boxes[next], other, m)) {
      variance[next] = 0;  // a single grid cell: k-means refines it further
      continue;
    }
    boxes.push_back(other);
    variance[next] = Variance(boxes[next], m);
    variance.push_back(Variance(other, m));
  }
  std::vector<std::array<double, 3>> centres;
  for (const Box& b : boxes) {
    const Sums s = BoxSums(b, m);
    if (s.w > 0) centres.push_back({s.r / s.w, s.g / s.w, s.b / s.w});
  }
  return centres;
}

// ---- The same cuts over the exact colours ------------------------------------------------------
// Without a grid every colour can be separated; used when there are few enough colours to sort.

struct Group {
  size_t begin, end;
  double error;  // summed squared distance to the group's mean
};

double GroupError(const std::vector<Colour>& c, size_t begin, size_t end) {
  double w = 0, r = 0, g = 0, b = 0, sq = 0;
  for (size_t i = begin; i < end; ++i) {
    w += c[i].w;
    r += c[i].w * c[i].r;
    g += c[i].w * c[i].g;
    b += c[i].w * c[i].b;
    sq += c[i].w * double(c[i].r * c[i].r + c[i].g * c[i].g + c[i].b * c[i].b);
  }
  return w > 0 ? sq - (r * r + g * g + b * b) / w : 0;
}

int Channel(const Colour& c, int axis) { return axis == 0 ? c.r : axis == 1 ? c.g : c.b; }

// Splits a group where the two halves' summed squared means are largest (the least error left):
// per axis a 256-bin tally of the group gives every cut's sums in one pass. Returns the first
// index of the second half, or `begin` when the group can't be split.
size_t SplitGroup(std::vector<Colour>& c, const Group& grp) {
  double best = -1;
  int bestAxis = -1, bestValue = 0;
  for (int axis = 0; axis < 3; ++axis) {
    std::array<std::array<double, 4>, 256> bins{};
    for (size_t i = grp.begin; i < grp.end; ++i) {
      auto& bin = bins[size_t(Channel(c[i], axis))];
      bin[0] += c[i].w;
      bin[1] += c[i].w * c[i].r;
      bin[2] += c[i].w * c[i].g;
      bin[3] += c[i].w * c[i].b;
    }
    std::array<double, 4> total{};
    for (const auto& bin : bins)
      for (int k = 0; k < 4; ++k) total[size_t(k)] += bin[size_t(k)];
    std::array<double, 4> low{};
    for (int v = 0; v < 255; ++v) {
      for (int k = 0; k < 4; ++k) low[size_t(k)] += bins[size_t(v)][size_t(k)];
      const double hw = total[0] - low[0];
      if (low[0] <= 0 || hw <= 0 || bins[size_t(v)][0] <= 0) continue;
      const double hr = total[1] - low[1], hg = total[2] - low[2], hb = total[3] - low[3];
      const double score =
          (low[1] * low[1] + low[2] * low[2] + low[3] * low[3]) / low[0] + (hr * hr + hg * hg + hb * hb) / hw;
      if (score > best) {
        best = score;
        bestAxis = axis;
        bestValue = v;
      }
    }
  }
  if (bestAxis < 0) return grp.begin;
  const auto middle =
      std::partition(c.begin() + std::ptrdiff_t(grp.begin), c.begin() + std::ptrdiff_t(grp.end),
                     [&](const Colour& x) { return Channel(x, bestAxis) <= bestValue; });
  return size_t(middle - c.begin());
}

std::vector<std::array<double, 3>> ExactCentres(std::vector<Colour> c, int wanted) {
  std::vector<Group> groups{{0, c.size(), GroupError(c, 0, c.size())}};
  while (int(groups.size()) < wanted) {
    auto worst = std::max_element(groups.begin(), groups.end(),
                                  [](const Group& a, const Group& b) { return a.error < b.error; });
    if (worst->error <= 0) break;
    const Group whole = *worst;
    const size_t cut = SplitGroup(c, whole);
    if (cut == whole.begin) {
      worst->error = 0;
      continue;
    }
    *worst = {whole.begin, cut, GroupError(c, whole.begin, cut)};
    groups.push_back({cut, whole.end, GroupError(c, cut, whole.end)});
  }
  std::vector<std::array<double, 3>> centres;
  for (const Group& grp : groups) {
    double w = 0, r = 0, g = 0, b = 0;
    for (size_t i = grp.begin; i < grp.end; ++i) {
      w += c[i].w;
      r += c[i].w * c[i].r;
      g += c[i].w * c[i].g;
      b += c[i].w * c[i].b;
    }
    if (w > 0) centres.push_back({r / w, g / w, b / w});
  }
  return centres;
}

// ---- k-means refinement ------------------------------------------------------------------------

double Dist2(const Colour& c, const std::array<double, 3>& p) {
  const double dr = c.r - p[0], dg = c.g - p[1], db = c.b - p[2];
  return dr * dr + dg * dg + db * db;
}

// Lloyd iterations; centre 0 is fixed. Centres that lose all their colours (and missing ones,
// up to `wanted`) move to the colour served worst, so no slot is wasted.
void Refine(const std::vector<Colour>& colours, std::vector<std::array<double, 3>>& centres, size_t wanted) {
  const size_t n = colours.size();
  std::vector<uint32_t> owner(n, 0);
  std::vector<double> error(n, 0);
  constexpr int kRounds = 30;
  double lastTotal = std::numeric_limits<double>::infinity();
  for (int round = 0; round <= kRounds; ++round) {
    const size_t k = centres.size();
    // The search walks the centres in order of r + g + b outwards from the colour's own sum and
    // stops where that difference alone, (ds)^2 / 3 <= the squared distance, passes the best.
    std::vector<uint32_t> order(k);
    std::vector<double> key(k);
    for (size_t j = 0; j < k; ++j) order[j] = uint32_t(j);
    std::sort(order.begin(), order.end(), [&](uint32_t x, uint32_t y) {
      return centres[x][0] + centres[x][1] + centres[x][2] < centres[y][0] + centres[y][1] + centres[y][2];
    });
    for (size_t j = 0; j < k; ++j) key[j] = centres[order[j]][0] + centres[order[j]][1] + centres[order[j]][2];
    size_t moved = 0;
    for (size_t i = 0; i < n; ++i) {
      uint32_t best = owner[i] < k ? owner[i] : 0;
      double bestD = Dist2(colours[i], centres[best]);
      const double sum = double(colours[i].r + colours[i].g + colours[i].b);
      const size_t start = size_t(std::lower_bound(key.begin(), key.end(), sum) - key.begin());
      auto consider = [&](size_t pos) {
        const uint32_t j = order[pos];
        const double d = Dist2(colours[i], centres[j]);
        if (d < bestD || (d == bestD && j < best)) {
          bestD = d;
          best = j;
        }
      };
      for (size_t up = start, down = start; up < k || down > 0;) {
        bool going = false;
        if (up < k) {
          const double gap = key[up] - sum;
          if (gap * gap <= bestD * 3) {
            consider(up++);
            going = true;
          } else {
            up = k;
          }
        }
        if (down > 0) {
          const double gap = sum - key[down - 1];
          if (gap * gap <= bestD * 3) {
            consider(--down);
            going = true;
          } else {
            down = 0;
          }
        }
        if (!going) break;
      }
      moved += best != owner[i];
      owner[i] = best;
      error[i] = bestD * colours[i].w;
    }
    // Stop when a round no longer pays: nothing moved, or the error fell by less than 0.05%.
    double total = 0;
    for (double e : error) total += e;
    const bool settled = k == wanted && (moved == 0 || total > lastTotal * 0.9995);
    lastTotal = total;
    if (round == kRounds || (round > 0 && settled)) break;

    std::vector<std::array<double, 4>> sum(k, {0, 0, 0, 0});
    for (size_t i = 0; i < n; ++i) {
      auto& s = sum[owner[i]];
      s[0] += colours[i].r * colours[i].w;
      s[1] += colours[i].g * colours[i].w;
      s[2] += colours[i].b * colours[i].w;
      s[3] += colours[i].w;
    }
    std::vector<size_t> vacant;
    for (size_t j = 1; j < k; ++j) {
      if (sum[j][3] > 0)
        centres[j] = {sum[j][0] / sum[j][3], sum[j][1] / sum[j][3], sum[j][2] / sum[j][3]};
      else
        vacant.push_back(j);
    }
    while (centres.size() < wanted) {
      vacant.push_back(centres.size());
      centres.push_back({0, 0, 0});
    }
    for (size_t j : vacant) {
      const size_t worst = size_t(std::max_element(error.begin(), error.end()) - error.begin());
      if (error[worst] <= 0) {
        centres[j] = centres[0];  // nothing left to serve: repeats the fill colour
        continue;
      }
      centres[j] = {double(colours[worst].r), double(colours[worst].g), double(colours[worst].b)};
      error[worst] = 0;
    }
  }
}

void SetSlot(BgrPalette& palette, size_t slot, int r, int g, int b) {
  palette[slot * 3] = uint8_t(b);
  palette[slot * 3 + 1] = uint8_t(g);
  palette[slot * 3 + 2] = uint8_t(r);
}

int Clamp255(double v) { return std::clamp(int(std::lround(v)), 0, 255); }

}  // namespace

void ColourHistogram::Add(const uint8_t* const* bgrRows, int width, int height) {
  pixels_.reserve(pixels_.size() + size_t(std::max(width, 0)) * size_t(std::max(height, 0)));
  for (int y = 0; y < height; ++y) {
    const uint8_t* p = bgrRows[y];
    for (int x = 0; x < width; ++x, p += 3) pixels_.push_back(uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
  }
}

void ColourHistogram::Add(const ColourHistogram& other) {
  pixels_.insert(pixels_.end(), other.pixels_.begin(), other.pixels_.end());
}

std::vector<std::pair<uint32_t, uint32_t>> ColourHistogram::Counts() const {
  std::vector<uint32_t> sorted = pixels_;
  std::sort(sorted.begin(), sorted.end());
  std::vector<std::pair<uint32_t, uint32_t>> counts;
  for (size_t i = 0; i < sorted.size();) {
    size_t j = i;
    while (j < sorted.size() && sorted[j] == sorted[i]) ++j;
    counts.emplace_back(sorted[i], uint32_t(j - i));
    i = j;
  }
  return counts;
}

void BuildQualityPalette(const ColourHistogram& histogram, BgrPalette& palette, int colours, int32_t fillColour) {
  colours = std::clamp(colours, 1, 256);
  palette.fill(0);
  const int fr = fillColour & 0xFF, fg = (fillColour >> 8) & 0xFF, fb = (fillColour >> 16) & 0xFF;
  const uint32_t fillKey = uint32_t(fr) << 16 | uint32_t(fg) << 8 | uint32_t(fb);
  for (int k = 0; k < colours; ++k) SetSlot(palette, size_t(k), fr, fg, fb);

  // The fill colour's own pixels are served by slot 0 and take no part in the choice.
  std::vector<Colour> others;
  for (const auto& [key, count] : histogram.Counts())
    if (key != fillKey) others.push_back({int(key >> 16), int((key >> 8) & 0xFF), int(key & 0xFF), double(count)});
  const size_t free = size_t(colours) - 1;
  if (free == 0 || others.empty()) return;
  if (others.size() <= free) {
    for (size_t i = 0; i < others.size(); ++i) SetSlot(palette, i + 1, others[i].r, others[i].g, others[i].b);
    return;
  }

  std::vector<std::array<double, 3>> centres{{double(fr), double(fg), double(fb)}};
  // Exact cuts sort the colours once per cut, so a very colourful picture takes the grid.
  constexpr size_t kExactLimit = 32768;
  const auto cuts = others.size() <= kExactLimit ? ExactCentres(others, int(free)) : WuCentres(others, int(free));
  for (const auto& c : cuts) centres.push_back(c);
  // The fill colour's pixels still pull nothing, but its slot competes for nearby colours.
  Refine(others, centres, free + 1);
  for (size_t j = 1; j < centres.size() && j < size_t(colours); ++j)
    SetSlot(palette, j, Clamp255(centres[j][0]), Clamp255(centres[j][1]), Clamp255(centres[j][2]));
}

namespace {

// Nearest-slot search with a small direct-mapped cache of recent answers.
class NearestSlot {
 public:
  NearestSlot(const BgrPalette& palette, int colours) : colours_(colours) {
    for (int k = 0; k < colours; ++k) {
      slot_[size_t(k) * 3] = palette[size_t(k) * 3 + 2];
      slot_[size_t(k) * 3 + 1] = palette[size_t(k) * 3 + 1];
      slot_[size_t(k) * 3 + 2] = palette[size_t(k) * 3];
    }
    key_.assign(kCache, 0xFFFFFFFFu);
    index_.assign(kCache, 0);
  }

  uint8_t operator()(int r, int g, int b) {
    const uint32_t key = uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
    const size_t c = (key * 2654435761u) >> 18 & (kCache - 1);
    if (key_[c] == key) return index_[c];
    int best = std::numeric_limits<int>::max(), bestSlot = 0;
    for (int k = 0; k < colours_; ++k) {
      const int* s = &slot_[size_t(k) * 3];
      const int dr = r - s[0];
      int d = dr * dr;
      if (d >= best) continue;
      const int dg = g - s[1];
      d += dg * dg;
      if (d >= best) continue;
      const int db = b - s[2];
      d += db * db;
      if (d < best) {
        best = d;
        bestSlot = k;
        if (d == 0) break;
      }
    }
    key_[c] = key;
    index_[c] = uint8_t(bestSlot);
    return uint8_t(bestSlot);
  }

  const int* Slot(int k) const { return &slot_[size_t(k) * 3]; }

 private:
  static constexpr size_t kCache = 16384;
  int colours_;
  std::array<int, 256 * 3> slot_{};
  std::vector<uint32_t> key_;
  std::vector<uint8_t> index_;
};

}  // namespace

void MapToPalette(uint8_t* const* outRows, const uint8_t* const* bgrRows, const BgrPalette& palette, int colours,
                  int width, int height, bool dither) {
  colours = std::clamp(colours, 1, 256);
  if (width <= 0 || height <= 0) return;
  NearestSlot nearest(palette, colours);
  if (!dither) {
    for (int y = 0; y < height; ++y) {
      const uint8_t* in = bgrRows[y];
      for (int x = 0; x < width; ++x, in += 3) outRows[y][x] = nearest(in[2], in[1], in[0]);
    }
    return;
  }
  // Errors in sixteenths, one guard pixel on either side; rows alternate direction (serpentine),
  // which keeps the diffusion from drifting into diagonal streaks.
  const size_t span = size_t(width) + 2;
  std::vector<int> here(span * 3, 0), below(span * 3, 0);
  for (int y = 0; y < height; ++y) {
    const bool forward = (y & 1) == 0;
    const int step = forward ? 1 : -1;
    std::fill(below.begin(), below.end(), 0);
    for (int i = 0; i < width; ++i) {
      const int x = forward ? i : width - 1 - i;
      const uint8_t* in = bgrRows[y] + size_t(x) * 3;
      const size_t e = size_t(x + 1) * 3;
      int want[3];
      for (int c = 0; c < 3; ++c) want[c] = std::clamp(int(in[2 - c]) + here[e + size_t(c)] / 16, 0, 255);
      const uint8_t k = nearest(want[0], want[1], want[2]);
      outRows[y][x] = k;
      const int* got = nearest.Slot(k);
      for (int c = 0; c < 3; ++c) {
        const int err = want[c] - got[c];
        here[size_t(x + 1 + step) * 3 + size_t(c)] += err * 7;
        below[size_t(x + 1 - step) * 3 + size_t(c)] += err * 3;
        below[e + size_t(c)] += err * 5;
        below[size_t(x + 1 + step) * 3 + size_t(c)] += err;
      }
    }
    std::swap(here, below);
  }
}
