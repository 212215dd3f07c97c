// Catalogue members whose formulas are our own, on hand-computed pixels:
// identities exact, directions right, alpha kept, colours from records
// clamped.

#include <gtest/gtest.h>

#include <functional>

#include "reference_tools.h"

using filtertest::Pixels;
using velumar::FilterInfo;

namespace {

Pixels onePixel(float r, float g, float b, float a = 1) {
  return Pixels{1, 1, {r, g, b, a}};
}

struct HandCase {
  const char* what;
  std::int64_t type;
  std::function<void(FilterInfo&)> set;
  std::array<float, 4> in, expected;
  float tolerance;
};

TEST(CatalogueByHand, PixelsFollowTheStatedFormulas) {
  const std::vector<HandCase> cases = {
      {"hue by 2π/3 turns red into green",
       66,
       [](FilterInfo& i) { i.hueAngle = 2 * M_PI / 3; },
       {1, 0, 0, 1},
       {0, 1, 0, 1},
       1e-6f},
      {"hue 0 is the identity",
       66,
       [](FilterInfo& i) { i.hueAngle = 0; },
       {0.7f, 0.2f, 0.1f, 1},
       {0.7f, 0.2f, 0.1f, 1},
       0},
      {"hue 2π is the identity",
       66,
       [](FilterInfo& i) { i.hueAngle = 2 * M_PI; },
       {0.7f, 0.2f, 0.1f, 1},
       {0.7f, 0.2f, 0.1f, 1},
       1e-6f},
      {"vibrance 0.5",
       72,
       [](FilterInfo& i) { i.vibranceLevel = 0.5; },
       {0.6f, 0.4f, 0.3f, 1},
       {0.657645f, 0.387645f, 0.252645f, 1},
       1e-6f},
      {"vibrance 0 is the identity",
       72,
       [](FilterInfo& i) { i.vibranceLevel = 0; },
       {0.6f, 0.4f, 0.3f, 1},
       {0.6f, 0.4f, 0.3f, 1},
       0},
      {"shadows lifted",
       70,
       [](FilterInfo& i) { i.HSShadowAmount = 0.5; },
       {0.2f, 0.2f, 0.2f, 1},
       {0.264f, 0.264f, 0.264f, 1},
       1e-6f},
      {"highlights lowered",
       71,
       [](FilterInfo& i) { i.HSHighLightAmount = 0.5; },
       {0.8f, 0.8f, 0.8f, 1},
       {0.736f, 0.736f, 0.736f, 1},
       1e-6f},
      {"shadow and highlight at identity",
       108,
       [](FilterInfo& i) { i.PSRadiusAmount = 5; },
       {0.3f, 0.5f, 0.9f, 1},
       {0.3f, 0.5f, 0.9f, 1},
       0},
      {"radius on a flat image sees the pixel's own luma",
       108,
       [](FilterInfo& i) { i.PSShadowAmount = 0.5, i.PSRadiusAmount = 3; },
       {0.2f, 0.2f, 0.2f, 1},
       {0.264f, 0.264f, 0.264f, 1},
       1e-5f},
      {"level saturation",
       109,
       [](FilterInfo& i) { i.lSaturationShadows = 0.5, i.lSaturationHighlights = 1.5; },
       {0.6f, 0.4f, 0.3f, 1},
       {0.58934391f, 0.40228391f, 0.30875391f, 1},
       1e-6f},
      {"level exposure: shadows up one stop at 2",
       110,
       [](FilterInfo& i) { i.lExposureShadows = 2; },
       {0.2f, 0.2f, 0.2f, 1},
       {0.31166583f, 0.31166583f, 0.31166583f, 1},
       1e-6f},
      {"level exposure at identity",
       110,
       [](FilterInfo&) {},
       {0.6f, 0.4f, 0.3f, 1},
       {0.6f, 0.4f, 0.3f, 1},
       0},
      {"overlay at a quarter",
       111,
       [](FilterInfo& i) {
         i.cColorRed = 1, i.cColorGreen = 0.5, i.cColorBlue = 0, i.colorAllIntensity = 0.25;
       },
       {0.2f, 0.4f, 0.6f, 1},
       {0.4f, 0.425f, 0.45f, 1},
       1e-6f},
      {"overlay colour and intensity clamped to 0..1",
       111,
       [](FilterInfo& i) {
         i.cColorRed = 3, i.cColorGreen = -1, i.cColorBlue = 0.5, i.colorAllIntensity = 2;
       },
       {0.2f, 0.4f, 0.6f, 1},
       {1, 0, 0.5f, 1},
       1e-6f},
      {"temperature at the same neutral is the identity",
       74,
       [](FilterInfo& i) { i.temperatureLevel = 5000, i.tintLevel = 5000; },
       {0.3f, 0.5f, 0.9f, 1},
       {0.3f, 0.5f, 0.9f, 1},
       0},
      {"semi-transparent pixels keep alpha",
       90,
       [](FilterInfo&) {},
       {0.2f, 0.4f, 0.6f, 0.5f},
       {0.8f, 0.6f, 0.4f, 0.5f},
       1e-6f},
  };
  for (const HandCase& c : cases) {
    FilterInfo info;
    c.set(info);
    const Pixels got = filtertest::renderType(onePixel(c.in[0], c.in[1], c.in[2], c.in[3]), c.type, info);
    for (int k = 0; k < 4; ++k)
      EXPECT_NEAR(got.rgba[std::size_t(k)], c.expected[std::size_t(k)], c.tolerance)
          << c.what << " channel " << k;
  }
}

TEST(CatalogueByHand, WarmTypeRaisesRedOverBlueAndColdTypeTheOpposite) {
  // The converter's defaults: warm 10000 K → 6500 K, cold 3000 K → 6500 K.
  const Pixels gray = onePixel(0.5f, 0.5f, 0.5f);
  FilterInfo warm, cold;
  warm.temperatureLevel = 10000, cold.temperatureLevel = 3000;
  const Pixels w = filtertest::renderType(gray, 74, warm), c = filtertest::renderType(gray, 75, cold);
  EXPECT_GT(w.rgba[0], 0.5f);
  EXPECT_LT(w.rgba[2], 0.5f);
  EXPECT_LT(c.rgba[0], 0.5f);
  EXPECT_GT(c.rgba[2], 0.5f);
  // Monotone: further from the target warms more.
  FilterInfo warmer = warm;
  warmer.temperatureLevel = 12000;
  EXPECT_GT(filtertest::renderType(gray, 74, warmer).rgba[0], w.rgba[0]);
}

}  // namespace
