#include "engine/render_pipeline.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "document/plaquet_document.h"
#include "effects/effect_dispatcher.h"
#include "raster/engine_context.h"
#include "raster/render_error.h"
#include "engine/render_scale.h"
#include "engine/text_rasterizer.h"
#include "imaging/color_reduction.h"
#include "imaging/dib_image.h"

namespace {

bool Present(const PlaquetDocument& doc, int index) {
  return index < doc.itemCount() && doc.items[size_t(index)].kind != kKindNone;
}

// Items past the canvas slots (a document built by hand can hold more) are not drawn.
size_t ItemsWithCanvas(const PlaquetDocument& doc) { return std::min(doc.items.size(), size_t(kMaxItems)); }

std::string SizeText(int w, int h) { return std::to_string(w) + " x " + std::to_string(h); }

// Page canvases and empty pictures of the page size, the page filled with the backdrop colour.
void PreparePage(PlaquetDocument& doc, EngineContext& ctx) {
  const int W = ctx.imageWidth, H = ctx.imageHeight;
  const bool pressed = ctx.pressedButton;
  const ImageLimits page = PageLimits(ctx.limits);
  if (const std::string refusal = page.Refusal(uint64_t(std::max(W, 0)), uint64_t(std::max(H, 0)), pressed ? 8 : 4);
      W > 0 && H > 0 && !refusal.empty())
    throw RenderError(refusal);
  if (ctx.pageCanvas.Create(W, H, page) != 0 || (pressed && ctx.pressedPageCanvas.Create(W, H, page) != 0))
    throw RenderError("picture of " + SizeText(W, H) + " pixels is larger than the renderer allows");
  ctx.pageCanvas.FillColour(doc.backdropColour);
  if (pressed) ctx.pressedPageCanvas.FillColour(doc.backdropColour);
  else ctx.pressedPageCanvas.Release();
}

void ComposeOne(const EngineContext& ctx, RasterCanvas& page, const RasterCanvas& item, int px, int py) {
  page.CompositeOver(item, px, py);
  item.SmoothEdges(page, px, py, ctx.settings.antiAliasing);
}

void ComposeItem(EngineContext& ctx, const PlaquetItem& item, int index) {
  const int px = item.x - ctx.originX, py = item.y - ctx.originY;
  ComposeOne(ctx, ctx.pageCanvas, ctx.canvas[size_t(index)], px, py);
  if (ctx.pressedButton) ComposeOne(ctx, ctx.pressedPageCanvas, ctx.pressedCanvas[size_t(index)], px, py);
}

// The items composed once more on black, white and grey pages; what the white page adds is how
// far the page shows through. Every composition step is affine in the page colour up to its
// integer rounding, which the grey pages let the solver even out, so the solved alpha reproduces
// the picture on any page colour, anti-aliased edges included.
constexpr int kPageLevels[] = {0, 255, 8, 24, 48, 96, 144, 192, 240};

RgbaPicture TransparentPicture(const PlaquetDocument& doc, const EngineContext& ctx, bool pressed) {
  const int W = ctx.imageWidth, H = ctx.imageHeight;
  if (W <= 0 || H <= 0) return {};
  std::vector<RasterCanvas> pages(std::size(kPageLevels));
  std::vector<PageRows> solved;
  for (size_t p = 0; p < pages.size(); ++p) {
    if (pages[p].Create(W, H) != 0)
      throw RenderError("picture of " + SizeText(W, H) + " pixels is larger than the renderer allows");
    pages[p].FillColour(kPageLevels[p] * 0x010101);
  }
  for (size_t i = 0; i < ItemsWithCanvas(doc); ++i) {
    const PlaquetItem& item = doc.items[i];
    if (item.kind == kKindNone) continue;
    const RasterCanvas& canvas = pressed ? ctx.pressedCanvas[i] : ctx.canvas[i];
    for (RasterCanvas& page : pages) ComposeOne(ctx, page, canvas, item.x - ctx.originX, item.y - ctx.originY);
  }
  for (size_t p = 0; p < pages.size(); ++p) solved.push_back({pages[p].colorRows.data(), kPageLevels[p]});
  return SolveAlpha(solved, W, H);
}

// The page colour (not its coverage) becomes the picture. An empty page gives an empty picture.
void PageToImage(const RasterCanvas& page, DibImage& image, int W, int H) {
  image.Free();
  if (W <= 0 || H <= 0) return;
  if (!image.Create(W, H, 24)) throw RenderError("not enough memory for a picture of " + SizeText(W, H) + " pixels");
  DibRowTable rows(image);
  for (int y = 0; y < H; ++y) std::memcpy(rows[y], page.colorRows[size_t(y)], size_t(W) * 3);
}

// A supersampled render ends smaller: every picture is reduced by area averaging, so that the
// colour reduction and the writers see only the reduced one.
void ReduceSupersampled(EngineContext& ctx) {
  const ScaledRender& sr = ctx.scaled;
  if (!sr.active || (sr.targetWidth == ctx.imageWidth && sr.targetHeight == ctx.imageHeight)) return;
  auto reduce = [&](DibImage& image) {
    if (image.Empty()) return;
    DibImage reduced = AreaAverage(image, sr.targetWidth, sr.targetHeight);
    if (reduced.Empty())
      throw RenderError("not enough memory for a picture of " + SizeText(sr.targetWidth, sr.targetHeight) + " pixels");
    image = std::move(reduced);
  };
  reduce(ctx.image);
  if (ctx.pressedButton) reduce(ctx.pressedImage);
  if (!ctx.rgba.Empty()) ctx.rgba = AreaAverage(ctx.rgba, sr.targetWidth, sr.targetHeight);
  if (!ctx.pressedRgba.Empty()) ctx.pressedRgba = AreaAverage(ctx.pressedRgba, sr.targetWidth, sr.targetHeight);
}

void FinishPictures(const PlaquetDocument& doc, EngineContext& ctx) {
  PageToImage(ctx.pageCanvas, ctx.image, ctx.imageWidth, ctx.imageHeight);
  if (ctx.pressedButton)
    PageToImage(ctx.pressedPageCanvas, ctx.pressedImage, ctx.imageWidth, ctx.imageHeight);
  ctx.rgba.Clear();
  ctx.pressedRgba.Clear();
  if (doc.currentStyle.backdropKind == kBackdropTransparent) {
    ctx.rgba = TransparentPicture(doc, ctx, false);
    if (ctx.pressedButton) ctx.pressedRgba = TransparentPicture(doc, ctx, true);
  }
  ReduceSupersampled(ctx);
}

void ReduceOrThrow(DibImage& image, int colours, int32_t fillColour, int method, bool dither,
                   const EngineContext& ctx) {
  const bool shared = ctx.sharedColours == colours;
  if (!(shared ? ReduceImageToPalette(image, ctx.sharedPalette, colours, dither)
               : ReduceImage(image, colours, fillColour, method, dither)))
    throw RenderError("not enough memory for a picture of " + SizeText(image.Width(), image.Height()) + " pixels");
}

}  // namespace

