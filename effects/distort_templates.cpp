// Disturbing Font: the nine templates that rewrite the glyph mask.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "raster/fractal_noise.h"
#include "effects/effect_bodies.h"
#include "effects/effect_catalogue.h"
#include "effects/random_trace.h"
#include "effects/three_d_model.h"
#include "raster/convolution_kernel.h"
#include "raster/engine_context.h"

namespace {

constexpr double kDegree = 0.017444444444444446;  // 3.14 / 180: the waves were tuned with it
constexpr int kMaxKernelSide = 1025;               // larger disks are stamped without a kernel

// A truncated source coordinate is inside [0, size) exactly when the double lies in (-1, size);
// testing that first keeps huge or NaN shifts from being converted to int.
bool SourceInside(double s, int size) { return s > -1.0 && s < double(size); }

// Every target pixel takes the copy's pixel at source(x, y), or black when that lies outside.
template <typename Source>
void Displace(uint8_t* const* rows, int W, int H, Source source) {
  std::vector<uint8_t> copy(size_t(W) * size_t(H) * 3);
  for (int y = 0; y < H; ++y) std::memcpy(&copy[size_t(y) * W * 3], rows[y], size_t(W) * 3);
  for (int y = 0; y < H; ++y) {
    uint8_t* out = rows[y];
    for (int x = 0; x < W; ++x) {
      double sx, sy;
      source(x, y, sx, sy);
      uint8_t* px = out + x * 3;
      if (SourceInside(sx, W) && SourceInside(sy, H)) {
        std::memcpy(px, &copy[(size_t(int(sy)) * W + size_t(int(sx))) * 3], 3);
      } else {
        px[0] = px[1] = px[2] = 0;
      }
    }
  }
}

void SineX(uint8_t* const* rows, int W, int H, float amp, float phaseStep) {
  Displace(rows, W, H, [&](int x, int y, double& sx, double& sy) {
    const double s = std::sin(double(float(y) * phaseStep) * kDegree) * amp;
    sx = x + s;
    sy = y;
  });
}

void SineY(uint8_t* const* rows, int W, int H, float amp, float phaseStep) {
  Displace(rows, W, H, [&](int x, int y, double& sx, double& sy) {
    sx = x;
    sy = std::sin(double(float(x) * phaseStep) * kDegree) * amp + y;
  });
}

void SineXY(uint8_t* const* rows, int W, int H, float amp, float phaseStep) {
  Displace(rows, W, H, [&](int x, int y, double& sx, double& sy) {
    const double s = std::sin(double(float(y) * phaseStep) * kDegree) * amp;
    sx = x + s;
    sy = std::cos(double(float(x) * phaseStep) * kDegree) * amp + y;
  });
}

// Template 4 shifts sideways, 5 vertically, 6 both, by noise sampled at two depths.
void Fractal(uint8_t* const* rows, int W, int H, float amp, float phaseStep, const FractalNoise& noise,
             bool horizontal, bool vertical) {
  const float ns = float(phaseStep * 0.1);
  Displace(rows, W, H, [&](int x, int y, double& sx, double& sy) {
    const double px = float(x) * ns, py = float(y) * ns;
    sx = horizontal ? noise(px, py, 0.0) * amp + x : x;
    sy = vertical ? noise(px, py, 56.54) * amp + y : y;
  });
}

// Keeps about amp percent of the lit pixels. A scaled render keeps the pixels whose 1x cell the
// 1x render kept (cells: 1 kept, 0 dropped or unlit), so the dots stay where they were.
void RandomDot(uint8_t* const* rows, int W, int H, float amp, EngineContext& ctx) {
  const RandomTrace::Entry* replayed = ctx.randomTrace.NextReplay();
  if (replayed) {
    const TraceReplay replay(*replayed, ctx);
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        uint8_t* px = rows[y] + x * 3;
        if (px[0] != 0 && replay.At(x, y) != 1) px[0] = px[1] = px[2] = 0;
      }
    return;
  }
  RandomTrace::Entry* record = StartTraceRecord(ctx, W, H);
  for (int y = 0; y < H; ++y) {
    uint8_t* row = rows[y];
    for (int x = 0; x < W; ++x) {
      uint8_t* px = row + x * 3;
      if (px[0] == 0) continue;
      const int r = ctx.random.Next() % 100;
      if (!(float(r) < amp)) px[0] = px[1] = px[2] = 0;
      else if (record) record->cells[size_t(y) * size_t(W) + size_t(x)] = 1;
    }
  }
}

