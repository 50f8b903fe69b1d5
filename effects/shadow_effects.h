#pragma once
// The effects that spread the glyph or the painted colour over a neighbourhood: Outline stamps a
// disk at every edge pixel, Drop Shadow splats a dome under the glyph, Depth of Field blurs the
// colour, Cut Out darkens the glyph's inside from its unlit surroundings. Every read and write is
// clipped to the work area, whatever the offsets.
#include <cstdint>

#include "raster/convolution_kernel.h"

struct EffectTarget;

// Radii beyond this (only possible from a hand-edited style) are clamped, so that a stray value
// cannot make a kernel of gigabytes or a render of hours. The dialogs stop at 10.
constexpr int kMaxKernelRadius = 50;
// The radius a kernel is built with; the work area's room is sized with the same value.
inline int ClampKernelRadius(int32_t r) { return r < 0 ? 0 : r > kMaxKernelRadius ? kMaxKernelRadius : int(r); }

// The dome of a blur radius whose weights sum to opacity (Drop Shadow, Depth of Field, Cut Out).
inline ConvolutionKernel DomeKernel(int32_t radius, double opacity) {
  const int r = ClampKernelRadius(radius);
  ConvolutionKernel k(2 * r + 1, 2 * r + 1);
  k.FillDome(float(r));
  k.Normalize(float(opacity));
  return k;
}

// The solid disk of an outline's thickness.
inline ConvolutionKernel DiskKernel(int32_t radius) {
  const int r = ClampKernelRadius(radius);
  ConvolutionKernel k(2 * r + 1, 2 * r + 1);
  k.FillDisk(float(r));
  return k;
}

void OutlineStamp(const EffectTarget& t, const ConvolutionKernel& disk, int32_t colour, int dx, int dy);
void DropShadowEffect(const EffectTarget& t, int dx, int dy, const ConvolutionKernel& dome, int32_t colour);
void DepthBlur(const EffectTarget& t, const ConvolutionKernel& dome);
void CutOutEffect(const EffectTarget& t, int dx, int dy, const ConvolutionKernel& dome, int32_t colour,
                  int locationX, int locationY);
