#pragma once
// What the 3D effects keep between calls: the distance map of the current glyphs (rebuilt when the
// work set's glyphChanged is set), the profile of the record being rendered, the ring tables the
// distance map is searched with and the noise lattice (drawn from ctx.random on first use).
#include <cstdint>
#include <optional>
#include <vector>

#include "raster/fractal_noise.h"

// The 3D profile: p[4] .. p[9] of a 3D Single Color or Fog record, scaled.
struct ProfileSettings {
  int32_t shape3d = 0;     // p[4]; 0 wave, 2 sine^5, anything else linear
  double height = 1.0;     // p[5] x 0.01
  double frequency = 1.0;  // p[6] x 0.01
  double ceiling = 1.0;    // p[7] x 0.001, fraction of height
  double waveEnd = 1.0;    // p[8] x 0.01
  double plateau = 1.0;    // p[9] x 0.001, fraction of height
};

// The rings the distance map is searched with: every offset of ring r lies at a Euclidean
// distance in [r - 1, r], and no offset lies on two rings (see distance_map.cpp).
// Rings are built on first use: a small glyph needs only the first few.
struct RingTable {
  static constexpr int kMaxRadius = 255;
  struct Offset {
    int16_t dx, dy;
    float distance;
  };
  std::vector<std::vector<Offset>> rings;  // unique offsets per radius, rings 0 .. size() - 1 built
  bool Empty() const { return rings.empty(); }
  // Ring r (0 .. kMaxRadius), building it and every ring below it when needed.
  const std::vector<Offset>& Ring(int r);
  // The radius of the ring holding the offset, or -1 when it lies on none.
  static int RingOf(int dx, int dy);
  // Whether the offset lies on ring r, r being its rounded-up length (at most kMaxRadius).
  static bool OnRing(int dx, int dy, int r);
};

struct ThreeDState {
  std::vector<float> distanceMap;  // mapWidth * mapHeight, index row * mapWidth + column, 0..1
  int mapWidth = 0, mapHeight = 0;
  ProfileSettings profile;
  RingTable ringTable;
  std::optional<FractalNoise> noise;
};
