// A PNG with transparency converted to CMYK with alpha and to gray with
// alpha, written as TIFF and read back by our reader and by outside tools;
// and the writers' handling of premultiplied gray and CMYK with alpha.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine/file_type_codes.h"
#include "engine/imported_image.h"
#include "engine_test_images.h"
#include "loaders_fixtures.h"
#include "platform/imageio/image_source.h"
#include "platform/imageio/pixel_convert.h"
#include "support/test_support.h"

namespace velumar {
namespace {

using testimages::componentsAt;

// 32 x 16 sRGB: the left half opaque orange, the right half transparent,
// column 15 half transparent.
raster::ImageRef orangeOnTransparency() {
  auto context =
      raster::BitmapContext::create(32, 16, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB());
  if (!context) return nullptr;
  context->setFillColor(raster::Color::rgb(1.0, 0.5, 0.0));
  context->fillRect(raster::Rect(0, 0, 15, 16));
  context->setFillColor(raster::Color::rgb(1.0, 0.5, 0.0, 0.5));
  context->fillRect(raster::Rect(15, 0, 1, 16));
  return context->makeImage();
}

bool writeImage(const std::string& path, const std::string& type, const raster::ImageRef& image) {
  return loaders_testing::writeFrames(path, type, {{image}});
}

std::string propertyString(const foundation::Value& properties, std::string_view key) {
  const foundation::Value* value = properties.get(key);
  return value ? value->stringOr("") : "";
}

class ColorModelEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string png = dir_.file("source.png");
    ASSERT_TRUE(writeImage(png, "public.png", orangeOnTransparency()));
    auto source = imageio::ImageSource::open(png);
    ASSERT_TRUE(source);
    rep_ = raster::BitmapImageRep::withImage(source->createImage(0));
    ASSERT_TRUE(rep_);
    ASSERT_TRUE(rep_->hasAlpha());
  }

  // Converts, writes TIFF, reads it back with our reader.
  raster::ImageRef convertWriteAndRead(std::int64_t model, std::int64_t code, const std::string& name) {
    ImageModifyInfo info;
    info.colorSpaceModel = model;
    info.colorSpace = code;
    info.conversionType = ConversionType::TIFF;
    const BitmapRepRef converted =
        engine_.convertColorSpaceForBitmapRep(rep_, model, code, false, false, rep_->size(), info);
    if (!converted) return nullptr;
    EXPECT_TRUE(converted->pixelFormat().isPremultiplied());
    path_ = dir_.file(name);
    if (!writeImage(path_, "public.tiff", converted->image())) return nullptr;
    auto reader = imageio::ImageSource::open(path_);
    if (!reader) return nullptr;
    properties_ = reader->properties(0);
    return reader->createImage(0);
  }

  std::string tiffinfo() const { return testsupport::runCommand({"tiffinfo", path_}).output; }
  std::string magick(const std::string& format) const {
    return testsupport::runCommand({"/usr/bin/convert", path_, "-format", format, "info:"}).output;
  }

  testsupport::TempDir dir_;
  ImportedImage engine_;
  BitmapRepRef rep_;
  std::string path_;
  foundation::Value properties_;
};

TEST_F(ColorModelEndToEnd, PngToCmykWithAlphaTiff) {
  const raster::ImageRef back = convertWriteAndRead(2, 5, "cmyk.tif");
  ASSERT_TRUE(back);
  EXPECT_EQ(propertyString(properties_, "ColorModel"), "CMYK");
  EXPECT_EQ(back->format().colorComponents, 4);
  ASSERT_TRUE(back->format().hasAlpha());
  EXPECT_EQ(back->width(), 32);

  // Orange carries magenta and yellow ink; the file holds associated alpha.
  const auto orange = componentsAt(*back, 3, 8);
  EXPECT_GT(orange[1], 0.3);
  EXPECT_GT(orange[2], 0.6);
  EXPECT_EQ(orange[4], 1.0);
  const auto half = componentsAt(*back, 15, 8);
  EXPECT_NEAR(half[4], 0.5, 0.01);
  EXPECT_NEAR(back->format().isPremultiplied() ? half[2] / half[4] : half[2], orange[2], 0.05);
  EXPECT_EQ(componentsAt(*back, 28, 8), std::vector<double>(5, 0.0));

  if (testsupport::runCommand({"tiffinfo", "-h"}).exitCode < 0) GTEST_SKIP() << "no tiffinfo";
  const std::string info = tiffinfo();
  EXPECT_NE(info.find("separated"), std::string::npos) << info;
  EXPECT_NE(info.find("Extra Samples: 1<assoc-alpha>"), std::string::npos) << info;
  EXPECT_NE(info.find("Samples/Pixel: 5"), std::string::npos) << info;
  EXPECT_EQ(magick("%[colorspace] %[opaque] %[channels]"), "CMYK false cmyka");
}

