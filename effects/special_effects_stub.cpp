// Stand-ins that paint nothing until the special effects land; removed by them.
#include "effects/special_effects.h"
#include "engine/engine_context.h"

void Shade3D(const EffectTarget&, const EffectRecord&) {}
void FogEffect(const EffectTarget&, const EffectRecord&) {}
void SpaceEffect(const EffectTarget&, const EffectRecord&) {}
void Distort(EngineContext& ctx, int, int, int) { ctx.work.BuildEdgePlane(); }
void StarFilterEffect(const EffectTarget&, int, int32_t, float, int, int) {}
void RoundBoxEffect(EngineContext&, const EffectRecord&) {}
void LoadLightPatterns(EngineContext&) {}
