#pragma once
// The pixel count of one side of a bitmap drawn at a size in points.

#include <cmath>
#include <cstdint>

namespace velumar {

// The side rounded up in single precision; 0 for sizes no bitmap can have.
inline std::int64_t pixelCountForSide(double side) {
  const float rounded = std::ceil(float(side));
  if (!(rounded >= 1.0f && rounded < 1e9f)) return 0;
  return std::int64_t(rounded);
}

}  // namespace velumar
