#include "engine/text_rasterizer.h"

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "effects/bevel_emboss.h"
#include "effects/shadow_effects.h"
#include "effects/stroke.h"
#include "raster/engine_context.h"
#include "raster/render_error.h"
#include "platform/round_rect.h"

namespace {

int64_t RoundUp4(int64_t v) { return v <= 0 ? 0 : (v + 3) / 4 * 4; }
int64_t RoundDown4(int64_t v) { return v <= 0 ? 0 : v / 4 * 4; }

// The layout's own rows and columns grow with a scaled pass too, so that a picture drawn at 2x
// has twice the 1x layout rather than the 1x margins around twice the text. Sizes still round to
// 4 pixels: rounding to 4 x S would be exact only while the ink is, and a pixel of hinting
// then moves a size by a whole step.
struct LayoutUnits {
  explicit LayoutUnits(double scale) : s(scale) {}
  int64_t Px(int v) const { return s == 1 ? v : std::llround(v * s); }
  int64_t Up(int64_t v) const { return v <= 0 ? 0 : (v + q - 1) / q * q; }
  int64_t Down(int64_t v) const { return v <= 0 ? 0 : v / q * q; }
  double s;
  int64_t q = 4;
};

// Empty when a w x h area needing bytesPerPixel bytes a pixel fits the render's limits.
std::string Refusal(const ImageLimits& limits, int64_t w, int64_t h, uint64_t bytesPerPixel) {
  if (w < 0 || h < 0) return "has a negative size";
  if (w == 0 || h == 0) return {};
  return limits.Refusal(uint64_t(w), uint64_t(h), bytesPerPixel);
}

std::string Describe(const LogFont& f) {
  return "font \"" + f.faceName + "\" of height " + std::to_string(f.height) + " and width " +
         std::to_string(f.width);
}

// Font failures (no font installed at all) surface as render errors, like every other failure
// of a render.
template <typename F>
auto WithFont(const LogFont& font, F&& f) {
  try {
    return f();
  } catch (const RenderError&) {
    throw;
  } catch (const std::exception& e) {
    throw RenderError(Describe(font) + ": " + e.what());
  }
}

// The room the item's effects need around the shape, as a box around the origin.
struct Room {
  int64_t minX = 0, maxX = 0, minY = 0, maxY = 0;
  void Box(int64_t x0, int64_t x1, int64_t y0, int64_t y1) {
    minX = std::min(minX, x0);
    maxX = std::max(maxX, x1);
    minY = std::min(minY, y0);
    maxY = std::max(maxY, y1);
  }
};

Room EffectRoom(const std::vector<EffectRecord>& effects, double scale) {
  Room room;
  for (const EffectRecord& e : effects) {
    const int64_t dx = e.p[2], dy = e.p[3];
    switch (e.type) {
      case SingleColor:
      case LinearGradient:
      case ThreeDSingleColor:
      case Fog:
      case Space:
        room.Box(dx, dx, dy, dy);
        break;
      case OutLine: {
        const int64_t r = ClampKernelRadius(e.p[4]);
        room.Box(dx - r, dx + r, dy - r, dy + r);
        break;
      }
      case DropShadow: {
        const int64_t r = ClampKernelRadius(e.p[5]);
        room.Box(dx - r + 1, dx + r - 1, dy - r + 1, dy + r - 1);
        break;
      }
      case StarFilter: {
        // The light pattern grows with the picture.
        const int64_t ady = std::llabs(dy), r = std::llround(3 * scale);
        room.Box(dx - r, dx + r, ady - r, ady + r);
        break;
      }
      case Stroke: {
        const int64_t r = OutsideReach(StrokeParams::From(e));
        room.Box(-r, r, -r, r);
        break;
      }
      case BevelEmboss: {
        const int64_t r = OutsideReach(BevelEmbossParams::From(e));
        room.Box(-r, r, -r, r);
        break;
      }
      default:  // Depth of Field, Disturbing Font, Tile, Round Box, Cut Out: no room
        break;
    }
  }
  return room;
}

struct TextBox {
  int64_t width = 0, height = 0, clipShiftX = 0, clipShiftY = 0;
  bool blank = false;  // clipBlank on and no ink at all
};

TextBox MeasureTextBox(EngineContext& ctx) {
  const LogFont& font = ctx.in.renderFont;
  const std::string& text = ctx.in.renderText;
  const platform::TextExtent extent = WithFont(font, [&] { return ctx.fonts.MeasureText(font, text); });
  const LayoutUnits units(ctx.passScale);
  const int64_t w4 = units.Up(extent.width), h4 = units.Up(extent.height);
  TextBox box;
  if (!ctx.settings.clipBlank) {
    box.width = w4;
    box.height = h4 + units.Px(1);
    return box;
  }
  // The unclipped text may be larger than the work area it ends up in; like a page, it may
  // reach twice the work area's limits (it is one byte a pixel).
  if (const std::string refusal = Refusal(PageLimits(ctx.limits), w4, h4, 1); !refusal.empty())
    throw RenderError("text drawn with the " + Describe(font) + ": " + refusal);
  std::vector<uint8_t> plane(static_cast<size_t>(w4 * h4), 0);
  std::vector<uint8_t*> rows(static_cast<size_t>(h4));
  for (int64_t y = 0; y < h4; ++y) rows[size_t(y)] = plane.data() + y * w4;
  WithFont(font, [&] {
    ctx.fonts.DrawText(font, text, 0, 0, int(w4), int(h4), rows.data(), int(w4), int(h4), 1);
    return 0;
  });

  int64_t left = w4, right = 0, topInk = -1, bottomInk = -1;
  for (int64_t y = 0; y < h4; ++y) {
    const uint8_t* row = rows[size_t(y)];
    bool any = false;
    for (int64_t x = 0; x < w4; ++x) {
      if (!row[x]) continue;
      any = true;
      left = std::min(left, x);
      right = std::max(right, x + 1);
    }
    if (any) {
      if (topInk < 0) topInk = y;
      bottomInk = y;
    }
  }
  if (topInk < 0) {
    // Only blanks: an empty item of the size an empty text gets.
    box.blank = true;
    return box;
  }
  // One blank row is kept above the ink, none below, left or right.
  box.clipShiftX = left;
  box.clipShiftY = topInk - units.Px(1);
  box.width = right - left;
  box.height = bottomInk - topInk + 1 + units.Px(1);
  return box;
}

int32_t Narrow(int64_t v, const char* what) {
  if (v < INT32_MIN || v > INT32_MAX)
    throw RenderError(std::string("the effects' ") + what + " is out of range");
  return int32_t(v);
}

}  // namespace

