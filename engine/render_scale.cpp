#include "engine/render_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "effects/effect_catalogue.h"

namespace {

int32_t Times(int32_t v, double s) {
  return int32_t(std::clamp(std::lround(double(v) * s), long(INT32_MIN / 2), long(INT32_MAX / 2)));
}

// Source pixels and their shares of one target pixel along an axis.
struct Tap {
  int first = 0;
  std::vector<double> weights;
};

std::vector<Tap> Taps(int source, int target) {
  std::vector<Tap> taps(size_t(std::max(target, 0)));
  const double step = double(source) / target;
  for (int t = 0; t < target; ++t) {
    const double a = t * step, b = (t + 1) * step;
    Tap& tap = taps[size_t(t)];
    tap.first = int(std::floor(a));
    for (int s = tap.first; s < b && s < source; ++s)
      tap.weights.push_back((std::min(b, s + 1.0) - std::max(a, double(s))) / step);
  }
  return taps;
}

// Reduces `channels` interleaved channels of source rows into target rows of doubles.
template <typename Row>
std::vector<double> Reduce(Row sourceRow, int sw, int sh, int channels, int tw, int th) {
  const std::vector<Tap> tx = Taps(sw, tw), ty = Taps(sh, th);
  std::vector<double> across(size_t(sh) * size_t(tw) * size_t(channels), 0.0);
  for (int y = 0; y < sh; ++y) {
    double* out = across.data() + size_t(y) * size_t(tw) * size_t(channels);
    for (int x = 0; x < tw; ++x)
      for (size_t i = 0; i < tx[size_t(x)].weights.size(); ++i) {
        const double w = tx[size_t(x)].weights[i];
        const int sx = tx[size_t(x)].first + int(i);
        for (int c = 0; c < channels; ++c) out[x * channels + c] += w * sourceRow(y, sx, c);
      }
  }
  std::vector<double> result(size_t(th) * size_t(tw) * size_t(channels), 0.0);
  for (int y = 0; y < th; ++y) {
    double* out = result.data() + size_t(y) * size_t(tw) * size_t(channels);
    for (size_t i = 0; i < ty[size_t(y)].weights.size(); ++i) {
      const double w = ty[size_t(y)].weights[i];
      const double* in = across.data() + size_t(ty[size_t(y)].first + int(i)) * size_t(tw) * size_t(channels);
      for (size_t k = 0; k < size_t(tw) * size_t(channels); ++k) out[k] += w * in[k];
    }
  }
  return result;
}

uint8_t Byte(double v) { return uint8_t(std::clamp(std::lround(v), 0L, 255L)); }

}  // namespace

void ScaleEffectRecords(std::vector<EffectRecord>& effects, double s) {
  for (EffectRecord& e : effects) {
    const EffectInfo* info = FindEffectInfo(e.type);
    if (!info) continue;
    for (const EffectParam& p : info->params) {
      int32_t& v = e.p[size_t(p.slot)];
      if (p.unit == ParamUnit::PixelLength) v = Times(v, s);
      else if (p.unit == ParamUnit::PerPixel) v = std::max(1, Times(v, 1.0 / s));
    }
  }
}

PlaquetDocument ScaledDocument(const PlaquetDocument& doc, double s) {
  PlaquetDocument out = doc;
  out.extensionX = Times(doc.extensionX, s);
  out.extensionY = Times(doc.extensionY, s);
  // The fixed box's size; the other box parameters are shares of the message.
  out.boxParams[0] = Times(doc.boxParams[0], s);
  out.boxParams[1] = Times(doc.boxParams[1], s);
  for (PlaquetItem& item : out.items) {
    item.font.height = Times(item.font.height, s);
    item.font.width = Times(item.font.width, s);
    // A box item's size and corners are pixels; a text item's box line is shares, unused by it.
    if (item.kind == kKindRoundBox || item.kind == kKindFixedRoundBox)
      for (size_t i = 0; i < 4; ++i) item.boxParams[i] = Times(item.boxParams[i], s);
    for (int32_t& e : item.extension) e = Times(e, s);
    ScaleEffectRecords(item.effects, s);
  }
  ScaleEffectRecords(out.currentStyle.effects, s);
  return out;
}

bool HasRandomEffects(const PlaquetDocument& doc) {
  for (const PlaquetItem& item : doc.items)
    for (const EffectRecord& e : item.effects)
      if (e.type == Space || (e.type == DisturbTemplet && e.p[4] == 7)) return true;
  return false;
}

std::string ScaleText(double s) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", s);
  return text;
}

DibImage AreaAverage(const DibImage& source, int width, int height) {
  DibImage out;
  const int sw = source.Width(), sh = source.Height();
  if (sw <= 0 || sh <= 0 || width <= 0 || height <= 0 || !out.Create(width, height, 24)) return out;
  const DibRowTable in(source);
  const std::vector<double> r =
      Reduce([&](int y, int x, int c) { return double(in[y][x * 3 + c]); }, sw, sh, 3, width, height);
  DibRowTable rows(out);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width * 3; ++x) rows[y][x] = Byte(r[size_t(y) * size_t(width) * 3 + size_t(x)]);
  return out;
}

RgbaPicture AreaAverage(const RgbaPicture& source, int width, int height) {
  RgbaPicture out;
  const int sw = source.width, sh = source.height;
  if (sw <= 0 || sh <= 0 || width <= 0 || height <= 0) return out;
  // Colour premultiplied by alpha, so that a transparent pixel's colour weighs nothing.
  const std::vector<double> r = Reduce(
      [&](int y, int x, int c) {
        const uint8_t* p = source.pixels.data() + (size_t(y) * size_t(sw) + size_t(x)) * 4;
        return c == 3 ? double(p[3]) : double(p[c]) * p[3];
      },
      sw, sh, 4, width, height);
  out.width = width;
  out.height = height;
  out.pixels.resize(size_t(width) * size_t(height) * 4);
  for (size_t i = 0; i < size_t(width) * size_t(height); ++i) {
    const double a = r[i * 4 + 3];
    for (int c = 0; c < 3; ++c) out.pixels[i * 4 + size_t(c)] = a > 0 ? Byte(r[i * 4 + size_t(c)] / a) : 0;
    out.pixels[i * 4 + 3] = Byte(a);
  }
  return out;
}
