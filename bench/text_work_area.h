#pragma once
// A render context whose work set holds "Quorbel!" in bold DejaVu Sans, three quarters of the
// area high: the shared subject of the effect benchmarks.
#include <memory>

#include "platform/font_layer.h"
#include "platform/program_folder.h"
#include "raster/engine_context.h"

inline std::unique_ptr<EngineContext> TextWorkArea(int W, int H) {
  auto ctx = std::make_unique<EngineContext>(12345);
  ctx->programFolder = platform::FindProgramFolder();
  ctx->work.Allocate(W, H);
  LogFont font;
  font.faceName = "DejaVu Sans";
  font.weight = 700;
  font.height = H * 3 / 4;
  ctx->fonts.DrawText(font, "Quorbel!", W / 20, H / 8, W, H, ctx->work.glyphRows.data(), W, H, 3);
  ctx->work.FinishRasterizing();
  return ctx;
}
