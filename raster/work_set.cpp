#include "raster/work_set.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "raster/render_error.h"

namespace {
void BuildRows(std::vector<uint8_t>& buffer, std::vector<uint8_t*>& rows, int height, size_t rowBytes) {
  rows.resize(static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) rows[size_t(y)] = buffer.data() + size_t(y) * rowBytes;
}
}  // namespace

void WorkSet::Allocate(int width, int height, const ImageLimits& limits) {
  if (width < 0 || height < 0)
    throw RenderError("work area of " + std::to_string(width) + " x " + std::to_string(height) + " pixels");
  // An empty item has nothing to refuse.
  if (width > 0 && height > 0) {
    const std::string refusal = limits.Refusal(uint64_t(width), uint64_t(height), kBytesPerPixel);
    if (!refusal.empty()) throw RenderError("work area: " + refusal);
  }
  workWidth = width;
  workHeight = height;
  const size_t pixels = size_t(width) * size_t(height);
  glyphMask.assign(pixels * 3, 0);
  glyphMaskCopy.assign(pixels * 3, 0);
  edgePlane.assign(pixels, 0);
  effectColor.assign(pixels * 3, 0);
  pressedColor.assign(pixels * 3, 0);
  effectCoverage.assign(pixels, 0);
  pressedCoverage.assign(pixels, 0);
  belowColor = {};
  belowCoverage = {};
  BuildRows(glyphMask, glyphRows, height, size_t(width) * 3);
  BuildRows(edgePlane, edgeRows, height, size_t(width));
  BuildRows(effectColor, effectColorRows, height, size_t(width) * 3);
  BuildRows(pressedColor, pressedColorRows, height, size_t(width) * 3);
  glyphChanged = true;
}

void WorkSet::FinishRasterizing() {
  std::fill(effectCoverage.begin(), effectCoverage.end(), 0);
  std::fill(pressedCoverage.begin(), pressedCoverage.end(), 0);
  glyphMaskCopy = glyphMask;
  BuildEdgePlane();
  glyphChanged = true;
}

void WorkSet::RestoreGlyph() {
  glyphMask = glyphMaskCopy;
  // The copy has the same size, so the row pointers into glyphMask must be rebuilt.
  BuildRows(glyphMask, glyphRows, workHeight, size_t(workWidth) * 3);
  std::fill(effectCoverage.begin(), effectCoverage.end(), 0);
  std::fill(pressedCoverage.begin(), pressedCoverage.end(), 0);
  BuildEdgePlane();
  glyphChanged = true;
}

void WorkSet::BuildEdgePlane() {
  std::fill(edgePlane.begin(), edgePlane.end(), 0);
  const int W = workWidth, H = workHeight;
  for (int y = 1; y < H - 1; ++y) {
    const uint8_t* up = glyphRows[size_t(y - 1)];
    const uint8_t* row = glyphRows[size_t(y)];
    const uint8_t* down = glyphRows[size_t(y + 1)];
    uint8_t* edge = edgeRows[size_t(y)];
    for (int x = 1; x < W - 1; ++x) {
      if (row[x * 3] == 0) continue;
      // The product of the four neighbours is zero exactly when one of them is dark.
      if (row[(x - 1) * 3] == 0 || row[(x + 1) * 3] == 0 || up[x * 3] == 0 || down[x * 3] == 0)
        edge[x] = 255;
    }
  }
}

void WorkSet::ClearColor(bool pressed) {
  auto& color = pressed ? pressedColor : effectColor;
  std::fill(color.begin(), color.end(), 0);
}

void WorkSet::FillBackground(int32_t colour) {
  std::fill(effectCoverage.begin(), effectCoverage.end(), 0);
  const uint8_t b = uint8_t((colour >> 16) & 0xFF), g = uint8_t((colour >> 8) & 0xFF),
                r = uint8_t(colour & 0xFF);
  for (size_t i = 0; i + 2 < effectColor.size(); i += 3) {
    effectColor[i] = b;
    effectColor[i + 1] = g;
    effectColor[i + 2] = r;
  }
}
