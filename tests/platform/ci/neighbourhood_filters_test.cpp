// Neighbourhood filters against scipy, skimage, numpy and ImageMagick with
// edges repeated (the catalogue clamps before them), and against the
// properties and pixels of the formulas in their header.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <set>

#include "platform/ci/filter.h"
#include "tests/platform/ci/graph_test_support.h"
#include "tests/platform/ci/reference_exchange.h"

namespace {

using citest::Pixel;
using citest::Pixels;

ci::ImageRef filtered(const char* name, const ci::ImageRef& input,
                      const std::vector<std::pair<std::string, ci::FilterValue>>& values) {
  ci::FilterRef f = ci::Filter::withName(name);
  if (!f) return nullptr;
  for (const auto& [key, value] : values) f->setValue(key, value);
  f->setValue(ci::kInputImageKey, input);
  return f->outputImage();
}

struct PythonCase {
  const char* filter;
  std::vector<std::pair<std::string, ci::FilterValue>> values;
  const char* script;  // reads img (h × w × 4), writes out
  float tolerance;
};

const char* const kPrelude = R"(
import sys, numpy as np
from scipy import ndimage
from skimage import filters
w, h = int(sys.argv[3]), int(sys.argv[4])
img = np.fromfile(sys.argv[1], dtype=np.float32).reshape(h, w, 4).astype(np.float64)
out = img.copy()
rgb = img[..., :3]
luma = rgb @ np.array([0.2126, 0.7152, 0.0722])
)";

TEST(NeighbourhoodFilters, MatchPythonReferencesWithNearestEdges) {
  const PythonCase cases[] = {
      {"CIBoxBlur",
       {{"inputRadius", 3.0}},
       "out[..., :3] = ndimage.uniform_filter(rgb, size=(7, 7, 1), mode='nearest')",
       2.0f / 65535},
      {"CIBoxBlur", {{"inputRadius", 0.4}}, "pass", 0},
      {"CIUnsharpMask",
       {{"inputRadius", 2.5}, {"inputIntensity", 0.5}},
       "out[..., :3] = rgb + 0.5 * (rgb - filters.gaussian(rgb, sigma=2.5, mode='nearest', truncate=4.0, "
       "channel_axis=-1, preserve_range=True))",
       2.0f / 65535},
      {"CISharpenLuminance",
       {{"inputSharpness", 0.4}, {"inputRadius", 1.69}},
       "out[..., :3] = rgb + 0.4 * (luma - filters.gaussian(luma, sigma=1.69, mode='nearest', truncate=4.0, "
       "preserve_range=True))[..., None]",
       2.0f / 65535},
      {"CIEdges",
       {{"inputIntensity", 1.5}},
       "out[..., :3] = np.dstack([filters.sobel(rgb[..., c], mode='nearest') for c in range(3)]) * 4 * "
       "np.sqrt(2) * 1.5",
       4.0f / 65535},
      // Blocks of 6 anchored at (15, 10) (y up; rows counted from the top
      // here, so the anchor row is h − 10).
      {"CIPixellate",
       {{"inputScale", 6.0}, {"inputCenter", ci::Vector{15, 10}}},
       R"(
bx = np.floor((np.arange(w) + 0.5 - 15) / 6).astype(int)
by = np.floor(((h - 1 - np.arange(h)) + 0.5 - 10) / 6).astype(int)
for j in np.unique(by):
    for i in np.unique(bx):
        rows, cols = by == j, bx == i
        out[np.ix_(rows, cols, [0, 1, 2])] = rgb[np.ix_(rows, cols, [0, 1, 2])].mean(axis=(0, 1))
)",
       2.0f / 65535},
  };
  testsupport::TempDir dir;
  const Pixels input = citest::photoLike(64, 48);
  ASSERT_TRUE(citest::writeFloats(dir.file("in.raw"), input.rgba));
  for (const PythonCase& c : cases) {
    ASSERT_TRUE(
        citest::runPython(std::string(kPrelude) + c.script + "\nout.astype(np.float32).tofile(sys.argv[2])\n",
                          {dir.file("in.raw"), dir.file("out.raw"), "64", "48"}))
        << c.filter;
    const Pixels reference{input.width, input.height, citest::readFloats(dir.file("out.raw"))};
    const bool clamp = std::string(c.filter) != "CIPixellate";
    ci::ImageRef source = citest::imageOfPixels(input);
    ci::ImageRef out = filtered(c.filter, clamp ? source->clampedToExtent() : source, c.values);
    ASSERT_TRUE(out) << c.filter;
    EXPECT_LE(citest::maxDifference(citest::renderStraight(out, input.width, input.height), reference),
              c.tolerance)
        << c.filter;
  }
}

