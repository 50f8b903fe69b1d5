#include "effects/effect_dispatcher.h"

#include <algorithm>
#include <cstring>

#include "effects/effect_bodies.h"
#include "raster/convolution_kernel.h"
#include "raster/engine_context.h"
#include "effects/fill_effects.h"
#include "effects/shadow_effects.h"
#include "imaging/dib_image.h"

namespace {

int ClampRadius(int32_t r) { return ClampKernelRadius(r); }

ConvolutionKernel DomeKernel(int32_t radius, int32_t opacity) {
  const int r = ClampRadius(radius);
  ConvolutionKernel k(2 * r + 1, 2 * r + 1);
  k.FillDome(float(r));
  k.Normalize(float(double(opacity) * 0.02));
  return k;
}

ConvolutionKernel DiskKernel(int32_t radius) {
  const int r = ClampRadius(radius);
  ConvolutionKernel k(2 * r + 1, 2 * r + 1);
  k.FillDisk(float(r));
  return k;
}

// Puts the glyph back as it was rasterized without touching the painted coverage, so that the
// pressed image starts from the same shape as the normal one: otherwise a distortion would be
// applied twice and the records before a Round Box would already see the box.
void RestoreGlyphKeepingPaint(WorkSet& work) {
  if (work.glyphMaskCopy.size() != work.glyphMask.size()) return;
  std::copy(work.glyphMaskCopy.begin(), work.glyphMaskCopy.end(), work.glyphMask.begin());
  work.BuildEdgePlane();
  work.glyphChanged = true;
}

void CopyColourInto(DibImage& image, const std::vector<uint8_t*>& rows, int W, int H) {
  image.Free();
  if (W <= 0 || H <= 0) return;
  if (!image.Create(W, H, 24)) return;
  DibRowTable out(image);
  for (int y = 0; y < H && y < out.Height(); ++y) std::memcpy(out[y], rows[size_t(y)], size_t(W) * 3);
}

}  // namespace

void DispatchEffect(EngineContext& ctx, const EffectRecord& record, bool pressed) {
  const EffectTarget t = EffectTarget::For(ctx, pressed);
  const auto& p = record.p;
  const int dx = p[2], dy = p[3];
  switch (record.type) {
    case SingleColor:
      if (p[4] == 4)
        TextureFillTile(t, dx, dy, record.fileName);
      else if (p[4] == 5)
        TextureFillStretch(t, dx, dy, record.fileName);
      else
        SolidFill(t, dx, dy, p[0]);
      break;
    case OutLine:
      OutlineStamp(t, DiskKernel(p[4]), p[0], dx, dy);
      break;
    case DropShadow:
      DropShadowEffect(t, dx, dy, DomeKernel(p[5], p[4]), p[0]);
      break;
    case LinearGradient:
      GradientFill(t, t.W / 2, t.H / 2, dx, dy, p[4], p[0], p[1], p[5]);
      break;
    case DepthField:
      DepthBlur(t, DomeKernel(p[5], p[4]));
      break;
    case DisturbTemplet:
      Distort(ctx, p[4], p[5], p[6]);
      break;
    case StarFilter:
      StarFilterEffect(t, p[1], p[0], float(int64_t(p[5]) * 1000), dx, dy);
      break;
    case Tile:
      TileFill(t, record.fileName);
      break;
    case ThreeDSingleColor:
      Shade3D(t, record);
      break;
    case RoundBox:
      RoundBoxEffect(ctx, record);
      break;
    case Fog:
      FogEffect(t, record);
      break;
    case Space:
      SpaceEffect(t, record);
      break;
    case CutOut:
      CutOutEffect(t, dx, dy, DomeKernel(p[5], p[4]), p[0], p[6], p[7]);
      break;
    default:
      break;  // unknown types are skipped
  }
}

void RunStyle(EngineContext& ctx, bool fillFirst) {
  if (fillFirst)
    ctx.work.FillBackground(ctx.in.styleBackdropColour);
  else
    ctx.work.ClearColor(false);
  const std::vector<EffectRecord> effects = ctx.in.effects;
  for (const EffectRecord& record : effects) DispatchEffect(ctx, record, false);
}

void RunStylePressed(EngineContext& ctx) {
  ctx.work.ClearColor(true);
  const std::vector<EffectRecord> effects = ctx.in.effects;
  const bool reshapes = std::any_of(effects.begin(), effects.end(), [](const EffectRecord& r) {
    return r.type == DisturbTemplet || r.type == RoundBox;
  });
  if (reshapes) RestoreGlyphKeepingPaint(ctx.work);
  for (EffectRecord copy : effects) {
    copy.p[2] /= 2;  // C++ division truncates toward zero: 5 -> 2, -5 -> -2
    copy.p[3] /= 2;
    DispatchEffect(ctx, copy, true);
  }
}

void PreviewOneEffect(EngineContext& ctx, EffectRecord record) {
  ctx.work.FillBackground(ctx.in.styleBackdropColour);
  DispatchEffect(ctx, record, false);
  CopyWorkToImage(ctx);
}

void ReplayDistortions(EngineContext& ctx, int count) {
  ctx.work.RestoreGlyph();
  const std::vector<EffectRecord> effects = ctx.in.effects;
  const int n = std::min<int>(std::max(count, 0), int(effects.size()));
  for (int i = 0; i < n; ++i)
    if (effects[size_t(i)].type == DisturbTemplet) DispatchEffect(ctx, effects[size_t(i)], false);
}

void QuickPreview(EngineContext& ctx) {
  ctx.work.RestoreGlyph();
  RunStyle(ctx, true);
  if (ctx.pressedButton) RunStylePressed(ctx);
  CopyWorkToImage(ctx);
}

void CopyWorkToImage(EngineContext& ctx) {
  const int W = ctx.work.workWidth, H = ctx.work.workHeight;
  ctx.imageWidth = W;
  ctx.imageHeight = H;
  CopyColourInto(ctx.g_image, ctx.work.effectColorRows, W, H);
  if (ctx.pressedButton) CopyColourInto(ctx.g_pressedImage, ctx.work.pressedColorRows, W, H);
}
