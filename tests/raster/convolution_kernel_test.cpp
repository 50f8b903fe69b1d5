#include "raster/convolution_kernel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numeric>

#include "support/test_support.h"

namespace {

TEST(ConvolutionKernel, DiskHasSolidInsideAndLinearRim) {
  ConvolutionKernel k(9, 9);
  k.FillDisk(2.7f);
  EXPECT_EQ(k.radiusX, 4);
  EXPECT_FLOAT_EQ(k.Cell(0, 0)[0], 1.0f);
  EXPECT_FLOAT_EQ(k.Cell(1, 1)[1], 1.0f);   // 1.414 < 2
  EXPECT_FLOAT_EQ(k.Cell(2, 0)[2], 1.0f);   // 3 - 2
  EXPECT_NEAR(k.Cell(2, 1)[0], 3.0 - std::sqrt(5.0), 1e-6);
  EXPECT_NEAR(k.Cell(-2, -2)[0], 3.0 - std::sqrt(8.0), 1e-6);
  EXPECT_FLOAT_EQ(k.Cell(3, 0)[0], 0.0f);
  EXPECT_FLOAT_EQ(k.Cell(4, 4)[0], 0.0f);
  // Thickness 0: the single centre cell still has weight 1.
  ConvolutionKernel one(1, 1);
  one.FillDisk(0.0f);
  EXPECT_FLOAT_EQ(one.Cell(0, 0)[0], 1.0f);
}

TEST(ConvolutionKernel, DomeIsHemisphereOfHeightOne) {
  ConvolutionKernel k(5, 5);
  k.FillDome(2.0f);
  EXPECT_FLOAT_EQ(k.Cell(0, 0)[0], 1.0f);
  EXPECT_NEAR(k.Cell(1, 0)[1], std::sqrt(3.0) / 2.0, 1e-6);
  EXPECT_NEAR(k.Cell(0, -1)[2], std::sqrt(3.0) / 2.0, 1e-6);
  EXPECT_FLOAT_EQ(k.Cell(2, 0)[0], 0.0f);
  EXPECT_FLOAT_EQ(k.Cell(2, 2)[0], 0.0f);
}

TEST(ConvolutionKernel, NormalizeMakesEachByteSumToAThird) {
  ConvolutionKernel k(3, 3);
  std::fill(k.cells.begin(), k.cells.end(), 1.0f);
  k.Normalize(3.0);
  for (float w : k.cells) EXPECT_NEAR(w, 1.0 / 9.0, 1e-7);

  ConvolutionKernel dome(11, 11);
  dome.FillDome(5.0f);
  dome.Normalize(150 * 0.02);
  for (int ch = 0; ch < 3; ++ch) {
    double s = 0;
    for (size_t i = ch; i < dome.cells.size(); i += 3) s += dome.cells[i];
    EXPECT_NEAR(s, 1.0, 1e-5);
  }
  // An all-zero kernel stays as it is.
  ConvolutionKernel zero(3, 3);
  zero.Normalize(5.0);
  for (float w : zero.cells) EXPECT_EQ(w, 0.0f);
}

TEST(ConvolutionKernel, LoadFromFileReadsLittleEndianFloatsAndRejectsShortFiles) {
  testsupport::TempDir dir;
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 3 * 3 * 3; ++i) {
    float f = float(i) * 0.5f;
    uint32_t u;
    std::memcpy(&u, &f, 4);
    for (int b = 0; b < 4; ++b) bytes.push_back(uint8_t(u >> (8 * b)));
  }
  testsupport::WriteFileBytes(dir.file("k.lit"), bytes);
  ConvolutionKernel k;
  ASSERT_TRUE(k.LoadFromFile(3, 3, dir.file("k.lit")));
  EXPECT_EQ(k.radiusX, 1);
  EXPECT_FLOAT_EQ(k.Cell(1, 1)[2], 26 * 0.5f);
  EXPECT_FLOAT_EQ(k.Cell(-1, -1)[1], 0.5f);

  bytes.pop_back();
  testsupport::WriteFileBytes(dir.file("short.lit"), bytes);
  EXPECT_FALSE(k.LoadFromFile(3, 3, dir.file("short.lit")));
  EXPECT_TRUE(k.Empty());
  EXPECT_FALSE(k.LoadFromFile(3, 3, dir.file("missing.lit")));
  EXPECT_TRUE(k.Empty());
}

TEST(ConvolutionKernel, AddStampClipsAndSaturates) {
  const int W = 4, H = 4;
  std::vector<uint8_t> color(W * H * 3, 250);
  std::vector<uint8_t*> rows;
  for (int y = 0; y < H; ++y) rows.push_back(color.data() + y * W * 3);
  std::vector<uint16_t> cov(W * H, 100);
  ConvolutionKernel k(3, 3);
  for (size_t i = 0; i < k.cells.size(); i += 3) {
    k.cells[i] = 2.5f;
    k.cells[i + 1] = 10.0f;
    k.cells[i + 2] = 200.0f;
  }
  k.AddStamp(0, 0, rows.data(), cov.data(), W, H);  // corner: only 4 cells land
  EXPECT_EQ(color[0], 252);  // 250 + 2.5 truncated
  EXPECT_EQ(color[1], 255);
  EXPECT_EQ(color[2], 255);
  EXPECT_EQ(cov[0], 255);    // 100 + 200 clamped
  EXPECT_EQ(cov[1 * W + 1], 255);
  EXPECT_EQ(cov[2], 100);    // outside the stamp
  EXPECT_EQ(color[2 * 3], 250);
  // Entirely outside: nothing changes and nothing is touched out of bounds.
  auto before = color;
  k.AddStamp(-2, 1, rows.data(), cov.data(), W, H);
  k.AddStamp(5, 5, rows.data(), cov.data(), W, H);
  EXPECT_EQ(color, before);
}

}  // namespace