// One white stamp of weight K per cell: channel = trunc((1 - K) old + 255 K).
inline void StampWhite(uint8_t* px, float K) {
  for (int k = 0; k < 3; ++k) px[k] = uint8_t((1.0f - K) * float(px[k]) + 255.0f * K);
}

// The disk weight of a cell, as the disk kernel holds it: 1 inside floor(r), a one-pixel
// linear rim, 0 beyond.
float DiskWeight(int dx, int dy, float f) {
  const double d = std::sqrt(double(dx) * dx + double(dy) * dy);
  if (d < f) return 1.0f;
  const float ds = float(d);
  return ds < f + 1.0f ? (f + 1.0f) - ds : 0.0f;
}

void Enlarge(uint8_t* const* rows, const uint8_t* const* edgeRows, int W, int H, float amp) {
  if (!std::isfinite(amp)) return;
  const double side = std::trunc(2 * amp + 1.0);
  // A negative radius grows nothing.
  if (side < 1) return;
  const float f = std::floor(amp);
  const double diagonal = std::hypot(double(W - 1), double(H - 1));
  const auto forEachEdge = [&](auto&& stamp) {
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x)
        if (edgeRows[y][x]) stamp(x, y);
  };
  if (double(f) > diagonal) {
    // Every stamp covers the whole area at weight 1: one edge pixel makes everything white.
    bool any = false;
    forEachEdge([&](int, int) { any = true; });
    if (any)
      for (int y = 0; y < H; ++y) std::memset(rows[y], 255, size_t(W) * 3);
    return;
  }
  const int radius = int(side - 1) / 2;
  if (side <= kMaxKernelSide) {
    const int cells = int(side);
    ConvolutionKernel disk(cells, cells);
    disk.FillDisk(amp);
    forEachEdge([&](int cx, int cy) {
      const int y0 = std::max(0, cy - radius), y1 = std::min(H - 1, cy + radius);
      const int x0 = std::max(0, cx - radius), x1 = std::min(W - 1, cx + radius);
      for (int ty = y0; ty <= y1; ++ty) {
        const float* cell = disk.Cell(x0 - cx, ty - cy);
        uint8_t* px = rows[ty] + x0 * 3;
        for (int tx = x0; tx <= x1; ++tx, cell += 3, px += 3) StampWhite(px, cell[0]);
      }
    });
    return;
  }
  // Disks wider than any kernel we keep: the same weights computed per cell.
  forEachEdge([&](int cx, int cy) {
    const int y0 = std::max(0, cy - radius), y1 = std::min(H - 1, cy + radius);
    const int x0 = std::max(0, cx - radius), x1 = std::min(W - 1, cx + radius);
    for (int ty = y0; ty <= y1; ++ty)
      for (int tx = x0; tx <= x1; ++tx) StampWhite(rows[ty] + tx * 3, DiskWeight(tx - cx, ty - cy, f));
  });
}

}  // namespace

DistortParams DistortParams::From(const EffectRecord& record) {
  const ParamReader in(record);
  return {in.Stored("template"), in.Scaled("wavelength"), in.Scaled("amplitude")};
}

void ApplyEffect(const EffectTarget& t, const DistortParams& p) {
  EngineContext& ctx = t.ctx;
  WorkSet& work = ctx.work;
  const int W = work.workWidth, H = work.workHeight;
  const int templ = p.templ;
  if (templ == 0) {
    work.RestoreGlyph();
  } else if (templ >= 1 && templ <= 8 && W > 0 && H > 0) {
    const float phaseStep = float(p.wavelength / W * 360.0);
    const float amp = float(p.amplitude);
    uint8_t* const* rows = work.glyphRows.data();
    const std::vector<uint8_t> before = work.glyphMask;
    switch (templ) {
      case 1: SineX(rows, W, H, amp, phaseStep); break;
      case 2: SineY(rows, W, H, amp, phaseStep); break;
      case 3: SineXY(rows, W, H, amp, phaseStep); break;
      case 4: Fractal(rows, W, H, amp, phaseStep, ContextNoise(ctx), true, false); break;
      case 5: Fractal(rows, W, H, amp, phaseStep, ContextNoise(ctx), false, true); break;
      case 6: Fractal(rows, W, H, amp, phaseStep, ContextNoise(ctx), true, true); break;
      case 7: RandomDot(rows, W, H, amp, ctx); break;
      case 8: Enlarge(rows, work.edgeRows.data(), W, H, amp); break;
    }
    // 3D and Fog after this one must see the deformed shape, not a distance map of the shape
    // before it (which shaded the letters in the wrong places).
    if (work.glyphMask != before) work.glyphChanged = true;
  }
  work.BuildEdgePlane();
}
