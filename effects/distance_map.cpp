// The distance map of the glyph mask.
//
// Definition: around each pixel, rings r = 0, 1, ... 254 are scanned; the first ring holding a
// pixel that is not fully lit (byte 0 < 255) stops the scan (r = 255 if none does), and the value
// is the smallest distance to a fully dark pixel (byte 0 == 0) on that ring, or r + 3 when the
// ring has none. Pixels outside the mask do not count.
//
// Ring r consists of (+-a, +-i) and (+-i, +-a) for i = 0 .. trunc(sin(0.785) r + 1) with
// a = trunc(sqrt(r^2 - i^2)). For such an offset o, |o|^2 <= r^2 < |o|^2 + 2a + 1 <= (|o| + 1)^2,
// so r = ceil(|o|): every offset lies on at most one ring, the one of its rounded-up length.
// Some offsets (for example (3, 3)) lie on no ring at all.
//
// Hence the scan stops at r >= ceil(e), e being the distance to the nearest not-fully-lit pixel,
// and exactly at ceil(e) when that nearest pixel lies on a ring. An exact Euclidean feature
// transform gives e and the nearest pixel for every pixel in O(area); only where the nearest
// pixel falls between the rings are the rings from ceil(e) on scanned as the definition says.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <unordered_set>

#include "effects/glyph_distance.h"
#include "effects/three_d_model.h"
#include "raster/engine_context.h"

namespace {

constexpr int kLastRing = 254;  // rings scanned for the stop condition

float OffsetDistance(int dx, int dy) { return float(std::sqrt(double(dx * dx + dy * dy))); }

// For every pixel, the index (y * W + x) of a nearest site pixel in Euclidean distance, or -1
// when there is no site. Separable: nearest site per column, then the lower envelope of the
// parabolas (x - q)^2 + g(q) per row (Felzenszwalb and Huttenlocher).
template <typename IsSite>
std::vector<int32_t> NearestSite(int W, int H, IsSite isSite) {
  const size_t n = size_t(W) * size_t(H);
  std::vector<int32_t> colNear(n, -1);  // row of the nearest site in the same column
  for (int x = 0; x < W; ++x) {
    int last = -1;
    for (int y = 0; y < H; ++y) {
      if (isSite(x, y)) last = y;
      colNear[size_t(y) * W + x] = last;
    }
    int next = -1;
    for (int y = H - 1; y >= 0; --y) {
      if (isSite(x, y)) next = y;
      int32_t& best = colNear[size_t(y) * W + x];
      if (next >= 0 && (best < 0 || next - y < y - best)) best = next;
    }
  }
  std::vector<int32_t> feature(n, -1);
  std::vector<int> v(static_cast<size_t>(W));
  std::vector<double> z(static_cast<size_t>(W) + 1);
  std::vector<int64_t> g(static_cast<size_t>(W));
  for (int y = 0; y < H; ++y) {
    const int32_t* near = &colNear[size_t(y) * W];
    int k = -1;
    for (int q = 0; q < W; ++q) {
      if (near[q] < 0) continue;
      const int64_t dy = y - near[q];
      g[size_t(q)] = dy * dy;
      if (k < 0) {
        k = 0;
        v[0] = q;
        z[0] = -std::numeric_limits<double>::infinity();
        z[1] = std::numeric_limits<double>::infinity();
        continue;
      }
      // z[0] is -inf, so the loop stops at k == 0 at the latest.
      double s;
      for (;;) {
        const int p = v[size_t(k)];
        s = double((g[size_t(q)] + int64_t(q) * q) - (g[size_t(p)] + int64_t(p) * p)) / double(2 * (q - p));
        if (s > z[size_t(k)]) break;
        --k;
      }
      ++k;
      v[size_t(k)] = q;
      z[size_t(k)] = s;
      z[size_t(k) + 1] = std::numeric_limits<double>::infinity();
    }
    if (k < 0) continue;
    int j = 0;
    int32_t* out = &feature[size_t(y) * W];
    for (int x = 0; x < W; ++x) {
      while (z[size_t(j) + 1] < x) ++j;
      const int q = v[size_t(j)];
      out[x] = near[q] * W + q;
    }
  }
  return feature;
}

int CeilSqrt(int64_t d2) {
  int64_t r = int64_t(std::sqrt(double(d2)));
  while (r * r < d2) ++r;
  while (r > 0 && (r - 1) * (r - 1) >= d2) --r;
  return int(std::min<int64_t>(r, std::numeric_limits<int>::max()));
}

void Normalise(std::vector<float>& map) {
  float largest = 0;
  for (float v : map) largest = std::max(largest, v);
  // An empty mask leaves every value 0 (and is never read).
  if (largest > 0)
    for (float& v : map) v = v / largest;
}

}  // namespace

