#pragma once
// Helpers for the filter engine tests: small generic-RGB bitmaps whose
// pixels name their own position, and reading contexts back in y-up
// coordinates.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/ci/working_space.h"
#include "platform/raster/bitmap_context.h"
#include "platform/raster/row_order.h"

namespace filtertest {

using Rgba8 = std::array<int, 4>;

// Opaque; red and green encode x and y (y up).
inline Rgba8 positionColor(std::int64_t x, std::int64_t y) {
  return {int(20 + x * 30), int(20 + y * 30), 200, 255};
}

inline raster::ImageRef positionBitmap(std::int64_t width, std::int64_t height) {
  std::vector<std::uint8_t> bytes(std::size_t(width * height * 4));
  for (std::int64_t row = 0; row < height; ++row) {
    for (std::int64_t x = 0; x < width; ++x) {
      Rgba8 c = positionColor(x, raster::yUpRow(row, height));
      for (int k = 0; k < 4; ++k)
        bytes[std::size_t((row * width + x) * 4 + k)] = std::uint8_t(c[std::size_t(k)]);
    }
  }
  return raster::Image::make(width, height, raster::PixelFormat::rgba8(), ci::workingColorSpace(),
                             std::move(bytes));
}

inline std::unique_ptr<raster::BitmapContext> rgbaContext(std::int64_t width, std::int64_t height) {
  auto context =
      raster::BitmapContext::create(width, height, raster::PixelFormat::rgba8(), ci::workingColorSpace());
  if (context) context->setBlendMode(raster::BlendMode::Copy);
  return context;
}

inline Rgba8 pixelAt(const raster::BitmapContext& context, std::int64_t x, std::int64_t y) {
  const std::uint8_t* p = context.data() +
                          std::size_t(raster::topDownRow(y, context.height())) * context.bytesPerRow() +
                          std::size_t(x) * 4;
  return {p[0], p[1], p[2], p[3]};
}

inline bool near(const Rgba8& a, const Rgba8& b, int tolerance = 1) {
  for (int k = 0; k < 4; ++k) {
    if (std::abs(a[std::size_t(k)] - b[std::size_t(k)]) > tolerance) return false;
  }
  return true;
}

}  // namespace filtertest
