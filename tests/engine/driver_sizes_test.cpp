// The driver's target sizes: every scale type on a small asymmetric
// picture, only the largest representation, and a new resolution alone.

#include <gtest/gtest.h>

#include "driver_test_files.h"
#include "engine/imported_image.h"
#include "engine_test_images.h"
#include "platform/imageio/image_destination.h"
#include "support/test_support.h"

namespace velumar {
namespace {

struct ScaleCase {
  std::int64_t scaleType;
  raster::Size fixedSize;  // pixels
  double rotationAngle;
  raster::Size expected;
  const char* corners;  // one pixel in from each corner; "" to skip
};

class DriverScaleType : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(DriverScaleType, GivesThePixelSizeAndOrientation) {
  const ScaleCase& c = GetParam();
  testsupport::TempDir dir;
  const std::string path =
      drivertest::writeImages(dir, "in.png", "public.png", {drivertest::quadrantImage(60, 40)});
  ASSERT_FALSE(path.empty());
  ImportedImage engine;
  ImageModifyInfo info;
  info.conversionType = ConversionType::PNG;
  info.doImageResize = true;
  info.resizeConversionType = 1;
  info.fixedSizeW = c.fixedSize.width;
  info.fixedSizeH = c.fixedSize.height;
  info.resizeScaleType = c.scaleType;
  info.rotationAngle = c.rotationAngle;
  auto image = engine.resizePixelSizeForURL(path, info, nullptr, nullptr);
  ASSERT_TRUE(image) << "scale type " << c.scaleType;
  ASSERT_EQ(image->representations().size(), 1u);
  const auto& rep = image->representations()[0];
  EXPECT_EQ(rep->pixelsWide(), std::int64_t(c.expected.width)) << "scale type " << c.scaleType;
  EXPECT_EQ(rep->pixelsHigh(), std::int64_t(c.expected.height)) << "scale type " << c.scaleType;
  // 72 dpi source, 72 dpi result.
  EXPECT_NEAR(rep->size().width, c.expected.width, 1e-9);
  EXPECT_NEAR(rep->size().height, c.expected.height, 1e-9);
  if (*c.corners) {
    EXPECT_EQ(testimages::cornerColours(rep->image(), 1), c.corners) << "scale type " << c.scaleType;
  }
}

INSTANTIATE_TEST_SUITE_P(AllScaleTypes, DriverScaleType,
                         ::testing::Values(ScaleCase{0, {30, 30}, 0, {30, 30}, "RGBW"},   // stretch
                                           ScaleCase{1, {30, 20}, 0, {30, 20}, "RGBW"},   // Lanczos
                                           ScaleCase{2, {30, 99}, 0, {30, 20}, "RGBW"},   // fit the width
                                           ScaleCase{2, {90, 99}, 0, {60, 40}, "RGBW"},   // never enlarged
                                           ScaleCase{3, {99, 10}, 0, {15, 10}, "RGBW"},   // fit the height
                                           ScaleCase{4, {30, 30}, 0, {30, 20}, "RGBW"},   // fit inside
                                           ScaleCase{5, {30, 100}, 0, {30, 20}, "RGBW"},  // the longer side
                                           ScaleCase{6, {30, 20}, 0, {30, 20}, "RGBW"},   // centred crop
                                           ScaleCase{7, {30, 20}, 0, {30, 20}, "RGBW"},   // stretch and crop
                                           ScaleCase{8, {60, 40}, 0, {60, 40}, "GRWB"},   // flip horizontally
                                           ScaleCase{9, {60, 40}, 0, {60, 40}, "BWRG"},   // flip vertically
                                           ScaleCase{10, {60, 40}, 0, {40, 60}, "BRWG"},  // 90 degrees
                                           ScaleCase{11, {60, 40}, 0, {40, 60}, "GWRB"},  // 270 degrees
                                           ScaleCase{12, {60, 40}, 0, {60, 40}, "WBGR"},  // 180 degrees
                                           ScaleCase{13, {60, 40}, 0, {40, 60}, "WGBR"},  // 90 flipped
                                           ScaleCase{14, {60, 40}, 0, {40, 60}, "RBGW"},  // 270 flipped
                                           ScaleCase{15, {60, 40}, 90, {40, 60}, ""},     // free rotation
                                           ScaleCase{16, {30, 20}, 0, {30, 20}, "RGBW"}),  // crop and rotate
                         [](const auto& info) {
                           return "type" + std::to_string(info.param.scaleType) + "_" +
                                  std::to_string(std::int64_t(info.param.fixedSize.width));
                         });

TEST(DriverResolution, OnlySetDpiKeepsThePixelsAndChangesThePoints) {
  testsupport::TempDir dir;
  const std::string path =
      drivertest::writeImages(dir, "in.png", "public.png", {drivertest::quadrantImage(60, 40)});
  ASSERT_FALSE(path.empty());
  ImportedImage engine;
  ImageModifyInfo info;
  info.conversionType = ConversionType::PNG;
  info.onlySetDpi = true;
  info.modifyImageDpi = true;
  info.dpi = 144;
  info.doImageResize = true;  // ignored with onlySetDpi
  info.rFactorW = info.rFactorH = 0.5;
  auto image = engine.resizePixelSizeForURL(path, info, nullptr, nullptr);
  ASSERT_TRUE(image);
  const auto& rep = image->representations()[0];
  EXPECT_EQ(rep->pixelsWide(), 60);
  EXPECT_EQ(rep->pixelsHigh(), 40);
  EXPECT_EQ(rep->size(), (raster::Size{30, 20}));
  EXPECT_EQ(image->size(), (raster::Size{60, 40}));

  // A resize at a new resolution: pixels from the size, points from the dpi.
  info.onlySetDpi = false;
  auto resized = engine.resizePixelSizeForURL(path, info, nullptr, nullptr);
  ASSERT_TRUE(resized);
  EXPECT_EQ(resized->representations()[0]->pixelsWide(), 30);
  EXPECT_EQ(resized->representations()[0]->size(), (raster::Size{15, 10}));
}

TEST(DriverResolution, SourceResolutionCarriesOver) {
  // A 144 dpi source keeps 144 dpi when resized.
  testsupport::TempDir dir;
  auto destination = imageio::ImageDestination::create(dir.file("in.tif"), "public.tiff", 1);
  ASSERT_TRUE(destination);
  foundation::Dictionary properties;
  properties.set("DPIWidth", foundation::Value(144.0));
  properties.set("DPIHeight", foundation::Value(144.0));
  destination->addImage(drivertest::quadrantImage(60, 40), foundation::Value(std::move(properties)));
  ASSERT_TRUE(destination->finalize());
  ImportedImage engine;
  ImageModifyInfo info;
  info.conversionType = ConversionType::TIFF;
  info.doImageResize = true;
  info.rFactorW = info.rFactorH = 0.5;
  auto image = engine.resizePixelSizeForURL(dir.file("in.tif"), info, nullptr, nullptr);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->representations()[0]->pixelsWide(), 30);
  EXPECT_EQ(image->representations()[0]->size(), (raster::Size{15, 10}));
}

TEST(DriverLargestOnly, ConvertsOnlyTheLargestRepresentationWhereTheOutputHoldsOne) {
  testsupport::TempDir dir;
  const std::string path =
      drivertest::writeImages(dir, "pages.tif", "public.tiff",
                              {drivertest::quadrantImage(30, 20), drivertest::quadrantImage(90, 60),
                               drivertest::quadrantImage(60, 40)});
  ASSERT_FALSE(path.empty());
  struct Row {
    std::int64_t output;
    bool askOnlyMax;
    std::size_t count;
  };
  // The output decides: multi-image outputs keep every page whatever the
  // record asks; single-image outputs keep the largest.
  const Row rows[] = {{ConversionType::TIFF, true, 3},
                      {ConversionType::PNG, false, 3},
                      {ConversionType::BMP, false, 1},
                      {ConversionType::GIF, false, 1}};
  for (const Row& row : rows) {
    ImportedImage engine;
    ImageModifyInfo info;
    info.conversionType = row.output;
    info.resizeAndConvertOnlyMaxRep = row.askOnlyMax;
    info.doImageResize = true;
    info.rFactorW = info.rFactorH = 0.5;
    auto image = engine.resizePixelSizeForURL(path, info, nullptr, nullptr);
    ASSERT_TRUE(image) << row.output;
    ASSERT_EQ(image->representations().size(), row.count) << row.output;
    if (row.count == 1) {
      EXPECT_EQ(image->representations()[0]->pixelsWide(), 45) << row.output;
    }
    EXPECT_EQ(image->size(), (raster::Size{45, 30})) << row.output;
  }
}

}  // namespace
}  // namespace velumar