const std::vector<RingTable::Offset>& RingTable::Ring(int r) {
  const double step = std::sin(0.785);
  while (int(rings.size()) <= r) {
    const int radius = int(rings.size());
    std::vector<Offset>& ring = rings.emplace_back();
    const int n = int(step * radius + 1.0);
    // The same point comes up more than once (a or i 0, a == i, i and a swapped).
    std::unordered_set<int32_t> seen;
    for (int i = 0; i <= n; ++i) {
      const int d = radius * radius - i * i;
      if (d < 0) continue;
      const int a = int(std::sqrt(double(d)));
      const int pts[8][2] = {{a, i}, {-a, i}, {a, -i}, {-a, -i}, {i, a}, {-i, a}, {i, -a}, {-i, -a}};
      for (const auto& pt : pts)
        if (seen.insert(pt[1] * 1024 + pt[0]).second)
          ring.push_back({int16_t(pt[0]), int16_t(pt[1]), OffsetDistance(pt[0], pt[1])});
    }
  }
  return rings[size_t(r)];
}

// An offset can only lie on the ring of its rounded-up length, and does when it is one of the
// points that ring is built from.
int RingTable::RingOf(int dx, int dy) {
  const int u = std::abs(dx), v = std::abs(dy);
  if (u > kMaxRadius || v > kMaxRadius) return -1;
  const int r = CeilSqrt(int64_t(u) * u + int64_t(v) * v);
  return r <= kMaxRadius && OnRing(u, v, r) ? r : -1;
}

bool RingTable::OnRing(int dx, int dy, int r) {
  const int u = std::abs(dx), v = std::abs(dy);
  const int n = int(std::sin(0.785) * r + 1.0);
  const auto leg = [r](int i) { return int(std::sqrt(double(r * r - i * i))); };
  return (v <= n && u == leg(v)) || (u <= n && v == leg(u));
}

void EnsureRingTable(RingTable& table) { table.Ring(RingTable::kMaxRadius); }

std::vector<float> ComputeDistanceMapDirect(const uint8_t* const* glyphRows, int W, int H) {
  std::vector<float> map(size_t(std::max(W, 0)) * size_t(std::max(H, 0)), 0.0f);
  const double step = std::sin(0.785);
  // Visits the ring points of radius r around (x, y) that lie inside, once per occurrence.
  auto forRing = [&](int x, int y, int r, auto&& visit) {
    const int n = int(step * r + 1.0);
    for (int i = 0; i <= n; ++i) {
      const int d = r * r - i * i;
      if (d < 0) continue;
      const int a = int(std::sqrt(double(d)));
      const int pts[8][2] = {{a, i}, {-a, i}, {a, -i}, {-a, -i}, {i, a}, {-i, a}, {i, -a}, {-i, -a}};
      for (const auto& pt : pts) {
        const int px = x + pt[0], py = y + pt[1];
        if (px < 0 || py < 0 || px >= W || py >= H) continue;
        visit(glyphRows[py][px * 3], pt[0], pt[1]);
      }
    }
  };
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) {
      int r = 0;
      for (; r <= kLastRing; ++r) {
        int64_t sum = 0, count = 0;
        forRing(x, y, r, [&](uint8_t v, int, int) {
          sum += v;
          ++count;
        });
        if (sum != 255 * count) break;
      }
      float best = std::numeric_limits<float>::infinity();
      forRing(x, y, r, [&](uint8_t v, int dx, int dy) {
        if (v == 0) best = std::min(best, OffsetDistance(dx, dy));
      });
      map[size_t(y) * W + x] = std::isinf(best) ? float(r + 3) : best;
    }
  }
  Normalise(map);
  return map;
}

