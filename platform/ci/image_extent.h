#pragma once
// Unions and intersections of extents that may be infinite or empty.

#include "platform/ci/image.h"

namespace ci {

inline raster::Rect extentUnion(const raster::Rect& a, const raster::Rect& b) {
  if (a.isEmpty()) return b;
  if (b.isEmpty()) return a;
  if (isInfinite(a) || isInfinite(b)) return infiniteRect();
  double x0 = std::min(a.minX(), b.minX()), y0 = std::min(a.minY(), b.minY());
  return raster::Rect(x0, y0, std::max(a.maxX(), b.maxX()) - x0, std::max(a.maxY(), b.maxY()) - y0);
}

inline raster::Rect extentIntersection(const raster::Rect& a, const raster::Rect& b) {
  if (isInfinite(a)) return b;
  if (isInfinite(b)) return a;
  return a.intersection(b);
}

// rect grown by dx and dy on each side; infinite stays infinite.
inline raster::Rect extentGrown(const raster::Rect& rect, double dx, double dy) {
  if (isInfinite(rect)) return infiniteRect();
  if (rect.isEmpty()) return rect;
  return raster::Rect(rect.minX() - dx, rect.minY() - dy, rect.width() + 2 * dx, rect.height() + 2 * dy);
}

}  // namespace ci
