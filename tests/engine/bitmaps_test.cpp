// New representations, redraws at a size in points, and the search for the
// largest representation.

#include <gtest/gtest.h>

#include <limits>

#include "engine/imported_image.h"
#include "engine_test_images.h"

namespace velumar {
namespace {

BitmapRepRef solidRep(std::int64_t width, std::int64_t height, double r, double g, double b) {
  return raster::BitmapImageRep::withImage(testimages::solidImage(
      width, height, {std::uint8_t(r * 255), std::uint8_t(g * 255), std::uint8_t(b * 255)}));
}

const std::uint8_t* pixel(const BitmapRepRef& rep, std::int64_t x, std::int64_t y) {
  return rep->image()->row(y) + std::size_t(x) * 4;
}

TEST(BitmapHelpers, NewRepresentations) {
  struct Case {
    bool alpha, sized;
    raster::Size expected;
  };
  for (const Case& c :
       {Case{true, true, {5, 2.5}}, Case{true, false, {10, 5}}, Case{false, true, {5, 2.5}}}) {
    auto rep = c.alpha ? ImportedImage::createNewBmpImageRep(10, 5, 0.5, c.sized)
                       : ImportedImage::createNewBmpImageRepNoAlpha(10, 5, 0.5, c.sized);
    ASSERT_TRUE(rep);
    EXPECT_EQ(rep->pixelsWide(), 10);
    EXPECT_EQ(rep->pixelsHigh(), 5);
    EXPECT_EQ(rep->bitsPerSample(), 8);
    EXPECT_EQ(rep->samplesPerPixel(), c.alpha ? 4 : 3);
    EXPECT_EQ(rep->bitsPerPixel(), 32);  // RGB is padded
    EXPECT_EQ(rep->hasAlpha(), c.alpha);
    EXPECT_EQ(rep->size(), c.expected) << c.alpha << c.sized;
    ASSERT_TRUE(rep->colorSpace());
    EXPECT_TRUE(rep->colorSpace()->sameNameAs(*raster::ColorSpace::sRGB()));
    if (c.alpha) {
      EXPECT_EQ(pixel(rep, 9, 4)[3], 0);  // cleared
    }
  }
}

TEST(BitmapHelpers, ImpossibleSizesGiveNothing) {
  EXPECT_FALSE(ImportedImage::createNewBmpImageRep(0, 5, 1, true));
  EXPECT_FALSE(ImportedImage::createNewBmpImageRepNoAlpha(5, -1, 1, true));
  auto source = solidRep(4, 4, 1, 0, 0);
  EXPECT_FALSE(ImportedImage::drawInBmpContextFromBmpRep(nullptr, {10, 10}));
  EXPECT_FALSE(ImportedImage::drawInBmpContextFromBmpRep(source, {0, 10}));
  EXPECT_FALSE(ImportedImage::drawInBmpContextFromBmpRep(source, {-3, 10}));
  EXPECT_FALSE(
      ImportedImage::drawInBmpContextFromBmpRep(source, {std::numeric_limits<double>::quiet_NaN(), 10}));
  EXPECT_FALSE(ImportedImage::drawInBmpContextFromBmpRep(source, {1e300, 10}));
}

TEST(BitmapHelpers, DrawsAtTheCeilingOfAPointSize) {
  auto source = solidRep(20, 10, 1, 0, 0);
  ASSERT_TRUE(source);
  auto drawn = ImportedImage::drawInBmpContextFromBmpRep(source, {100.2, 50.0});
  ASSERT_TRUE(drawn);
  EXPECT_EQ(drawn->pixelsWide(), 101);
  EXPECT_EQ(drawn->pixelsHigh(), 50);
  EXPECT_EQ(drawn->size(), (raster::Size{100.2, 50.0}));
  // The drawing covers every pixel, the last column included.
  for (auto [x, y] : {std::pair{0, 0}, {50, 25}, {100, 49}, {100, 0}}) {
    const std::uint8_t* p = pixel(drawn, x, y);
    EXPECT_EQ(p[0], 255) << x << "," << y;
    EXPECT_EQ(p[1], 0) << x << "," << y;
    EXPECT_EQ(p[3], 255) << x << "," << y;
  }
  // Single-precision ceiling: 64.000001 is 64 in single precision.
  auto exact = ImportedImage::drawInBmpContextFromBmpRep(source, {64.000001, 32});
  ASSERT_TRUE(exact);
  EXPECT_EQ(exact->pixelsWide(), 64);
}

TEST(PixelScans, LargestRepresentationWins) {
  ImportedImage engine;
  BitmapRepList reps{solidRep(10, 10, 0, 0, 0), nullptr, solidRep(20, 5, 0, 0, 0), solidRep(30, 30, 0, 0, 0),
                     solidRep(45, 20, 0, 0, 0)};
  EXPECT_EQ(engine.verifyImagePixelSize(reps), (raster::Size{30, 30}));
  EXPECT_EQ(engine.indexMaxPixels, 3);

  raster::ImageSet image;
  for (const auto& rep : reps) image.addRepresentation(rep);  // the null one is dropped
  engine.indexMaxPixels = 9;
  engine.verifyImagePixelSizeForResultedImage(image);
  EXPECT_EQ(engine.indexMaxPixels, 2);
  engine.verifyImagePixelSizeForResultedImage(image, 2);
  EXPECT_EQ(engine.indexMaxPixels, 3);  // equal count, never the ignored one
  engine.verifyImagePixelSizeForResultedImage(image, 0);
  EXPECT_EQ(engine.indexMaxPixels, 2);
}

TEST(PixelScans, NothingToChooseFrom) {
  ImportedImage engine;
  engine.indexMaxPixels = 5;
  EXPECT_EQ(engine.verifyImagePixelSize({}), (raster::Size{0, 0}));
  EXPECT_EQ(engine.indexMaxPixels, 0);
  engine.indexMaxPixels = 5;
  EXPECT_EQ(engine.verifyImagePixelSize({nullptr, nullptr}), (raster::Size{0, 0}));
  EXPECT_EQ(engine.indexMaxPixels, 0);
  raster::ImageSet one = raster::ImageSet::withRepresentation(solidRep(3, 3, 0, 0, 0));
  engine.indexMaxPixels = 5;
  engine.verifyImagePixelSizeForResultedImage(one, 0);
  EXPECT_EQ(engine.indexMaxPixels, 0);
}

}  // namespace
}  // namespace velumar
