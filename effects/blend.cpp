#include "effects/blend.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "raster/engine_context.h"

namespace {

float Multiply(float b, float s) { return b * s; }
float Screen(float b, float s) { return b + s - b * s; }
float HardLight(float b, float s) { return s <= 0.5f ? Multiply(b, 2 * s) : Screen(b, 2 * s - 1); }
float SoftLight(float b, float s) {
  if (s <= 0.5f) return b - (1 - 2 * s) * b * (1 - b);
  const float d = b <= 0.25f ? ((16 * b - 12) * b + 4) * b : std::sqrt(b);
  return b + (2 * s - 1) * (d - b);
}
float ColorDodge(float b, float s) {
  if (b <= 0) return 0;
  if (s >= 1) return 1;
  return std::min(1.0f, b / (1 - s));
}
float ColorBurn(float b, float s) {
  if (b >= 1) return 1;
  if (s <= 0) return 0;
  return 1 - std::min(1.0f, (1 - b) / s);
}

template <int M>
inline float Blend(float b, float s) {
  if constexpr (M == BlendMultiply) return Multiply(b, s);
  else if constexpr (M == BlendScreen) return Screen(b, s);
  else if constexpr (M == BlendOverlay) return HardLight(s, b);
  else if constexpr (M == BlendSoftLight) return SoftLight(b, s);
  else if constexpr (M == BlendHardLight) return HardLight(b, s);
  else if constexpr (M == BlendDarken) return std::min(b, s);
  else if constexpr (M == BlendLighten) return std::max(b, s);
  else if constexpr (M == BlendColorDodge) return ColorDodge(b, s);
  else if constexpr (M == BlendColorBurn) return ColorBurn(b, s);
  else if constexpr (M == BlendDifference) return std::fabs(b - s);
  else return s;
}

uint8_t ToByte(float v) { return uint8_t(std::clamp(v * 255.0f + 0.5f, 0.0f, 255.0f)); }

template <int M>
void BlendPass(const EffectTarget& t, const BlendBelow& below, float o) {
  constexpr float k1 = 1.0f / 255;
  const size_t W = size_t(below.W);
  for (int y = 0; y < below.H; ++y) {
    uint8_t* c = t.colorRows[y];
    const uint8_t* cb = below.colour.data() + size_t(y) * W * 3;
    uint16_t* cov = t.coverage16 + size_t(y) * W;
    const uint16_t* covB = below.coverage.data() + size_t(y) * W;
    for (size_t x = 0; x < W; ++x, c += 3, cb += 3) {
      const uint16_t ab = covB[x];
      // The coverage sums are modulo 65536: what the effect added is the difference taken so.
      const int added = int16_t(uint16_t(cov[x] - ab));
      const bool repainted = c[0] != cb[0] || c[1] != cb[1] || c[2] != cb[2];
      if (added == 0 && !repainted) continue;
      cov[x] = uint16_t(ab + int(std::lround(o * float(added))));
      if (added <= 0 && !repainted) continue;
      if constexpr (M == BlendNormal) {
        for (int k = 0; k < 3; ++k) c[k] = ToByte((cb[k] + o * float(c[k] - cb[k])) * k1);
      } else {
        const float w = added > 0 ? float(std::min(added, 255)) * k1 : 1.0f;
        const float alphaB = float(std::min<uint16_t>(ab, 255)) * k1;
        for (int k = 0; k < 3; ++k) {
          const float fb = cb[k] * k1, fn = c[k] * k1;
          const float fs = std::clamp(fb + (fn - fb) / w, 0.0f, 1.0f);
          const float straightB = alphaB > 0 ? std::min(1.0f, fb / alphaB) : 0.0f;
          const float src = (1 - alphaB) * fs + alphaB * Blend<M>(straightB, fs);
          c[k] = ToByte(fb + o * w * (src - fb));
        }
      }
    }
  }
}

template <int... M>
void BlendPassFor(int mode, const EffectTarget& t, const BlendBelow& below, float o,
                  std::integer_sequence<int, M...>) {
  ((mode == M ? BlendPass<M>(t, below, o) : void()), ...);
}

}  // namespace

float BlendChannel(int mode, float below, float source) {
  float out = source;
  [&]<int... M>(std::integer_sequence<int, M...>) {
    ((mode == M ? void(out = Blend<M>(below, source)) : void()), ...);
  }(std::make_integer_sequence<int, kBlendModeCount>{});
  return out;
}

BlendBelow TakeBelow(const EffectTarget& t) {
  BlendBelow below;
  if (t.W <= 0 || t.H <= 0) return below;
  below.W = t.W;
  below.H = t.H;
  const size_t W = size_t(t.W), H = size_t(t.H);
  below.colour.resize(W * H * 3);
  for (size_t y = 0; y < H; ++y) std::memcpy(below.colour.data() + y * W * 3, t.colorRows[y], W * 3);
  below.coverage.assign(t.coverage16, t.coverage16 + W * H);
  return below;
}

void BlendOntoBelow(const EffectTarget& t, const BlendBelow& below, int mode, int opacity) {
  // A body that rebuilt the buffers at another size leaves nothing to blend with.
  if (below.W != t.W || below.H != t.H || below.W <= 0) return;
  if (mode < 0 || mode >= kBlendModeCount) mode = BlendNormal;
  const float o = float(std::clamp(opacity, 0, 100)) / 100.0f;
  BlendPassFor(mode, t, below, o, std::make_integer_sequence<int, kBlendModeCount>{});
}
