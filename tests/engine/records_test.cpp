// Defaults of the settings record, the preset object and the engine object.

#include <gtest/gtest.h>

#include <thread>

#include "engine/image_info.h"
#include "engine/imported_image.h"

namespace velumar {
namespace {

TEST(ImageModifyInfo, DefaultsOfANewPreset) {
  const ImageModifyInfo info;
  EXPECT_FALSE(info.doImageResize);
  EXPECT_EQ(info.conversionType, 0);
  EXPECT_EQ(info.dpi, 72.0);
  EXPECT_EQ(info.jpegCompressionFactor, 1.0);
  EXPECT_EQ(info.rFactorW, 1.0);
  EXPECT_EQ(info.rFactorH, 1.0);
  EXPECT_EQ(info.fixedSizeW, 0.0);
  EXPECT_TRUE(info.isForOriginalRep);
  EXPECT_TRUE(info.aspectRatio);
  EXPECT_EQ(info.originalFileType, 10);
  EXPECT_EQ(info.searchSubFolders, 1);
  EXPECT_EQ(info.colorSpaceModel, 1);
  EXPECT_EQ(info.colorSpace, 0);
  EXPECT_EQ(info.filterType0, 0);
  EXPECT_EQ(info.dateStyle, 1u);
  EXPECT_EQ(info.textOpacity, 1.0);
  EXPECT_EQ(info.imageSizePercent, 1.0);
  EXPECT_EQ(info.compositeOrigin, (raster::Point{50, 50}));
  EXPECT_EQ(info.textOrigin, (raster::Point{0, 0}));
  EXPECT_EQ(info.compositeOpacity, 1.0);
  EXPECT_EQ(info.borderColorA, 1.0);
  EXPECT_EQ(info.borderOpacity, 1.0);
  EXPECT_EQ(info.cropCenterX, 0.5);
  EXPECT_EQ(info.cropCenterY, 0.5);
  EXPECT_EQ(info.stretchAndCropStretch, 0.5);
  EXPECT_EQ(info.stretchAndCropCrop, 0.5);
  EXPECT_EQ(info.cropAndRotateCropSize, (raster::Size{0, 0}));
  EXPECT_EQ(info.depthSlope, 4.0);
  EXPECT_EQ(info.depthFocalPoint, 0.75);
  EXPECT_EQ(info.tinyPlanetFactor, 1.5);
  EXPECT_EQ(info.lutIntensity, 1.0);
  EXPECT_EQ(info.imageDepth, 0u);
  EXPECT_EQ(info.imageTransparency, 0u);
  EXPECT_FALSE(info.drawWithAlpha);
  EXPECT_FALSE(info.addToneCurveBlue);
}

TEST(ImageModifyInfo, SinglePrecisionDefaultsAreStoredWidened) {
  const ImageModifyInfo info;
  EXPECT_EQ(info.depthWidth, 0.10000000149011612);
  EXPECT_EQ(info.depthIntensity, 0.9900000095367432);
  EXPECT_EQ(info.tinyPlanetScale, 0.05000000074505806);
  EXPECT_NE(info.depthWidth, 0.1);
}

TEST(ImageModifyInfo, ZeroedHasEveryFieldZero) {
  const ImageModifyInfo zero = ImageModifyInfo::zeroed();
  EXPECT_EQ(zero.dpi, 0.0);
  EXPECT_FALSE(zero.isForOriginalRep);
  EXPECT_EQ(zero.originalFileType, 0);
  EXPECT_EQ(zero.compositeOrigin, (raster::Point{0, 0}));
  EXPECT_EQ(zero.depthWidth, 0.0);
  EXPECT_EQ(zero.dateStyle, 0u);
  EXPECT_FALSE(zero.addToneCurveBlue);
}

TEST(ImageInfo, InitializeKeepsDepthTransparencyAndDrawWithAlpha) {
  ImageModifyInfo info = ImageModifyInfo::zeroed();
  info.imageDepth = 2;
  info.imageTransparency = 1;
  info.drawWithAlpha = true;
  info.conversionType = 5;
  info.depthWidth = 9;
  ImageInfo::initializeImageInfo(info);
  EXPECT_EQ(info.imageDepth, 2u);
  EXPECT_EQ(info.imageTransparency, 1u);
  EXPECT_TRUE(info.drawWithAlpha);
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
  EXPECT_TRUE(preset.canDeletePreset);
  EXPECT_FALSE(preset.overwriteFiles);
  EXPECT_TRUE(preset.maintainHierarchy);
  EXPECT_FALSE(preset.renameIgnoreProcessing);
  EXPECT_EQ(preset.presetSavingPath, "");
  EXPECT_EQ(preset.presetSavingMethod, -2);
  EXPECT_EQ(preset.profileDescription, "");
  EXPECT_EQ(preset.prefixFile, "");
  EXPECT_EQ(preset.selectedNumberPopUp, 0u);
  EXPECT_EQ(preset.initialNumber, -1);
  EXPECT_EQ(preset.zerosNumber, -1);
  EXPECT_TRUE(preset.filterValues.empty());
  EXPECT_TRUE(preset.openWithAppID.empty());
  EXPECT_FALSE(preset.watermarkPresetData);
  EXPECT_FALSE(preset.watermarkPresetURL);
  EXPECT_EQ(preset.watermarkPresetText, "");
  EXPECT_EQ(preset.watermarkTextAttributes.pointSize, 144);
  EXPECT_EQ(preset.watermarkTextAttributes.fontFamily, "");
  EXPECT_FALSE(preset.watermarkTextAttributes.color);
  EXPECT_FALSE(preset.compositePresetURL);
  EXPECT_FALSE(preset.lutArray);
  EXPECT_FALSE(preset.toneCurvePoints);
  EXPECT_FALSE(preset.toneCurvePointsBlue);
}

TEST(ImageInfo, RecordIsCopiedInAndOut) {
  ImageInfo preset;
  ImageModifyInfo copy = preset.imageModifyInfo();
  copy.conversionType = ConversionType::PNG;
  EXPECT_EQ(preset.imageModifyInfo().conversionType, ConversionType::JPEG);
  preset.setImageModifyInfo(copy);
  copy.conversionType = ConversionType::GIF;
  EXPECT_EQ(preset.imageModifyInfo().conversionType, ConversionType::PNG);
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

TEST(ImportedImage, InitialState) {
  ImportedImage engine;
  EXPECT_EQ(engine.imageModifyInfo(), ImageModifyInfo::zeroed());
  EXPECT_EQ(engine.indexMaxPixels, 0);
  EXPECT_FALSE(engine.actFileTags());
  EXPECT_TRUE(engine.presetsArray.empty());
  EXPECT_TRUE(engine.urlsArray.empty());
  EXPECT_FALSE(engine.updateCropSizeForPreview);
  EXPECT_EQ(engine.filteredColorSpace, 0);
  EXPECT_FALSE(engine.imageMetadataArray);
  EXPECT_TRUE(engine.psdInfoArray.empty());
  EXPECT_EQ(engine.textFont.pointSize, 144);
  EXPECT_EQ(engine.textAttributes.pointSize, 144);
  EXPECT_EQ(engine.watermarkDrawString, "");
  EXPECT_EQ(engine.compositeImageOrigin(), (raster::Point{50, 50}));
  EXPECT_EQ(engine.compositeImageOpacity, 1.0);
  EXPECT_EQ(engine.compositeImageSize, 1.0);
  EXPECT_EQ(engine.lutIntensity, 1.0);
  EXPECT_FALSE(engine.lutFilter());
  EXPECT_EQ(engine.imagePreviewOriginalSize(), (raster::Size{}));
  EXPECT_EQ(engine.cropOriginalSize(), (raster::Size{}));
  EXPECT_EQ(engine.imagePreviewOriginalDpi, 0);
}

TEST(ImportedImage, ResetTextAttributes) {
  ImportedImage engine;
  engine.watermarkDrawString = "Hello";
  engine.textFont = TextFont{"Serif", true, false, 12};
  engine.textAttributes.pointSize = 12;
  engine.textAttributes.underline = true;
  engine.resetTextAttributes();
  EXPECT_EQ(engine.watermarkDrawString, "");
  EXPECT_EQ(engine.textFont, TextFont::systemFont(144));
  EXPECT_EQ(engine.textAttributes.pointSize, 144);
  EXPECT_EQ(engine.textAttributes.fontFamily, "");
  EXPECT_FALSE(engine.textAttributes.underline);
}

TEST(ImportedImage, EngineRecordIsACopy) {
  ImportedImage engine;
  ImageModifyInfo info;
  info.conversionType = ConversionType::TIFF;
  engine.setImageModifyInfo(info);
  info.conversionType = ConversionType::GIF;
  EXPECT_EQ(engine.imageModifyInfo().conversionType, ConversionType::TIFF);
}

}  // namespace
}  // namespace velumar
