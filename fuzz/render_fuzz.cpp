// The whole render of a fuzzed document: read it as a .plq, render it within small limits, reduce
// it to 256 colours. Anything may fail with a message; nothing may crash, read out of bounds or
// run for long.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "document/document_file.h"
#include "effects/effect_bodies.h"
#include "raster/engine_context.h"
#include "engine/render_pipeline.h"
#include "imaging/error.h"

#ifndef QUORBEL_FUZZ_DATA_DIR
#define QUORBEL_FUZZ_DATA_DIR ""
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PlaquetDocument doc = MakeStartUpDocument();
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  TextLineReader reader(in);
  if (!ReadDocumentFrom(doc, reader)) return 0;

  EngineContext ctx(7);
  // Small enough that one render stays well under a second with every effect on.
  ctx.limits = ImageLimits{256, 256, 256 * 128, 64u << 20};
  // QUORBEL_DATA points at another data folder, for a build tree whose textures are not made.
  const char* folder = std::getenv("QUORBEL_DATA");
  ctx.programFolder = std::string(folder && *folder ? folder : QUORBEL_FUZZ_DATA_DIR) + "/";
  ctx.pressedButton = doc.pressedButton;
  LoadLightPatterns(ctx);
  try {
    RenderPreview(doc, ctx);
    const DibImage& image = ctx.image;
    if (image.Width() < 0 || image.Height() < 0) std::abort();
    if (uint64_t(image.Width()) * uint64_t(image.Height()) > PageLimits(ctx.limits).maxPixels) std::abort();
    RenderReduced(doc, ctx, 256);
  } catch (const quorbel::Error&) {
  }
  return 0;
}
