#pragma once
// The colour helpers of the non-separable blend modes (hue, saturation,
// colour, luminosity) on unpremultiplied RGB: luminosity, saturation and
// setting either while keeping the colour in gamut. Shared by the raster
// blend modes and the PSD flattener.

#include <algorithm>

namespace raster::nonseparable {

inline float lum(const float* c) {
  return 0.3f * c[0] + 0.59f * c[1] + 0.11f * c[2];
}

inline void clipColor(float* c) {
  const float l = lum(c);
  const float n = std::min({c[0], c[1], c[2]});
  const float x = std::max({c[0], c[1], c[2]});
  if (n < 0.0f && l - n > 0.0f) {
    for (int i = 0; i < 3; ++i) c[i] = l + (c[i] - l) * l / (l - n);
  }
  if (x > 1.0f && x - l > 0.0f) {
    for (int i = 0; i < 3; ++i) c[i] = l + (c[i] - l) * (1.0f - l) / (x - l);
  }
}

inline void setLum(float* c, float l) {
  const float delta = l - lum(c);
  for (int i = 0; i < 3; ++i) c[i] += delta;
  clipColor(c);
}

inline float sat(const float* c) {
  return std::max({c[0], c[1], c[2]}) - std::min({c[0], c[1], c[2]});
}

inline void setSat(float* c, float s) {
  int maxI = 0, minI = 0;
  for (int i = 1; i < 3; ++i) {
    if (c[i] > c[maxI]) maxI = i;
    if (c[i] < c[minI]) minI = i;
  }
  if (maxI == minI) {
    c[0] = c[1] = c[2] = 0.0f;
    return;
  }
  const int midI = 3 - maxI - minI;
  const float range = c[maxI] - c[minI];
  c[midI] = (c[midI] - c[minI]) * s / range;
  c[maxI] = s;
  c[minI] = 0.0f;
}

}  // namespace raster::nonseparable
