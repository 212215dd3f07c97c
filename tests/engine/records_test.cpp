// Defaults of the settings record, the preset object and the engine object:
// the non-zero and widened single-precision ones, where faults hide.

#include <gtest/gtest.h>

#include <thread>

#include "engine/image_info.h"
#include "engine/imported_image.h"

namespace velumar {
namespace {

TEST(ImageModifyInfo, NonZeroAndWidenedDefaults) {
  const ImageModifyInfo info;
  EXPECT_EQ(info.dpi, 72.0);
  EXPECT_EQ(info.originalFileType, 10);
  EXPECT_EQ(info.dateStyle, 1u);
  EXPECT_TRUE(info.isForOriginalRep);
  EXPECT_EQ(info.compositeOrigin, (raster::Point{50, 50}));
  EXPECT_EQ(info.cropCenterY, 0.5);
  EXPECT_EQ(info.depthSlope, 4.0);
  EXPECT_EQ(info.tinyPlanetFactor, 1.5);
  // Single-precision values keep their float widening, not the decimal.
  EXPECT_EQ(info.depthWidth, 0.10000000149011612);
  EXPECT_EQ(info.depthIntensity, 0.9900000095367432);
  EXPECT_EQ(info.tinyPlanetScale, 0.05000000074505806);
  const ImageModifyInfo zero = ImageModifyInfo::zeroed();
  EXPECT_EQ(zero.dpi, 0.0);
  EXPECT_FALSE(zero.isForOriginalRep);
  EXPECT_EQ(zero.compositeOrigin, (raster::Point{0, 0}));
  EXPECT_EQ(zero.depthWidth, 0.0);
}

TEST(ImageInfo, InitializeKeepsDepthTransparencyAndDrawWithAlpha) {
  ImageModifyInfo info = ImageModifyInfo::zeroed();
  info.imageDepth = 2;
  info.imageTransparency = 1;
  info.drawWithAlpha = true;
  info.conversionType = 5;
  info.depthWidth = 9;
  ImageInfo::initializeImageInfo(info);
  ImageModifyInfo expected;
  expected.imageDepth = 2;
  expected.imageTransparency = 1;
  expected.drawWithAlpha = true;
  EXPECT_EQ(info, expected);
}

TEST(ImageInfo, NewPresetDefaults) {
  ImageInfo preset;
  EXPECT_EQ(preset.imageModifyInfo(), ImageModifyInfo{});
  EXPECT_EQ(preset.imageInfoName, "Preset");
  EXPECT_TRUE(preset.maintainHierarchy);
  EXPECT_EQ(preset.presetSavingMethod, -2);
  EXPECT_EQ(preset.initialNumber, -1);
  EXPECT_EQ(preset.zerosNumber, -1);
  EXPECT_EQ(preset.watermarkTextAttributes.pointSize, 144);
}

TEST(ImageInfo, RecordIsCopiedInAndOut) {
  ImageInfo preset;
  ImageModifyInfo copy = preset.imageModifyInfo();
  copy.conversionType = ConversionType::PNG;
  EXPECT_EQ(preset.imageModifyInfo().conversionType, ConversionType::JPEG);
  preset.setImageModifyInfo(copy);
  copy.conversionType = ConversionType::GIF;
  EXPECT_EQ(preset.imageModifyInfo().conversionType, ConversionType::PNG);
  ImportedImage engine;
  engine.setImageModifyInfo(copy);
  copy.conversionType = ConversionType::TIFF;
  EXPECT_EQ(engine.imageModifyInfo().conversionType, ConversionType::GIF);
}

TEST(ImageInfo, RecordIsNeverSeenHalfWritten) {
  ImageInfo preset;
  ImageModifyInfo a, b;
  a.dpi = 100;
  a.fixedSizeW = 100;
  b.dpi = 200;
  b.fixedSizeW = 200;
  std::thread writer([&] {
    for (int i = 0; i < 20000; ++i) preset.setImageModifyInfo(i % 2 ? a : b);
  });
  for (int i = 0; i < 20000; ++i) {
    ImageModifyInfo seen = preset.imageModifyInfo();
    ASSERT_TRUE(seen.dpi == seen.fixedSizeW || seen.dpi == 72.0);
  }
  writer.join();
}

TEST(ImportedImage, InitialStateAndTextReset) {
  ImportedImage engine;
  EXPECT_EQ(engine.imageModifyInfo(), ImageModifyInfo::zeroed());
  EXPECT_EQ(engine.compositeImageOrigin(), (raster::Point{50, 50}));
  EXPECT_EQ(engine.compositeImageOpacity, 1.0);
  EXPECT_EQ(engine.lutIntensity, 1.0);
  engine.watermarkDrawString = "Hello";
  engine.textFont = TextFont{"Serif", true, false, 12};
  engine.textAttributes.pointSize = 12;
  engine.textAttributes.underline = true;
  engine.resetTextAttributes();
  EXPECT_EQ(engine.watermarkDrawString, "");
  EXPECT_EQ(engine.textFont, TextFont::systemFont(144));
  EXPECT_EQ(engine.textAttributes.pointSize, 144);
  EXPECT_FALSE(engine.textAttributes.underline);
}

}  // namespace
}  // namespace velumar
