#include "raster/convolution_kernel.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <fstream>

namespace {

// Float-to-byte with truncation toward zero; NaN and out-of-range values (a light pattern file
// may hold anything) land inside 0..255 instead of being undefined.
inline uint8_t TruncByte(float v) {
  if (!(v > 0.0f)) return 0;
  if (v >= 255.0f) return 255;
  return uint8_t(v);
}

}  // namespace

ConvolutionKernel::ConvolutionKernel(int w, int h) {
  if (w <= 0 || h <= 0) return;
  radiusX = (w - 1) / 2;
  radiusY = (h - 1) / 2;
  cells.assign(size_t(w) * size_t(h) * 3, 0.0f);
}

void ConvolutionKernel::FillDisk(float r) {
  std::fill(cells.begin(), cells.end(), 0.0f);
  if (cells.empty()) return;
  const float f = std::floor(r);
  for (int dy = -radiusY; dy <= radiusY; ++dy) {
    for (int dx = -radiusX; dx <= radiusX; ++dx) {
      const double d = std::sqrt(double(dx) * dx + double(dy) * dy);
      float w = 0.0f;
      if (d < double(f)) {
        w = 1.0f;
      } else {
        const float ds = float(d);
        if (ds < f + 1.0f) w = (f + 1.0f) - ds;
      }
      float* c = Cell(dx, dy);
      c[0] = c[1] = c[2] = w;
    }
  }
}

void ConvolutionKernel::FillDome(float r) {
  std::fill(cells.begin(), cells.end(), 0.0f);
  if (cells.empty() || !(r > 0.0f)) return;
  const float s = r * r;
  for (int dy = -radiusY; dy <= radiusY; ++dy) {
    for (int dx = -radiusX; dx <= radiusX; ++dx) {
      const float v = s - float(dy * dy) - float(dx * dx);
      if (v <= 0.0f) continue;
      const float w = std::sqrt(v) / r;
      float* c = Cell(dx, dy);
      c[0] = c[1] = c[2] = w;
    }
  }
}

void ConvolutionKernel::Normalize(double total) {
  double sum = 0.0;
  for (float w : cells) sum += w;
  if (!(sum > 0.0)) return;
  const double factor = 1.0 / sum * total;
  for (float& w : cells) w = float(w * factor);
}

bool ConvolutionKernel::LoadFromFile(int w, int h, const std::string& path) {
  cells.clear();
  radiusX = radiusY = 0;
  if (w <= 0 || h <= 0) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  const size_t count = size_t(w) * size_t(h) * 3;
  std::vector<float> loaded(count);
  in.read(reinterpret_cast<char*>(loaded.data()), std::streamsize(count * sizeof(float)));
  if (size_t(in.gcount()) != count * sizeof(float)) return false;
  if constexpr (std::endian::native != std::endian::little) {
    for (float& f : loaded) {  // the file holds little-endian floats
      uint8_t b[4];
      std::memcpy(b, &f, 4);
      const uint32_t bits = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
      std::memcpy(&f, &bits, sizeof(float));
    }
  }
  cells = std::move(loaded);
  radiusX = (w - 1) / 2;
  radiusY = (h - 1) / 2;
  return true;
}

void ConvolutionKernel::AddStamp(int cx, int cy, uint8_t* const* colorRows, uint16_t* coverage16,
                                 int W, int H) const {
  if (cells.empty()) return;
  if (cx - radiusX >= W || cy - radiusY >= H || cx + radiusX < 0 || cy + radiusY < 0) return;
  const int y0 = std::max(-radiusY, -cy), y1 = std::min(radiusY, H - 1 - cy);
  const int x0 = std::max(-radiusX, -cx), x1 = std::min(radiusX, W - 1 - cx);
  for (int dy = y0; dy <= y1; ++dy) {
    const int ty = cy + dy;
    uint8_t* row = colorRows[ty];
    for (int dx = x0; dx <= x1; ++dx) {
      const int tx = cx + dx;
      const float* c = Cell(dx, dy);
      uint8_t* px = row + size_t(tx) * 3;
      for (int k = 0; k < 3; ++k) px[k] = TruncByte(std::min(255.0f, float(px[k]) + c[k]));
      const float top = std::max(c[0], std::max(c[1], c[2]));
      uint16_t& cov = coverage16[size_t(ty) * W + tx];
      cov = TruncByte(std::min(255.0f, float(cov) + top));
    }
  }
}
