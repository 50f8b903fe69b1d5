#pragma once
// Turns the document into ctx.image (and ctx.pressedImage when the pressed button is on).
struct EngineContext;
struct PlaquetDocument;
struct PlaquetItem;

// Full render: size, place, rasterize, run styles, compose. Clears doc.previewDirty. Throws
// RenderError (a quorbel::Error) when the render cannot be carried out.
void RenderPreview(PlaquetDocument& doc, EngineContext& ctx);
// Composes the item canvases of the last full render again.
void Recompose(PlaquetDocument& doc, EngineContext& ctx);
// Recompose, then reduce the pictures to 8 bits with `colours` entries (16 or 256), to the
// context's shared palette when it has one of that many colours.
void RenderReduced(PlaquetDocument& doc, EngineContext& ctx, int colours);

void SizeItems(PlaquetDocument& doc, EngineContext& ctx);
void PlaceBackgroundAndBullet(PlaquetDocument& doc, EngineContext& ctx);
void ComputePage(PlaquetDocument& doc, EngineContext& ctx);
// Copies the item's kind, text, font, box parameters and effects into ctx.in.
void LoadRenderInputs(const PlaquetDocument& doc, const PlaquetItem& item, EngineContext& ctx);
