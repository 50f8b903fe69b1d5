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
void BlendPass(const EffectTarget& t, float o) {
  constexpr float k1 = 1.0f / 255;
  const size_t W = size_t(t.W);
  for (int y = 0; y < t.H; ++y) {
    uint8_t* c = t.colorRows[y];
    const uint8_t* cb = t.work.belowColor.data() + size_t(y) * W * 3;
    uint16_t* cov = t.coverage16 + size_t(y) * W;
    const uint16_t* covB = t.work.belowCoverage.data() + size_t(y) * W;
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
        const int a8 = added > 0 ? std::min(added, 255) : 255;
        const float w = float(a8) * k1, toSource = 255.0f / float(a8);
        const int below8 = std::min<int>(ab, 255);
        const float alphaB = float(below8) * k1, toStraight = below8 > 0 ? 255.0f / float(below8) : 0.0f;
        for (int k = 0; k < 3; ++k) {
          const float fb = cb[k] * k1, fn = c[k] * k1;
          const float fs = std::clamp(fb + (fn - fb) * toSource, 0.0f, 1.0f);
          const float straightB = std::min(1.0f, fb * toStraight);
          const float src = (1 - alphaB) * fs + alphaB * Blend<M>(straightB, fs);
          c[k] = ToByte(fb + o * w * (src - fb));
        }
      }
    }
  }
}

template <int... M>
void BlendPassFor(int mode, const EffectTarget& t, float o, std::integer_sequence<int, M...>) {
  ((mode == M ? BlendPass<M>(t, o) : void()), ...);
}

}  // namespace

float BlendChannel(int mode, float below, float source) {
  float out = source;
  [&]<int... M>(std::integer_sequence<int, M...>) {
    ((mode == M ? void(out = Blend<M>(below, source)) : void()), ...);
  }(std::make_integer_sequence<int, kBlendModeCount>{});
  return out;
}

void TakeBelow(const EffectTarget& t) {
  const size_t W = size_t(std::max(t.W, 0)), H = size_t(std::max(t.H, 0));
  t.work.belowColor.resize(W * H * 3);
  t.work.belowCoverage.resize(W * H);
  for (size_t y = 0; y < H; ++y) std::memcpy(t.work.belowColor.data() + y * W * 3, t.colorRows[y], W * 3);
  std::copy(t.coverage16, t.coverage16 + W * H, t.work.belowCoverage.begin());
}

void BlendOntoBelow(const EffectTarget& t, int mode, int opacity) {
  // A body that rebuilt the buffers at another size leaves nothing to blend with.
  const size_t pixels = size_t(std::max(t.W, 0)) * size_t(std::max(t.H, 0));
  if (pixels == 0 || t.work.belowCoverage.size() != pixels || t.work.belowColor.size() != pixels * 3) return;
  if (mode < 0 || mode >= kBlendModeCount) mode = BlendNormal;
  const float o = float(std::clamp(opacity, 0, 100)) / 100.0f;
  BlendPassFor(mode, t, o, std::make_integer_sequence<int, kBlendModeCount>{});
}
