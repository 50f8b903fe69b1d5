#include "effects/effect_dispatcher.h"

#include <algorithm>
#include <cstring>

#include <iterator>
#include <string_view>

#include "effects/blend.h"
#include "effects/effect_bodies.h"
#include "effects/effect_catalogue.h"
#include "effects/bevel_emboss.h"
#include "effects/gradient_overlay.h"
#include "effects/layer_effects.h"
#include "effects/stroke.h"
#include "imaging/dib_image.h"
#include "raster/engine_context.h"

namespace {

using Runner = void (*)(const EffectTarget&, const EffectRecord&);

template <typename Params>
void Run(const EffectTarget& t, const EffectRecord& record) {
  ApplyEffect(t, Params::From(record));
}

struct Entry {
  EffectType type;
  Runner run;
};

// Indexed by type.
constexpr Entry kEffects[] = {
    {SingleColor, Run<DrawParams>},         {OutLine, Run<OutlineParams>},
    {DropShadow, Run<DropShadowParams>},    {LinearGradient, Run<GradientParams>},
    {DepthField, Run<DepthOfFieldParams>},  {DisturbTemplet, Run<DistortParams>},
    {StarFilter, Run<StarFilterParams>},    {Tile, Run<TileParams>},
    {ThreeDSingleColor, Run<Shade3DParams>}, {RoundBox, Run<RoundBoxParams>},
    {Fog, Run<FogParams>},                  {Space, Run<SpaceParams>},
    {CutOut, Run<CutOutParams>},
    {OuterGlow, Run<OuterGlowParams>},      {InnerGlow, Run<InnerGlowParams>},
    {InnerShadow, Run<InnerShadowParams>},  {Stroke, Run<StrokeParams>},
    {BevelEmboss, Run<BevelEmbossParams>},  {Satin, Run<SatinParams>},
    {GradientOverlay, Run<GradientOverlayParams>},
};
static_assert(std::size(kEffects) == kEffectTypeCount);
static_assert([] {
  for (int i = 0; i < kEffectTypeCount; ++i)
    if (kEffects[i].type != i) return false;
  return true;
}());

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
  if (record.type < 0 || record.type >= kEffectTypeCount) return;  // unknown types are skipped
  const EffectTarget target = EffectTarget::For(ctx, pressed);
  if (!record.Blended()) {
    kEffects[record.type].run(target, record);
    return;
  }
  TakeBelow(target);
  kEffects[record.type].run(target, record);
  BlendOntoBelow(EffectTarget::For(ctx, pressed), record.blendMode, record.opacity);
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
    // The pressed button moves every offset (and every layer-style distance) half as far. C++
    // division truncates toward zero: 5 -> 2, -5 -> -2.
    if (const EffectInfo* info = FindEffectInfo(copy.type))
      for (const EffectParam& p : info->params)
        if (std::string_view(p.name) == "offsetX" || std::string_view(p.name) == "offsetY" ||
            std::string_view(p.name) == "distance")
          copy.p[size_t(p.slot)] /= 2;
    DispatchEffect(ctx, copy, true);
  }
}

void PreviewOneEffect(EngineContext& ctx, EffectRecord record) {
  ctx.RestartRandomEffects();
  ctx.work.FillBackground(ctx.in.styleBackdropColour);
  DispatchEffect(ctx, record, false);
  CopyWorkToImage(ctx);
}

void ReplayDistortions(EngineContext& ctx, int count) {
  ctx.RestartRandomEffects();
  ctx.work.RestoreGlyph();
  const std::vector<EffectRecord> effects = ctx.in.effects;
  const int n = std::min<int>(std::max(count, 0), int(effects.size()));
  for (int i = 0; i < n; ++i)
    if (effects[size_t(i)].type == DisturbTemplet) DispatchEffect(ctx, effects[size_t(i)], false);
}

void QuickPreview(EngineContext& ctx) {
  ctx.RestartRandomEffects();
  ctx.work.RestoreGlyph();
  RunStyle(ctx, true);
  if (ctx.pressedButton) RunStylePressed(ctx);
  CopyWorkToImage(ctx);
}

void CopyWorkToImage(EngineContext& ctx) {
  const int W = ctx.work.workWidth, H = ctx.work.workHeight;
  ctx.imageWidth = W;
  ctx.imageHeight = H;
  CopyColourInto(ctx.image, ctx.work.effectColorRows, W, H);
  if (ctx.pressedButton) CopyColourInto(ctx.pressedImage, ctx.work.pressedColorRows, W, H);
}