std::vector<float> ComputeDistanceMap(const uint8_t* const* glyphRows, int W, int H, RingTable& table) {
  if (W <= 0 || H <= 0) return {};
  const auto lit = [glyphRows](int x, int y) { return glyphRows[y][x * 3]; };
  const std::vector<int32_t> nearDark = NearestSite(W, H, [&](int x, int y) { return lit(x, y) < 255; });
  const std::vector<int32_t> nearZero = NearestSite(W, H, [&](int x, int y) { return lit(x, y) == 0; });
  std::vector<float> map(size_t(W) * size_t(H));

  const auto inside = [W, H](int x, int y) { return x >= 0 && y >= 0 && x < W && y < H; };
  const auto ringHas = [&](int x, int y, int r, auto&& pred) {
    for (const auto& o : table.Ring(r)) {
      const int px = x + o.dx, py = y + o.dy;
      if (inside(px, py) && pred(lit(px, py))) return true;
    }
    return false;
  };

  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) {
      const size_t index = size_t(y) * W + x;
      const uint8_t v = lit(x, y);
      if (v == 0) {
        map[index] = 0.0f;
        continue;
      }
      if (v < 255) {
        map[index] = 3.0f;
        continue;
      }
      // The stop ring.
      int r = kLastRing + 1;
      if (nearDark[index] >= 0) {
        const int fx = nearDark[index] % W, fy = nearDark[index] / W;
        const int first = CeilSqrt(int64_t(fx - x) * (fx - x) + int64_t(fy - y) * (fy - y));
        if (first <= kLastRing) {
          if (RingTable::OnRing(fx - x, fy - y, first)) {
            r = first;
          } else {
            for (int s = first; s <= kLastRing; ++s) {
              if (ringHas(x, y, s, [](uint8_t p) { return p < 255; })) {
                r = s;
                break;
              }
            }
          }
        }
      }
      // The nearest dark pixel on that ring.
      float value = float(r + 3);
      if (nearZero[index] >= 0) {
        const int fx = nearZero[index] % W, fy = nearZero[index] / W;
        const int64_t d2 = int64_t(fx - x) * (fx - x) + int64_t(fy - y) * (fy - y);
        const int ring = CeilSqrt(d2);
        if (ring == r && RingTable::OnRing(fx - x, fy - y, r)) {
          value = float(std::sqrt(double(d2)));
        } else if (ring <= r) {
          float best = std::numeric_limits<float>::infinity();
          for (const auto& o : table.Ring(r)) {
            const int px = x + o.dx, py = y + o.dy;
            if (inside(px, py) && lit(px, py) == 0) best = std::min(best, o.distance);
          }
          if (!std::isinf(best)) value = best;
        }
      }
      map[index] = value;
    }
  }
  Normalise(map);
  return map;
}

std::vector<float> DistanceToGlyph(const uint8_t* const* glyphRows, int W, int H, bool toLit) {
  if (W <= 0 || H <= 0) return {};
  const std::vector<int32_t> nearest =
      NearestSite(W, H, [&](int x, int y) { return (glyphRows[y][size_t(x) * 3] != 0) == toLit; });
  std::vector<float> out(nearest.size());
  for (size_t i = 0; i < nearest.size(); ++i) {
    if (nearest[i] < 0) {
      out[i] = kNoSite;
      continue;
    }
    const int64_t dx = int64_t(nearest[i] % W) - int64_t(i % size_t(W));
    const int64_t dy = int64_t(nearest[i] / W) - int64_t(i / size_t(W));
    out[i] = float(std::sqrt(double(dx * dx + dy * dy)));
  }
  return out;
}

void BuildDistanceMap(EngineContext& ctx) {
  WorkSet& work = ctx.work;
  ThreeDState& state = ctx.threeD;
  const bool sizeMatches = state.mapWidth == work.workWidth && state.mapHeight == work.workHeight &&
                           state.distanceMap.size() == size_t(work.PixelCount());
  if (!work.glyphChanged && sizeMatches) return;
  work.glyphChanged = false;
  state.distanceMap = ComputeDistanceMap(work.glyphRows.data(), work.workWidth, work.workHeight, state.ringTable);
  state.mapWidth = work.workWidth;
  state.mapHeight = work.workHeight;
}

std::vector<float> SignedEdgeDistance(const uint8_t* const* glyphRows, int W, int H) {
  std::vector<float> toDark = DistanceToGlyph(glyphRows, W, H, false);
  const std::vector<float> toLit = DistanceToGlyph(glyphRows, W, H, true);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      float& d = toDark[size_t(y) * W + x];
      if (d > 0)  // lit: beyond the work area counts as dark, so a glyph cut by the border has an edge there
        d = std::min(d, float(std::min({x + 1, y + 1, W - x, H - y}))) - 0.5f;
      else
        d = 0.5f - toLit[size_t(y) * W + x];
    }
  return toDark;
}
