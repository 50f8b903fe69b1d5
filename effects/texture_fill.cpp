#include <cstdio>

#include "raster/engine_context.h"
#include "effects/fill_effects.h"
#include "effects/glyph_walk.h"
#include "imaging/dib_image.h"

bool LoadFillTexture(const std::string& path, FillTexture& texture) {
  texture = FillTexture{};
  // A missing or empty file is not worth handing to the decoders.
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  const bool empty = std::fseek(f, 0, SEEK_END) != 0 || std::ftell(f) <= 0;
  std::fclose(f);
  if (empty) return false;

  DibImage image;
  if (!image.Load(path) || image.Empty()) return false;
  const int bits = image.BitCount();
  const int w = image.Width(), h = image.Height();
  if (w <= 0 || h <= 0 || (bits != 24 && bits != 8)) return false;

  // 8-bit pictures: the colour table follows the header as blue, green, red, reserved.
  const std::vector<uint8_t>& packed = image.Packed();
  const size_t tableStart = size_t(image.HeaderSize());
  const size_t tableEntries = bits == 8 ? size_t(image.ColorCount()) : 0;
  if (bits == 8 && tableStart + tableEntries * 4 > packed.size()) return false;

  texture.width = w;
  texture.height = h;
  texture.bgr.resize(size_t(w) * size_t(h) * 3);
  DibRowTable rows(image);
  if (rows.Height() < h) return false;
  for (int y = 0; y < h; ++y) {
    const uint8_t* src = rows[y];
    uint8_t* dst = texture.bgr.data() + size_t(y) * size_t(w) * 3;
    if (bits == 24) {
      std::copy(src, src + size_t(w) * 3, dst);
      continue;
    }
    for (int x = 0; x < w; ++x) {
      const size_t index = src[x];
      if (index < tableEntries) {
        const uint8_t* e = packed.data() + tableStart + index * 4;
        dst[x * 3] = e[0];
        dst[x * 3 + 1] = e[1];
        dst[x * 3 + 2] = e[2];
      } else {
        dst[x * 3] = dst[x * 3 + 1] = dst[x * 3 + 2] = 0;
      }
    }
  }
  return true;
}

std::string FillTexturePath(const EffectTarget& t, const std::string& fileName) {
  return t.ctx.programFolder + "texture/" + fileName;
}

void TextureFillTile(const EffectTarget& t, int dx, int dy, const std::string& fileName) {
  FillTexture tex;
  if (!LoadFillTexture(FillTexturePath(t, fileName), tex)) return;
  WalkGlyph(t, dx, dy, [&](int x, int y, const uint8_t* g, uint8_t* c, uint16_t& cov) {
    const uint8_t* s = tex.Pixel(int((int64_t(x) - dx) % tex.width), int((int64_t(y) - dy) % tex.height));
    for (int k = 0; k < 3; ++k) c[k] = uint8_t(((255 - g[k]) * c[k] + g[k] * s[k]) >> 8);
    cov = uint16_t(cov + g[0]);
  });
}

void TextureFillStretch(const EffectTarget& t, int dx, int dy, const std::string& fileName) {
  FillTexture tex;
  if (!LoadFillTexture(FillTexturePath(t, fileName), tex)) return;
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
