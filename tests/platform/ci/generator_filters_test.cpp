// Gradients at hand-computed pixels, and the random generator's
// determinism and statistics.

#include <gtest/gtest.h>

#include <cmath>

#include "platform/ci/filter.h"
#include "tests/platform/ci/graph_test_support.h"

namespace {

ci::ImageRef gradient(const char* name, const std::vector<std::pair<std::string, ci::FilterValue>>& values) {
  ci::FilterRef f = ci::Filter::withName(name);
  if (!f) return nullptr;
  for (const auto& [key, value] : values) f->setValue(key, value);
  return f->outputImage();
}

TEST(GeneratorFilters, GradientsMixTheirColoursByPosition) {
  const ci::Color c0{1, 0, 0, 1}, c1{0, 0, 1, 0.5};
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, ci::FilterValue>> values;
    std::int64_t x, y;
    double t;  // the weight of colour 1
  };
  auto smooth = [](double t) { return t * t * (3 - 2 * t); };
  const Case cases[] = {
      // From (0, 0) to (100, 0): t = (x + ½) / 100, held to [0, 1].
      {"CILinearGradient", {{"inputPoint1", ci::Vector{100, 0}}}, 24, 7, 0.245},
      {"CILinearGradient", {{"inputPoint1", ci::Vector{100, 0}}}, 150, 0, 1.0},
      {"CILinearGradient",
       {{"inputPoint0", ci::Vector{0, 40}}, {"inputPoint1", ci::Vector{0, 0}}},
       3,
       9,
       0.7625},
      {"CISmoothLinearGradient", {{"inputPoint1", ci::Vector{100, 0}}}, 24, 7, smooth(0.245)},
      // Radial: t = (distance − r0) / (r1 − r0).
      {"CIRadialGradient",
       {{"inputCenter", ci::Vector{10.5, 10.5}}, {"inputRadius0", 2.0}, {"inputRadius1", 12.0}},
       16,
       18,
       (10.0 - 2.0) / 10.0},
      {"CIRadialGradient", {{"inputCenter", ci::Vector{10.5, 10.5}}}, 10, 10, 0.0},
      // Coincident points or radii: colour 0 everywhere.
      {"CILinearGradient", {{"inputPoint1", ci::Vector{0, 0}}}, 50, 50, 0.0},
      {"CILinearGradient", {{"inputPoint1", ci::Vector{NAN, 3}}}, 50, 50, 0.0},
      {"CIRadialGradient", {{"inputRadius0", 30.0}, {"inputRadius1", 30.0}}, 300, 3, 0.0},
  };
  for (const Case& c : cases) {
    std::vector<std::pair<std::string, ci::FilterValue>> values = c.values;
    values.push_back({"inputColor0", c0});
    values.push_back({"inputColor1", c1});
    ci::ImageRef image = gradient(c.name, values);
    ASSERT_TRUE(image) << c.name;
    EXPECT_TRUE(ci::isInfinite(image->extent()));
    const citest::Pixel p = citest::render(image, ci::PixelRegion{c.x, c.y, 1, 1}).at(c.x, c.y);
    const double alpha = 1 - 0.5 * c.t;
    EXPECT_NEAR(p[3], alpha, 1e-5) << c.name << " at " << c.x;
    EXPECT_NEAR(p[0], 1 - c.t, 1e-5) << c.name << " at " << c.x;  // premultiplied red
    EXPECT_NEAR(p[2], 0.5 * c.t, 1e-5) << c.name << " at " << c.x;
  }
}

TEST(GeneratorFilters, RandomImageIsDeterministicUniformAndUncorrelated) {
  ci::ImageRef random = gradient("CIRandomGenerator", {});
  ASSERT_TRUE(random);
  const ci::PixelRegion region{-300, 50, 512, 256};
  const citest::Rendered a = citest::render(random, region, 64), b = citest::render(random, region, 200);
  ASSERT_EQ(a.pixels, b.pixels);  // independent of tiling and threads

  // Straight components: colour = premultiplied / alpha.
  double sum[4] = {}, rowProduct = 0, columnProduct = 0;
  std::int64_t n = 0, pairs = 0;
  auto straight = [&](std::int64_t x, std::int64_t y, int c) {
    const citest::Pixel p = a.at(x, y);
    return c == 3 ? double(p[3]) : double(p[std::size_t(c)]) / std::max(1e-9, double(p[3]));
  };
  for (std::int64_t y = region.y; y < region.maxY(); ++y) {
    for (std::int64_t x = region.x; x < region.maxX(); ++x, ++n) {
      for (int c = 0; c < 4; ++c) sum[c] += straight(x, y, c);
      if (x + 1 < region.maxX() && y + 1 < region.maxY()) {
        rowProduct += (straight(x, y, 1) - 0.5) * (straight(x + 1, y, 1) - 0.5);
        columnProduct += (straight(x, y, 1) - 0.5) * (straight(x, y + 1, 1) - 0.5);
        ++pairs;
      }
    }
  }
  for (int c = 0; c < 4; ++c) EXPECT_NEAR(sum[c] / double(n), 0.5, 0.01) << "channel " << c;
  // A uniform variable has variance 1/12; neighbours should not share it.
  EXPECT_LT(std::abs(rowProduct / double(pairs)) * 12, 0.02);
  EXPECT_LT(std::abs(columnProduct / double(pairs)) * 12, 0.02);
}

}  // namespace