TEST_F(ColorModelEndToEnd, PngToGrayWithAlphaTiff) {
  const raster::ImageRef back = convertWriteAndRead(0, 7, "gray.tif");
  ASSERT_TRUE(back);
  EXPECT_EQ(propertyString(properties_, "ColorModel"), "Gray");
  EXPECT_EQ(back->format().colorComponents, 1);
  ASSERT_TRUE(back->format().hasAlpha());

  const auto orange = componentsAt(*back, 3, 8);
  EXPECT_GT(orange[0], 0.4);
  EXPECT_LT(orange[0], 0.9);
  EXPECT_EQ(orange[1], 1.0);
  EXPECT_NEAR(componentsAt(*back, 15, 8)[1], 0.5, 0.01);
  EXPECT_EQ(componentsAt(*back, 28, 8), (std::vector<double>{0.0, 0.0}));

  if (testsupport::runCommand({"tiffinfo", "-h"}).exitCode < 0) GTEST_SKIP() << "no tiffinfo";
  const std::string info = tiffinfo();
  EXPECT_NE(info.find("min-is-black"), std::string::npos) << info;
  EXPECT_NE(info.find("Extra Samples: 1<assoc-alpha>"), std::string::npos) << info;
  EXPECT_EQ(magick("%[colorspace] %[opaque]"), "Gray false");
}

// The same through the conversion driver and the output writer, resized so
// the alpha paths draw.
TEST_F(ColorModelEndToEnd, DriverAndWriterKeepCmykAndGrayAlpha) {
  struct Route {
    std::int64_t model, code;
    bool preserveCMYKAlpha;
    const char* colorModel;
  };
  for (const Route& route :
       {Route{2, 4, true, "CMYK"}, Route{2, 5, false, "CMYK"}, Route{0, 6, false, "Gray"}}) {
    ImageModifyInfo info;
    info.conversionType = ConversionType::TIFF;
    info.colorSpaceModel = route.model;
    info.colorSpace = route.code;
    info.preserveCMYKAlpha = route.preserveCMYKAlpha;
    info.doImageResize = true;
    info.resizeConversionType = 1;
    info.fixedSizeW = 64;
    info.fixedSizeH = 32;
    const std::string png = dir_.file("source.png");
    std::int64_t fileType = -1;
    auto image = engine_.resizePixelSizeForURL(png, info, &fileType, nullptr);
    ASSERT_TRUE(image) << route.colorModel;
    path_ = dir_.file(std::string("driven-") + std::to_string(route.code) + ".tif");
    ASSERT_TRUE(
        engine_.saveImage(*image, ConversionType::TIFF, path_, fileType, 0.8, 1, false, false, false, false));
    auto reader = imageio::ImageSource::open(path_);
    ASSERT_TRUE(reader) << route.colorModel;
    EXPECT_EQ(propertyString(reader->properties(0), "ColorModel"), route.colorModel);
    const raster::ImageRef back = reader->createImage(0);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->width(), 64);
    ASSERT_TRUE(back->format().hasAlpha()) << route.colorModel;
    EXPECT_EQ(componentsAt(*back, 4, 16).back(), 1.0) << route.colorModel;
    EXPECT_EQ(componentsAt(*back, 60, 16).back(), 0.0) << route.colorModel;
    if (testsupport::runCommand({"tiffinfo", "-h"}).exitCode >= 0) {
      EXPECT_NE(tiffinfo().find("Extra Samples: 1<assoc-alpha>"), std::string::npos) << route.colorModel;
    }
  }
}

