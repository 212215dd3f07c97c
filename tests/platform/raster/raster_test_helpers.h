#pragma once
// Small helpers of the raster tests: reading pixels of images back as
// floats in the working form (premultiplied colour, then alpha).

#include <cstdint>
#include <vector>

#include "platform/raster/bitmap_context.h"
#include "platform/raster/image.h"
#include "platform/raster/pixel_layout.h"
#include "platform/raster/row_order.h"

namespace rastertest {

// Pixel (x, yUp) of image as working-form floats.
inline std::vector<float> pixelAt(const raster::Image& image, std::int64_t x, std::int64_t yUp) {
  const int channels = raster::workingChannels(image.format());
  std::vector<float> row(std::size_t(image.width() * channels));
  raster::loadRow(image.row(raster::topDownRow(yUp, image.height())), image.format(), image.width(),
                  row.data());
  return std::vector<float>(row.begin() + x * channels, row.begin() + (x + 1) * channels);
}

inline std::vector<float> pixelAt(const raster::BitmapContext& context, std::int64_t x, std::int64_t yUp) {
  return pixelAt(*context.makeImage(), x, yUp);
}

// An RGBA8 premultiplied image made from a per-pixel function of (x, row from top).
template <typename F>
raster::ImageRef makeRGBA8(std::int64_t width, std::int64_t height, raster::ColorSpaceRef space, F pixel) {
  std::vector<std::uint8_t> bytes(std::size_t(width * height * 4));
  for (std::int64_t y = 0; y < height; ++y)
    for (std::int64_t x = 0; x < width; ++x) {
      auto p = pixel(x, y);
      for (int c = 0; c < 4; ++c) bytes[std::size_t((y * width + x) * 4 + c)] = p[std::size_t(c)];
    }
  return raster::Image::make(width, height, raster::PixelFormat::rgba8(), std::move(space), std::move(bytes));
}

}  // namespace rastertest