void LoadRenderInputs(const PlaquetDocument& doc, const PlaquetItem& item, EngineContext& ctx) {
  ctx.in.kind = item.kind;
  ctx.in.renderText = item.text;
  ctx.in.renderFont = item.font;
  ctx.in.renderBoxParams = item.boxParams;
  ctx.in.effects = item.effects;
  ctx.in.extensionX = doc.extensionX;
  ctx.in.extensionY = doc.extensionY;
  ctx.in.styleBackdropColour = doc.currentStyle.backdropColour;
}

void SizeItems(PlaquetDocument& doc, EngineContext& ctx) {
  for (PlaquetItem& item : doc.items) {
    if (item.kind == kKindNone) continue;
    LoadRenderInputs(doc, item, ctx);
    ComputeWorkArea(ctx);
    const LayoutOutputs& l = ctx.layout;
    item.width = l.workWidth;
    item.height = l.workHeight;
    item.layoutExtra = {l.textOffsetX, l.textOffsetY, l.extraWidth, l.extraHeight, l.unroundedWidth,
                        l.unroundedHeight};
  }
}

void ComputePage(PlaquetDocument& doc, EngineContext& ctx) {
  int64_t left = 0, top = 0, right = 0, bottom = 0;
  for (const PlaquetItem& item : doc.items) {
    if (item.kind == kKindNone) continue;
    left = std::min<int64_t>(left, item.x);
    top = std::min<int64_t>(top, item.y);
    right = std::max<int64_t>(right, int64_t(item.x) + item.width);
    bottom = std::max<int64_t>(bottom, int64_t(item.y) + item.height);
  }
  ctx.originX = int32_t(left);
  ctx.originY = int32_t(top);
  if (right - left > 4 * int64_t(ctx.limits.maxWidth) || bottom - top > 4 * int64_t(ctx.limits.maxHeight))
    throw RenderError("picture of " + SizeText(int(right - left), int(bottom - top)) +
                      " pixels is larger than the renderer allows");
  ctx.imageWidth = int32_t(right - left);
  ctx.imageHeight = int32_t(bottom - top);
  if (!Present(doc, kMessageItem)) return;

  // The message and the bullet beside it move as one group, so that at 0 % the bullet starts at
  // the left edge and at 100 % the message ends at the right edge; aligning the message alone
  // cut the bullet or the message off the picture. Without a bullet the group is the message
  // alone, so such pictures are unchanged.
  PlaquetItem& message = doc.items[kMessageItem];
  const bool bullet = Present(doc, kBulletItem);
  int64_t groupLeft = 0, groupRight = message.width;
  if (bullet) {
    const PlaquetItem& b = doc.items[kBulletItem];
    groupLeft = std::min<int64_t>(0, b.x);
    groupRight = std::max<int64_t>(groupRight, int64_t(b.x) + b.width);
  }
  const int64_t slack = int64_t(ctx.imageWidth) - (groupRight - groupLeft);
  message.x = int32_t(double(slack * doc.messageAlign) * 0.01 + double(ctx.originX - groupLeft));
  if (bullet) doc.items[kBulletItem].x += message.x;
}

