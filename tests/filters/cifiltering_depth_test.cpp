// Depth-map effects: the band mask, the band selection with and without
// inversion, blur and darkening outside the band, and settings that have
// no ramp.

#include <gtest/gtest.h>

#include <cmath>

#include "tests/filters/composite_depth_test_support.h"

namespace {

using citest::Pixel;
using filtertest::near;
using filtertest::pendingAt;

TEST(DepthMask, RisesHoldsAndFallsAroundTheFocalPoint) {
  // s = 10, w = 0.2, f = 0.5: h = 0.2.
  const std::vector<std::pair<float, float>> table = {{0.0f, 0},     {0.3f, 0}, {0.35f, 0.5f},
                                                      {0.4f, 1},     {0.5f, 1}, {0.6f, 1},
                                                      {0.65f, 0.5f}, {0.7f, 0}, {1.0f, 0}};
  ci::ImageRef depth = citest::imageOf(std::int64_t(table.size()), 1, [&](std::int64_t x, std::int64_t) {
    const float d = table[std::size_t(x)].first;
    return Pixel{d, d, d, 1};
  });
  velumar::CIFiltering filters;
  ci::ImageRef mask = filters.combinedMaskForDepthImage(depth, 10, 0.2, 0.5);
  ASSERT_TRUE(mask);
  const citest::Rendered r = citest::render(mask, ci::PixelRegion{0, 0, std::int64_t(table.size()), 1});
  for (std::size_t i = 0; i < table.size(); ++i) {
    const Pixel p = r.at(std::int64_t(i), 0);
    EXPECT_NEAR(p[1], table[i].second, 1e-5) << "depth " << table[i].first;
    EXPECT_NEAR(p[0], p[1], 1e-6);
    EXPECT_NEAR(p[3], 1.0f, 1e-6);
  }
  for (double slope : {0.0, -1.0, double(NAN), double(INFINITY)}) {
    EXPECT_FALSE(filters.combinedMaskForDepthImage(depth, slope, 0.2, 0.5)) << slope;
  }
}

// The context (the processed image) is a checkerboard of green; the
// photograph flat red; the depth is 0.5 (in the band) in the left half and
// 0.9 beyond.
struct DepthScene {
  static constexpr std::int64_t kWidth = 32, kHeight = 16;
  std::unique_ptr<raster::BitmapContext> context = filtertest::floatContext(kWidth, kHeight, {0, 0, 0, 1});
  raster::ImageRef photo = filtertest::flatBitmap(kWidth, kHeight, {1, 0, 0, 1});
  ci::ImageRef depth = citest::imageOf(kWidth, kHeight, [](std::int64_t x, std::int64_t) {
    const float d = x < kWidth / 2 ? 0.5f : 0.9f;
    return Pixel{d, d, d, 1};
  });
  velumar::CIFiltering filters;

  DepthScene() {
    context->setFillColor(raster::Color{ci::workingColorSpace(), {0, 1, 0, 1, 0}, 4});
    for (std::int64_t y = 0; y < kHeight; ++y) {
      for (std::int64_t x = (y % 2); x < kWidth; x += 2)
        context->fillRect(raster::Rect(double(x), double(y), 1, 1));
    }
    filters.createNewCIContextWithCGContext(context.get(), true);
  }
  void run(double blur, double black, bool invert, double intensity = 1, double slope = 10) {
    filters.depthFilterWithCGContext(context.get(), photo, depth, slope, 0.2, 0.5, intensity, blur, black,
                                     invert);
  }
};

TEST(DepthStep, BandKeepsThePhotographAndTheRestIsProcessed) {
  for (bool invert : {false, true}) {
    DepthScene scene;
    scene.run(0, 0, invert);
    const Pixel inBand = pendingAt(scene.filters, 3, 5), outside = pendingAt(scene.filters, 25, 5);
    const Pixel outsideNeighbour = pendingAt(scene.filters, 26, 5);
    if (!invert) {
      EXPECT_TRUE(near(inBand, {1, 0, 0, 1}));
      EXPECT_FALSE(near(outside, outsideNeighbour));  // the checkerboard shows
    } else {
      EXPECT_TRUE(near(outside, {1, 0, 0, 1}));
      EXPECT_FALSE(near(inBand, pendingAt(scene.filters, 4, 5)));
    }
    EXPECT_EQ(scene.filters.ciImage()->extent(), raster::Rect(0, 0, 32, 16));
  }
}

TEST(DepthStep, BlurAndDarkeningActOutsideTheBandOnly) {
  struct Case {
    double blur, black;
    bool invert;
  } cases[] = {{4, 0, false}, {4, 0, true}, {0, 1, false}, {0, 1, true}, {0, 0.5, false}, {3, 0.5, true}};
  for (const Case& c : cases) {
    DepthScene plain, scene;
    plain.run(0, 0, c.invert);
    scene.run(c.blur, c.black, c.invert);
    // Inside the band nothing changes (away from the band's edge, where
    // the blur reaches across).
    for (std::int64_t x : {1, 2, 3}) {
      EXPECT_TRUE(near(pendingAt(scene.filters, x, 8), pendingAt(plain.filters, x, 8))) << x;
    }
    const Pixel before = pendingAt(plain.filters, 28, 8), after = pendingAt(scene.filters, 28, 8);
    if (c.black == 1) {
      EXPECT_TRUE(near(after, {0, 0, 0, 1}));
    } else if (c.blur == 0) {
      for (std::size_t k = 0; k < 3; ++k) EXPECT_NEAR(after[k], before[k] * (1 - c.black), 1e-5);
    } else if (!c.invert) {
      EXPECT_NEAR(after[1], 0.5f * float(1 - c.black), 0.05f);  // the checkerboard blurred to its mean
    }
  }
}

TEST(DepthStep, IntensityIsIgnoredAndSlopesWithoutARampChangeNothing) {
  DepthScene a, b;
  a.run(2, 0.3, false, 0.0);
  b.run(2, 0.3, false, 1e9);
  for (std::int64_t x = 0; x < 32; x += 3)
    EXPECT_TRUE(near(pendingAt(a.filters, x, 7), pendingAt(b.filters, x, 7)));
  for (double slope : {0.0, -3.0, double(NAN), double(INFINITY)}) {
    DepthScene scene;
    scene.run(2, 0.3, false, 1, slope);
    EXPECT_FALSE(scene.filters.ciImage()) << slope;
  }
}

}  // namespace
