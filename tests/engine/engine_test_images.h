#pragma once
// Pictures shared by the engine tests and readers of their pixels:
// quadrant pictures (every flip and turn is visible), half-transparent
// colour-model pictures and plain solid images.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/imported_image.h"
#include "engine/profile.h"
#include "support/test_support.h"

namespace velumar::testimages {

// Quadrant colours as seen on screen: top-left red, top-right green,
// bottom-left blue, bottom-right white.
enum class Quadrant : char { Red = 'R', Green = 'G', Blue = 'B', White = 'W', Other = '?' };

// width x height pixels in the given format and colour space (the model's
// default space when null), painted in quadrants; size in points = pixels.
BitmapRepRef quadrantRep(std::int64_t width, std::int64_t height,
                         raster::PixelFormat format = raster::PixelFormat::rgba8(),
                         raster::ColorSpaceRef space = nullptr);

// An opaque sRGB image of one colour.
raster::ImageRef solidImage(std::int64_t width, std::int64_t height, std::array<std::uint8_t, 3> rgb);

// width x height, left half opaque mid-gray (RGB 0.5, gray 0.5, CMYK
// 0/0/0/0.5), right half transparent when alpha is set, opaque otherwise.
// 8-bit components; space null picks the model's default space.
BitmapRepRef halfTransparentRep(int colorComponents, bool alpha, raster::ColorSpaceRef space = nullptr,
                                std::int64_t width = 8, std::int64_t height = 4);

// Straight RGBA of pixel (x, y) from the top-left, read through an 8-bit
// sRGB redraw: 0..1, or 0..255 from pixelAt.
struct Rgba {
  double r = 0, g = 0, b = 0, a = 0;
};
Rgba rgbaAt(const raster::ImageRef& image, std::int64_t x, std::int64_t y);
std::array<int, 4> pixelAt(const raster::ImageRef& image, std::int64_t x, std::int64_t y);

// Every pixel as straight 8-bit sRGB RGBA, rows top-down, from one redraw
// (empty for a missing image).
struct Pixels8 {
  std::int64_t width = 0, height = 0;
  std::vector<std::uint8_t> rgba;
  std::array<int, 4> at(std::int64_t x, std::int64_t y) const {
    const std::uint8_t* p = rgba.data() + (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4;
    return {p[0], p[1], p[2], p[3]};
  }
};
Pixels8 pixels8(const raster::ImageRef& image);

// The colour class of pixel (x, y), counted from the top-left.
Quadrant colourAt(const raster::ImageRef& image, std::int64_t x, std::int64_t y);

// The classes of the four corner pixels (inset pixels in from each edge):
// top-left, top-right, bottom-left, bottom-right, e.g. "RGBW" for an
// unchanged quadrant picture.
std::string cornerColours(const raster::ImageRef& image, std::int64_t inset = 0);

// The components of pixel (x, y) as stored, each 0..1 (premultiplied colour
// stays premultiplied).
std::vector<double> componentsAt(const raster::Image& image, std::int64_t x, std::int64_t y);

raster::ColorSpaceRef grayGamma22();
raster::ColorSpaceRef adobeRGB();

// An installed profile made from a named profile's data, in a file of its
// own in dir; null when the data is missing.
std::shared_ptr<Profile> installedProfileCopy(color::NamedProfile which, const testsupport::TempDir& dir,
                                              const std::string& file);

// A float image of the given values (rows packed), generic RGB when space
// is null.
raster::ImageRef floatImage(const std::vector<float>& values, std::int64_t width, std::int64_t height,
                            raster::PixelFormat format, raster::ColorSpaceRef space = nullptr);

// Premultiplied float RGBA of opaque gray holding NaN, +inf and -inf.
raster::ImageRef nonFiniteFloatImage(std::int64_t width, std::int64_t height);

// The float components (padding excluded) that are NaN or infinite.
std::int64_t nonFiniteCount(const raster::ImageRef& image);

}  // namespace velumar::testimages
