#pragma once
// What the 3D effects keep between calls: the distance map of the current glyphs (rebuilt when the
// work set's glyphChanged is set) and the profile of the record being rendered.
#include <cstdint>
#include <vector>

struct ProfileSettings {
  int shape3d = 0;
  double bevelHeight = 0, wavelength = 0, ceiling = 0, waveEnd = 0, plateau = 0;
};

struct ThreeDState {
  std::vector<float> distanceMap;  // W*H
  int mapWidth = 0, mapHeight = 0;
  ProfileSettings profile;
};
