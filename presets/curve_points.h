#pragma once
// The shape every stored tone curve is brought to before use: five finite
// points, sorted by x, inside the unit square.

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/raster/geometry.h"

namespace velumar {

// A wrong count or a non-finite coordinate gives the diagonal; otherwise the
// points sorted by x and clamped to [0, 1].
inline std::vector<raster::Point> normalizeCurvePoints(std::vector<raster::Point> points) {
  const bool finite = std::all_of(points.begin(), points.end(), [](const raster::Point& p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
  });
  if (points.size() != 5 || !finite) return {{0, 0}, {0.25, 0.25}, {0.5, 0.5}, {0.75, 0.75}, {1, 1}};
  for (raster::Point& p : points) {
    p.x = std::clamp(p.x, 0.0, 1.0);
    p.y = std::clamp(p.y, 0.0, 1.0);
  }
  std::stable_sort(points.begin(), points.end(),
                   [](const raster::Point& a, const raster::Point& b) { return a.x < b.x; });
  return points;
}

}  // namespace velumar
