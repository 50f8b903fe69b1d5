#pragma once
// The effects that spread the glyph or the painted colour over a neighbourhood: Outline stamps a
// disk at every edge pixel, Drop Shadow splats a dome under the glyph, Depth of Field blurs the
// colour, Cut Out darkens the glyph's inside from its unlit surroundings. Every read and write is
// clipped to the work area, whatever the offsets.
#include <cstdint>

#include "raster/convolution_kernel.h"

struct EffectTarget;

// Radii beyond this (only possible from a hand-edited style) are clamped by the dispatcher, so
// that a stray value cannot make a kernel of gigabytes or a render of hours. The dialogs stop at 10.
constexpr int kMaxKernelRadius = 50;
// The radius a kernel is built with; the work area's room is sized with the same value.
inline int ClampKernelRadius(int32_t r) { return r < 0 ? 0 : r > kMaxKernelRadius ? kMaxKernelRadius : int(r); }

void OutlineStamp(const EffectTarget& t, const ConvolutionKernel& disk, int32_t colour, int dx, int dy);
void DropShadowEffect(const EffectTarget& t, int dx, int dy, const ConvolutionKernel& dome, int32_t colour);
void DepthBlur(const EffectTarget& t, const ConvolutionKernel& dome);
void CutOutEffect(const EffectTarget& t, int dx, int dy, const ConvolutionKernel& dome, int32_t colour,
                  int locationX, int locationY);