void ComputeWorkArea(EngineContext& ctx) {
  LayoutOutputs& out = ctx.layout;
  const RenderInputs& in = ctx.in;
  const LayoutUnits units(ctx.passScale);
  if (in.renderText.empty()) {
    out.textOffsetX = out.textOffsetY = 0;
    out.workWidth = int32_t(units.Down(int64_t(out.extraWidth) + units.q));
    out.workHeight = int32_t(units.Down(int64_t(out.extraHeight) + units.q));
    return;
  }

  const Room room = EffectRoom(in.effects, ctx.passScale);
  const int64_t offX = int64_t(in.extensionX) - room.minX, offY = int64_t(in.extensionY) - room.minY;
  const int64_t extraW = 2 * int64_t(in.extensionX) - room.minX + room.maxX;
  const int64_t extraH = 2 * int64_t(in.extensionY) - room.minY + room.maxY;
  out.textOffsetX = Narrow(offX, "horizontal offset");
  out.textOffsetY = Narrow(offY, "vertical offset");
  out.extraWidth = Narrow(extraW, "horizontal room");
  out.extraHeight = Narrow(extraH, "vertical room");

  int64_t boxW = 0, boxH = 0;
  switch (in.kind) {
    case kKindFont:
    case kKindStretchedFont: {
      const TextBox box = MeasureTextBox(ctx);
      out.clipShiftX = int32_t(box.clipShiftX);
      out.clipShiftY = int32_t(box.clipShiftY);
      if (box.blank) {
        out.clipShiftX = out.clipShiftY = 0;
        boxW = boxH = 1;  // so that the sizes below equal those of an empty text
      } else {
        boxW = box.width;
        boxH = box.height;
      }
      break;
    }
    case kKindRoundBox:
    case kKindFixedRoundBox:
      boxW = in.renderBoxParams[0];
      boxH = in.renderBoxParams[1];
      break;
    default:  // None, and kinds no page offers
      out.workWidth = out.workHeight = 0;
      return;
  }

  const int64_t sumW = extraW + boxW + units.Px(3), sumH = extraH + boxH + units.Px(3);
  out.unroundedWidth = Narrow(sumW, "width");
  out.unroundedHeight = Narrow(sumH, "height");
  // A picture shrunk past nothing by the extension sliders is empty, not negative.
  const int64_t w = units.Down(sumW), h = units.Down(sumH);
  // Fonts, margins and effect sizes all end up here: refuse before anything is allocated.
  if (const std::string refusal = Refusal(ctx.limits, w, h, WorkSet::kBytesPerPixel); !refusal.empty())
    throw RenderError("work area: " + refusal);
  out.workWidth = int32_t(w);
  out.workHeight = int32_t(h);
}

