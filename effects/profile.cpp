// The 3D profile, the surface over the distance map, and the context's noise lattice.
#include <algorithm>
#include <cmath>
#include <limits>

#include "raster/fractal_noise.h"
#include "effects/effect_catalogue.h"
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

// 3D Single Color and Fog keep the profile in the same slots with the same scales.
const EffectParam& ProfileParam(const char* name) { return EffectParamNamed(ThreeDSingleColor, name); }
double Scaled(const EffectRecord& record, const char* name) {
  const EffectParam& p = ProfileParam(name);
  return record.p[size_t(p.slot)] * p.scale;
}
}  // namespace

void LoadProfile(ProfileSettings& profile, const EffectRecord& record) {
  profile.shape3d = record.p[size_t(ProfileParam("shape3d").slot)];
  profile.height = Scaled(record, "bevelHeight");
  profile.frequency = Scaled(record, "wavelength");
  profile.ceiling = Scaled(record, "ceiling");
  profile.waveEnd = Scaled(record, "waveEnd");
  profile.plateau = Scaled(record, "plateau");
}

void StoreProfile(const ProfileSettings& profile, EffectRecord& record) {
  auto store = [&record](const char* name, double value) {
    const EffectParam& p = ProfileParam(name);
    // 1 / scale is exact for the profile's scales (0.01 -> 100, 0.001 -> 1000).
    record.p[size_t(p.slot)] = Unscale(value, 1.0 / p.scale);
  };
  record.p[size_t(ProfileParam("shape3d").slot)] = profile.shape3d;
  store("bevelHeight", profile.height);
  store("wavelength", profile.frequency);
  store("ceiling", profile.ceiling);
  store("waveEnd", profile.waveEnd);
  store("plateau", profile.plateau);
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

namespace {
SurfacePoint NormalFrom(double z0, double zx, double zy) {
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
}  // namespace

SurfacePoint SurfaceNormal(const ThreeDState& state, int x, int y) {
  return NormalFrom(SurfaceHeight(state, x, y), SurfaceHeight(state, x + 1, y), SurfaceHeight(state, x, y + 1));
}

SurfaceRows::SurfaceRows(const ThreeDState& state) : state_(state), width_(std::max(state.mapWidth, 0)) {
  for (int i = 0; i < 2; ++i) {
    heights_[i].resize(size_t(width_));
    known_[i].resize(size_t(width_));
  }
}

double SurfaceRows::Height(int x, int y) {
  if (x < 0 || x >= width_) return SurfaceHeight(state_, x, y);
  const int slot = y & 1;  // rows y and y + 1 are held side by side
  if (rowOf_[slot] != y) {
    rowOf_[slot] = y;
    std::fill(known_[slot].begin(), known_[slot].end(), uint8_t(0));
  }
  if (!known_[slot][size_t(x)]) {
    heights_[slot][size_t(x)] = SurfaceHeight(state_, x, y);
    known_[slot][size_t(x)] = 1;
  }
  return heights_[slot][size_t(x)];
}

SurfacePoint SurfaceRows::Normal(int x, int y) { return NormalFrom(Height(x, y), Height(x + 1, y), Height(x, y + 1)); }

const FractalNoise& ContextNoise(EngineContext& ctx) {
  if (!ctx.threeD.noise) ctx.threeD.noise.emplace(ctx.random);
  return *ctx.threeD.noise;
}
