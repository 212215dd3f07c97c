// Colour conversion while drawing, text size, and shadows.

#include <gtest/gtest.h>

#include "platform/raster/bitmap_context.h"
#include "raster_test_helpers.h"

using namespace raster;

namespace {

ImageRef solid(ColorSpaceRef space, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return rastertest::makeRGBA8(2, 2, std::move(space), [=](auto, auto) {
    return std::array<std::uint8_t, 4>{r, g, b, 255};
  });
}

TEST(ColorConversion, SameProfileCopiesValuesUnchanged) {
  auto context = BitmapContext::create(2, 2, PixelFormat::rgba8(), ColorSpace::sRGB());
  context->drawImage(solid(ColorSpace::sRGB(), 10, 200, 77), Rect(0, 0, 2, 2));
  auto p = rastertest::pixelAt(*context, 0, 0);
  EXPECT_NEAR(p[0] * 255, 10, 0.01);
  EXPECT_NEAR(p[1] * 255, 200, 0.01);
  EXPECT_NEAR(p[2] * 255, 77, 0.01);
}

TEST(ColorConversion, SrgbToAdobeRgbAndBackRoundTrips) {
  ColorSpaceRef adobe = ColorSpace::named(color::NamedProfile::AdobeRGB1998);
  ASSERT_TRUE(adobe);
  const std::uint8_t colours[][3] = {{200, 30, 40}, {20, 180, 60}, {128, 128, 128}, {250, 240, 10}};
  for (const auto& c : colours) {
    auto inAdobe = BitmapContext::create(2, 2, {16, 3, AlphaInfo::PremultipliedLast}, adobe);
    inAdobe->drawImage(solid(ColorSpace::sRGB(), c[0], c[1], c[2]), Rect(0, 0, 2, 2));
    auto a = rastertest::pixelAt(*inAdobe, 0, 0);
    if (c[0] == 200) {
      EXPECT_LT(a[0], 200.0f / 255) << "saturated red sits lower in the wider space";
    }
    auto back = BitmapContext::create(2, 2, PixelFormat::rgba8(), ColorSpace::sRGB());
    back->drawImage(inAdobe->makeImage(), Rect(0, 0, 2, 2));
    auto p = rastertest::pixelAt(*back, 0, 0);
    for (int i = 0; i < 3; ++i)
      EXPECT_NEAR(p[std::size_t(i)] * 255, c[i], 1.5) << int(c[0]) << " channel " << i;
  }
}

TEST(ColorConversion, NeutralRgbThroughGrayAndBack) {
  for (std::uint8_t v : {0, 64, 128, 200, 255}) {
    auto gray = BitmapContext::create(2, 2, {16, 1, AlphaInfo::None}, ColorSpace::genericGray());
    gray->drawImage(solid(ColorSpace::sRGB(), v, v, v), Rect(0, 0, 2, 2));
    auto back = BitmapContext::create(2, 2, PixelFormat::rgba8(), ColorSpace::sRGB());
    back->drawImage(gray->makeImage(), Rect(0, 0, 2, 2));
    auto p = rastertest::pixelAt(*back, 0, 0);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(p[std::size_t(i)] * 255, v, 2.0) << int(v);
  }
}

TEST(ColorConversion, RgbIntoCmykAndFillColoursFromOtherSpaces) {
  ColorSpaceRef cmyk = ColorSpace::genericCMYK();
  if (!cmyk) GTEST_SKIP() << "no CMYK profile installed";
  auto context = BitmapContext::create(2, 2, {8, 4, AlphaInfo::None}, cmyk);
  context->drawImage(solid(ColorSpace::sRGB(), 255, 255, 255), Rect(0, 0, 1, 2));
  context->setFillColor(Color::rgb(0, 0, 0));
  context->fillRect(Rect(1, 0, 1, 2));
  auto white = rastertest::pixelAt(*context, 0, 0);
  for (int i = 0; i < 4; ++i) EXPECT_LT(white[std::size_t(i)], 0.03f) << "no ink on white, channel " << i;
  auto black = rastertest::pixelAt(*context, 1, 0);
  EXPECT_GT(black[3], 0.6f) << "black needs K";
}

TEST(Text, EmHeightMatchesThePointSize) {
  AttributedText text{"HxgÉ", {}};
  text.attributes.pointSize = 144;
  Size size = BitmapContext::measureText(text);
  // A font's line box (ascent + descent) is about 1.1–1.25 em.
  EXPECT_GT(size.height, 144 * 1.0);
  EXPECT_LT(size.height, 144 * 1.35);
  EXPECT_GT(size.width, 144 * 1.5);

  // Cap height of "H" drawn at 144 pt: about 0.7 em in common sans fonts.
  AttributedText capital{"H", {}};
  capital.attributes.pointSize = 144;
  auto context = BitmapContext::create(300, 300, {8, 0, AlphaInfo::Only}, nullptr);
  context->drawText(capital, Point{50, 50});
  ImageRef image = context->makeImage();
  std::int64_t top = -1, bottom = -1;
  for (std::int64_t y = 0; y < 300; ++y) {
    bool ink = false;
    for (std::int64_t x = 0; x < 300; ++x) ink |= image->row(y)[x] > 127;
    if (ink && top < 0) top = y;
    if (ink) bottom = y;
  }
  ASSERT_GE(top, 0);
  const double capHeight = double(bottom - top + 1);
  EXPECT_NEAR(capHeight, 0.72 * 144, 0.08 * 144);
  // The glyph stands upright above the baseline, within the measured box
  // whose lower-left corner is (50, 50) y-up.
  EXPECT_LT(yUpRow(bottom, 300), 50 + capital.attributes.pointSize * 0.5);
  EXPECT_GT(yUpRow(bottom, 300), 50);
}

TEST(Text, DecorationsObliquenessAndColour) {
  auto ink = [](const AttributedText& t) {
    auto context = BitmapContext::create(200, 80, PixelFormat::rgba8(), ColorSpace::sRGB());
    context->drawText(t, Point{10, 10});
    ImageRef image = context->makeImage();
    long sum = 0;
    for (std::int64_t y = 0; y < 80; ++y)
      for (std::int64_t x = 0; x < 200; ++x) sum += image->row(y)[x * 4 + 3];
    return std::make_pair(sum, image);
  };
  AttributedText plain{"abc", {}};
  plain.attributes.pointSize = 40;
  AttributedText underlined = plain;
  underlined.attributes.underline = true;
  AttributedText struck = plain;
  struck.attributes.strikethrough = true;
  AttributedText red = plain;
  red.attributes.color = Color::rgb(1, 0, 0);
  const long base = ink(plain).first;
  EXPECT_GT(ink(underlined).first, base);
  EXPECT_GT(ink(struck).first, base);
  auto [redInk, redImage] = ink(red);
  EXPECT_NEAR(double(redInk), double(base), double(base) * 0.02);
  bool sawRed = false;
  for (std::int64_t y = 0; y < 80 && !sawRed; ++y)
    for (std::int64_t x = 0; x < 200; ++x)
      if (redImage->row(y)[x * 4 + 3] == 255)
        sawRed |= redImage->row(y)[x * 4] == 255 && redImage->row(y)[x * 4 + 1] == 0;
  EXPECT_TRUE(sawRed);
}

TEST(Text, ObliquenessSlantsTheGlyphsToTheRight) {
  // Mean ink column of the top and bottom quarter of an "l".
  auto slantOf = [](double obliqueness) {
    AttributedText t{"l", {}};
    t.attributes.pointSize = 100;
    t.attributes.obliqueness = obliqueness;
    auto context = BitmapContext::create(200, 200, {8, 0, AlphaInfo::Only}, nullptr);
    context->drawText(t, Point{60, 40});
    ImageRef image = context->makeImage();
    std::int64_t top = -1, bottom = -1;
    for (std::int64_t y = 0; y < 200; ++y)
      for (std::int64_t x = 0; x < 200; ++x)
        if (image->row(y)[x] > 127) {
          if (top < 0) top = y;
          bottom = y;
        }
    auto meanColumn = [&](std::int64_t y0, std::int64_t y1) {
      double sum = 0, weight = 0;
      for (std::int64_t y = y0; y < y1; ++y)
        for (std::int64_t x = 0; x < 200; ++x)
          sum += double(x) * image->row(y)[x], weight += image->row(y)[x];
      return sum / weight;
    };
    const std::int64_t quarter = (bottom - top) / 4;
    return meanColumn(top, top + quarter) - meanColumn(bottom - quarter, bottom);
  };
  EXPECT_NEAR(slantOf(0), 0.0, 1.5);
  const double slanted = slantOf(0.25);
  EXPECT_GT(slanted, 10.0) << "the top leans right";
}

TEST(Shadow, FallsAtTheOffsetBelowTheShape) {
  auto context = BitmapContext::create(60, 60, PixelFormat::rgba8(), ColorSpace::sRGB());
  const double white[4] = {1, 1, 1, 1};
  context->setFillColor(white, 4);
  context->setShadow(Size{10, -10}, 0, Color::rgb(0, 0, 0, 1));
  context->fillRect(Rect(10, 30, 20, 20));
  // Shape: white. Shadow (right and down) where the shape is not: black.
  auto shape = rastertest::pixelAt(*context, 15, 45);
  EXPECT_EQ(shape[0], 1.0f);
  auto shadow = rastertest::pixelAt(*context, 35, 25);
  EXPECT_EQ(shadow[3], 1.0f);
  EXPECT_EQ(shadow[0], 0.0f);
  EXPECT_EQ(rastertest::pixelAt(*context, 5, 25)[3], 0.0f);
  EXPECT_EQ(rastertest::pixelAt(*context, 35, 45)[3], 0.0f);

  // A blurred shadow fades out gradually.
  auto blurred = BitmapContext::create(60, 60, PixelFormat::rgba8(), ColorSpace::sRGB());
  blurred->setShadow(Size{0, 0}, 10, Color::rgb(0, 0, 0, 1));
  blurred->beginTransparencyLayer();
  blurred->fillRect(Rect(20, 20, 20, 20));
  blurred->endTransparencyLayer();
  float near = rastertest::pixelAt(*blurred, 18, 30)[3], far = rastertest::pixelAt(*blurred, 13, 30)[3];
  EXPECT_GT(near, far);
  EXPECT_GT(far, 0.0f);
  EXPECT_EQ(rastertest::pixelAt(*blurred, 30, 30)[3], 1.0f);
}

}  // namespace
