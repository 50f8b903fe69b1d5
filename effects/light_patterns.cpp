// The three star light patterns, read once from the program folder.
#include "effects/effect_bodies.h"
#include "raster/engine_context.h"

void DeferLightPatterns(EngineContext& ctx) {
  for (auto& pattern : ctx.lightPatterns) pattern = ConvolutionKernel();
  ctx.lightPatternsPending = true;
}

void LoadLightPatterns(EngineContext& ctx) {
  ctx.lightPatternsPending = false;
  for (size_t i = 0; i < ctx.lightPatterns.size(); ++i) {
    ConvolutionKernel& pattern = ctx.lightPatterns[i];
    pattern = ConvolutionKernel();
    // A missing or short file leaves the pattern empty; its star filter then paints nothing.
    if (!pattern.LoadFromFile(101, 101, ctx.programFolder + "star" + std::to_string(i) + ".lit"))
      pattern = ConvolutionKernel();
  }
}
