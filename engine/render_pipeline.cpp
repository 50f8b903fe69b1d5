#include "engine/render_pipeline.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "document/plaquet_document.h"
#include "effects/effect_dispatcher.h"
#include "raster/engine_context.h"
#include "raster/render_error.h"
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
  const bool pressed = ctx.pressedButton != 0;
  if (ctx.pageCanvas.Create(W, H) != 0 || (pressed && ctx.pressedPageCanvas.Create(W, H) != 0))
    throw RenderError("picture of " + SizeText(W, H) + " pixels is larger than the renderer allows");
  ctx.pageCanvas.FillColour(doc.backdropColour);
  if (pressed) ctx.pressedPageCanvas.FillColour(doc.backdropColour);
  else ctx.pressedPageCanvas.Release();
}

void ComposeItem(EngineContext& ctx, const PlaquetItem& item, int index) {
  const int px = item.x - ctx.originX, py = item.y - ctx.originY;
  ctx.pageCanvas.CompositeOver(ctx.canvas[size_t(index)], px, py);
  ctx.canvas[size_t(index)].SmoothEdges(ctx.pageCanvas, px, py, ctx.settings.antiAliasing);
  if (ctx.pressedButton) {
    ctx.pressedPageCanvas.CompositeOver(ctx.pressedCanvas[size_t(index)], px, py);
    ctx.pressedCanvas[size_t(index)].SmoothEdges(ctx.pressedPageCanvas, px, py, ctx.settings.antiAliasing);
  }
}

// The page colour (not its coverage) becomes the picture. An empty page gives an empty picture.
void PageToImage(const RasterCanvas& page, DibImage& image, int W, int H) {
  image.Free();
  if (W <= 0 || H <= 0) return;
  if (!image.Create(W, H, 24)) throw RenderError("not enough memory for a picture of " + SizeText(W, H) + " pixels");
  DibRowTable rows(image);
  for (int y = 0; y < H; ++y) std::memcpy(rows[y], page.colorRows[size_t(y)], size_t(W) * 3);
}

void FinishPictures(EngineContext& ctx) {
  PageToImage(ctx.pageCanvas, ctx.g_image, ctx.imageWidth, ctx.imageHeight);
  if (ctx.pressedButton)
    PageToImage(ctx.pressedPageCanvas, ctx.g_pressedImage, ctx.imageWidth, ctx.imageHeight);
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
  if (right - left > WorkSet::kMaxSide * 4 || bottom - top > WorkSet::kMaxSide * 4)
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

int RenderPreview(PlaquetDocument& doc, EngineContext& ctx) {
  doc.previewDirty = 0;
  if (doc.items.empty()) return 0;
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
  FinishPictures(ctx);
  return 0;
}

void Recompose(PlaquetDocument& doc, EngineContext& ctx) {
  doc.previewDirty = 0;
  if (doc.items.empty()) return;
  ctx.pressedButton = doc.pressedButton;
  PreparePage(doc, ctx);
  for (size_t i = 0; i < ItemsWithCanvas(doc); ++i)
    if (doc.items[i].kind != kKindNone) ComposeItem(ctx, doc.items[i], int(i));
  FinishPictures(ctx);
}

void RenderReduced(PlaquetDocument& doc, EngineContext& ctx, int colours) {
  Recompose(doc, ctx);
  if (doc.items.empty()) return;
  const int32_t fill = doc.currentStyle.backdropColour;
  const bool dither = ctx.settings.dithering != 0;
  ReduceOrThrow(ctx.g_image, colours, fill, ctx.settings.reduceColorMethod, dither, ctx);
  if (ctx.pressedButton)
    ReduceOrThrow(ctx.g_pressedImage, colours, fill, ctx.settings.reduceColorMethod, dither, ctx);
}
