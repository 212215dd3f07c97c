#pragma once
// Small helpers for the graph tests: images made from a function of the
// pixel position, and renders read back as y-up pixel arrays.

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/ci/image.h"
#include "platform/ci/renderer.h"

namespace citest {

using Pixel = std::array<float, 4>;

// A width × height image whose pixel (x, y) (y up) is f(x, y), premultiplied.
inline ci::ImageRef imageOf(std::int64_t width, std::int64_t height,
                            const std::function<Pixel(std::int64_t, std::int64_t)>& f) {
  std::vector<float> pixels(std::size_t(width * height) * 4);
  for (std::int64_t y = 0; y < height; ++y) {
    for (std::int64_t x = 0; x < width; ++x) {
      Pixel p = f(x, y);
      std::size_t i = (std::size_t(height - 1 - y) * std::size_t(width) + std::size_t(x)) * 4;
      for (int c = 0; c < 4; ++c) pixels[i + std::size_t(c)] = p[std::size_t(c)];
    }
  }
  return ci::Image::withPremultipliedPixels(width, height, std::move(pixels));
}

// Distinct opaque value per pixel: red encodes x, green y.
inline Pixel coordinatePixel(std::int64_t x, std::int64_t y) {
  return {float(x) / 16.0f, float(y) / 16.0f, 0.5f, 1.0f};
}

struct Rendered {
  ci::PixelRegion region;
  std::vector<float> pixels;  // top-down, as rendered
  Pixel at(std::int64_t x, std::int64_t y) const {
    std::size_t row = std::size_t(region.maxY() - 1 - y), column = std::size_t(x - region.x);
    std::size_t i = (row * std::size_t(region.width) + column) * 4;
    return {pixels[i], pixels[i + 1], pixels[i + 2], pixels[i + 3]};
  }
};

inline Rendered render(const ci::ImageRef& image, const ci::PixelRegion& region,
                       std::int64_t tileSize = 256) {
  Rendered r{region, std::vector<float>(std::size_t(region.area()) * 4)};
  ci::renderRegion(image, region, r.pixels.data(), std::size_t(region.width) * 4, tileSize);
  return r;
}

}  // namespace citest
