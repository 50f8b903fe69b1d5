#pragma once
// Exact Euclidean distances over the glyph mask, in pixels, for the effects that fall off with the
// distance from the glyph edge (glows, inner shadow, satin, stroke, bevels).
#include <cstdint>
#include <vector>

// For every pixel of the W x H mask (rows: entry 0 = top; byte 0 of each 3-byte pixel is read),
// the distance from its centre to the centre of the nearest pixel that is lit (byte 0 != 0) when
// toLit is set, or dark (byte 0 == 0) otherwise; 0 on such pixels themselves, and kNoSite
// everywhere when the mask holds none. Index row * W + column. Cost O(W x H).
constexpr float kNoSite = 1.0e9f;
std::vector<float> DistanceToGlyph(const uint8_t* const* glyphRows, int W, int H, bool toLit);

// The signed distance of every pixel to the glyph outline, which lies halfway between a lit pixel
// and its dark neighbour: for a lit pixel its distance to the nearest dark one (the outside of
// the work area counting as dark) minus one half, for a dark pixel minus (its distance to the
// nearest lit one minus one half). A lit edge pixel holds 0.5, its dark 4-neighbour -0.5.
std::vector<float> SignedEdgeDistance(const uint8_t* const* glyphRows, int W, int H);
