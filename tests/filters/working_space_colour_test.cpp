// The engine's transforms keep saturated sRGB colours: their pixels go
// through the filter graph's working space, whose gamut is smaller than
// sRGB's, and must come back unchanged.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "filtering_test_support.h"
#include "filters/cifiltering.h"

namespace {

using filtertest::Rgba8;

// Four flat sRGB quadrants: red, green, blue and yellow (all outside the
// working space's gamut).
raster::ImageRef srgbQuadrants(std::int64_t width, std::int64_t height) {
  std::vector<std::uint8_t> bytes(std::size_t(width * height * 4));
  for (std::int64_t row = 0; row < height; ++row) {
    for (std::int64_t x = 0; x < width; ++x) {
      const bool right = x >= width / 2, bottom = row >= height / 2;
      Rgba8 c = bottom ? (right ? Rgba8{255, 255, 0, 255} : Rgba8{0, 0, 255, 255})
                       : (right ? Rgba8{0, 255, 0, 255} : Rgba8{255, 0, 0, 255});
      for (int k = 0; k < 4; ++k)
        bytes[std::size_t((row * width + x) * 4 + k)] = std::uint8_t(c[std::size_t(k)]);
    }
  }
  return raster::Image::make(width, height, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB(),
                             std::move(bytes));
}

TEST(WorkingSpaceColour, TransformsKeepSaturatedSRGBColours) {
  using Draw = std::function<void(velumar::CIFiltering&, raster::BitmapContext*, const raster::ImageRef&)>;
  struct Case {
    std::string name;
    std::int64_t width, height;
    Draw draw;
  } cases[] = {
      {"lanczos halving", 32, 24,
       [](velumar::CIFiltering& e, raster::BitmapContext* c, const raster::ImageRef& s) {
         e.lanczosScaleFilterWithDestinationCGContext(c, s);
       }},
      {"horizontal flip", 64, 48,
       [](velumar::CIFiltering& e, raster::BitmapContext* c, const raster::ImageRef& s) {
         e.flipHorizontallyFilterWithDestinationCGContext(c, s);
       }},
  };
  raster::ImageRef source = srgbQuadrants(64, 48);
  ASSERT_TRUE(source);
  for (const Case& c : cases) {
    auto context = raster::BitmapContext::create(c.width, c.height, raster::PixelFormat::rgba8(),
                                                 raster::ColorSpace::sRGB());
    ASSERT_TRUE(context);
    context->setBlendMode(raster::BlendMode::Copy);
    velumar::CIFiltering engine;
    engine.createNewCIContextWithCGContext(context.get(), true);
    c.draw(engine, context.get(), source);
    engine.resetCIContext();
    const bool flipped = c.name == "horizontal flip";
    // Quadrant centres, y up: the top row of the source is red then green.
    const std::int64_t left = c.width / 4, right = c.width * 3 / 4, top = c.height * 3 / 4,
                       bottom = c.height / 4;
    const Rgba8 red{255, 0, 0, 255}, green{0, 255, 0, 255}, blue{0, 0, 255, 255}, yellow{255, 255, 0, 255};
    struct Probe {
      std::int64_t x, y;
      Rgba8 expected;
    } probes[] = {{left, top, flipped ? green : red},
                  {right, top, flipped ? red : green},
                  {left, bottom, flipped ? yellow : blue},
                  {right, bottom, flipped ? blue : yellow}};
    for (const Probe& p : probes) {
      Rgba8 got = filtertest::pixelAt(*context, p.x, p.y);
      EXPECT_TRUE(filtertest::near(got, p.expected, 1))
          << c.name << " at " << p.x << "," << p.y << ": " << got[0] << "," << got[1] << "," << got[2];
    }
  }
}

}  // namespace
