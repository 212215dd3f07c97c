// Every supported format can be created, filled, drawn into, snapshotted and
// read back; refused combinations give no context.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/raster/bitmap_context.h"
#include "raster_test_helpers.h"
#include "support/premultiplied_levels.h"

using namespace raster;

namespace {

ColorSpaceRef spaceFor(int colors) {
  switch (colors) {
    case 1:
      return ColorSpace::genericGray();
    case 3:
      return ColorSpace::sRGB();
    case 4:
      return ColorSpace::genericCMYK();
    default:
      return nullptr;
  }
}

struct FormatCase {
  const char* name;
  PixelFormat format;
};

const FormatCase kContextFormats[] = {
    {"rgb8_premul_last", {8, 3, AlphaInfo::PremultipliedLast}},
    {"rgb8_premul_first", {8, 3, AlphaInfo::PremultipliedFirst}},
    {"rgb8_straight_last", {8, 3, AlphaInfo::Last}},
    {"rgb8_straight_first", {8, 3, AlphaInfo::First}},
    {"rgb8_skip_last", {8, 3, AlphaInfo::NoneSkipLast}},
    {"rgb8_skip_first", {8, 3, AlphaInfo::NoneSkipFirst}},
    {"rgb8_none", {8, 3, AlphaInfo::None}},
    {"rgb16_premul_last", {16, 3, AlphaInfo::PremultipliedLast}},
    {"rgb16_skip_last", {16, 3, AlphaInfo::NoneSkipLast}},
    {"rgb32f_premul_last", {32, 3, AlphaInfo::PremultipliedLast}},
    {"rgb32f_premul_first", {32, 3, AlphaInfo::PremultipliedFirst}},
    {"rgb32f_skip_last", {32, 3, AlphaInfo::NoneSkipLast}},
    {"rgb5_skip_first", {5, 3, AlphaInfo::NoneSkipFirst}},
    {"gray8", {8, 1, AlphaInfo::None}},
    {"gray16", {16, 1, AlphaInfo::None}},
    {"gray32f", {32, 1, AlphaInfo::None}},
    {"cmyk8", {8, 4, AlphaInfo::None}},
    {"cmyk16", {16, 4, AlphaInfo::None}},
    {"cmyk32f", {32, 4, AlphaInfo::None}},
    {"alpha8", {8, 0, AlphaInfo::Only}},
};

class ContextFormat : public ::testing::TestWithParam<FormatCase> {};

// Fill the left half with a colour at 60 % alpha, read back, then draw the
// snapshot shifted by half the width and check the right half got it.
TEST_P(ContextFormat, FillSnapshotAndDrawImageRoundTrip) {
  const PixelFormat format = GetParam().format;
  const int colors = format.alpha == AlphaInfo::Only ? 0 : format.colorComponents;
  ColorSpaceRef space = spaceFor(colors);
  if (colors == 4 && !space) GTEST_SKIP() << "no CMYK profile installed";
  auto context = BitmapContext::create(8, 4, format, space);
  ASSERT_TRUE(context);
  EXPECT_EQ(context->bytesPerRow(), std::size_t(8 * format.bytesPerPixel()));

  const double components[5] = {0.2, 0.6, 1.0, 0.4, 0.6};
  double color[5] = {0, 0, 0, 0, 0};
  for (int c = 0; c < colors; ++c) color[c] = components[c];
  color[colors] = 0.6;
  context->setFillColor(color, colors + 1);
  context->fillRect(Rect(0, 0, 4, 4));

  const bool hasAlpha = format.hasAlpha();
  const float alpha = hasAlpha ? 0.6f : 1.0f;
  const float tolerance = format.bitsPerComponent == 5   ? 1.0f / 31
                          : format.bitsPerComponent == 8 ? 1.5f / 255
                                                         : 1e-4f;
  auto expectPixel = [&](const std::vector<float>& p, const char* where) {
    ASSERT_EQ(p.size(), std::size_t(colors + 1)) << where;
    EXPECT_NEAR(p[std::size_t(colors)], alpha, tolerance) << where;
    for (int c = 0; c < colors; ++c)
      EXPECT_NEAR(p[std::size_t(c)], components[c] * 0.6, tolerance) << where << " c" << c;
  };
  ImageRef snapshot = context->makeImage();
  ASSERT_TRUE(snapshot);
  EXPECT_EQ(snapshot->format(), format);
  expectPixel(rastertest::pixelAt(*snapshot, 1, 2), "filled");
  auto untouched = rastertest::pixelAt(*snapshot, 6, 2);
  EXPECT_NEAR(untouched[std::size_t(colors)], hasAlpha ? 0.0f : 1.0f, 1e-6);

  context->setBlendMode(BlendMode::Copy);
  context->drawImage(snapshot, Rect(4, 0, 8, 4));
  expectPixel(rastertest::pixelAt(*context, 5, 1), "drawn");
  expectPixel(rastertest::pixelAt(*context, 2, 1), "kept");
}

INSTANTIATE_TEST_SUITE_P(AllFormats, ContextFormat, ::testing::ValuesIn(kContextFormats),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ContextCreation, RefusesCombinationsThePlatformRejects) {
  struct Refused {
    const char* name;
    PixelFormat format;
    ColorSpaceRef space;
  } cases[] = {
      {"gray with alpha", {8, 1, AlphaInfo::PremultipliedLast}, ColorSpace::genericGray()},
      {"gray skip", {8, 1, AlphaInfo::NoneSkipLast}, ColorSpace::genericGray()},
      {"cmyk with alpha", {8, 4, AlphaInfo::PremultipliedLast}, ColorSpace::genericCMYK()},
      {"5-bit gray", {5, 1, AlphaInfo::None}, ColorSpace::genericGray()},
      {"5-bit rgb with alpha", {5, 3, AlphaInfo::PremultipliedFirst}, ColorSpace::sRGB()},
      {"alpha only with an RGB space", {8, 0, AlphaInfo::Only}, ColorSpace::sRGB()},
      {"alpha only 16-bit", {16, 0, AlphaInfo::Only}, nullptr},
      {"rgb without a space", {8, 3, AlphaInfo::PremultipliedLast}, nullptr},
      {"rgb in a gray space", {8, 3, AlphaInfo::PremultipliedLast}, ColorSpace::genericGray()},
      {"12-bit", {12, 3, AlphaInfo::None}, ColorSpace::sRGB()},
  };
  for (const auto& c : cases) EXPECT_FALSE(BitmapContext::create(4, 4, c.format, c.space)) << c.name;

  // An alpha-only mask may name a gray space (the gray-with-alpha alpha pass
  // does); the space is dropped.
  auto mask = BitmapContext::create(4, 4, {8, 0, AlphaInfo::Only}, ColorSpace::genericGray());
  ASSERT_TRUE(mask);
  EXPECT_FALSE(mask->colorSpace());
  EXPECT_TRUE(mask->makeImage());

  const ColorSpaceRef rgb = ColorSpace::sRGB();
  EXPECT_FALSE(BitmapContext::create(0, 4, PixelFormat::rgba8(), rgb));
  EXPECT_FALSE(BitmapContext::create(4, -1, PixelFormat::rgba8(), rgb));
  EXPECT_FALSE(BitmapContext::create(std::int64_t(1) << 21, 4, PixelFormat::rgba8(), rgb));
  EXPECT_FALSE(BitmapContext::create(1 << 20, 1 << 20, PixelFormat::rgba8(), rgb));
}

TEST(ContextCreation, DrawsIntoACallersBufferWithPaddedRows) {
  std::vector<std::uint8_t> buffer(3 * 40, 7);
  auto context =
      BitmapContext::createWithData(buffer.data(), 8, 3, 40, PixelFormat::rgba8(), ColorSpace::sRGB());
  ASSERT_TRUE(context);
  const double red[4] = {1, 0, 0, 1};
  context->setFillColor(red, 4);
  context->fillRect(Rect(0, 2, 8, 1));  // the top row
  EXPECT_EQ(buffer[0], 255);
  EXPECT_EQ(buffer[3], 255);
  EXPECT_EQ(buffer[32], 7) << "row padding untouched";
  EXPECT_EQ(buffer[40], 7) << "second row untouched";
  ImageRef snapshot = context->makeImage();
  context->fillRect(Rect(0, 0, 8, 3));
  EXPECT_EQ(snapshot->row(1)[0], 7) << "snapshot of a caller's buffer is a copy";
  EXPECT_FALSE(
      BitmapContext::createWithData(buffer.data(), 8, 3, 16, PixelFormat::rgba8(), ColorSpace::sRGB()));
}

TEST(ImageMake, ChecksSizesAndModels) {
  const ColorSpaceRef rgb = ColorSpace::sRGB();
  EXPECT_TRUE(Image::make(2, 2, PixelFormat::rgba8(), rgb, std::vector<std::uint8_t>(16)));
  EXPECT_FALSE(Image::make(2, 2, PixelFormat::rgba8(), rgb, std::vector<std::uint8_t>(15)));
  EXPECT_FALSE(
      Image::make(2, 2, PixelFormat::rgba8(), ColorSpace::genericGray(), std::vector<std::uint8_t>(16)));
  EXPECT_FALSE(Image::make(-2, 2, PixelFormat::rgba8(), rgb, std::vector<std::uint8_t>(16)));
  EXPECT_FALSE(Image::make(2, 2, PixelFormat::rgba8(), rgb, std::vector<std::uint8_t>(16), 4));
  // Gray and CMYK with alpha exist as images.
  EXPECT_TRUE(Image::make(2, 2, {16, 1, AlphaInfo::PremultipliedLast}, ColorSpace::genericGray(),
                          std::vector<std::uint8_t>(16)));
  if (ColorSpaceRef cmyk = ColorSpace::genericCMYK()) {
    EXPECT_TRUE(
        Image::make(2, 2, {32, 4, AlphaInfo::PremultipliedLast}, cmyk, std::vector<std::uint8_t>(80)));
  }
  // Padded rows: the last row needs no padding.
  EXPECT_TRUE(Image::make(2, 2, PixelFormat::rgba8(), rgb, std::vector<std::uint8_t>(20 + 8), 20));

  ImageRef image = Image::make(2, 2, PixelFormat::rgba8(), rgb, std::vector<std::uint8_t>(16));
  ImageRef adobe = image->retagged(ColorSpace::named(color::NamedProfile::AdobeRGB1998));
  ASSERT_TRUE(adobe);
  EXPECT_EQ(adobe->data(), image->data());
  EXPECT_NE(adobe->colorSpace()->name(), image->colorSpace()->name());
  EXPECT_FALSE(image->retagged(ColorSpace::genericGray()));
}

TEST(ImageDraw, GrayAndCmykWithAlphaImagesDrawIntoRgb) {
  // Gray 50 % with alpha 50 % (premultiplied last, 8-bit): over white.
  ImageRef grayAlpha = Image::make(1, 1, {8, 1, AlphaInfo::PremultipliedLast}, ColorSpace::genericGray(),
                                   std::vector<std::uint8_t>{64, 128});
  ASSERT_TRUE(grayAlpha);
  auto context = BitmapContext::create(1, 1, PixelFormat::rgba8(), ColorSpace::sRGB());
  ASSERT_TRUE(context);
  const double white[4] = {1, 1, 1, 1};
  context->setFillColor(white, 4);
  context->fillRect(Rect(0, 0, 1, 1));
  context->drawImage(grayAlpha, Rect(0, 0, 1, 1));
  auto p = rastertest::pixelAt(*context, 0, 0);
  EXPECT_NEAR(p[3], 1.0f, 1e-6);
  EXPECT_NEAR(p[0], p[1], 2.0f / 255);
  EXPECT_GT(p[0], 0.6f);
  EXPECT_LT(p[0], 0.95f);
}

// Every premultiplied 8-bit colour under every alpha, copied into a
// straight 8-bit context: the straight colour is the quotient of the levels
// rounded to the nearest level, halves up (1 of 2 is 128); colour above its
// alpha is 255.
TEST(ImageDraw, PremultipliedEightBitIntoStraightRoundsTheStraightColour) {
  const std::vector<std::uint8_t> pixels = testsupport::everyPremultipliedRGBA8();
  const std::int64_t width = std::int64_t(pixels.size() / 4);
  ImageRef image = Image::make(width, 1, PixelFormat::rgba8(), ColorSpace::sRGB(), pixels);
  ASSERT_TRUE(image);
  for (AlphaInfo alpha : {AlphaInfo::Last, AlphaInfo::First}) {
    SCOPED_TRACE(int(alpha));
    auto context = BitmapContext::create(width, 1, {8, 3, alpha}, ColorSpace::sRGB());
    ASSERT_TRUE(context);
    context->setBlendMode(BlendMode::Copy);
    context->drawImage(image, Rect(0, 0, double(width), 1));
    const int colour = alpha == AlphaInfo::First ? 1 : 0;
    int wrong = 0;
    for (std::int64_t x = 0; x < width; ++x) {
      const std::uint8_t* in = pixels.data() + x * 4;
      const std::uint8_t* out = context->data() + x * 4 + colour;
      for (int k = 0; k < 3; ++k) wrong += out[k] != testsupport::roundedStraightLevel(in[k], in[3]);
    }
    EXPECT_EQ(wrong, 0);
  }
}

TEST(ImageDraw, CmykWithAlphaOverACallersBufferDrawsIntoCmyk) {
  ColorSpaceRef cmyk = ColorSpace::genericCMYK();
  if (!cmyk) GTEST_SKIP() << "no CMYK profile installed";
  // 16-bit C, M, Y, K, alpha premultiplied last: 40 % cyan at 50 % alpha.
  auto buffer =
      std::make_shared<std::vector<std::uint16_t>>(std::vector<std::uint16_t>{13107, 0, 0, 0, 32768});
  ImageRef image = Image::wrap(1, 1, {16, 4, AlphaInfo::PremultipliedLast}, cmyk, buffer,
                               reinterpret_cast<const std::uint8_t*>(buffer->data()), 10);
  ASSERT_TRUE(image);
  auto context = BitmapContext::create(1, 1, {16, 4, AlphaInfo::None}, cmyk);
  context->drawImage(image, Rect(0, 0, 1, 1));  // over no ink
  auto p = rastertest::pixelAt(*context, 0, 0);
  EXPECT_NEAR(p[0], 0.2f, 1e-3);
  EXPECT_NEAR(p[3], 0.0f, 1e-3);
}

}  // namespace