TEST(NeighbourhoodFilters, StraightenMatchesImageMagickScaleRotateTranslate) {
  testsupport::TempDir dir;
  const Pixels input = citest::photoLike(80, 60);
  ASSERT_TRUE(citest::writePam16(dir.file("in.pam"), input));
  for (double degrees : {7.0, -20.0, 90.0}) {
    const double angle = degrees * std::numbers::pi / 180;
    const double c = std::abs(std::cos(angle)), s = std::abs(std::sin(angle));
    const double scale = std::max(c + s * 60.0 / 80.0, c + s * 80.0 / 60.0);
    // ImageMagick turns clockwise on screen for positive angles.
    const std::string srt = "40,30 " + std::to_string(scale) + " " + std::to_string(-degrees);
    const Pixels reference =
        citest::convertToPam({dir.file("in.pam"), "-virtual-pixel", "Edge", "-interpolate", "bilinear",
                              "-filter", "point", "-distort", "SRT", srt},
                             dir.file("out.pam"));
    ASSERT_EQ(reference.width, 80);
    ci::ImageRef out = filtered("CIStraightenFilter", citest::imageOfPixels(input), {{"inputAngle", angle}});
    ASSERT_TRUE(out);
    EXPECT_EQ(out->extent(), raster::Rect(0, 0, 80, 60));
    const Pixels ours = citest::renderStraight(out, 80, 60);
    float worst = 0;
    for (std::int64_t row = 2; row < 58; ++row) {
      for (std::int64_t x = 2; x < 78; ++x) {
        for (int k = 0; k < 4; ++k)
          worst = std::max(worst, std::abs(ours.at(x, row)[k] - reference.at(x, row)[k]));
      }
    }
    EXPECT_LE(worst, 2.0f / 255) << degrees;
  }
}

TEST(NeighbourhoodFilters, ZoomBlurKeepsRaysThroughTheCentre) {
  // Colour a function of the angle around (30.5, 20.5) alone.
  const ci::ImageRef rays = citest::imageOf(61, 41, [](std::int64_t x, std::int64_t y) {
    const double a = std::atan2(double(y) - 20, double(x) - 30);
    return Pixel{float(0.5 + 0.4 * std::sin(a)), float(0.5 + 0.4 * std::cos(a)), 0.5f, 1};
  });
  ci::ImageRef out = filtered("CIZoomBlur", rays->clampedToExtent(),
                              {{"inputCenter", ci::Vector{30.5, 20.5}}, {"inputAmount", 40.0}});
  ASSERT_TRUE(out);
  const citest::Rendered before = citest::render(rays, {0, 0, 61, 41}),
                         after = citest::render(out, {0, 0, 61, 41});
  for (std::size_t k = 0; k < 4; ++k) EXPECT_NEAR(after.at(30, 20)[k], before.at(30, 20)[k], 1e-6);
  for (std::int64_t y = 0; y < 41; y += 4) {
    for (std::int64_t x = 0; x < 61; x += 4) {
      if (std::hypot(double(x) - 30, double(y) - 20) < 8) continue;
      for (std::size_t k = 0; k < 3; ++k)
        EXPECT_NEAR(after.at(x, y)[k], before.at(x, y)[k], 0.02) << x << "," << y;
    }
  }
}