namespace {

void RenderAtDocumentSize(PlaquetDocument& doc, EngineContext& ctx, bool keepNoise) {
  doc.previewDirty = false;
  ctx.rgba.Clear();
  ctx.pressedRgba.Clear();
  if (doc.items.empty()) return;
  if (keepNoise) ctx.random.Seed(ctx.seed);
  else ctx.RestartRandomEffects();
  ctx.pressedButton = doc.pressedButton;
  if (ctx.programFolder.empty()) ctx.programFolder = doc.programFolder;

  SizeItems(doc, ctx);
  PlaceBackgroundAndBullet(doc, ctx);
  ComputePage(doc, ctx);
  PreparePage(doc, ctx);

  for (size_t i = 0; i < ItemsWithCanvas(doc); ++i) {
    PlaquetItem& item = doc.items[i];
    if (item.kind == kKindNone) {
      ctx.canvas[i].Release();
      ctx.pressedCanvas[i].Release();
      continue;
    }
    LoadRenderInputs(doc, item, ctx);
    RasterizeItem(ctx);
    const int W = ctx.work.workWidth, H = ctx.work.workHeight;
    RunStyle(ctx, false);
    ctx.canvas[i].LoadFromWorkSet(ctx.work.effectColorRows.data(), W, H, ctx.work.effectCoverage.data());
    if (ctx.pressedButton) {
      RunStylePressed(ctx);
      ctx.pressedCanvas[i].LoadFromWorkSet(ctx.work.pressedColorRows.data(), W, H,
                                           ctx.work.pressedCoverage.data());
    } else {
      ctx.pressedCanvas[i].Release();
    }
    ComposeItem(ctx, item, int(i));
  }
  FinishPictures(doc, ctx);
}

// The document is laid out (and, with random effects, rendered while their decisions are
// recorded) at its own size first, so that it keeps its 1x geometry and the random features
// their places; then its scaled copy is rendered into the pictures.
void RenderScaled(PlaquetDocument& doc, EngineContext& ctx, double scale, int supersample) {
  const double factor = scale * supersample;
  ctx.scaled = {};
  ctx.randomTrace = {};
  const bool random = HasRandomEffects(doc);
  if (random) {
    ctx.randomTrace.mode = RandomTrace::Mode::Record;
    RenderAtDocumentSize(doc, ctx, false);
  } else {
    doc.previewDirty = false;
    if (doc.items.empty()) return;
    SizeItems(doc, ctx);
    PlaceBackgroundAndBullet(doc, ctx);
    ComputePage(doc, ctx);
  }
  const int32_t plainWidth = ctx.imageWidth, plainHeight = ctx.imageHeight;
  ctx.randomTrace.mode = RandomTrace::Mode::Replay;
  ctx.randomTrace.scale = factor;
  ctx.randomTrace.next = 0;
  ctx.scaled.doc = ScaledDocument(doc, factor);
  try {
    // The scaled page is known only once it is laid out; no reduction until then.
    ctx.scaled.active = false;
    ctx.passScale = factor;
    RenderAtDocumentSize(ctx.scaled.doc, ctx, random);
  } catch (const RenderError& e) {
    ctx.randomTrace = {};
    ctx.scaled = {};
    ctx.passScale = 1;
    throw RenderError("at " + ScaleText(factor) + " times the size: " + e.what());
  } catch (...) {
    ctx.randomTrace = {};
    ctx.scaled = {};
    ctx.passScale = 1;
    throw;
  }
  ctx.passScale = 1;
  ctx.randomTrace = {};
  ScaledRender& sr = ctx.scaled;
  sr.active = true;
  sr.pageWidth = ctx.imageWidth;
  sr.pageHeight = ctx.imageHeight;
  sr.targetWidth = ctx.imageWidth;
  sr.targetHeight = ctx.imageHeight;
  if (supersample > 1) {
    // At 1x the reduced picture has exactly the size of the plain render.
    sr.targetWidth = scale == 1 ? plainWidth : int32_t(std::lround(double(ctx.imageWidth) / supersample));
    sr.targetHeight = scale == 1 ? plainHeight : int32_t(std::lround(double(ctx.imageHeight) / supersample));
    ReduceSupersampled(ctx);
  }
}

}  // namespace

