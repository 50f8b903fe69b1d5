#pragma once
// Sizes the work area of the item in ctx.in and draws its shape into the glyph mask.
struct EngineContext;

// Sets ctx.layout from ctx.in, the item's effects and ctx.settings.clipBlank.
void ComputeWorkArea(EngineContext& ctx);
// ComputeWorkArea, rebuild ctx.work at that size, draw the text or the round box, take the glyph
// copy and the edge plane.
void RasterizeItem(EngineContext& ctx);
// Size of the bare text (no cropping, no effect room) into ctx.layout.workWidth/workHeight.
void MeasureText(EngineContext& ctx);
