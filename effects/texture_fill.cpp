#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "raster/engine_context.h"
#include "raster/render_error.h"
#include "effects/fill_effects.h"
#include "effects/glyph_walk.h"
#include "imaging/dib_image.h"

namespace {
// Texture pixels are picture pixels: a larger picture draws its texture larger too (bilinear,
// sampling at pixel centres and wrapping, since textures tile).
std::shared_ptr<const FillTexture> ScaledTexture(const FillTexture& tex, double s) {
  auto out = std::make_shared<FillTexture>();
  const int w = std::max(1, int(std::lround(tex.width * s))), h = std::max(1, int(std::lround(tex.height * s)));
  if (double(w) * h > double(kMaxTexturePixels) * 4)
    throw RenderError("a texture of " + std::to_string(tex.width) + " x " + std::to_string(tex.height) +
                      " pixels is too large to draw " + std::to_string(s) + " times larger");
  out->width = w;
  out->height = h;
  out->bgr.resize(size_t(w) * size_t(h) * 3);
  const double sx = double(tex.width) / w, sy = double(tex.height) / h;
  auto wrap = [](int v, int n) { return ((v % n) + n) % n; };
  for (int y = 0; y < h; ++y) {
    const double fy = (y + 0.5) * sy - 0.5;
    const int y0 = int(std::floor(fy));
    const double ay = fy - y0;
    for (int x = 0; x < w; ++x) {
      const double fx = (x + 0.5) * sx - 0.5;
      const int x0 = int(std::floor(fx));
      const double ax = fx - x0;
      const uint8_t* p00 = tex.Pixel(wrap(x0, tex.width), wrap(y0, tex.height));
      const uint8_t* p10 = tex.Pixel(wrap(x0 + 1, tex.width), wrap(y0, tex.height));
      const uint8_t* p01 = tex.Pixel(wrap(x0, tex.width), wrap(y0 + 1, tex.height));
      const uint8_t* p11 = tex.Pixel(wrap(x0 + 1, tex.width), wrap(y0 + 1, tex.height));
      uint8_t* o = out->bgr.data() + (size_t(y) * size_t(w) + size_t(x)) * 3;
      for (int k = 0; k < 3; ++k)
        o[k] = uint8_t(std::lround((p00[k] * (1 - ax) + p10[k] * ax) * (1 - ay) + (p01[k] * (1 - ax) + p11[k] * ax) * ay));
    }
  }
  return out;
}
}  // namespace

std::shared_ptr<const FillTexture> FillTextureFor(const EffectTarget& t, const std::string& fileName) {
  auto texture = t.ctx.textures.Get(t.ctx.programFolder + "texture/", fileName);
  if (!texture || t.ctx.passScale == 1 || texture->width <= 0 || texture->height <= 0) return texture;
  auto& kept = t.ctx.scaledTextures;
  for (const auto& k : kept)
    if (k.source == texture && k.scale == t.ctx.passScale) return k.scaled;
  constexpr size_t kKept = 8;
  if (kept.size() >= kKept) kept.erase(kept.begin());
  kept.push_back({texture, t.ctx.passScale, ScaledTexture(*texture, t.ctx.passScale)});
  return kept.back().scaled;
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
