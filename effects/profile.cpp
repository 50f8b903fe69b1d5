// The 3D profile, the surface over the distance map, and the context's noise lattice.
#include <algorithm>
#include <cmath>
#include <limits>

#include "raster/fractal_noise.h"
#include "effects/three_d_model.h"
#include "raster/engine_context.h"

namespace {
// A scaled parameter back to its integer. The products of values that came from integers
// (0.29 x 100 = 28.999999999999996) are taken as the integer they stand for, so that loading and
// storing a record keeps its values; other fractions are truncated.
int32_t Unscale(double value, double factor) {
  const double x = value * factor;
  if (!std::isfinite(x)) return 0;
  const double nearest = std::nearbyint(x);
  const double kept = std::fabs(x - nearest) < 1e-6 ? nearest : std::trunc(x);
  return int32_t(std::clamp<double>(kept, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}
}  // namespace

void LoadProfile(ProfileSettings& profile, const EffectRecord& record) {
  profile.shape3d = record.p[4];
  profile.height = record.p[5] * 0.01;
  profile.frequency = record.p[6] * 0.01;
  profile.ceiling = record.p[7] * 0.001;
  profile.waveEnd = record.p[8] * 0.01;
  profile.plateau = record.p[9] * 0.001;
}

void StoreProfile(const ProfileSettings& profile, EffectRecord& record) {
  record.p[4] = profile.shape3d;
  record.p[5] = Unscale(profile.height, 100);
  record.p[6] = Unscale(profile.frequency, 100);
  record.p[7] = Unscale(profile.ceiling, 1000);
  record.p[8] = Unscale(profile.waveEnd, 100);
  record.p[9] = Unscale(profile.plateau, 1000);
}

double Profile(const ProfileSettings& profile, double t) {
  double r;
  if (profile.shape3d == 0) {
    const double v = profile.frequency * t;
    // 6.28 and not 2 pi: the profiles stored in styles were tuned against it.
    r = v < profile.waveEnd ? std::sin(v * 6.28) * profile.height : profile.plateau * profile.height;
  } else if (profile.shape3d == 2) {
    r = std::pow(std::sin(t * 0.12211111111111111), 5) * profile.height;
  } else {
    r = t;
  }
  if (r / profile.height > profile.ceiling) r = profile.ceiling * profile.height;
  return r;
}

double SurfaceHeight(const ThreeDState& state, int x, int y) {
  const int W = state.mapWidth, H = state.mapHeight;
  if (x <= 1 || y <= 1 || x >= W - 1 || y >= H - 1) return 0.0;
  if (state.distanceMap.size() < size_t(W) * size_t(H)) return 0.0;
  const float* up = state.distanceMap.data() + size_t(y - 1) * W;
  const float* row = up + W;
  const float* down = row + W;
  const double diagonal = double(up[x - 1]) + up[x + 1] + down[x - 1] + down[x + 1];
  const double edge = double(up[x]) + down[x] + row[x - 1] + row[x + 1];
  const double smoothed = (diagonal * 0.25 + edge * 0.5 + row[x]) * 0.25;
  return Profile(state.profile, smoothed);
}

SurfacePoint SurfaceNormal(const ThreeDState& state, int x, int y) {
  const double z0 = SurfaceHeight(state, x, y);
  const double zx = SurfaceHeight(state, x + 1, y);
  const double zy = SurfaceHeight(state, x, y + 1);
  double nx = zx - z0, ny = 1.0, nz = -(zy - z0);
  const double len = std::sqrt(nx * nx + ny * ny + nz * nz);
  if (std::isfinite(len) && len > 0) {
    nx /= len;
    ny /= len;
    nz /= len;
  } else {
    nx = 0, ny = 1, nz = 0;
  }
  return {nx, ny, nz, z0};
}

const FractalNoise& ContextNoise(EngineContext& ctx) {
  if (!ctx.threeD.noise) ctx.threeD.noise.emplace(ctx.random);
  return *ctx.threeD.noise;
}
