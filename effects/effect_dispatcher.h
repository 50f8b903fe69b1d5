#pragma once
// Runs effect records over the work set, for the normal and the pressed-button image.
#include "effects/effect_record.h"

struct EngineContext;

// One record; a blended one (effects/blend.h) paints through a copy of what lay below it.
void DispatchEffect(EngineContext& ctx, const EffectRecord& record, bool pressed);
// Applies ctx.in.effects to the normal image; fillFirst paints ctx.in.styleBackdropColour first.
void RunStyle(EngineContext& ctx, bool fillFirst);
// The same with every offset halved, into the pressed image.
void RunStylePressed(EngineContext& ctx);
void PreviewOneEffect(EngineContext& ctx, EffectRecord record);
void ReplayDistortions(EngineContext& ctx, int count);
void QuickPreview(EngineContext& ctx);
void CopyWorkToImage(EngineContext& ctx);
