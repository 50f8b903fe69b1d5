#pragma once
// A finished item picture or the composed page: colour premultiplied by an 8-bit coverage.
// Sizes are rounded up to multiples of 4; row tables have entry 0 = the top row.
#include <cstdint>
#include <vector>

class DibImage;

class RasterCanvas {
 public:
  RasterCanvas() = default;
  virtual ~RasterCanvas() = default;
  RasterCanvas(const RasterCanvas& other) { *this = other; }
  RasterCanvas& operator=(const RasterCanvas& other);
  RasterCanvas(RasterCanvas&& other) noexcept { *this = std::move(other); }
  RasterCanvas& operator=(RasterCanvas&& other) noexcept;

  std::vector<uint8_t> bits;        // width*height*3, black at creation
  std::vector<uint8_t*> colorRows;
  std::vector<uint8_t> coverage;    // width*height, 0 at creation
  std::vector<uint8_t*> coverageRows;
  int32_t width = 0;
  int32_t height = 0;

  bool Empty() const { return bits.empty() && width == 0 && height == 0; }
  // Releases previous content, rounds both sizes up to multiples of 4. 0 on success, -1 when the
  // size is negative or past the renderer's limit (the canvas is left empty).
  int Create(int32_t w, int32_t h);
  void Release();
  // Create(w, h), then copy the colour rows and the coverage, each value of 256 or more as 255.
  void LoadFromWorkSet(const uint8_t* const* colorRowsTopDown, int32_t w, int32_t h,
                       const uint16_t* coverage16);
  // Composes source with its top-left corner at (x, y): d = min(255, ((d*(255-a))>>8) + s).
  void CompositeOver(const RasterCanvas& source, int32_t x, int32_t y);
  // Anti-aliasing: smooths the target's colour where this canvas's coverage has a hard edge.
  // Does nothing when antiAliasing is 0.
  void SmoothEdges(RasterCanvas& target, int32_t x, int32_t y, int32_t antiAliasing) const;
  // Draws onto a 24-bit picture at (x, y), clipped.
  void BlendOntoImage(DibImage& image, int32_t x, int32_t y) const;
  void FlipVertical();
  // Sets every colour pixel to the COLORREF colour (coverage unchanged).
  void FillColour(int32_t colour);

 private:
  void BuildRows();
};
