#pragma once
// Pixel sizes of vector pages (PDF, PostScript) at a resolution, bounded by
// a decode's maximum side.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace imageio {

// Points to pixels at 72 dpi (rounded up in single precision, at least 1),
// then scaled down so that the longer side is at most maxPixelSize (0: no
// bound), keeping the aspect ratio.
inline std::pair<std::int64_t, std::int64_t> pagePixelSize(double widthPoints, double heightPoints,
                                                           std::int64_t maxPixelSize, double scale = 1.0) {
  auto up = [](double v) { return std::max<std::int64_t>(1, std::int64_t(std::ceil(float(v)))); };
  std::int64_t w = up(widthPoints * scale), h = up(heightPoints * scale);
  if (maxPixelSize > 0 && std::max(w, h) > maxPixelSize) {
    const double factor = double(maxPixelSize) / double(std::max(w, h));
    w = std::clamp<std::int64_t>(std::llround(double(w) * factor), 1, maxPixelSize);
    h = std::clamp<std::int64_t>(std::llround(double(h) * factor), 1, maxPixelSize);
  }
  return {w, h};
}

}  // namespace imageio
