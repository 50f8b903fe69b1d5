#include <algorithm>

#include "raster/engine_context.h"
#include "effects/fill_effects.h"
#include "effects/glyph_walk.h"
#include "imaging/dib_image.h"

std::shared_ptr<const FillTexture> FillTextureFor(const EffectTarget& t, const std::string& fileName) {
  return t.ctx.textures.Get(t.ctx.programFolder + "texture/", fileName);
}

void TextureFillTile(const EffectTarget& t, int dx, int dy, const std::string& fileName) {
  const auto texture = FillTextureFor(t, fileName);
  if (!texture) return;
  const FillTexture& tex = *texture;
  WalkGlyph(t, dx, dy, [&](int x, int y, const uint8_t* g, uint8_t* c, uint16_t& cov) {
    const uint8_t* s = tex.Pixel(int((int64_t(x) - dx) % tex.width), int((int64_t(y) - dy) % tex.height));
    for (int k = 0; k < 3; ++k) c[k] = uint8_t(((255 - g[k]) * c[k] + g[k] * s[k]) >> 8);
    cov = uint16_t(cov + g[0]);
  });
}

void TextureFillStretch(const EffectTarget& t, int dx, int dy, const std::string& fileName) {
  const auto texture = FillTextureFor(t, fileName);
  if (!texture) return;
  const FillTexture& tex = *texture;
  const double W = t.W, H = t.H;
  WalkGlyph(t, dx, dy, [&](int x, int y, const uint8_t* g, uint8_t* c, uint16_t& cov) {
    int tx = int((double(x) - dx) / W * tex.width);
    int ty = int((double(y) - dy) / H * tex.height);
    // The mapping of the last column can round up to the texture's width.
    tx = std::min(tx, tex.width - 1);
    ty = std::min(ty, tex.height - 1);
    const uint8_t* s = tex.Pixel(tx, ty);
    for (int k = 0; k < 3; ++k) c[k] = uint8_t(((255 - g[k]) * c[k] + g[k] * s[k]) >> 8);
    cov = uint16_t(cov + g[2]);
  });
}
