#pragma once
// The exact Euclidean distance of every pixel to the glyph outline, for the effects that measure
// sizes in pixels from the edge (Stroke, Bevel & Emboss).
#include <cstdint>
#include <vector>

// A pixel is lit when its byte 0 is not 0. For a lit pixel: the distance from its centre
// to the nearest unlit pixel's centre (the outside of the work area counts as unlit), minus one
// half; for an unlit pixel: minus (the distance to the nearest lit pixel, minus one half). The
// outline thus lies at 0, halfway between a lit pixel and its unlit neighbour; a lit edge pixel
// holds 0.5 and its unlit 4-neighbour -0.5. Without any lit pixel every value is -1e6 or less.
// Cost O(W x H). Rows: entry 0 = top; byte 0 of each 3-byte pixel is read.
std::vector<float> SignedEdgeDistance(const uint8_t* const* glyphRows, int W, int H);
