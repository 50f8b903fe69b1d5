#pragma once
// The effects that colour the glyph itself: Draw (solid, tiled or stretched texture), Linear
// Gradient and Tile. They paint into the colour/coverage pair of an EffectTarget; dx, dy shift
// the glyph right and down. Textures come from ctx.programFolder + "texture/" + fileName; a
// missing, empty or unreadable texture paints nothing.
#include <cstdint>
#include <string>
#include <vector>

struct EffectTarget;

// A texture decoded to top-down blue-green-red pixels.
struct FillTexture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bgr;  // width*height*3
  const uint8_t* Pixel(int x, int y) const { return bgr.data() + (size_t(y) * size_t(width) + size_t(x)) * 3; }
};

// Loads a 24-bit or 8-bit picture (8-bit through its colour table). False when the file is
// missing, empty, unreadable or of another depth.
bool LoadFillTexture(const std::string& path, FillTexture& texture);
// programFolder + "texture/" + fileName.
std::string FillTexturePath(const EffectTarget& t, const std::string& fileName);

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
