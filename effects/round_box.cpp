// Round Box: the item's shape replaced by a rounded rectangle centred in the work area.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "effects/effect_bodies.h"
#include "raster/engine_context.h"
#include "platform/round_rect.h"

namespace {
// Keeps coordinates from a style file inside int range, with room for the primitive's own
// arithmetic; a box edge that far out is off the area either way.
int ToCoordinate(double v) {
  constexpr double kLimit = 1 << 28;
  if (!std::isfinite(v)) return 0;
  return int(std::trunc(std::clamp(v, -kLimit, kLimit)));
}
}  // namespace

void RoundBoxEffect(EngineContext& ctx, const EffectRecord& record) {
  WorkSet& work = ctx.work;
  const int W = work.workWidth, H = work.workHeight;
  const int halfW = W / 2, halfH = H / 2;
  // W x sizeX is an integer product before scaling; int64 keeps it from overflowing.
  const double hw = double(int64_t(W) * record.p[4]) * 0.0005;
  const double hh = double(int64_t(H) * record.p[5]) * 0.0005;
  const int left = ToCoordinate(halfW - hw), right = ToCoordinate(halfW + hw);
  const int top = ToCoordinate(halfH - hh), bottom = ToCoordinate(halfH + hh);
  const int rx = ToCoordinate(std::trunc(record.p[6] * double(W) * 0.001));
  const int ry = ToCoordinate(std::trunc(record.p[7] * double(H) * 0.001));
  std::fill(work.glyphMask.begin(), work.glyphMask.end(), 0);
  if (W > 0 && H > 0)
    platform::FillRoundRect(work.glyphRows.data(), W, H, 3, left, top, right, bottom, rx, ry);
  // The edge plane, the coverages and glyphChanged are left as they were: an Outline or Star
  // Filtering after the box still follows the letters (outlined letters on a button), and 3D or
  // Fog keep the distance map of the rasterized shape. Stored styles rely on this.
}
