// The tiny-planet projection: the plain setting against ImageMagick's polar
// distortion of the flipped image, the turn, the edge fusion, the extent,
// and registration.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "filters/tiny_planet_filter.h"
#include "tests/filters/composite_depth_test_support.h"
#include "tests/platform/ci/reference_exchange.h"

namespace {

using citest::Pixels;

constexpr std::int64_t kWidth = 120, kHeight = 90;

// Smooth in both directions, so that resampling conventions matter little.
Pixels landscape() {
  Pixels p{kWidth, kHeight, {}};
  for (std::int64_t row = 0; row < kHeight; ++row) {
    for (std::int64_t x = 0; x < kWidth; ++x) {
      const double u = double(x) / kWidth, v = double(row) / kHeight;
      p.rgba.push_back(citest::on16BitGrid(0.5 + 0.4 * std::sin(2 * std::numbers::pi * u)));
      p.rgba.push_back(citest::on16BitGrid(v));
      p.rgba.push_back(citest::on16BitGrid(0.5 + 0.4 * std::cos(4 * std::numbers::pi * u) * v));
      p.rgba.push_back(1.0f);
    }
  }
  return p;
}

ci::ImageRef planet(const ci::ImageRef& image, double scale, double factor, double angle, double fusion,
                    bool invert = false) {
  velumar::CIFiltering filters;
  return filters.tinyPlanetFilterWithCIImage(image, scale, factor, angle, fusion, invert);
}

// Inside the circle of radius R − 2, away from the seam above the centre.
bool compared(std::int64_t x, std::int64_t topDownRow) {
  const double dx = double(x) + 0.5 - kWidth / 2.0, dy = kHeight / 2.0 - (double(topDownRow) + 0.5);
  return std::hypot(dx, dy) < kHeight / 2.0 - 2 && !(dy > 0 && std::abs(dx) < 3);
}

TEST(TinyPlanet, PlainSettingIsThePolarMappingOfTheFlippedImage) {
  testsupport::TempDir dir;
  const Pixels input = landscape();
  ASSERT_TRUE(citest::writePam16(dir.file("in.pam"), input));
  const std::string distortion =
      std::to_string(kHeight / 2) + ",0," + std::to_string(kWidth / 2) + "," + std::to_string(kHeight / 2);
  const Pixels reference =
      citest::convertToPam({dir.file("in.pam"), "-flip", "-virtual-pixel", "HorizontalTile", "-interpolate",
                            "bilinear", "-filter", "point", "-distort", "Polar", distortion},
                           dir.file("out.pam"));
  ASSERT_EQ(reference.width, kWidth);
  ASSERT_EQ(reference.height, kHeight);
  ci::ImageRef out = planet(citest::imageOfPixels(input), 1, 1, 0, 0);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->extent(), raster::Rect(0, 0, kWidth, kHeight));
  const Pixels ours = citest::renderStraight(out, kWidth, kHeight);
  double sum = 0;
  std::int64_t count = 0;
  for (std::int64_t row = 0; row < kHeight; ++row) {
    for (std::int64_t x = 0; x < kWidth; ++x) {
      if (!compared(x, row)) continue;
      for (int c = 0; c < 3; ++c) sum += std::abs(ours.at(x, row)[c] - reference.at(x, row)[c]);
      count += 3;
    }
  }
  EXPECT_LE(sum / double(count), 2.0 / 255);
}

TEST(TinyPlanet, PositiveAngleTurnsTheResultClockwise) {
  const ci::ImageRef input = citest::imageOfPixels(landscape());
  const Pixels straight = citest::renderStraight(planet(input, 0.45, 4.7, 0, 0), kWidth, kHeight);
  const Pixels turned = citest::renderStraight(planet(input, 0.45, 4.7, 90, 0), kWidth, kHeight);
  // Output pixel (x, y) (y up) shows the unturned pixel a quarter turn
  // counter-clockwise about the centre: (x − 15, 104 − y) for 120 × 90.
  for (std::int64_t y = 10; y < 80; y += 3) {
    for (std::int64_t x = 20; x < 100; x += 3) {
      const double dx = double(x) + 0.5 - 60, dy = double(y) + 0.5 - 45;
      if (std::hypot(dx, dy) > 40) continue;
      const std::int64_t sx = 104 - y, sy = x - 15;
      for (int c = 0; c < 4; ++c) {
        EXPECT_NEAR(turned.at(x, kHeight - 1 - y)[c], straight.at(sx, kHeight - 1 - sy)[c], 1e-4)
            << x << "," << y;
      }
    }
  }
}

