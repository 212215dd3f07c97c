#pragma once
// A rectangle of whole pixels in the graph's y-up pixel grid: pixel (x, y)
// covers [x, x + 1) × [y, y + 1). Used for regions of interest and tiles.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/raster/geometry.h"

namespace ci {

// Coordinates beyond this are treated as infinitely far away; it keeps
// pixel arithmetic of infinite extents within 64-bit range.
inline constexpr std::int64_t kFarPixel = std::int64_t(1) << 40;

struct PixelRegion {
  std::int64_t x = 0, y = 0, width = 0, height = 0;

  bool isEmpty() const { return width <= 0 || height <= 0; }
  std::int64_t maxX() const { return x + width; }
  std::int64_t maxY() const { return y + height; }
  std::int64_t area() const { return isEmpty() ? 0 : width * height; }
  bool contains(const PixelRegion& other) const {
    return other.isEmpty() ||
           (other.x >= x && other.y >= y && other.maxX() <= maxX() && other.maxY() <= maxY());
  }
  PixelRegion intersection(const PixelRegion& other) const {
    std::int64_t x0 = std::max(x, other.x), y0 = std::max(y, other.y);
    std::int64_t x1 = std::min(maxX(), other.maxX()), y1 = std::min(maxY(), other.maxY());
    if (x1 <= x0 || y1 <= y0) return {};
    return {x0, y0, x1 - x0, y1 - y0};
  }
  // Bounding box of both; an empty region adds nothing.
  PixelRegion unionWith(const PixelRegion& other) const {
    if (isEmpty()) return other;
    if (other.isEmpty()) return *this;
    std::int64_t x0 = std::min(x, other.x), y0 = std::min(y, other.y);
    std::int64_t x1 = std::max(maxX(), other.maxX()), y1 = std::max(maxY(), other.maxY());
    return {x0, y0, x1 - x0, y1 - y0};
  }
  PixelRegion insetBy(std::int64_t dx, std::int64_t dy) const {
    if (isEmpty()) return {};
    return {x + dx, y + dy, width - 2 * dx, height - 2 * dy};
  }
  bool operator==(const PixelRegion&) const = default;
};

inline std::int64_t clampToFar(double v) {
  if (!(v > -double(kFarPixel))) return -kFarPixel;
  if (!(v < double(kFarPixel))) return kFarPixel;
  return std::int64_t(v);
}

// The pixels whose centres lie inside rect.
inline PixelRegion pixelsCentredIn(const raster::Rect& rect) {
  if (rect.isEmpty()) return {};
  std::int64_t x0 = clampToFar(std::ceil(rect.minX() - 0.5)), x1 = clampToFar(std::ceil(rect.maxX() - 0.5));
  std::int64_t y0 = clampToFar(std::ceil(rect.minY() - 0.5)), y1 = clampToFar(std::ceil(rect.maxY() - 0.5));
  if (x1 <= x0 || y1 <= y0) return {};
  return {x0, y0, x1 - x0, y1 - y0};
}

// The pixels that rect touches at all.
inline PixelRegion pixelsTouching(const raster::Rect& rect) {
  if (rect.isEmpty()) return {};
  std::int64_t x0 = clampToFar(std::floor(rect.minX())), x1 = clampToFar(std::ceil(rect.maxX()));
  std::int64_t y0 = clampToFar(std::floor(rect.minY())), y1 = clampToFar(std::ceil(rect.maxY()));
  if (x1 <= x0 || y1 <= y0) return {};
  return {x0, y0, x1 - x0, y1 - y0};
}

inline raster::Rect rectOf(const PixelRegion& region) {
  return raster::Rect(double(region.x), double(region.y), double(region.width), double(region.height));
}

}  // namespace ci
