#pragma once
// A depth or disparity map attached to an image (HEIF auxiliary image).

#include <cstdint>
#include <vector>

#include "platform/foundation/value.h"

namespace imageio {

struct DepthData {
  enum class Kind { Disparity, Depth };
  Kind kind = Kind::Disparity;
  std::int64_t width = 0;
  std::int64_t height = 0;
  // One float per pixel, rows top-down (disparity in 1/m, or depth in m).
  std::vector<float> values;
  // Auxiliary properties as the file describes them (may be empty).
  foundation::Value properties;

  bool empty() const { return width <= 0 || height <= 0 || values.empty(); }
};

}  // namespace imageio
