#pragma once
// Per-component formulas of the separable blend modes that need more than
// one expression, on straight components (backdrop b, source s). Shared by
// the raster blend modes, the filter graph's blend filters and the PSD
// flattener, so that one mode gives one result everywhere.

#include <algorithm>

namespace raster::separable {

inline float colorBurn(float b, float s) {
  if (b >= 1.0f) return 1.0f;
  if (s <= 0.0f) return 0.0f;
  return 1.0f - std::min(1.0f, (1.0f - b) / s);
}

inline float colorDodge(float b, float s) {
  if (b <= 0.0f) return 0.0f;
  if (s >= 1.0f) return 1.0f;
  return std::min(1.0f, b / (1.0f - s));
}

inline float hardLight(float b, float s) {
  return s <= 0.5f ? 2.0f * b * s : 1.0f - 2.0f * (1.0f - s) * (1.0f - b);
}

inline float linearBurn(float b, float s) {
  return std::max(0.0f, b + s - 1.0f);
}

inline float linearDodge(float b, float s) {
  return std::min(1.0f, b + s);
}

inline float pinLight(float b, float s) {
  return s <= 0.5f ? std::min(b, 2.0f * s) : std::max(b, 2.0f * s - 1.0f);
}

// The backdrop less the source.
inline float subtract(float b, float s) {
  return std::max(0.0f, b - s);
}

// The backdrop divided by the source; nothing divided by nothing is black.
inline float divide(float b, float s) {
  if (s <= 0.0f) return b <= 0.0f ? 0.0f : 1.0f;
  return std::min(1.0f, b / s);
}

}  // namespace raster::separable
