// Gray and CMYK results that keep transparency: both passes drawn and
// merged, with the alpha of the transformed source.

#include <gtest/gtest.h>

#include <cmath>

#include "engine/imported_image.h"
#include "engine_test_images.h"

namespace velumar {
namespace {

using testimages::componentsAt;
using testimages::halfTransparentRep;

struct LayoutCase {
  const char* name;
  bool cmyk;
  std::uint64_t imageDepth;
  int bits;
};

class ColorModelAlphaLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(ColorModelAlphaLayout, MergedImageIsPremultipliedAlphaLast) {
  const LayoutCase& c = GetParam();
  ImportedImage engine;
  ImageModifyInfo info;
  info.imageDepth = c.imageDepth;
  const auto source = halfTransparentRep(3, true);
  const raster::Size size{8, 4};
  const BitmapRepRef result = c.cmyk ? engine.drawInCGContextCMYKWithAlphaFromRep(source, size, info)
                                     : engine.drawInCGContextGrayWithAlphaFromRep(source, size, 0, info);
  ASSERT_TRUE(result) << c.name;
  const int colors = c.cmyk ? 4 : 1;
  EXPECT_EQ(result->pixelFormat(),
            (raster::PixelFormat{c.bits, colors, raster::AlphaInfo::PremultipliedLast}))
      << c.name;
  EXPECT_EQ(result->bytesPerRow(), std::size_t(8 * (colors + 1) * c.bits / 8)) << c.name;
  EXPECT_EQ(result->colorSpace(),
            c.cmyk ? raster::ColorSpace::genericCMYK() : raster::ColorSpace::genericGray());

