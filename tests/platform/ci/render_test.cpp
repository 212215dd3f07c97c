// Rendering: a node shared by two consumers is evaluated once per pixel of
// a draw, and only the region asked for is computed.

#include <gtest/gtest.h>

#include <atomic>

#include "graph_test_support.h"

using citest::imageOf;
using citest::render;

namespace {

ci::ImageRef countingIdentity(const ci::ImageRef& input, std::atomic<std::int64_t>& pixels) {
  return ci::Image::kernel({input}, input->extent(), [&pixels](const ci::KernelRow& row) {
    pixels += row.count;
    for (std::int64_t i = 0; i < row.count * 4; ++i) row.output[i] = row.inputs[0][i];
  });
}

TEST(Render, SharedNodeIsEvaluatedOncePerPixel) {
  ci::ImageRef source = imageOf(50, 40, citest::coordinatePixel);
  std::atomic<std::int64_t> pixels{0};
  ci::ImageRef shared = countingIdentity(source, pixels);
  // Two consumers of the same node, joined by a two-input kernel.
  ci::ImageRef halfA = ci::Image::kernel({shared}, shared->extent(), [](const ci::KernelRow& row) {
    for (std::int64_t i = 0; i < row.count * 4; ++i) row.output[i] = row.inputs[0][i] * 0.5f;
  });
  ci::ImageRef halfB = ci::Image::kernel({shared}, shared->extent(), [](const ci::KernelRow& row) {
    for (std::int64_t i = 0; i < row.count * 4; ++i) row.output[i] = row.inputs[0][i] * 0.5f;
  });
  ci::ImageRef sum = ci::Image::kernel({halfA, halfB}, shared->extent(), [](const ci::KernelRow& row) {
    for (std::int64_t i = 0; i < row.count * 4; ++i) row.output[i] = row.inputs[0][i] + row.inputs[1][i];
  });
  for (std::int64_t tile : {256, 16}) {
    SCOPED_TRACE(tile);
    pixels = 0;
    auto out = render(sum, {0, 0, 50, 40}, tile);
    EXPECT_EQ(pixels.load(), 50 * 40);
    EXPECT_EQ(out.at(13, 17), citest::coordinatePixel(13, 17));
  }
}

TEST(Render, OnlyTheRequestedRegionIsComputed) {
  ci::ImageRef source = imageOf(100, 100, citest::coordinatePixel);
  std::atomic<std::int64_t> pixels{0};
  ci::ImageRef counted = countingIdentity(source, pixels);
  ci::ImageRef cropped = counted->cropped(raster::Rect(10, 20, 5, 6));
  render(cropped, {0, 0, 100, 100});
  EXPECT_EQ(pixels.load(), 30);
}

TEST(Render, ConvolutionReadsItsNeighbourhood) {
  ci::ImageRef dot = imageOf(5, 5, [](std::int64_t x, std::int64_t y) {
    float v = x == 2 && y == 2 ? 1.0f : 0.0f;
    return citest::Pixel{v, v, v, v};
  });
  ci::ImageRef blurred = ci::Image::convolved(dot, {0.25f, 0.5f, 0.25f}, {0.25f, 0.5f, 0.25f});
  EXPECT_EQ(blurred->extent(), raster::Rect(-1, -1, 7, 7));
  auto out = render(blurred, {-1, -1, 7, 7}, 16);
  EXPECT_FLOAT_EQ(out.at(2, 2)[3], 0.25f);
  EXPECT_FLOAT_EQ(out.at(1, 2)[3], 0.125f);
  EXPECT_FLOAT_EQ(out.at(1, 1)[3], 0.0625f);
  EXPECT_FLOAT_EQ(out.at(0, 0)[3], 0.0f);
}

TEST(Render, WarpSamplesTheMappedPoints) {
  ci::ImageRef source = imageOf(8, 8, citest::coordinatePixel);
  // Mirror around x = 4 by an inverse map.
  ci::ImageRef warped = ci::Image::warped(
      source, source->extent(), [](std::int64_t x, std::int64_t y, std::int64_t count, double* points) {
        for (std::int64_t i = 0; i < count; ++i) {
          points[i * 2] = 8.0 - (double(x + i) + 0.5);
          points[i * 2 + 1] = double(y) + 0.5;
        }
      });
  auto out = render(warped, {0, 0, 8, 8});
  EXPECT_EQ(out.at(1, 3), citest::coordinatePixel(6, 3));
}

}  // namespace

namespace {

TEST(Render, SamplingKernelReadsItsRegionOfInterest) {
  // A 3 × 3 box mean over a clamped input, one tile and many tiles alike.
  ci::ImageRef source = imageOf(20, 12, citest::coordinatePixel)->clampedToExtent();
  ci::ImageRef box = ci::Image::sampling(
      {source}, raster::Rect(0, 0, 20, 12),
      [](const ci::SamplerRow& row) {
        for (std::int64_t i = 0; i < row.count; ++i) {
          float sum[4] = {0, 0, 0, 0}, p[4];
          for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
              row.inputs[0].pixel(row.x + i + dx, row.y + dy, p);
              for (int c = 0; c < 4; ++c) sum[c] += p[c] / 9.0f;
            }
          }
          for (int c = 0; c < 4; ++c) row.output[i * 4 + c] = sum[c];
        }
      },
      [](const raster::Rect& r) {
        return raster::Rect(r.minX() - 1, r.minY() - 1, r.width() + 2, r.height() + 2);
      });
  ASSERT_TRUE(box);
  auto whole = render(box, {0, 0, 20, 12});
  auto tiled = render(box, {0, 0, 20, 12}, 16);
  EXPECT_EQ(whole.pixels, tiled.pixels);
  EXPECT_NEAR(whole.at(5, 5)[0], citest::coordinatePixel(5, 5)[0], 1e-6);  // a ramp keeps its mean
  EXPECT_NEAR(whole.at(0, 0)[0], (0 * 2 + 1) / 3.0f / 16.0f, 1e-6);        // edges repeat
  EXPECT_EQ(ci::Image::sampling({imageOf(2, 2, citest::coordinatePixel)->clampedToExtent()},
                                raster::Rect(0, 0, 2, 2), [](const ci::SamplerRow&) {}),
            nullptr);  // an infinite input needs a region of interest
}

}  // namespace
