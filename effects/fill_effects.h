#pragma once
// The effects that colour the glyph itself: Draw (solid, tiled or stretched texture), Linear
// Gradient and Tile. They paint into the colour/coverage pair of an EffectTarget; dx, dy shift
// the glyph right and down. Textures come from ctx.programFolder + "texture/" + fileName through
// the context's cache; a missing, empty or unreadable texture paints nothing.
#include <cstdint>
#include <string>
#include <memory>
#include <vector>

#include "raster/texture_cache.h"

struct EffectTarget;

// The texture fileName of ctx.programFolder + "texture/", from the context's texture cache;
// nullptr when there is none to paint with. Throws RenderError for a refused name or file.
std::shared_ptr<const FillTexture> FillTextureFor(const EffectTarget& t, const std::string& fileName);

void SolidFill(const EffectTarget& t, int dx, int dy, int32_t colour);
void TextureFillTile(const EffectTarget& t, int dx, int dy, const std::string& fileName);
void TextureFillStretch(const EffectTarget& t, int dx, int dy, const std::string& fileName);
// The geometry uses the work size only; halfWidth/halfHeight are accepted for the caller's
// convenience and recomputed. A size of 0 counts as 1.
void GradientFill(const EffectTarget& t, int halfWidth, int halfHeight, int dx, int dy, int angle,
                  int32_t colour1, int32_t colour2, int size);
// Mosaic of the colour painted so far: cells of the texture's size, each the cell's average colour
// modulated by the texels; cells whose centre has no coverage are cleared.
void TileFill(const EffectTarget& t, const std::string& fileName);
