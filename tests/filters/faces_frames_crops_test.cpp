// Face frames and face crops of the filter engine, with face rectangles
// given by hand.

#include <gtest/gtest.h>

#include <cmath>

#include "filtering_test_support.h"
#include "filters/cifiltering.h"

namespace velumar {
namespace {

using filtertest::pixelAt;
using filtertest::Rgba8;

std::unique_ptr<raster::BitmapContext> blackContext(std::int64_t width, std::int64_t height) {
  auto context = filtertest::rgbaContext(width, height);
  context->setFillColor(raster::Color::gray(0.0));
  context->fillRect(raster::Rect(0, 0, double(width), double(height)));
  return context;
}

TEST(FaceFrames, WhiteStrokeOfTheScaledWidthOnEveryRectangle) {
  CIFiltering engine;
  auto context = blackContext(4000, 3000);
  // 3 × √(12,000,000 / 1,320,000) ≈ 9.045: 4.52 either side of the edge.
  const std::vector<raster::Rect> faces = {raster::Rect(1000, 1000, 500, 400),
                                           raster::Rect(3000, 200, 300, 300)};
  engine.framingFacesWithContext(context.get(), faces);
  const Rgba8 white{255, 255, 255, 255}, black{0, 0, 0, 255};
  for (const raster::Rect& face : faces) {
    const auto x0 = std::int64_t(face.origin.x), y0 = std::int64_t(face.origin.y);
    const auto x1 = x0 + std::int64_t(face.size.width), y1 = y0 + std::int64_t(face.size.height);
    const auto midX = (x0 + x1) / 2, midY = (y0 + y1) / 2;
    for (std::int64_t d : {-4, -1, 0, 3}) {
      EXPECT_EQ(pixelAt(*context, x0 + d, midY), white) << d;
      EXPECT_EQ(pixelAt(*context, midX, y1 + d), white) << d;
    }
    for (std::int64_t d : {-7, 6}) {
      EXPECT_EQ(pixelAt(*context, x0 + d, midY), black) << d;
      EXPECT_EQ(pixelAt(*context, midX, y1 + d), black) << d;
    }
    EXPECT_EQ(pixelAt(*context, midX, midY), black);
    // Round joins: the outer corner of the stroke is rounded off.
    EXPECT_EQ(pixelAt(*context, x0 - 5, y0 - 5), black);
  }

  auto untouched = blackContext(64, 64);
  const std::vector<std::uint8_t> before(untouched->data(),
                                         untouched->data() + untouched->bytesPerRow() * 64);
  engine.framingFacesWithContext(untouched.get(), std::nullopt);
  engine.framingFacesWithContext(untouched.get(), std::vector<raster::Rect>{});
  const double nan = std::nan("");
  engine.framingFacesWithContext(untouched.get(), std::vector<raster::Rect>{raster::Rect(nan, 0, 10, 10)});
  engine.framingFacesWithContext(nullptr, faces);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), untouched->data()));
}

TEST(FaceCrops, EachRectangleCutFromItsPlaceClippedToTheImage) {
  // Left half red, right half blue; the bottom 20 rows green.
  auto source = filtertest::rgbaContext(200, 100);
  source->setFillColor(raster::Color::rgb(1, 0, 0));
  source->fillRect(raster::Rect(0, 0, 100, 100));
  source->setFillColor(raster::Color::rgb(0, 0, 1));
  source->fillRect(raster::Rect(100, 0, 100, 100));
  source->setFillColor(raster::Color::rgb(0, 1, 0));
  source->fillRect(raster::Rect(0, 0, 200, 20));
  const ci::ImageRef image = ci::Image::withBitmap(source->makeImage());

  auto target = filtertest::rgbaContext(200, 100);
  CIFiltering engine;
  engine.facesBitmapRepsWithCIImage(image, raster::Rect(0, 0, 200, 100), {raster::Rect(10, 10, 20, 20)});
  EXPECT_TRUE(engine.cropFacesArray.empty()) << "no filter context";
  engine.createNewCIContextWithCGContext(target.get(), true);

  const double nan = std::nan("");
  const struct {
    raster::Rect face;
    std::int64_t width, height;  // 0: skipped
    Rgba8 colour;                // at the crop's centre
  } cases[] = {
      {raster::Rect(20, 0, 30, 16), 30, 16, {0, 255, 0, 255}},    // the bottom rows
      {raster::Rect(150, 60, 20, 30), 20, 30, {0, 0, 255, 255}},  // right, upper
      {raster::Rect(20, 50, 40, 40), 40, 40, {255, 0, 0, 255}},   // left, upper
      {raster::Rect(190, 90, 30, 30), 10, 10, {0, 0, 255, 255}},  // clipped to the corner
      {raster::Rect(300, 300, 10, 10), 0, 0, {}},                 // outside
      {raster::Rect(50, 50, 0.3, 0.3), 0, 0, {}},                 // less than a pixel
      {raster::Rect(nan, 50, 10, 10), 0, 0, {}},
  };
  for (const auto& c : cases) {
    engine.cropFacesArray.clear();
    engine.facesBitmapRepsWithCIImage(image, raster::Rect(0, 0, 200, 100), {c.face});
    if (c.width == 0) {
      EXPECT_TRUE(engine.cropFacesArray.empty());
      continue;
    }
    ASSERT_EQ(engine.cropFacesArray.size(), 1u);
    const raster::BitmapImageRepRef crop = engine.cropFacesArray.front();
    EXPECT_EQ(crop->pixelsWide(), c.width);
    EXPECT_EQ(crop->pixelsHigh(), c.height);
    EXPECT_EQ(crop->pixelFormat(), raster::PixelFormat::rgba8());
    EXPECT_EQ(crop->colorSpace()->model(), raster::ColorModel::RGB);
    auto readBack = crop->makeContext();
    // The source is in the working space: its primaries land near sRGB's.
    EXPECT_TRUE(filtertest::near(pixelAt(*readBack, c.width / 2, c.height / 2), c.colour, 60))
        << c.face.origin.x << "," << c.face.origin.y;
  }
}

}  // namespace
}  // namespace velumar