TEST(TinyPlanet, FusionChangesOnlyTheSectorsFedByTheEdgeStrips) {
  const ci::ImageRef input = citest::imageOfPixels(landscape());
  const Pixels plain = citest::renderStraight(planet(input, 1, 1, 0, 0), kWidth, kHeight);
  const Pixels fused = citest::renderStraight(planet(input, 1, 1, 0, 0.1), kWidth, kHeight);
  int changedNearSeam = 0;
  for (std::int64_t row = 0; row < kHeight; ++row) {
    for (std::int64_t x = 0; x < kWidth; ++x) {
      const double dx = double(x) + 0.5 - 60, dy = 45 - (double(row) + 0.5);
      if (std::hypot(dx, dy) < 4) continue;
      // Angle away from straight up: the strips feed ±36° around it.
      const double fromUp = std::abs(std::atan2(dx, dy)) * 180 / std::numbers::pi;
      const float difference = std::abs(plain.at(x, row)[0] - fused.at(x, row)[0]);
      if (fromUp > 40) {
        EXPECT_LT(difference, 1e-5) << x << "," << row;
      }
      if (fromUp < 30 && difference > 1e-3) ++changedNearSeam;
    }
  }
  EXPECT_GT(changedNearSeam, 50);
}

TEST(TinyPlanet, KeepsTheExtentForEverySetting) {
  const ci::ImageRef input =
      citest::imageOfPixels(landscape())->transformed(raster::AffineTransform::translation(7, -3));
  for (double scale : {0.01, 0.45, 1.0}) {
    for (double factor : {0.1, 1.0, 4.7, 10.0}) {
      for (double angle : {-45.0, 0.0, 30.0}) {
        for (bool invert : {false, true}) {
          ci::ImageRef out = planet(input, scale, factor, angle, 0.2, invert);
          ASSERT_TRUE(out);
          EXPECT_EQ(out->extent(), input->extent());
        }
      }
    }
  }
}

TEST(TinyPlanet, UnknownUntilAnEngineRegistersItWithItsAttributes) {
  // A fresh process: nothing in it has made an engine yet.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        const bool unknownBefore = !ci::Filter::withName("TinyPlanet");
        velumar::CIFiltering filters;
        const ci::ImageRef image = citest::imageOf(8, 8, [](auto, auto) {
          return citest::Pixel{1, 0, 0, 1};
        });
        const bool knownAfter = ci::Filter::withName("TinyPlanet") &&
                                filters.tinyPlanetFilterWithCIImage(image, 1, 1, 0, 0, false);
        std::exit(unknownBefore && knownAfter ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
  velumar::CIFiltering filters;
  const foundation::Dictionary attributes = ci::filterAttributes("TinyPlanet");
  const foundation::Value all(attributes);
  auto number = [&](std::string_view input, std::string_view key) {
    const foundation::Value* v = all.get({input, key});
    return v ? v->doubleOr(NAN) : NAN;
  };
  EXPECT_EQ(number("inputScale", "CIAttributeMin"), 0.01);
  EXPECT_EQ(number("inputScale", "CIAttributeDefault"), 0.45);
  EXPECT_EQ(number("inputPlanetFactor", "CIAttributeMax"), 10.0);
  EXPECT_EQ(number("inputPlanetFactor", "CIAttributeDefault"), 4.7);
  ASSERT_TRUE(all.get("CIAttributeFilterDisplayName"));
  EXPECT_EQ(all.get("CIAttributeFilterDisplayName")->stringOr(""), "TinyPlanet");
  EXPECT_EQ(velumar::TinyPlanet::customAttributes().size(), 3u);
}

}  // namespace