TEST(NeighbourhoodFilters, ZoomBlurInTilesAwayFromTheCentreEqualsOneRender) {
  const ci::ImageRef busy = citest::imageOf(61, 41, [](std::int64_t x, std::int64_t y) {
    return Pixel{float((x * 7 + y * 3) % 11) / 10, float((x * y) % 13) / 12, float(y) / 40, 1};
  });
  ci::ImageRef out = filtered("CIZoomBlur", busy->clampedToExtent(),
                              {{"inputCenter", ci::Vector{30.5, 20.5}}, {"inputAmount", 40.0}});
  ASSERT_TRUE(out);
  const citest::Rendered whole = citest::render(out, {0, 0, 61, 41});
  // Tiles of 8 (most without the centre), and a corner far from it alone.
  for (const ci::PixelRegion& region : {ci::PixelRegion{0, 0, 61, 41}, ci::PixelRegion{41, 29, 20, 12}}) {
    const citest::Rendered tiled = citest::render(out, region, 8);
    int differing = 0;
    for (std::int64_t y = region.y; y < region.maxY(); ++y)
      for (std::int64_t x = region.x; x < region.maxX(); ++x) differing += tiled.at(x, y) != whole.at(x, y);
    EXPECT_EQ(differing, 0) << region.x << "," << region.y;
  }
}

TEST(NeighbourhoodFilters, CrystallizeTakesColoursOfTheInput) {
  const ci::ImageRef distinct = citest::imageOf(50, 40, [](std::int64_t x, std::int64_t y) {
    return Pixel{float(x) / 50, float(y) / 40, 0.5f, 1};
  });
  std::set<std::array<float, 4>> colours;
  const citest::Rendered in = citest::render(distinct, {0, 0, 50, 40});
  for (std::int64_t y = 0; y < 40; ++y)
    for (std::int64_t x = 0; x < 50; ++x) colours.insert(in.at(x, y));
  const citest::Rendered out = citest::render(
      filtered("CICrystallize", distinct->clampedToExtent(), {{"inputRadius", 7.0}}), {0, 0, 50, 40});
  std::set<std::array<float, 4>> used;
  for (std::int64_t y = 0; y < 40; ++y) {
    for (std::int64_t x = 0; x < 50; ++x) {
      EXPECT_TRUE(colours.contains(out.at(x, y))) << x << "," << y;
      used.insert(out.at(x, y));
    }
  }
  EXPECT_GT(used.size(), 10u);
  EXPECT_LT(used.size(), 100u);
  // An image far smaller than a cell lies in one cell.
  const ci::ImageRef tiny = citest::imageOf(6, 5, [](std::int64_t x, std::int64_t y) {
    return Pixel{float(x) / 6, float(y) / 5, 0.5f, 1};
  });
  const citest::Rendered one = citest::render(
      filtered("CICrystallize", tiny->clampedToExtent(), {{"inputRadius", 120.0}}), {0, 0, 6, 5});
  for (std::int64_t y = 0; y < 5; ++y)
    for (std::int64_t x = 0; x < 6; ++x) EXPECT_EQ(one.at(x, y), one.at(0, 0));
}

TEST(NeighbourhoodFilters, GloomPullsHighlightsTowardsTheBlurAndNeverBrightens) {
  const Pixels input = citest::photoLike(40, 30);
  const ci::ImageRef source = citest::imageOfPixels(input)->clampedToExtent();
  const Pixels out = citest::renderStraight(
      filtered("CIGloom", source, {{"inputRadius", 4.0}, {"inputIntensity", 1.0}}), 40, 30);
  const Pixels blur =
      citest::renderStraight(filtered("CIGaussianBlur", source, {{"inputRadius", 4.0}}), 40, 30);
  for (std::size_t i = 0; i < input.rgba.size(); i += 4) {
    const float* in = input.rgba.data() + i;
    const float l = 0.2126f * in[0] + 0.7152f * in[1] + 0.0722f * in[2];
    for (std::size_t c = 0; c < 3; ++c) {
      EXPECT_LE(out.rgba[i + c], in[c] + 1e-6f);
      EXPECT_NEAR(out.rgba[i + c], in[c] + l * l * (std::min(blur.rgba[i + c], in[c]) - in[c]), 1e-5);
    }
  }
}

