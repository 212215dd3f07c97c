#pragma once
// Float working-space contexts filled with one colour, pending images read
// back pixel by pixel, for the composite, depth and tiny-planet tests.

#include <memory>

#include "filters/cifiltering.h"
#include "platform/ci/working_space.h"
#include "tests/platform/ci/graph_test_support.h"

namespace filtertest {

inline std::unique_ptr<raster::BitmapContext> floatContext(std::int64_t width, std::int64_t height,
                                                           const citest::Pixel& fill) {
  auto context =
      raster::BitmapContext::create(width, height, raster::PixelFormat::rgbaFloat(), ci::workingColorSpace());
  if (!context) return context;
  context->setBlendMode(raster::BlendMode::Copy);
  context->setFillColor(raster::Color{ci::workingColorSpace(), {fill[0], fill[1], fill[2], fill[3], 0}, 4});
  context->fillRect(raster::Rect(0, 0, double(width), double(height)));
  return context;
}

// A flat opaque bitmap in the working space.
inline raster::ImageRef flatBitmap(std::int64_t width, std::int64_t height, const citest::Pixel& colour) {
  return floatContext(width, height, colour)->makeImage();
}

// Pixel (x, y) (y up) of the engine's pending image, premultiplied.
inline citest::Pixel pendingAt(const velumar::CIFiltering& filters, std::int64_t x, std::int64_t y) {
  if (!filters.ciImage()) return {-1, -1, -1, -1};
  return citest::render(filters.ciImage(), ci::PixelRegion{x, y, 1, 1}).at(x, y);
}

inline bool near(const citest::Pixel& a, const citest::Pixel& b, float tolerance = 2e-5f) {
  for (std::size_t k = 0; k < 4; ++k) {
    if (!(std::abs(a[k] - b[k]) <= tolerance)) return false;
  }
  return true;
}

}  // namespace filtertest
