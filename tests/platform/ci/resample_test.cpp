// Resampling quality: Lanczos and widened tent scaling keep flat areas
// flat up to the edges, ring only a little at a step, do not alias a
// fine pattern when shrinking, and tiles join without seams.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "graph_test_support.h"

using citest::imageOf;
using citest::render;

namespace {

struct ScaleCase {
  const char* name;
  double sx, sy;
  ci::ResamplingKernel kernel;
};

const ScaleCase kScales[] = {
    {"lanczos shrink 3.75", 1 / 3.75, 1 / 3.75, ci::ResamplingKernel::Lanczos3},
    {"lanczos shrink uneven", 0.3, 0.7, ci::ResamplingKernel::Lanczos3},
    {"lanczos enlarge", 2.5, 1.5, ci::ResamplingKernel::Lanczos3},
    {"tent shrink", 0.2, 0.45, ci::ResamplingKernel::Bilinear},
    {"tent enlarge", 3, 2, ci::ResamplingKernel::Bilinear},
};

TEST(Resample, FlatColourStaysFlatUpToTheEdges) {
  ci::ImageRef flat = imageOf(60, 40, [](auto, auto) { return citest::Pixel{0.3f, 0.6f, 0.9f, 1.0f}; });
  for (const auto& c : kScales) {
    SCOPED_TRACE(c.name);
    ci::ImageRef scaled = ci::Image::scaled(flat, c.sx, c.sy, c.kernel);
    ASSERT_TRUE(scaled);
    EXPECT_NEAR(scaled->extent().width(), 60 * c.sx, 1e-9);
    EXPECT_NEAR(scaled->extent().height(), 40 * c.sy, 1e-9);
    ci::PixelRegion region = scaled->domain();
    auto out = render(scaled, region);
    for (std::int64_t y = region.y; y < region.maxY(); ++y) {
      for (std::int64_t x = region.x; x < region.maxX(); ++x) {
        citest::Pixel p = out.at(x, y);
        ASSERT_NEAR(p[0], 0.3f, 1e-5) << x << "," << y;
        ASSERT_NEAR(p[1], 0.6f, 1e-5);
        ASSERT_NEAR(p[2], 0.9f, 1e-5);
        ASSERT_NEAR(p[3], 1.0f, 1e-5);
      }
    }
  }
}

TEST(Resample, LanczosRingsLittleAtAStepEdge) {
  // Black left half, white right half.
  ci::ImageRef step = imageOf(200, 8, [](std::int64_t x, auto) {
    float v = x < 100 ? 0.0f : 1.0f;
    return citest::Pixel{v, v, v, 1.0f};
  });
  for (double scale : {0.25, 0.5, 1.0 / 3.0, 2.0}) {
    SCOPED_TRACE(scale);
    ci::ImageRef scaled = ci::Image::scaled(step, scale, 1.0, ci::ResamplingKernel::Lanczos3);
    auto out = render(scaled, scaled->domain());
    float lo = 1, hi = 0;
    for (std::int64_t x = 0; x < scaled->domain().width; ++x) {
      lo = std::min(lo, out.at(x, 3)[0]);
      hi = std::max(hi, out.at(x, 3)[0]);
    }
    // Lanczos-3 overshoots a step by about a tenth of its height at most.
    EXPECT_GT(lo, -0.12f);
    EXPECT_LT(hi, 1.12f);
    EXPECT_LT(lo, 0.0f + 1e-6f);
    EXPECT_GT(hi, 1.0f - 1e-6f);
  }
}

TEST(Resample, ShrinkingAFinePatternDoesNotAlias) {
  // One-pixel checkerboard: any shrink must come out near mid grey.
  ci::ImageRef checker = imageOf(64, 64, [](std::int64_t x, std::int64_t y) {
    float v = (x + y) % 2 ? 1.0f : 0.0f;
    return citest::Pixel{v, v, v, 1.0f};
  });
  for (auto kernel : {ci::ResamplingKernel::Lanczos3, ci::ResamplingKernel::Bilinear}) {
    ci::ImageRef scaled = ci::Image::scaled(checker, 0.23, 0.23, kernel);
    auto out = render(scaled, scaled->domain());
    for (std::int64_t y = 0; y < scaled->domain().height; ++y) {
      for (std::int64_t x = 0; x < scaled->domain().width; ++x) EXPECT_NEAR(out.at(x, y)[0], 0.5f, 0.08f);
    }
  }
}

TEST(Resample, TilesJoinWithoutSeams) {
  ci::ImageRef image = imageOf(300, 200, [](std::int64_t x, std::int64_t y) {
    float v = float((x * 7 + y * 13) % 29) / 29.0f;
    return citest::Pixel{v, 1 - v, 0.5f, 1.0f};
  });
  ci::ImageRef graph = ci::Image::scaled(image, 0.61, 0.47, ci::ResamplingKernel::Lanczos3)
                           ->transformed(raster::AffineTransform::rotation(0.3));
  ci::PixelRegion region = graph->domain();
  auto whole = render(graph, region, 4096);
  auto tiled = render(graph, region, 16);
  EXPECT_EQ(whole.pixels, tiled.pixels);
}

TEST(Resample, BilinearEnlargementInterpolatesBetweenCentres) {
  ci::ImageRef two = imageOf(2, 1, [](std::int64_t x, auto) {
    float v = float(x);
    return citest::Pixel{v, v, v, 1};
  });
  ci::ImageRef scaled = two->transformed(raster::AffineTransform::scaling(4, 1));
  auto out = render(scaled, {0, 0, 8, 1});
  // Source centres 0.5 and 1.5 land on 2 and 6; the outer pixels repeat the edge.
  EXPECT_FLOAT_EQ(out.at(0, 0)[0], 0.0f);
  EXPECT_FLOAT_EQ(out.at(7, 0)[0], 1.0f);
  EXPECT_FLOAT_EQ(out.at(3, 0)[0], 0.375f);  // centre 3.5 → source 0.875
  EXPECT_FLOAT_EQ(out.at(4, 0)[0], 0.625f);
}

}  // namespace
