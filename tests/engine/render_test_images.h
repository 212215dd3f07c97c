#pragma once
// Small pictures for the render-pipeline and driver tests: four coloured
// quadrants (so every flip and turn is visible), in any pixel format, and a
// reader that classifies the colour at a corner.

#include <cstdint>
#include <string>

#include "engine/imported_image.h"

namespace velumar::rendertest {

// Quadrant colours as seen on screen: top-left red, top-right green,
// bottom-left blue, bottom-right white.
enum class Quadrant : char { Red = 'R', Green = 'G', Blue = 'B', White = 'W', Other = '?' };

// A representation of width x height pixels in the given format and colour
// space (sRGB for RGB formats when null), painted in quadrants.
BitmapRepRef quadrantRep(std::int64_t width, std::int64_t height,
                         raster::PixelFormat format = raster::PixelFormat::rgba8(),
                         raster::ColorSpaceRef space = nullptr);

// The colour class of pixel (x, y), counted from the top-left.
Quadrant colourAt(const raster::ImageRef& image, std::int64_t x, std::int64_t y);

// The classes of the four corner pixels (inset pixels in from each edge):
// top-left, top-right, bottom-left, bottom-right, e.g. "RGBW" for an
// unchanged quadrant picture.
std::string cornerColours(const raster::ImageRef& image, std::int64_t inset = 0);

// Straight RGBA of pixel (x, y) from the top-left, each 0..1, read through
// an 8-bit sRGB redraw.
struct Rgba {
  double r = 0, g = 0, b = 0, a = 0;
};
Rgba rgbaAt(const raster::ImageRef& image, std::int64_t x, std::int64_t y);

}  // namespace velumar::rendertest
