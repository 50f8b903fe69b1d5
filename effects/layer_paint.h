#pragma once
// What Stroke, Bevel & Emboss and Gradient Overlay share: painting with a fractional weight, the
// gradient shapes, and the sizes they accept.
//
// Angles of these kinds run counter-clockwise from the right, as in layer-style tools: 0 points
// right, 90 up, 180 left. A light angle names the direction the light comes from.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

// Sizes in pixels beyond these (only from a hand-edited style) are clamped, so that a stray value
// cannot ask for a work area of gigabytes. The dialogs stop well below.
constexpr int kMaxLayerSize = 250;
constexpr int kMaxLayerSoften = 50;
inline int ClampLayerSize(int32_t v, int most = kMaxLayerSize) { return v < 0 ? 0 : v > most ? most : int(v); }

namespace layer {

// Blue, green, red of a COLORREF 0x00BBGGRR.
struct Bgr {
  int c[3];
  static Bgr Of(int32_t colour) { return {{(colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF}}; }
};

// Moves the pixel toward s by w (0..1), rounding to nearest, and raises the coverage by w
// (a coverage already full stays as it is).
inline void Paint(uint8_t* pixel, uint16_t& coverage, const int s[3], double w) {
  if (!(w > 0)) return;
  if (w > 1) w = 1;
  for (int k = 0; k < 3; ++k) pixel[k] = uint8_t(std::lround(pixel[k] + (s[k] - pixel[k]) * w));
  if (coverage < 255) coverage = uint16_t(std::min<long>(255, coverage + std::lround(w * 255)));
}

// The colour of t (0..1) between a and b, rounded to nearest.
inline Bgr Mix(const Bgr& a, const Bgr& b, double t) {
  Bgr out;
  for (int k = 0; k < 3; ++k) out.c[k] = int(std::lround(a.c[k] + (b.c[k] - a.c[k]) * t));
  return out;
}

enum GradientShape : int { kLinear = 0, kRadial = 1, kAngle = 2, kReflected = 3, kDiamond = 4 };

// Where a point lies on a gradient spanning a box: 0 is the first colour, 1 the second.
// The box holds the pixel centres x0..x1, y0..y1; its pixels' outer edges bound the ramp.
// Linear runs from the box's back edge (0) to its front edge (1) along the angle; Reflected from
// the centre line (0) to both edges (1); Radial and Diamond from the centre (0) to the farthest
// corner (1); Angle sweeps counter-clockwise from the angle's direction (0) round to it again (1).
// A scale below 1 shortens the ramp toward the centre, above 1 lengthens it.
class GradientRamp {
 public:
  GradientRamp(int shape, double angleDegrees, double scale, int x0, int y0, int x1, int y1)
      : shape_(shape) {
    cx_ = (x0 + x1) / 2.0;
    cy_ = (y0 + y1) / 2.0;
    angle_ = angleDegrees * kPi / 180.0;
    ux_ = std::cos(angle_);
    uy_ = -std::sin(angle_);  // rows run down
    const double hx = (x1 - x0) / 2.0 + 0.5, hy = (y1 - y0) / 2.0 + 0.5;
    double reach = 0;
    if (shape == kRadial) {
      reach = std::hypot(hx, hy);
    } else if (shape == kDiamond) {
      for (const double sx : {-hx, hx})
        for (const double sy : {-hy, hy}) reach = std::max(reach, std::fabs(Along(sx, sy)) + std::fabs(Across(sx, sy)));
    } else {
      reach = std::fabs(ux_) * hx + std::fabs(uy_) * hy;
    }
    reach_ = std::max(reach * std::max(scale, 0.01), 1e-6);
  }

  double At(double x, double y) const {
    const double dx = x - cx_, dy = y - cy_;
    double t;
    switch (shape_) {
      case kRadial: t = std::hypot(dx, dy) / reach_; break;
      case kDiamond: t = (std::fabs(Along(dx, dy)) + std::fabs(Across(dx, dy))) / reach_; break;
      case kReflected: t = std::fabs(Along(dx, dy)) / reach_; break;
      case kAngle: {
        if (dx == 0 && dy == 0) return 0;
        double a = std::atan2(-dy, dx) - angle_;
        a = std::fmod(a, 2 * kPi);
        if (a < 0) a += 2 * kPi;
        t = a / (2 * kPi);
        break;
      }
      default: t = (Along(dx, dy) / reach_ + 1) / 2; break;
    }
    return std::isfinite(t) ? std::clamp(t, 0.0, 1.0) : 0.0;
  }

 private:
  static constexpr double kPi = 3.14159265358979323846;
  double Along(double dx, double dy) const { return dx * ux_ + dy * uy_; }
  double Across(double dx, double dy) const { return -dx * uy_ + dy * ux_; }

  int shape_;
  double cx_, cy_, angle_, ux_, uy_, reach_;
};

// The bounding box of the lit pixels (glyph byte 0 not 0).
struct PixelBox {
  int x0 = 0, y0 = 0, x1 = -1, y1 = -1;
  bool Empty() const { return x1 < x0; }
};
inline PixelBox LitBox(const uint8_t* const* glyphRows, int W, int H) {
  PixelBox box{W, H, -1, -1};
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      if (glyphRows[y][x * 3] != 0) {
        box.x0 = std::min(box.x0, x);
        box.x1 = std::max(box.x1, x);
        box.y0 = std::min(box.y0, y);
        box.y1 = std::max(box.y1, y);
      }
  return box;
}

}  // namespace layer