// Writers that un-premultiply keep colour within range and give colour 0
// where alpha is 0, even for merged pixels that held colour above alpha.
TEST(ColorModelWriters, UnpremultiplyClampsAndZeroesTransparentColour) {
  const std::vector<std::uint8_t> grayAlpha{200, 100, 60, 0, 50, 100};
  const auto gray = raster::Image::make(3, 1, {8, 1, raster::AlphaInfo::PremultipliedLast},
                                        raster::ColorSpace::genericGray(), grayAlpha);
  ASSERT_TRUE(gray);
  std::vector<std::uint8_t> row(6);
  imageio::exportRow(*gray, 0, {8, true}, row.data());
  EXPECT_EQ(row, (std::vector<std::uint8_t>{255, 100, 0, 0, 128, 100}));

  const std::vector<float> cmykAlpha{0.9f, 0.1f, 0.0f, 0.2f, 0.5f, 0.4f, 0.3f, 0.2f, 0.1f, 0.0f};
  const auto cmyk = testimages::floatImage(cmykAlpha, 2, 1, {32, 4, raster::AlphaInfo::PremultipliedLast},
                                           raster::ColorSpace::genericCMYK());
  ASSERT_TRUE(cmyk);
  std::vector<float> out(10);
  imageio::exportRow(*cmyk, 0, {32, true}, reinterpret_cast<std::uint8_t*>(out.data()));
  EXPECT_EQ(out[0], 1.0f);
  EXPECT_FLOAT_EQ(out[1], 0.2f);
  EXPECT_FLOAT_EQ(out[4], 0.5f);
  EXPECT_EQ(std::vector<float>(out.begin() + 5, out.end()), std::vector<float>(5, 0.0f));

  // Through a real writer and reader.
  testsupport::TempDir dir;
  const std::string png = dir.file("gray.png");
  ASSERT_TRUE(writeImage(png, "public.png", gray));
  auto source = imageio::ImageSource::open(png);
  ASSERT_TRUE(source);
  const raster::ImageRef back = source->createImage(0);
  ASSERT_TRUE(back);
  EXPECT_EQ(componentsAt(*back, 0, 0), (std::vector<double>{1.0, 100 / 255.0}));
  EXPECT_EQ(componentsAt(*back, 1, 0), (std::vector<double>{0.0, 0.0}));
}

// A JPEG holds no transparency: a half-transparent frame written as JPEG
// reads back (in ImageMagick) with no ink where it was transparent, white
// for gray and RGB, and half the colour where it was half transparent.
TEST_F(ColorModelEndToEnd, TransparencyWrittenAsJpegIsPaper) {
  struct Route {
    std::int64_t model, code;
    bool preserveCMYKAlpha;
    const char* paper;  // ImageMagick's text for pixel 28,8
  };
  for (const Route& route : {Route{2, 5, false, "cmyk(0,0,0,0)"}, Route{2, 4, true, "cmyk(0,0,0,0)"},
                             Route{0, 6, false, "gray(255)"}, Route{1, 0, false, "srgb(255,255,255)"}}) {
    SCOPED_TRACE(route.paper);
    ImageModifyInfo info;
    info.conversionType = ConversionType::JPEG;
    info.colorSpaceModel = route.model;
    info.colorSpace = route.code;
    info.preserveCMYKAlpha = route.preserveCMYKAlpha;
    std::int64_t fileType = -1;
    auto image = engine_.resizePixelSizeForURL(dir_.file("source.png"), info, &fileType, nullptr);
    ASSERT_TRUE(image);
    path_ = dir_.file("frame-" + std::to_string(route.model) + std::to_string(route.code) + ".jpg");
    ASSERT_TRUE(
        engine_.saveImage(*image, ConversionType::JPEG, path_, fileType, 1.0, 1, false, false, false, false));
    const std::string clear = magick("%[pixel:p{28,8}]");
    EXPECT_EQ(clear, route.paper);
    // Half-transparent orange: about half of the opaque orange's distance from paper.
    const auto level = [&](int x) {
      return testsupport::runCommand({"/usr/bin/convert", path_, "-colorspace", "Gray", "-format",
                                      "%[fx:p{" + std::to_string(x) + ",8}.intensity]", "info:"})
          .output;
    };
    const double paper = std::stod(level(28)), opaque = std::stod(level(3)), half = std::stod(level(15));
    EXPECT_NEAR(paper - half, (paper - opaque) / 2, 0.06) << paper << " " << opaque << " " << half;
  }
}

}  // namespace
}  // namespace velumar
