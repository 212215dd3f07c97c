#pragma once
// The one place where the platform's y-up coordinates meet memory rows,
// which run top-down. Everything else in the tree works in one of the two
// and converts through these helpers.

#include <cstdint>

#include "platform/raster/geometry.h"

namespace raster {

// Memory row (counted from the top) of the pixel row at y-up index yUp.
inline std::int64_t topDownRow(std::int64_t yUp, std::int64_t height) {
  return height - 1 - yUp;
}
// y-up row index of the memory row counted from the top (the same flip).
inline std::int64_t yUpRow(std::int64_t topDown, std::int64_t height) {
  return height - 1 - topDown;
}
// y-up device coordinates → top-down device coordinates (pixel units) of a
// surface height pixels high.
inline AffineTransform yUpToTopDown(double height) {
  return {1, 0, 0, -1, 0, height};
}

}  // namespace raster
