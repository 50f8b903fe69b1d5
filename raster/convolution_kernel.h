#pragma once
// A small square (or rectangular) field of weights, three per cell (one per colour byte),
// used by Outline, Drop Shadow, Depth of Field, Cut Out, the star light patterns and Enlarge.
#include <cstdint>
#include <string>
#include <vector>

class ConvolutionKernel {
 public:
  int32_t radiusX = 0;
  int32_t radiusY = 0;
  // Three floats per cell, rows from (-radiusX, -radiusY); cell (dx, dy) at
  // ((dy + radiusY) * (2 * radiusX + 1) + (dx + radiusX)) * 3.
  std::vector<float> cells;

  ConvolutionKernel() = default;
  ConvolutionKernel(int w, int h);

  bool Empty() const { return cells.empty(); }
  int Width() const { return 2 * radiusX + 1; }
  int Height() const { return 2 * radiusY + 1; }
  float* Cell(int dx, int dy) { return cells.data() + CellIndex(dx, dy); }
  const float* Cell(int dx, int dy) const { return cells.data() + CellIndex(dx, dy); }
  size_t CellIndex(int dx, int dy) const {
    return (size_t(dy + radiusY) * size_t(2 * radiusX + 1) + size_t(dx + radiusX)) * 3;
  }

  void FillDisk(float r);
  void FillDome(float r);
  void Normalize(double total);
  // Reads w*h cells of three little-endian floats. Returns false (and leaves the kernel empty)
  // when the file is missing or shorter than that.
  bool LoadFromFile(int w, int h, const std::string& path);
  // Additive stamp centred on (cx, cy), clipped to the W x H area (star effects).
  void AddStamp(int cx, int cy, uint8_t* const* colorRows, uint16_t* coverage16, int W, int H) const;
};
