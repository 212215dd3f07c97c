// Which representation a colour-model conversion answers: the source kept,
// or a redraw in which space, depth and alpha form, by target model, code,
// output format and settings.

#include <gtest/gtest.h>

#include "engine/color_space_menu.h"
#include "engine/file_type_codes.h"
#include "engine/imported_image.h"
#include "engine/profile.h"
#include "engine_test_images.h"
#include "support/test_support.h"

namespace velumar {
namespace {

using raster::AlphaInfo;

enum class Source {
  Srgb,
  SrgbAlpha,
  GenericRgbAlpha,
  Gray,
  GrayAlpha,
  Gamma22,
  Gamma22Alpha,
  Cmyk,
  CmykAlpha
};

BitmapRepRef sourceRep(Source source) {
  using testimages::halfTransparentRep;
  switch (source) {
    case Source::Srgb:
      return halfTransparentRep(3, false);
    case Source::SrgbAlpha:
      return halfTransparentRep(3, true);
    case Source::GenericRgbAlpha:
      return halfTransparentRep(3, true, raster::ColorSpace::genericRGB());
    case Source::Gray:
      return halfTransparentRep(1, false);
    case Source::GrayAlpha:
      return halfTransparentRep(1, true);
    case Source::Gamma22:
      return halfTransparentRep(1, false, testimages::grayGamma22());
    case Source::Gamma22Alpha:
      return halfTransparentRep(1, true, testimages::grayGamma22());
    case Source::Cmyk:
      return halfTransparentRep(4, false);
    case Source::CmykAlpha:
      return halfTransparentRep(4, true);
  }
  return nullptr;
}

enum class Space { Srgb, GenericRgb, Adobe, GenericGray, Gamma22, GenericCmyk };

std::string nameOf(Space space) {
  switch (space) {
    case Space::Srgb:
      return raster::ColorSpace::sRGB()->name();
    case Space::GenericRgb:
      return raster::ColorSpace::genericRGB()->name();
    case Space::Adobe:
      return testimages::adobeRGB()->name();
    case Space::GenericGray:
      return raster::ColorSpace::genericGray()->name();
    case Space::Gamma22:
      return testimages::grayGamma22()->name();
    case Space::GenericCmyk:
      return raster::ColorSpace::genericCMYK()->name();
  }
  return {};
}

struct Outcome {
  const char* name;
  Source source;
  std::int64_t model;
  std::int64_t code;
  std::int64_t conversionType = ConversionType::TIFF;
  bool preserveCMYKAlpha = false;
  std::uint64_t imageTransparency = 0;
  std::uint64_t imageDepth = 0;
  bool drawWithAlpha = false;
  bool resize = false;
  // Expected: kept, or the redraw's format and space.
  bool kept = false;
  raster::PixelFormat format{};
  Space space = Space::Srgb;
};

constexpr raster::PixelFormat rgb8{8, 3, AlphaInfo::NoneSkipLast};
constexpr raster::PixelFormat rgba8{8, 3, AlphaInfo::PremultipliedLast};
constexpr raster::PixelFormat gray8{8, 1, AlphaInfo::None};
constexpr raster::PixelFormat grayAlpha8{8, 1, AlphaInfo::PremultipliedLast};
constexpr raster::PixelFormat cmyk8{8, 4, AlphaInfo::None};
constexpr raster::PixelFormat cmykAlpha8{8, 4, AlphaInfo::PremultipliedLast};

class ColorModelOutcome : public ::testing::TestWithParam<Outcome> {};

TEST_P(ColorModelOutcome, KeepsOrRedraws) {
  const Outcome& c = GetParam();
  ImportedImage engine;
  ImageModifyInfo info;
  info.colorSpaceModel = c.model;
  info.colorSpace = c.code;
  info.conversionType = c.conversionType;
  info.preserveCMYKAlpha = c.preserveCMYKAlpha;
  info.imageTransparency = c.imageTransparency;
  info.imageDepth = c.imageDepth;
  info.drawWithAlpha = c.drawWithAlpha;
  const BitmapRepRef source = sourceRep(c.source);
  ASSERT_TRUE(source);
  const raster::Size size = c.resize ? raster::Size{6, 3} : source->size();
  const BitmapRepRef result = engine.convertColorSpaceForBitmapRep(source, c.model, c.code,
                                                                   c.preserveCMYKAlpha, c.resize, size, info);
  ASSERT_TRUE(result) << c.name;
  if (c.kept) {
    EXPECT_EQ(result, source) << c.name;
    return;
  }
  EXPECT_NE(result, source) << c.name;
  EXPECT_EQ(result->pixelFormat(), c.format)
      << c.name << ": " << result->bitsPerSample() << " bits, " << result->pixelFormat().colorComponents
      << " colours, alpha " << int(result->pixelFormat().alpha);
  EXPECT_EQ(result->colorSpace()->name(), nameOf(c.space)) << c.name;
  EXPECT_EQ(result->pixelsWide(), c.resize ? 6 : 8) << c.name;
  EXPECT_DOUBLE_EQ(result->size().width, size.width) << c.name;
}

using CT = std::int64_t;
constexpr CT kJPEG = ConversionType::JPEG, kPNG = ConversionType::PNG, kBMP = ConversionType::BMP,
             kPDF = ConversionType::PDF;

INSTANTIATE_TEST_SUITE_P(
    Table, ColorModelOutcome,
    ::testing::Values(
        // CMYK with alpha and the formats that refuse it.
        Outcome{"jpeg code 5 keeps cmyk", Source::Cmyk, 2, 5, kJPEG, false, 0, 0, false, false, true},
        Outcome{"jpeg code 5 keeps cmyk with alpha", Source::CmykAlpha, 2, 5, kJPEG, false, 0, 0, false,
                false, true},
        Outcome{"jpeg code 5 rgb becomes plain cmyk", Source::SrgbAlpha, 2, 5, kJPEG, false, 0, 0, false,
                false, false, cmyk8, Space::GenericCmyk},
        Outcome{"bmp refuses cmyk alpha", Source::SrgbAlpha, 2, 5, kBMP, false, 0, 0, false, false, false,
                cmyk8, Space::GenericCmyk},
        Outcome{"pdf refuses cmyk alpha", Source::SrgbAlpha, 2, 4, kPDF, true, 0, 0, false, false, false,
                cmyk8, Space::GenericCmyk},
        Outcome{"tiff preserve: rgb without alpha gets alpha", Source::Srgb, 2, 4, ConversionType::TIFF, true,
                0, 0, false, false, false, cmykAlpha8, Space::GenericCmyk},
        Outcome{"tiff preserve: gray becomes cmyk alpha", Source::GrayAlpha, 2, 4, ConversionType::TIFF, true,
                0, 0, false, false, false, cmykAlpha8, Space::GenericCmyk},
        Outcome{"tiff preserve: cmyk alpha kept", Source::CmykAlpha, 2, 4, ConversionType::TIFF, true, 0, 0,
                false, false, true},
        Outcome{"tiff preserve: cmyk alpha resized", Source::CmykAlpha, 2, 4, ConversionType::TIFF, true, 0,
                0, false, true, false, cmykAlpha8, Space::GenericCmyk},
        Outcome{"code 5 cmyk without alpha wanted is drawn with alpha", Source::CmykAlpha, 2, 5, kPNG, false,
                1, 0, false, false, false, cmykAlpha8, Space::GenericCmyk},
        Outcome{"negative format allows cmyk alpha", Source::Srgb, 2, 5, -1, false, 0, 0, false, false, false,
                cmykAlpha8, Space::GenericCmyk},
        Outcome{"code 4 keeps cmyk without alpha", Source::Cmyk, 2, 4, ConversionType::TIFF, false, 0, 0,
                false, false, true},
        Outcome{"code 4 flattens cmyk with alpha", Source::CmykAlpha, 2, 4, ConversionType::TIFF, false, 0, 0,
                false, false, false, cmyk8, Space::GenericCmyk},
        Outcome{"cmyk 16 bits", Source::Srgb, 2, 4, ConversionType::TIFF, true, 0, 2, false, false, false,
                raster::PixelFormat{16, 4, AlphaInfo::PremultipliedLast}, Space::GenericCmyk},
        Outcome{"cmyk profile past the end", Source::Srgb, 2, 30, ConversionType::TIFF, false, 0, 0, false,
                false, false, cmyk8, Space::GenericCmyk},
        // RGB.
        Outcome{"code 2 keeps any rgb", Source::SrgbAlpha, 1, 2, kPNG, false, 0, 0, false, false, true},
        Outcome{"code 2 resized stays in its own space", Source::SrgbAlpha, 1, 2, kPNG, false, 0, 0, false,
                true, false, rgba8, Space::Srgb},
        Outcome{"code 3 keeps srgb whatever depth and alpha", Source::SrgbAlpha, 1, 3, kPNG, false, 1, 2,
                false, false, true},
        Outcome{"code 3 flattens other rgb", Source::GenericRgbAlpha, 1, 3, kPNG, false, 1, 0, false, false,
                false, rgb8, Space::Srgb},
        Outcome{"code 3 resized srgb loses alpha", Source::SrgbAlpha, 1, 3, kPNG, false, 1, 0, false, true,
                false, rgb8, Space::Srgb},
        Outcome{"code 1 redraws srgb into adobe", Source::Srgb, 1, 1, kPNG, false, 0, 0, false, false, false,
                rgb8, Space::Adobe},
        Outcome{"drawWithAlpha forces rgba", Source::Srgb, 1, 1, kPNG, false, 1, 0, true, false, false, rgba8,
                Space::Adobe},
        Outcome{"transparency 2 adds alpha", Source::Gray, 1, 3, kPNG, false, 2, 0, false, false, false,
                rgba8, Space::Srgb},
        Outcome{"rgb float", Source::Gray, 1, 1, kPNG, false, 0, 3, false, false, false,
                raster::PixelFormat{32, 3, AlphaInfo::NoneSkipLast}, Space::Adobe},
        Outcome{"rgb profile past the end", Source::Gray, 1, 40, kPNG, false, 0, 0, false, false, false, rgb8,
                Space::GenericRgb},
        Outcome{"code 0 never keeps", Source::Srgb, 1, 0, kPNG, false, 0, 0, false, false, false, rgb8,
                Space::GenericRgb},
        // Gray.
        Outcome{"gamma source kept, alpha wanted", Source::Gamma22, 0, 7, kPNG, false, 2, 0, false, false,
                true},
        Outcome{"gamma source resized gets alpha", Source::Gamma22, 0, 7, kPNG, false, 2, 0, false, true,
                false, grayAlpha8, Space::Gamma22},
        Outcome{"generic gray with alpha redrawn into gamma", Source::GrayAlpha, 0, 7, kPNG, false, 0, 0,
                false, false, false, grayAlpha8, Space::Gamma22},
        Outcome{"gray code 6 keeps gray alpha", Source::Gamma22Alpha, 0, 6, kPNG, false, 0, 0, false, false,
                true},
        Outcome{"gray code 6 resized keeps its own space", Source::Gamma22Alpha, 0, 6, kPNG, false, 0, 0,
                false, true, false, grayAlpha8, Space::Gamma22},
        Outcome{"rgb to gray 6 with alpha", Source::SrgbAlpha, 0, 6, kPNG, false, 0, 0, false, false, false,
                grayAlpha8, Space::GenericGray},
        Outcome{"gray alpha with rgb code is gamma", Source::SrgbAlpha, 0, 3, kPNG, false, 0, 0, false, false,
                false, grayAlpha8, Space::Gamma22},
        Outcome{"gray without alpha with rgb code is generic", Source::SrgbAlpha, 0, 3, kPNG, false, 1, 0,
                false, false, false, gray8, Space::GenericGray},
        Outcome{"gray code 6 keeps any gray", Source::Gamma22, 0, 6, kPNG, false, 0, 0, false, false, true},
        Outcome{"gray code 7 redraws generic gray", Source::Gray, 0, 7, kPNG, false, 0, 0, false, false,
                false, gray8, Space::Gamma22},
        Outcome{"gray float without alpha", Source::Srgb, 0, 6, kPNG, false, 0, 3, false, false, false,
                raster::PixelFormat{32, 1, AlphaInfo::None}, Space::GenericGray},
        Outcome{"gray 16 with alpha", Source::SrgbAlpha, 0, 6, kPNG, false, 0, 2, false, false, false,
                raster::PixelFormat{16, 1, AlphaInfo::PremultipliedLast}, Space::GenericGray},
        Outcome{"gray alpha profile past the end keeps own space", Source::Gamma22Alpha, 0, 9, kPNG, false, 0,
                0, false, false, false, grayAlpha8, Space::Gamma22},
        Outcome{"gray profile past the end is generic", Source::Srgb, 0, 9, kPNG, false, 0, 0, false, false,
                false, gray8, Space::GenericGray}),
    [](const auto& info) {
      std::string name = info.param.name;
      for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return name;
    });

TEST(ColorModelConversion, FlattensOntoWhite) {
  ImportedImage engine;
  ImageModifyInfo info;
  info.imageTransparency = 1;
  const auto source = sourceRep(Source::GenericRgbAlpha);
  const auto result = engine.convertColorSpaceForBitmapRep(source, 1, 3, false, false, source->size(), info);
  ASSERT_TRUE(result);
  const auto transparent = testimages::componentsAt(*result->image(), 7, 0);
  EXPECT_EQ(transparent[0], 1.0);
  EXPECT_EQ(transparent[1], 1.0);
  EXPECT_EQ(transparent[2], 1.0);
}

TEST(ColorModelConversion, UnsupportedModelsAndSizesGiveNothing) {
  ImportedImage engine;
  const auto source = sourceRep(Source::Srgb);
  EXPECT_FALSE(engine.convertColorSpaceForBitmapRep(source, 3, 1, false, true, {4, 4}, {}));
  EXPECT_FALSE(engine.convertColorSpaceForBitmapRep(source, 1, 1, false, true, {0, 0}, {}));
  EXPECT_FALSE(engine.convertColorSpaceForBitmapRep(nullptr, 1, 1, false, false, {4, 4}, {}));
}

TEST(ColorModelConversion, InstalledProfiles) {
  testsupport::TempDir dir;
  const auto grayProfile =
      testimages::installedProfileCopy(color::NamedProfile::GrayGamma22, dir, "gray.icc");
  const auto cmykProfile =
      testimages::installedProfileCopy(color::NamedProfile::GenericCMYK, dir, "cmyk.icc");
  const auto rgbProfile = testimages::installedProfileCopy(color::NamedProfile::AdobeRGB1998, dir, "rgb.icc");
  ASSERT_TRUE(grayProfile && cmykProfile && rgbProfile);
  ImportedImage engine;
  engine.profiles = {grayProfile, cmykProfile, rgbProfile};
  engine.profilesGray = {grayProfile};
  engine.profilesCMYK = {cmykProfile};
  engine.profilesRGB = {rgbProfile};
  constexpr std::int64_t grayCode = 8, cmykCode = 9, rgbCode = 10;

  // A gray source with alpha already in the chosen gray profile is still
  // drawn through the alpha path; without alpha wanted it is kept.
  const auto gammaAlpha = sourceRep(Source::Gamma22Alpha);
  EXPECT_TRUE(engine.sameColorSpaceForColorSpace(grayCode, gammaAlpha));
  EXPECT_FALSE(engine.sameColorSpaceForColorSpace(grayCode, sourceRep(Source::GrayAlpha)));
  EXPECT_FALSE(engine.sameColorSpaceForColorSpace(11, gammaAlpha));
  ImageModifyInfo info;
  auto drawn =
      engine.convertColorSpaceForBitmapRep(gammaAlpha, 0, grayCode, false, false, gammaAlpha->size(), info);
  ASSERT_TRUE(drawn);
  EXPECT_NE(drawn, gammaAlpha);
  EXPECT_EQ(drawn->colorSpace(), grayProfile->colorspace());
  info.imageTransparency = 1;
  EXPECT_EQ(
      engine.convertColorSpaceForBitmapRep(gammaAlpha, 0, grayCode, false, false, gammaAlpha->size(), info),
      gammaAlpha);

  // A CMYK source with alpha keeps its own space unless resized.
  ImageModifyInfo cmykInfo;
  cmykInfo.colorSpace = cmykCode;
  cmykInfo.preserveCMYKAlpha = true;
  cmykInfo.conversionType = ConversionType::TIFF;
  const auto cmykAlpha = sourceRep(Source::CmykAlpha);
  EXPECT_EQ(
      engine.convertColorSpaceForBitmapRep(cmykAlpha, 2, cmykCode, true, false, cmykAlpha->size(), cmykInfo),
      cmykAlpha);
  auto resized = engine.convertColorSpaceForBitmapRep(cmykAlpha, 2, cmykCode, true, true, {4, 2}, cmykInfo);
  ASSERT_TRUE(resized);
  EXPECT_EQ(resized->colorSpace(), cmykProfile->colorspace());
  EXPECT_EQ(resized->pixelFormat(), cmykAlpha8);

  // A profile code naming a profile of another kind falls back on the
  // alpha paths, and is refused by a plain redraw of a mismatched model.
  cmykInfo.colorSpace = grayCode;
  auto fallback = engine.drawInCGContextCMYKWithAlphaFromRep(sourceRep(Source::Srgb), {8, 4}, cmykInfo);
  ASSERT_TRUE(fallback);
  EXPECT_EQ(fallback->colorSpace(), raster::ColorSpace::genericCMYK());
  EXPECT_FALSE(
      engine.convertColorSpaceForBitmapRep(sourceRep(Source::Srgb), 0, rgbCode, false, true, {4, 2}, {}));

  // RGB into the installed RGB profile.
  auto rgb =
      engine.convertColorSpaceForBitmapRep(sourceRep(Source::Srgb), 1, rgbCode, false, false, {8, 4}, {});
  ASSERT_TRUE(rgb);
  EXPECT_EQ(rgb->colorSpace(), rgbProfile->colorspace());
}

}  // namespace
}  // namespace velumar