void RasterizeItem(EngineContext& ctx) {
  ctx.work.glyphChanged = true;
  ComputeWorkArea(ctx);
  const LayoutOutputs& out = ctx.layout;
  WorkSet& work = ctx.work;
  work.Allocate(out.workWidth, out.workHeight, ctx.limits);

  const RenderInputs& in = ctx.in;
  switch (in.kind) {
    case kKindFont:
    case kKindStretchedFont:
      if (!in.renderText.empty() && work.workWidth > 0 && work.workHeight > 0) {
        const int64_t left = int64_t(out.textOffsetX) - out.clipShiftX;
        const int64_t top = int64_t(out.textOffsetY) - out.clipShiftY;
        WithFont(in.renderFont, [&] {
          ctx.fonts.DrawText(in.renderFont, in.renderText, int(std::clamp<int64_t>(left, INT32_MIN, INT32_MAX)),
                             int(std::clamp<int64_t>(top, INT32_MIN, INT32_MAX)), work.workWidth,
                             work.workHeight, work.glyphRows.data(), work.workWidth, work.workHeight, 3);
          return 0;
        });
      }
      break;
    case kKindRoundBox:
    case kKindFixedRoundBox: {
      const int64_t x0 = out.textOffsetX, y0 = out.textOffsetY;
      const int64_t x1 = x0 + in.renderBoxParams[0], y1 = y0 + in.renderBoxParams[1];
      // A box of negative or zero size draws nothing; coordinates past int range cannot be
      // inside the work area, so clamping them keeps the drawn part unchanged.
      auto c = [](int64_t v) { return int(std::clamp<int64_t>(v, INT32_MIN / 2, INT32_MAX / 2)); };
      if (x1 > x0 && y1 > y0)
        platform::FillRoundRect(work.glyphRows.data(), work.workWidth, work.workHeight, 3, c(x0), c(y0),
                                c(x1), c(y1), in.renderBoxParams[2], in.renderBoxParams[3]);
      break;
    }
    default:
      break;
  }
  work.FinishRasterizing();
}

void MeasureText(EngineContext& ctx) {
  LayoutOutputs& out = ctx.layout;
  const RenderInputs& in = ctx.in;
  out.textOffsetX = in.extensionX;
  out.textOffsetY = in.extensionY;
  if (in.renderText.empty() || in.renderText == "&") {
    out.workWidth = int32_t(RoundDown4(int64_t(out.extraWidth) + 4));
    out.workHeight = int32_t(RoundDown4(int64_t(out.extraHeight) + 4));
    return;
  }
  int64_t w = 0, h = 0;
  switch (in.kind) {
    case kKindRoundBox:
    case kKindFixedRoundBox:  // measured like the other box kind
      w = in.renderBoxParams[0];
      h = in.renderBoxParams[1];
      break;
    case kKindFont:
    case kKindStretchedFont: {
      const platform::TextExtent e =
          WithFont(in.renderFont, [&] { return ctx.fonts.MeasureText(in.renderFont, in.renderText); });
      w = e.width;
      h = e.height;
      break;
    }
    default:
      break;
  }
  out.workWidth = int32_t(std::min<int64_t>(RoundUp4(w), INT32_MAX / 4 * 4));
  out.workHeight = int32_t(std::min<int64_t>(RoundUp4(h), INT32_MAX / 4 * 4));
}
