#pragma once
// Everything one render needs and produces, gathered so that a test or a batch worker can make a
// fresh one: render inputs, layout outputs, the work set, canvases, the pictures, the random
// generator, the light patterns, the 3D cache and the font layer. Nothing in the renderer keeps
// state elsewhere.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/log_font.h"
#include "document/plaquet_document.h"
#include "effects/effect_record.h"
#include "raster/texture_cache.h"
#include "raster/three_d_state.h"
#include "raster/convolution_kernel.h"
#include "raster/random_generator.h"
#include "raster/raster_canvas.h"
#include "raster/work_set.h"
#include "imaging/dib_image.h"
#include "imaging/transparency.h"
#include "platform/font_layer.h"

// The item being drawn, copied from a PlaquetItem (or the style editor) before each call.
struct RenderInputs {
  int32_t kind = 0;
  std::string renderText = "Quorbel!";
  LogFont renderFont = StartFont();
  std::array<int32_t, 6> renderBoxParams{};
  std::vector<EffectRecord> effects;  // the style being run
  int32_t extensionX = 0;
  int32_t extensionY = 0;
  int32_t styleBackdropColour = 0xFFFFFF;  // currentStyle.backdropColour, for FillBackground
};

// Outputs of ComputeWorkArea / MeasureText.
struct LayoutOutputs {
  int32_t textOffsetX = 0, textOffsetY = 0;
  int32_t extraWidth = 0, extraHeight = 0;
  int32_t workWidth = 0, workHeight = 0;
  int32_t unroundedWidth = 0, unroundedHeight = 0;  // extra + box + 3
  int32_t clipShiftX = 0, clipShiftY = 0;
};

// The decisions the random effects (Space's stars, Random Dot's kept pixels) took in a 1x render,
// kept so that a scaled render puts the same features at the same places relative to the glyphs
// instead of drawing a new pattern. One entry per effect call, in call order.
struct RandomTrace {
  enum class Mode { Off, Record, Replay };
  struct Entry {
    int width = 0, height = 0;     // the 1x glyph plane the cells cover
    int originX = 0, originY = 0;  // where the shape's origin lies in that plane
    std::vector<uint32_t> cells;   // per 1x pixel, the effect's own encoding; 0 = nothing
  };
  Mode mode = Mode::Off;
  double scale = 1.0;  // Replay: the render's size over the recorded one
  std::vector<Entry> entries;
  size_t next = 0;

  // The next recorded entry while replaying; nullptr otherwise or when the entries ran out.
  const Entry* NextReplay() { return mode == Mode::Replay && next < entries.size() ? &entries[next++] : nullptr; }
  Entry* NewRecord() { return mode == Mode::Record ? &entries.emplace_back() : nullptr; }
};

// A render at another size than the document's: the scaled copy the canvases belong to, and the
// size the picture is reduced to afterwards when supersampling.
struct ScaledRender {
  bool active = false;
  PlaquetDocument doc;
  int32_t pageWidth = 0, pageHeight = 0;      // the scaled page
  int32_t targetWidth = 0, targetHeight = 0;  // after reduction; equal to the page without one
};

struct EngineContext {
  explicit EngineContext(uint32_t seed = 1) : seed(seed), random(seed) {}

  // Every picture starts its random effects afresh from the seed: the generator is reseeded and
  // the noise lattice (drawn from the generator on first use) dropped, so that what an earlier
  // render in this context drew never shows in the next one.
  void RestartRandomEffects() {
    random.Seed(seed);
    threeD.noise.reset();
  }

  ProgramSettings settings;
  // Output size over the document's size (1..4, fractions allowed): fonts, margins, boxes and
  // every effect length grow with it.
  double renderScale = 1.0;
  ImageLimits limits = kRenderLimits;  // work areas and pages are checked against it first
  std::string programFolder;  // ends with '/'
  bool pressedButton = false;

  RenderInputs in;
  LayoutOutputs layout;
  WorkSet work;

  std::array<RasterCanvas, kMaxItems> canvas;
  std::array<RasterCanvas, kMaxItems> pressedCanvas;
  RasterCanvas pageCanvas;
  RasterCanvas pressedPageCanvas;
  int32_t originX = 0, originY = 0;
  int32_t imageWidth = 0, imageHeight = 0;

  DibImage image;
  DibImage pressedImage;
  // With a transparent backdrop, the pictures with straight alpha (image stays the picture on
  // the page colour); empty for an opaque backdrop.
  RgbaPicture rgba;
  RgbaPicture pressedRgba;
  // A palette chosen beforehand for a family of pictures (a batch's shared palette): reductions to
  // `sharedColours` colours map to it instead of choosing their own. 0 = none.
  BgrPalette sharedPalette{};
  int sharedColours = 0;

  ScaledRender scaled;
  RandomTrace randomTrace;
  // The size the pass being drawn has over the document's (renderScale times the supersampling
  // factor): what effects whose sizes come from files rather than parameters grow by.
  double passScale = 1.0;
  // Textures drawn at a scaled pass's size, kept while the cache hands out the same source.
  struct ScaledTexture {
    std::shared_ptr<const FillTexture> source;
    double scale = 1;
    std::shared_ptr<const FillTexture> scaled;
  };
  std::vector<ScaledTexture> scaledTextures;

  uint32_t seed;  // render input: the random effects of every picture start from it
  RandomGenerator random;
  std::array<ConvolutionKernel, 3> lightPatterns;  // star0.lit .. star2.lit; empty when missing
  bool lightPatternsPending = false;  // not read yet: the first Star Filter reads them
  ThreeDState threeD;
  platform::FontLayer fonts;
  TextureCache textures;
};

// What one effect call paints: the glyphs and edge plane of the work set and one colour/coverage
// pair (the normal or the pressed image).
struct EffectTarget {
  EngineContext& ctx;
  WorkSet& work;
  uint8_t* const* glyphRows;
  uint8_t* const* colorRows;
  uint16_t* coverage16;
  int W;
  int H;
  bool pressed;

  static EffectTarget For(EngineContext& ctx, bool pressed) {
    return EffectTarget{ctx,
                        ctx.work,
                        ctx.work.glyphRows.data(),
                        ctx.work.ColorRows(pressed),
                        ctx.work.Coverage(pressed),
                        ctx.work.workWidth,
                        ctx.work.workHeight,
                        pressed};
  }
};
