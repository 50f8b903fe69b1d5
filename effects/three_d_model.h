#pragma once
// The surface shared by 3D Single Color and Fog: a distance map of the glyph mask (each lit
// pixel's distance to the outline, normalised to 0..1), a one-dimensional height profile over
// it, and the surface height and normal derived from both.
#include <cstdint>
#include <vector>

#include "effects/effect_record.h"
#include "raster/three_d_state.h"

struct EngineContext;
class FractalNoise;

// p[4] .. p[9] of a record into the profile (x 0.01 or x 0.001) and back (truncating).
void LoadProfile(ProfileSettings& profile, const EffectRecord& record);
void StoreProfile(const ProfileSettings& profile, EffectRecord& record);
// Height of the profile at distance-map value t, capped at ceiling x height.
double Profile(const ProfileSettings& profile, double t);

// Rebuilds ctx.threeD.distanceMap from the glyph mask when ctx.work.glyphChanged is set (or the
// cached map has another size) and clears the flag.
void BuildDistanceMap(EngineContext& ctx);
// The normalised map of a W x H mask (rows: entry 0 = top; byte 0 of each 3-byte pixel is read).
// Cost O(W x H) apart from ring scans where the nearest unlit pixel falls between the rings.
std::vector<float> ComputeDistanceMap(const uint8_t* const* glyphRows, int W, int H, RingTable& rings);
// The same by scanning every ring around every pixel: O(W x H x r^2). For tests and benchmarks.
std::vector<float> ComputeDistanceMapDirect(const uint8_t* const* glyphRows, int W, int H);
// Builds every ring of the table (ComputeDistanceMap builds only those it reaches).
void EnsureRingTable(RingTable& rings);

// Profile of the 3x3-smoothed map at (x, y); 0 on the two outer columns/rows at the left and top
// and the last column/row (and anywhere outside the map).
double SurfaceHeight(const ThreeDState& state, int x, int y);
struct SurfacePoint {
  double nx, ny, nz;  // unit normal: x right, y height, z down the rows
  double height;
};
SurfacePoint SurfaceNormal(const ThreeDState& state, int x, int y);
// The same normals with every height computed once: a normal reads the heights at (x, y),
// (x + 1, y) and (x, y + 1), so a walk down the rows would compute each three times.
class SurfaceRows {
 public:
  explicit SurfaceRows(const ThreeDState& state);
  double Height(int x, int y);
  SurfacePoint Normal(int x, int y);

 private:
  const ThreeDState& state_;
  int width_;
  int rowOf_[2] = {-1, -1};
  std::vector<double> heights_[2];
  std::vector<uint8_t> known_[2];
};

// The noise lattice of this context, drawn from ctx.random on first use.
const FractalNoise& ContextNoise(EngineContext& ctx);
