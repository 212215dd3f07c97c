#pragma once
// Small synthetic images for the writer's tests.

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/raster/image.h"

namespace writertest {

struct RGBA {
  std::uint8_t r = 0, g = 0, b = 0, a = 255;
  bool operator==(const RGBA&) const = default;
};

// A straight-alpha RGBA8 image in sRGB whose pixel (x, y), y from the top,
// is pixel(x, y).
inline raster::ImageRef makeImage(int width, int height, const std::function<RGBA(int, int)>& pixel) {
  std::vector<std::uint8_t> bytes(std::size_t(width) * std::size_t(height) * 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const RGBA p = pixel(x, y);
      std::uint8_t* o = bytes.data() + (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4;
      o[0] = p.r, o[1] = p.g, o[2] = p.b, o[3] = p.a;
    }
  }
  return raster::Image::make(width, height, {8, 3, raster::AlphaInfo::Last}, raster::ColorSpace::sRGB(),
                             std::move(bytes));
}

inline raster::ImageRef solidImage(int width, int height, RGBA color) {
  return makeImage(width, height, [color](int, int) { return color; });
}

}  // namespace writertest
