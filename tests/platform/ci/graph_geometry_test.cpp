// Geometry of the graph's nodes on small asymmetric images: every flip and
// turn lands each pixel where it belongs, crops keep the pixels whose
// centres lie inside, and infinite extents can be clamped and cropped.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "graph_test_support.h"

using citest::coordinatePixel;
using citest::imageOf;
using citest::render;

namespace {

struct PermutationCase {
  const char* name;
  raster::AffineTransform transform;
  raster::Rect extent;  // of a 3 × 2 image after the transform
  // Source pixel that output pixel (x, y) shows, relative to the extent.
  std::function<std::pair<int, int>(int x, int y)> source;
};

TEST(GraphGeometry, FlipsAndTurnsMoveEveryPixelExactly) {
  // 3 wide, 2 high: every source pixel distinct.
  ci::ImageRef image = imageOf(3, 2, coordinatePixel);
  const double halfPi = std::numbers::pi / 2;
  const PermutationCase cases[] = {
      {"flip horizontally",
       raster::AffineTransform::scaling(-1, 1),
       {-3, 0, 3, 2},
       [](int x, int y) {
         return std::pair{2 - x, y};
       }},
      {"flip vertically",
       raster::AffineTransform::scaling(1, -1),
       {0, -2, 3, 2},
       [](int x, int y) {
         return std::pair{x, 1 - y};
       }},
      // Clockwise quarter turn: the result is 2 wide and 3 high; its top row
      // is the source's left column, read bottom to top.
      {"clockwise quarter turn",
       raster::AffineTransform::rotation(-halfPi),
       {0, -3, 2, 3},
       [](int x, int y) {
         return std::pair{2 - y, x};
       }},
      {"counterclockwise quarter turn",
       raster::AffineTransform::rotation(halfPi),
       {-2, 0, 2, 3},
       [](int x, int y) {
         return std::pair{y, 1 - x};
       }},
      {"half turn",
       raster::AffineTransform::rotation(std::numbers::pi),
       {-3, -2, 3, 2},
       [](int x, int y) {
         return std::pair{2 - x, 1 - y};
       }},
      {"transpose",
       raster::AffineTransform{0, 1, 1, 0, 0, 0},
       {0, 0, 2, 3},
       [](int x, int y) {
         return std::pair{y, x};
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ci::ImageRef turned = image->transformed(c.transform);
    ASSERT_TRUE(turned);
    const raster::Rect e = turned->extent();
    EXPECT_NEAR(e.minX(), c.extent.minX(), 1e-9);
    EXPECT_NEAR(e.minY(), c.extent.minY(), 1e-9);
    EXPECT_NEAR(e.width(), c.extent.width(), 1e-9);
    EXPECT_NEAR(e.height(), c.extent.height(), 1e-9);
    ci::PixelRegion region = ci::pixelsCentredIn(e);
    auto out = render(turned, region);
    for (int y = 0; y < int(region.height); ++y) {
      for (int x = 0; x < int(region.width); ++x) {
        auto [sx, sy] = c.source(x, y);
        citest::Pixel expected = coordinatePixel(sx, sy);
        citest::Pixel got = out.at(region.x + x, region.y + y);
        EXPECT_EQ(got, expected) << "output pixel " << x << "," << y;
      }
    }
  }
}

TEST(GraphGeometry, CropKeepsPixelsWhoseCentresAreInside) {
  ci::ImageRef image = imageOf(10, 10, coordinatePixel);
  struct Case {
    raster::Rect rect;
    ci::PixelRegion pixels;
  } cases[] = {
      {{2, 3, 4, 5}, {2, 3, 4, 5}},
      {{2.4, 3, 4.2, 5}, {2, 3, 5, 5}},  // centres 2.5 .. 6.5 are inside [2.4, 6.6)
      {{2.6, 3, 3.8, 5}, {3, 3, 3, 5}},  // centre 2.5 is outside, 6.5 too
      {{-5, -5, 8, 8}, {0, 0, 3, 3}},    // clipped by the image
      {{20, 20, 5, 5}, {}},              // nothing left
  };
  for (const auto& c : cases) {
    ci::ImageRef cropped = image->cropped(c.rect);
    ASSERT_TRUE(cropped);
    EXPECT_EQ(cropped->domain(), c.pixels);
    auto out = render(cropped, {-1, -1, 12, 12});
    for (std::int64_t y = -1; y < 11; ++y) {
      for (std::int64_t x = -1; x < 11; ++x) {
        bool inside = !c.pixels.isEmpty() && c.pixels.contains({x, y, 1, 1});
        EXPECT_EQ(out.at(x, y), inside ? coordinatePixel(x, y) : citest::Pixel{}) << x << "," << y;
      }
    }
  }
}

TEST(GraphGeometry, ClampedImageIsInfiniteAndCropsToAnyRectangle) {
  ci::ImageRef image = imageOf(4, 3, coordinatePixel);
  ci::ImageRef clamped = image->clampedToExtent();
  EXPECT_TRUE(ci::isInfinite(clamped->extent()));
  ci::ImageRef cropped = clamped->cropped(raster::Rect(-3, -2, 10, 8));
  EXPECT_EQ(cropped->extent(), raster::Rect(-3, -2, 10, 8));
  auto out = render(cropped, {-3, -2, 10, 8});
  EXPECT_EQ(out.at(-3, -2), coordinatePixel(0, 0));
  EXPECT_EQ(out.at(6, 5), coordinatePixel(3, 2));
  EXPECT_EQ(out.at(1, 5), coordinatePixel(1, 2));
  EXPECT_EQ(out.at(6, 1), coordinatePixel(3, 1));
  EXPECT_EQ(out.at(2, 1), coordinatePixel(2, 1));
  // Far away from the image, the corner pixel still repeats.
  auto far = render(clamped, {1000000, -1000000, 2, 2});
  EXPECT_EQ(far.at(1000000, -1000000), coordinatePixel(3, 0));
}

TEST(GraphGeometry, ConstantColourIsInfiniteAndPremultiplied) {
  ci::ImageRef c = ci::Image::constantColor({1.0, 0.5, 0.0, 0.5});
  EXPECT_TRUE(ci::isInfinite(c->extent()));
  auto out = render(c->cropped(raster::Rect(-7, 9, 3, 2)), {-7, 9, 3, 2});
  EXPECT_EQ(out.at(-5, 10), (citest::Pixel{0.5f, 0.25f, 0.0f, 0.5f}));
}

TEST(GraphGeometry, WholePixelTranslationsCopyExactly) {
  ci::ImageRef image = imageOf(3, 2, coordinatePixel);
  ci::ImageRef moved = image->transformed(raster::AffineTransform::translation(5, -7));
  EXPECT_EQ(moved->extent(), raster::Rect(5, -7, 3, 2));
  auto out = render(moved, {5, -7, 3, 2});
  EXPECT_EQ(out.at(7, -6), coordinatePixel(2, 1));
}

TEST(GraphGeometry, SourceOverCoversTheUnionOfExtents) {
  ci::ImageRef top = ci::Image::constantColor({1, 0, 0, 0.5})->cropped(raster::Rect(0, 0, 2, 2));
  ci::ImageRef bottom = ci::Image::constantColor({0, 0, 1, 1})->cropped(raster::Rect(1, 0, 2, 2));
  ci::ImageRef composed = top->compositedOver(bottom);
  EXPECT_EQ(composed->extent(), raster::Rect(0, 0, 3, 2));
  auto out = render(composed, {0, 0, 3, 2});
  EXPECT_EQ(out.at(0, 0), (citest::Pixel{0.5f, 0, 0, 0.5f}));
  EXPECT_EQ(out.at(1, 0), (citest::Pixel{0.5f, 0, 0.5f, 1}));
  EXPECT_EQ(out.at(2, 0), (citest::Pixel{0, 0, 1, 1}));
}

}  // namespace
