#pragma once
// Lets the random effects of a scaled render take the decisions the 1x render took: the glyph
// plane's pixels are mapped onto the recorded 1x cells through the shape's origin.
#include <cmath>
#include <cstdint>

#include "document/plaquet_document.h"
#include "raster/engine_context.h"

// Where the shape's origin lies in the work area (the text's pen position before cropping).
inline void ShapeOrigin(const EngineContext& ctx, int& x, int& y) {
  const bool text = ctx.in.kind == kKindFont || ctx.in.kind == kKindStretchedFont;
  x = ctx.layout.textOffsetX - (text ? ctx.layout.clipShiftX : 0);
  y = ctx.layout.textOffsetY - (text ? ctx.layout.clipShiftY : 0);
}

// A fresh record of a W x H plane, or nullptr when the context is not recording.
inline RandomTrace::Entry* StartTraceRecord(EngineContext& ctx, int W, int H) {
  RandomTrace::Entry* e = ctx.randomTrace.NewRecord();
  if (!e) return nullptr;
  e->width = W;
  e->height = H;
  ShapeOrigin(ctx, e->originX, e->originY);
  e->cells.assign(size_t(W) * size_t(H), 0);
  return e;
}

class TraceReplay {
 public:
  TraceReplay(const RandomTrace::Entry& entry, const EngineContext& ctx)
      : entry_(entry), scale_(ctx.randomTrace.scale) {
    ShapeOrigin(ctx, originX_, originY_);
  }
  // The recorded cell the centre of pixel (x, y) falls in; 0 outside the recorded plane.
  uint32_t At(int x, int y) const {
    const double cx = std::floor(entry_.originX + (x + 0.5 - originX_) / scale_);
    const double cy = std::floor(entry_.originY + (y + 0.5 - originY_) / scale_);
    if (cx < 0 || cy < 0 || cx >= entry_.width || cy >= entry_.height) return 0;
    return entry_.cells[size_t(cy) * size_t(entry_.width) + size_t(cx)];
  }

 private:
  const RandomTrace::Entry& entry_;
  double scale_;
  int originX_ = 0, originY_ = 0;
};