  // Left: opaque picture. Right: transparent, colour 0 (premultiplied).
  const auto left = componentsAt(*result->image(), 1, 1);
  EXPECT_NEAR(left.back(), 1.0, 1e-6) << c.name;
  const auto right = componentsAt(*result->image(), 6, 1);
  for (double v : right) EXPECT_EQ(v, 0.0) << c.name;
  if (c.cmyk) {
    EXPECT_GT(left[0] + left[1] + left[2] + left[3], 0.8) << c.name;  // mid-gray takes ink
  } else {
    EXPECT_GT(left[0], 0.3) << c.name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Depths, ColorModelAlphaLayout,
    ::testing::Values(LayoutCase{"gray 8", false, 1, 8}, LayoutCase{"gray 16", false, 2, 16},
                      LayoutCase{"gray float", false, 3, 32}, LayoutCase{"cmyk 8", true, 1, 8},
                      LayoutCase{"cmyk 16", true, 2, 16}, LayoutCase{"cmyk float", true, 3, 32}),
    [](const auto& info) {
      std::string name = info.param.name;
      for (char& ch : name)
        if (ch == ' ') ch = '_';
      return name;
    });

TEST(ColorModelAlphaDraw, PixelSizeRoundsUpAndZeroSizeGivesNothing) {
  ImportedImage engine;
  const auto result =
      engine.drawInCGContextGrayWithAlphaFromRep(halfTransparentRep(3, true), {100.2, 50.0}, 7, {});
  ASSERT_TRUE(result);
  EXPECT_EQ(result->pixelsWide(), 101);
  EXPECT_EQ(result->pixelsHigh(), 50);
  EXPECT_EQ(result->size(), (raster::Size{100.2, 50.0}));
  EXPECT_FALSE(engine.drawInCGContextGrayWithAlphaFromRep(halfTransparentRep(3, true), {0, 10}, 6, {}));
  EXPECT_FALSE(engine.drawInCGContextCMYKWithAlphaFromRep(halfTransparentRep(3, true), {10, 0}, {}));
  EXPECT_FALSE(engine.drawInCGContextCMYKWithAlphaFromRep(nullptr, {10, 10}, {}));
}

struct GraySpaceCase {
  const char* name;
  int sourceComponents;
  raster::ColorSpaceRef sourceSpace;
  std::int64_t convertTo;
  raster::ColorSpaceRef expected;
};

TEST(ColorModelAlphaDraw, GraySpaceFollowsConvertTo) {
  const auto gamma = testimages::grayGamma22();
  const auto generic = raster::ColorSpace::genericGray();
  const GraySpaceCase cases[] = {
      {"RGB code gives gamma 2.2", 3, nullptr, 3, gamma},
      {"negative code gives gamma 2.2", 3, nullptr, -4, gamma},
      {"6 is generic gray", 1, gamma, 6, generic},
      {"0 on RGB is generic gray", 3, nullptr, 0, generic},
      {"0 on gray keeps its space", 1, gamma, 0, gamma},
      {"profile past the end: own gray space", 1, gamma, 12, gamma},
      {"profile past the end on RGB: generic", 3, nullptr, 12, generic},
  };
  for (const GraySpaceCase& c : cases) {
    ImportedImage engine;
    const auto result = engine.drawInCGContextGrayWithAlphaFromRep(
        halfTransparentRep(c.sourceComponents, true, c.sourceSpace), {8, 4}, c.convertTo, {});
    ASSERT_TRUE(result) << c.name;
    EXPECT_EQ(result->colorSpace()->name(), c.expected->name()) << c.name;
  }
}

// A source without alpha still gets an alpha channel: full where the turned
// picture covers the pixel, none in the corners the turn leaves.
TEST(ColorModelAlphaDraw, FreeRotationCornersStayTransparent) {
  const auto source = halfTransparentRep(3, false, nullptr, 40, 40);
  ImageModifyInfo info;
  info.resizeScaleType = 15;
  info.rotationAngle = 45;
  info.unrotatedWidth = 40;
  info.unrotatedHeight = 40;
  const double side = 40 * std::sqrt(2.0);
  for (std::uint64_t depth : {1u, 2u, 3u}) {
    info.imageDepth = depth;
    ImportedImage engine;
    for (bool cmyk : {false, true}) {
      const auto result = cmyk ? engine.drawInCGContextCMYKWithAlphaFromRep(source, {side, side}, info)
                               : engine.drawInCGContextGrayWithAlphaFromRep(source, {side, side}, 6, info);
      ASSERT_TRUE(result) << "depth " << depth << (cmyk ? " cmyk" : " gray");
      const raster::Image& image = *result->image();
      const std::int64_t last = image.width() - 1;
      for (auto [x, y] : {std::pair<std::int64_t, std::int64_t>{0, 0}, {last, 0}, {0, last}, {last, last}}) {
        const auto corner = componentsAt(image, x, y);
        EXPECT_EQ(corner.back(), 0.0)
            << "depth " << depth << (cmyk ? " cmyk" : " gray") << " at " << x << "," << y;
        for (double v : corner) EXPECT_EQ(v, 0.0);
      }
      EXPECT_NEAR(componentsAt(image, last / 2, last / 2).back(), 1.0, 1e-3) << "depth " << depth;
    }
  }
}

// Colour stages paint everywhere; the transparency of the source wins.
TEST(ColorModelAlphaDraw, BorderOverTransparencyStaysInvisible) {
  ImageModifyInfo info;
  info.addBorder = true;
  info.topBorderSize = info.bottomBorderSize = info.leftBorderSize = info.rightBorderSize = 0.5;
  info.borderOpacity = 1.0;
  info.borderColorR = info.borderColorG = info.borderColorB = info.borderColorA = 1.0;
  ImportedImage engine;
  const auto source = halfTransparentRep(3, true, nullptr, 16, 16);
  const auto gray = engine.drawInCGContextGrayWithAlphaFromRep(source, {16, 16}, 6, info);
  ASSERT_TRUE(gray);
  const auto covered = componentsAt(*gray->image(), 0, 8);
  EXPECT_NEAR(covered[0], 1.0, 0.02);  // white border over the opaque half
  EXPECT_EQ(covered[1], 1.0);
  const auto uncovered = componentsAt(*gray->image(), 15, 8);
  EXPECT_EQ(uncovered, (std::vector<double>{0.0, 0.0}));

  // A black border puts ink everywhere in the colour pass.
  info.borderColorR = info.borderColorG = info.borderColorB = 0.0;
  const auto cmyk = engine.drawInCGContextCMYKWithAlphaFromRep(source, {16, 16}, info);
  ASSERT_TRUE(cmyk);
  EXPECT_GT(componentsAt(*cmyk->image(), 0, 8)[3], 0.5);
  EXPECT_EQ(componentsAt(*cmyk->image(), 15, 8), (std::vector<double>(5, 0.0)));
}

// A gray ramp 70..170 at one alpha, premultiplied, or its opaque copy: the
// gray its premultiplied bytes hold.
constexpr std::int64_t kRampWidth = 32, kRampHeight = 4;
BitmapRepRef grayRampRep(int alpha, bool opaqueCopy) {
  std::vector<std::uint8_t> bytes;
  for (std::int64_t y = 0; y < kRampHeight; ++y)
    for (std::int64_t x = 0; x < kRampWidth; ++x) {
      const int premultiplied = ((70 + int(x) * 100 / int(kRampWidth - 1)) * alpha + 127) / 255;
      if (opaqueCopy) {
        bytes.push_back(std::uint8_t((premultiplied * 255 + alpha / 2) / alpha));
      } else {
        bytes.push_back(std::uint8_t(premultiplied));
        bytes.push_back(std::uint8_t(alpha));
      }
    }
  const raster::PixelFormat format{
      8, 1, opaqueCopy ? raster::AlphaInfo::None : raster::AlphaInfo::PremultipliedLast};
  auto rep = raster::BitmapImageRep::withImage(
      raster::Image::make(kRampWidth, kRampHeight, format, testimages::grayGamma22(), std::move(bytes)));
  rep->setSize({double(kRampWidth), double(kRampHeight)});
  return rep;
}

ImageModifyInfo enhanced(std::uint64_t imageDepth) {
  ImageModifyInfo info;
  info.optionAutoAdjust = info.optionEnhance = true;
  info.imageDepth = imageDepth;
  return info;
}

// A colour filter that is not linear sees the picture's own gray, not the
// gray darkened by its transparency: the translucent picture comes out as
// its opaque copy does through the gray conversion without alpha, and keeps
// the source's alpha.
TEST(ColorModelAlphaDraw, EnhanceOfTranslucentGrayMatchesOpaqueCopy) {
  ImportedImage engine;
  const raster::Size size{double(kRampWidth), double(kRampHeight)};
  struct Row {
    int alpha;
    std::uint64_t imageDepth;
  };
  for (auto [alpha, depth] : {Row{139, 1}, Row{139, 3}, Row{255, 1}}) {
    const ImageModifyInfo info = enhanced(depth);
    const auto opaque =
        engine.convertColorSpaceForBitmapRep(grayRampRep(alpha, true), 0, 7, false, true, size, info);
    const auto translucent =
        engine.drawInCGContextGrayWithAlphaFromRep(grayRampRep(alpha, false), size, 0, info);
    ASSERT_TRUE(opaque && translucent) << alpha << " depth " << depth;
    ASSERT_FALSE(opaque->hasAlpha());
    EXPECT_LT(componentsAt(*opaque->image(), 0, 1)[0], 60 / 255.0) << "the filter leaves the ramp alone";
    for (std::int64_t x = 0; x < kRampWidth; ++x) {
      const auto got = componentsAt(*translucent->image(), x, 1);
      EXPECT_NEAR(got[1], alpha / 255.0, 1e-6) << "alpha " << alpha << " depth " << depth << " at " << x;
      // Premultiplied bytes at alpha 139 hold the gray in steps of 1.8 levels.
      EXPECT_NEAR(got[0] / got[1], componentsAt(*opaque->image(), x, 1)[0], 2.5 / 255.0)
          << "alpha " << alpha << " depth " << depth << " at " << x;
    }
  }
}

// The same for CMYK results with alpha, which are drawn the same way.
TEST(ColorModelAlphaDraw, EnhanceOfTranslucentCMYKMatchesOpaqueCopy) {
  ImportedImage engine;
  const raster::Size size{double(kRampWidth), double(kRampHeight)};
  const auto opaque = engine.drawInCGContextCMYKWithAlphaFromRep(grayRampRep(139, true), size, enhanced(1));
  const auto translucent =
      engine.drawInCGContextCMYKWithAlphaFromRep(grayRampRep(139, false), size, enhanced(1));
  ASSERT_TRUE(opaque && translucent);
  for (std::int64_t x = 0; x < kRampWidth; ++x) {
    const testimages::Rgba got = testimages::rgbaAt(translucent->image(), x, 1);
    EXPECT_NEAR(got.a, 139 / 255.0, 1e-6) << x;
    // Each premultiplied ink at alpha 139 steps by 1.8 levels.
    EXPECT_NEAR(got.r, testimages::rgbaAt(opaque->image(), x, 1).r, 5.0 / 255.0) << x;
  }
}

}  // namespace
}  // namespace velumar
