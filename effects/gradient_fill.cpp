#include <cmath>

#include "raster/engine_context.h"
#include "effects/fill_effects.h"
#include "effects/glyph_walk.h"

namespace {

// Degrees to radians with pi taken as 3.14.
constexpr double kDegrees = 0.017444444444444446;

inline int Channel(float delta, float t, int base) {
  return int(delta * t + float(base));
}

}  // namespace

void GradientFill(const EffectTarget& t, int /*halfWidth*/, int /*halfHeight*/, int dx, int dy, int angle,
                  int32_t colour1, int32_t colour2, int size) {
  const int W = t.W, H = t.H;
  const int hw = W / 2, hh = H / 2;
  const int B1 = (colour1 >> 16) & 0xFF, G1 = (colour1 >> 8) & 0xFF, R1 = colour1 & 0xFF;
  const float dB = float(((colour2 >> 16) & 0xFF) - B1);
  const float dG = float(((colour2 >> 8) & 0xFF) - G1);
  const float dR = float((colour2 & 0xFF) - R1);
  // A ramp of length 0 would divide by zero; the dialogs never go below 1 either.
  const int r = size == 0 ? 1 : size;
  const float L = float(2.0 * double(r));
  const float a = float(angle);

  enum class Branch { Vertical, Horizontal, General } branch = Branch::General;
  float x0 = 0, y0 = 0, m = 0, b = 0, m2 = 0;
  if (a == 90.0f) {
    branch = Branch::Vertical;
    x0 = float(hw);
    y0 = float(double(hh) - r);
  } else if (a == 270.0f) {
    branch = Branch::Vertical;
    x0 = float(hw);
    y0 = float(double(hh) + r);
  } else if (a == 0.0f) {
    branch = Branch::Horizontal;
    x0 = float(double(hw) - r);
    y0 = float(hh);
  } else if (a == 180.0f) {
    branch = Branch::Horizontal;
    x0 = float(double(hw) + r);
    y0 = float(hh);
  } else {
    const double rho = a * kDegrees;
    x0 = float(hw - std::cos(rho) * r);
    y0 = float(hh - std::sin(rho) * r);
    m = float(std::tan(rho));
    b = y0 - m * x0;
    m2 = float(std::tan((a + 90.0) * kDegrees));
  }

  WalkGlyph(t, dx, dy, [&](int x, int y, const uint8_t* g, uint8_t* c, uint16_t& cov) {
    const float X = float(x - dx), Y = float(y - dy);
    float tt;
    if (branch == Branch::Vertical) {
      tt = std::fabs(Y - y0) / L;
    } else if (branch == Branch::Horizontal) {
      tt = std::fabs(X - x0) / L;
    } else {
      const float k = Y - m2 * X;
      const float xi = (k - b) / (m - m2);
      const float yi = float(m * xi + b);
      tt = std::sqrt((y0 - yi) * (y0 - yi) + (x0 - xi) * (x0 - xi)) / L;
    }
    if (!(tt >= 0.0f)) tt = 0.0f;  // also catches NaN
    if (tt > 1.0f) tt = 1.0f;
    const int s[3] = {Channel(dB, tt, B1), Channel(dG, tt, G1), Channel(dR, tt, R1)};
    for (int k = 0; k < 3; ++k) c[k] = uint8_t(((255 - g[k]) * c[k] + g[k] * s[k]) >> 8);
    cov = uint16_t(cov + g[2]);
  });
}