void RenderPreview(PlaquetDocument& doc, EngineContext& ctx) {
  const double scale = ctx.renderScale;
  const int supersample = std::clamp(ctx.settings.supersample, 1, kMaxSupersample);
  if (!(scale >= kMinRenderScale && scale <= kMaxRenderScale))
    throw RenderError("scale " + ScaleText(scale) + " is outside 1 to 4");
  // Nothing of an earlier scaled render (or one that failed half-way) carries over.
  ctx.randomTrace = {};
  ctx.passScale = 1;
  if (scale == 1 && supersample == 1) {
    ctx.scaled = {};
    RenderAtDocumentSize(doc, ctx, false);
    return;
  }
  RenderScaled(doc, ctx, scale, supersample);
}

void Recompose(PlaquetDocument& doc, EngineContext& ctx) {
  doc.previewDirty = false;
  if (doc.items.empty()) return;
  PlaquetDocument& target = ctx.scaled.active ? ctx.scaled.doc : doc;
  if (ctx.scaled.active) {
    // What may have changed since the render: the pressed button and the backdrop.
    target.pressedButton = doc.pressedButton;
    target.backdropColour = doc.backdropColour;
    target.currentStyle.backdropKind = doc.currentStyle.backdropKind;
    target.currentStyle.backdropColour = doc.currentStyle.backdropColour;
    ctx.imageWidth = ctx.scaled.pageWidth;
    ctx.imageHeight = ctx.scaled.pageHeight;
  }
  ctx.pressedButton = target.pressedButton;
  PreparePage(target, ctx);
  for (size_t i = 0; i < ItemsWithCanvas(target); ++i)
    if (target.items[i].kind != kKindNone) ComposeItem(ctx, target.items[i], int(i));
  FinishPictures(target, ctx);
}

void RenderReduced(PlaquetDocument& doc, EngineContext& ctx, int colours) {
  Recompose(doc, ctx);
  if (doc.items.empty()) return;
  const int32_t fill = doc.currentStyle.backdropColour;
  const bool dither = ctx.settings.dithering;
  ReduceOrThrow(ctx.image, colours, fill, ctx.settings.reduceColorMethod, dither, ctx);
  if (ctx.pressedButton)
    ReduceOrThrow(ctx.pressedImage, colours, fill, ctx.settings.reduceColorMethod, dither, ctx);
}
