#pragma once
// A context whose work set holds a hand-drawn glyph mask.
#include <cstdint>
#include <functional>
#include <memory>

#include "raster/engine_context.h"

namespace effects_test {

// value(x, y) is the glyph byte (all three channels); the edge plane and the glyph copy are
// taken as after rasterizing.
inline std::unique_ptr<EngineContext> MakeContext(int W, int H, const std::function<uint8_t(int, int)>& value,
                                                  uint32_t seed = 1) {
  auto ctx = std::make_unique<EngineContext>(seed);
  ctx->work.Allocate(W, H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const uint8_t v = value(x, y);
      uint8_t* p = ctx->work.glyphRows[size_t(y)] + x * 3;
      p[0] = p[1] = p[2] = v;
    }
  ctx->work.FinishRasterizing();
  return ctx;
}

inline uint8_t Glyph(const EngineContext& ctx, int x, int y) { return ctx.work.glyphRows[size_t(y)][x * 3]; }

}  // namespace effects_test
