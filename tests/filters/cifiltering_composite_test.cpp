// Composite blending: placement and scale on the 1600 × 1200 reference,
// opacity, the codes without a filter, and the filtered-over-unfiltered
// mode.

#include <gtest/gtest.h>

#include "platform/ci/renderer.h"
#include "tests/filters/composite_depth_test_support.h"

namespace {

using citest::Pixel;
using filtertest::near;
using filtertest::pendingAt;

const Pixel kBlue{0, 0, 1, 1}, kRed{1, 0, 0, 1};

struct PlacementCase {
  std::int64_t width, height;
  raster::Point origin;
  raster::Rect expected;  // where the 400 × 300 composite lands
};

TEST(CompositeStep, PlacesTheCompositeOnTheReferenceCanvas) {
  const PlacementCase cases[] = {
      {1600, 1200, {50, 50}, raster::Rect(600, 450, 400, 300)},
      {3200, 1200, {50, 50}, raster::Rect(1400, 450, 400, 300)},  // scale min(2, 1) = 1
      {800, 1200, {50, 50}, raster::Rect(300, 525, 200, 150)},    // scale min(0.5, 1) = 0.5
      {1600, 1200, {0, 0}, raster::Rect(-200, -150, 400, 300)},   // three quarters outside
  };
  const ci::ImageRef composite = citest::imageOf(400, 300, [](auto, auto) { return kRed; });
  for (const PlacementCase& c : cases) {
    auto context = filtertest::floatContext(c.width, c.height, kBlue);
    velumar::CIFiltering filters;
    filters.createNewCIContextWithCGContext(context.get(), true);
    filters.compositeFilterWithCGContext(context.get(), nullptr, composite, 1.0, 1.0, c.origin, 1, 10);
    ASSERT_TRUE(filters.ciImage());
    const raster::Rect& r = c.expected;
    // Pixels just inside and just outside each corner of the placed image.
    for (double fx : {0.0, 1.0}) {
      for (double fy : {0.0, 1.0}) {
        const auto x = std::int64_t(r.minX() + fx * r.width()), y = std::int64_t(r.minY() + fy * r.height());
        const std::int64_t ix = fx ? x - 1 : x, iy = fy ? y - 1 : y, ox = fx ? x : x - 1, oy = fy ? y : y - 1;
        if (ix >= 0 && iy >= 0) {
          EXPECT_TRUE(near(pendingAt(filters, ix, iy), kRed)) << c.width << " " << ix;
        }
        if (ox >= 0 && oy >= 0 && ox < c.width && oy < c.height) {
          EXPECT_TRUE(near(pendingAt(filters, ox, oy), kBlue)) << c.width << " " << ox;
        }
      }
    }
  }
}

TEST(CompositeStep, OpacityScalesAlphaAndOnlyThenAddsAStep) {
  const ci::ImageRef composite = citest::imageOf(1600, 1200, [](auto, auto) { return kRed; });
  std::size_t nodes[2] = {};
  const double opacities[2] = {1.0, 0.5};
  for (int i = 0; i < 2; ++i) {
    auto context = filtertest::floatContext(16, 12, kBlue);
    velumar::CIFiltering filters;
    filters.createNewCIContextWithCGContext(context.get(), true);
    filters.compositeFilterWithCGContext(context.get(), nullptr, composite, opacities[i], 1.0, {50, 50}, 1,
                                         10);
    nodes[i] = ci::RenderPlan(filters.ciImage()).nodeCount();
    const Pixel expected = i == 0 ? kRed : Pixel{0.5f, 0, 0.5f, 1};
    EXPECT_TRUE(near(pendingAt(filters, 8, 6), expected)) << opacities[i];
  }
  EXPECT_EQ(nodes[1], nodes[0] + 1);
}

TEST(CompositeStep, CodesWithoutAFilterAndMissingImagesChangeNothing) {
  const ci::ImageRef composite = citest::imageOf(4, 4, [](auto, auto) { return kRed; });
  const raster::ImageRef unfiltered = filtertest::flatBitmap(16, 12, kRed);
  struct Case {
    std::int64_t modeType, code;
    bool withComposite, withUnfiltered;
  } cases[] = {{1, 11, true, true}, {1, 12, true, true},  {1, 2, true, true},   {1, 33, true, true},
               {0, -1, true, true}, {1, 10, false, true}, {0, 10, true, false}, {5, 10, false, true}};
  for (const Case& c : cases) {
    auto context = filtertest::floatContext(16, 12, kBlue);
    velumar::CIFiltering filters;
    filters.createNewCIContextWithCGContext(context.get(), true);
    filters.compositeFilterWithCGContext(context.get(), c.withUnfiltered ? unfiltered : nullptr,
                                         c.withComposite ? composite : nullptr, 0.5, 1.0, {50, 50},
                                         c.modeType, c.code);
    EXPECT_FALSE(filters.ciImage()) << c.modeType << " " << c.code;
  }
}

TEST(CompositeStep, FilteredOverUnfilteredIsNeverPlaced) {
  // The context (the filtered image, a snapshot) at half opacity over the
  // unfiltered image, whatever the size factor and origin say.
  auto context = filtertest::floatContext(16, 12, kBlue);
  velumar::CIFiltering filters;
  filters.createNewCIContextWithCGContext(context.get(), true);
  filters.compositeFilterWithCGContext(context.get(), filtertest::flatBitmap(16, 12, kRed), nullptr, 0.5, 3.0,
                                       {10, 90}, 0, 10);
  for (auto [x, y] : {std::pair{0, 0}, {15, 11}, {8, 6}}) {
    EXPECT_TRUE(near(pendingAt(filters, x, y), {0.5f, 0, 0.5f, 1})) << x << "," << y;
  }
  EXPECT_EQ(filters.ciImage()->extent(), raster::Rect(0, 0, 16, 12));
}

}  // namespace

namespace {

// Opacities beyond [0, 1], as a preset file may hold them, give the pixels
// of the nearest end of the range.
TEST(CompositeStep, OpacityOutsideTheRangeActsAsItsEnd) {
  const ci::ImageRef composite = citest::imageOf(
      20, 10, [](std::int64_t x, std::int64_t) { return Pixel{1, float(x) / 20, 0, 0.75f}; });
  const auto render = [&](double opacity) {
    auto context = filtertest::floatContext(16, 12, kBlue);
    velumar::CIFiltering filters;
    filters.createNewCIContextWithCGContext(context.get(), true);
    filters.compositeFilterWithCGContext(context.get(), nullptr, composite, opacity, 1.0, {50, 50}, 1, 7);
    return citest::render(filters.ciImage(), ci::PixelRegion{0, 0, 16, 12});
  };
  const struct {
    double given, end;
  } cases[] = {{1.7, 1}, {1e9, 1}, {INFINITY, 1}, {-0.5, 0}, {-INFINITY, 0}};
  for (const auto& c : cases) {
    const auto got = render(c.given), expected = render(c.end);
    for (std::int64_t y = 0; y < 12; ++y)
      for (std::int64_t x = 0; x < 16; ++x) ASSERT_EQ(got.at(x, y), expected.at(x, y)) << c.given << " at " << x << "," << y;
  }
}

}  // namespace