TEST(NeighbourhoodFilters, NoiseReductionSmoothsNoiseAndKeepsEdges) {
  // Grey 0.5 with noise of deviation 0.02; beside it a step from 0.2 to 0.8.
  std::uint32_t state = 9;
  auto gaussian = [&] {
    double sum = 0;
    for (int k = 0; k < 12; ++k) {
      state = state * 1664525u + 1013904223u;
      sum += double(state >> 8) / double(1u << 24);
    }
    return sum - 6;
  };
  const ci::ImageRef noisy = citest::imageOf(64, 64, [&](std::int64_t, std::int64_t) {
    const float v = float(0.5 + 0.02 * gaussian());
    return Pixel{v, v, v, 1};
  });
  const ci::ImageRef step = citest::imageOf(64, 8, [](std::int64_t x, std::int64_t) {
    const float v = x < 32 ? 0.2f : 0.8f;
    return Pixel{v, v, v, 1};
  });
  auto reduced = [](const ci::ImageRef& image, std::int64_t w, std::int64_t h) {
    return citest::render(filtered("CINoiseReduction", image->clampedToExtent(), {}), {0, 0, w, h});
  };
  auto deviation = [](const citest::Rendered& r) {
    double sum = 0, squares = 0;
    for (std::size_t i = 0; i < r.pixels.size(); i += 4)
      sum += r.pixels[i], squares += r.pixels[i] * r.pixels[i];
    const double n = double(r.pixels.size() / 4), mean = sum / n;
    return std::sqrt(squares / n - mean * mean);
  };
  EXPECT_LE(deviation(reduced(noisy, 64, 64)), 0.6 * deviation(citest::render(noisy, {0, 0, 64, 64})));
  // 10–90 % width of the step, in pixels with a value strictly between.
  auto width = [](const citest::Rendered& r) {
    int n = 0;
    for (std::int64_t x = 0; x < 64; ++x) n += r.at(x, 4)[0] > 0.26f && r.at(x, 4)[0] < 0.74f;
    return n;
  };
  EXPECT_LE(width(reduced(step, 64, 8)), width(citest::render(step, {0, 0, 64, 8})) + 1);
}

TEST(NeighbourhoodFilters, VignettesAtHandComputedPixels) {
  const Pixel grey{0.6f, 0.6f, 0.6f, 1};
  const ci::ImageRef flat = citest::imageOf(40, 30, [&](auto, auto) { return grey; });
  // Half diagonal 25; pixel (39, 29) lies at (19.5, 14.5) from the centre.
  const double t = std::hypot(19.5, 14.5) / 25 / 0.5;
  const citest::Rendered v = citest::render(
      filtered("CIVignette", flat, {{"inputRadius", 0.5}, {"inputIntensity", 0.3}}), {0, 0, 40, 30});
  EXPECT_NEAR(v.at(39, 29)[0], 0.6 * std::exp(-0.3 * t * t), 1e-6);
  EXPECT_NEAR(v.at(20, 15)[0], 0.6 * std::exp(-0.3 * std::pow(std::hypot(0.5, 0.5) / 12.5, 2)), 1e-6);
  EXPECT_EQ(citest::render(filtered("CIVignette", flat, {{"inputIntensity", 0.0}}), {0, 0, 40, 30}).pixels,
            citest::render(flat, {0, 0, 40, 30}).pixels);
  const citest::Rendered e = citest::render(filtered("CIVignetteEffect", flat,
                                                     {{"inputCenter", ci::Vector{20.5, 15.5}},
                                                      {"inputRadius", 10.0},
                                                      {"inputIntensity", 0.5},
                                                      {"inputFalloff", 0.5}}),
                                            {0, 0, 40, 30});
  EXPECT_EQ(e.at(25, 15), grey);                                // 4.5 from the centre
  EXPECT_NEAR(e.at(37, 15)[0], 0.6 * 0.5, 1e-6);                // beyond 15: full falloff
  EXPECT_NEAR(e.at(33, 15)[0], 0.6 * (1 - 0.5 * 0.648), 1e-6);  // t = 0.6, smoothstep 0.648
}

}  // namespace
