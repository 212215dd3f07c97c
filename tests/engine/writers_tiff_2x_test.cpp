// The 2x TIFF: a full-size page at 144 dpi and a half-size page at 72 dpi
// drawn from the already processed picture without applying its effects
// again.

#include <gtest/gtest.h>

#include <functional>

#include "engine/writers_test_support.h"

namespace velumar {
namespace {

using namespace writers_test;

TEST(Writer2xTIFF, FullAndHalfSizePages) {
  testsupport::TempDir dir;
  const SourceMetadata metadata = cameraMetadata();
  struct Case {
    std::int64_t width, height;
    std::string half;
    bool keep;
  } cases[] = {{1000, 800, "500x400", false},
               {1000, 800, "500x400", true},
               {1001, 801, "501x401", false},
               {1, 1, "1x1", false}};
  for (const Case& c : cases) {
    if (c.keep && metadata.imageRecord.isNull()) continue;
    ImportedImage engine;
    if (c.keep) engine.imageMetadataArray = metadataArray(metadata, 1);
    ImageModifyInfo info;
    info.preserveMetadata = c.keep;
    info.doTiffCompression = 1;
    auto rep = quadrantRep(c.width, c.height);
    const std::string path = dir.file(std::to_string(c.width) + (c.keep ? "-kept" : "") + ".tiff");
    ASSERT_TRUE(engine.saveImageReps2xTIFFFromBitmapRep(rep, 0, path, info)) << path;
    SCOPED_TRACE(path);
    EXPECT_EQ(rep->size(), (raster::Size{c.width / 2.0, c.height / 2.0}));
    EXPECT_EQ(engine.urlsArray, std::vector<std::string>{path});
    EXPECT_FALSE(engine.imageMetadataArray.has_value());
    const std::string full = std::to_string(c.width) + "x" + std::to_string(c.height);
    EXPECT_EQ(tool({"identify", "-format", "%wx%h@%x,", path}), full + "@144," + c.half + "@72,");
    EXPECT_NE(tool({"tiffinfo", path}).find("Compression Scheme: LZW"), std::string::npos);
    EXPECT_EQ(exifTag(path, "DateTimeOriginal"), c.keep ? "2019:07:04 18:30:00" : "");
    if (c.keep) {
      EXPECT_EQ(exifTag(path, "Orientation"), "1");
    }
  }
}

TEST(Writer2xTIFF, EffectsAreNotAppliedTwice) {
  struct Case {
    std::string name;
    std::function<void(ImageModifyInfo&)> set;
  } cases[] = {
      {"border", [](ImageModifyInfo& i) { i.addBorder = true, i.topBorderSize = i.leftBorderSize = 0.3; }},
      {"tiny planet", [](ImageModifyInfo& i) { i.wantsTinyPlanet = true; }},
      {"composite", [](ImageModifyInfo& i) { i.compositeMode = 3; }},
      {"lookup table", [](ImageModifyInfo& i) { i.addLUT = true; }},
      {"tone curves",
       [](ImageModifyInfo& i) { i.addToneCurve = i.addToneCurveRed = i.addToneCurveBlue = true; }},
      {"depth mix", [](ImageModifyInfo& i) { i.wantsMixWithDepthData = true; }},
      {"filter slot", [](ImageModifyInfo& i) { i.filterType0 = 5; }},
      {"automatic adjustment", [](ImageModifyInfo& i) { i.optionAutoAdjust = true; }},
      {"text watermark", [](ImageModifyInfo& i) { i.addWatermarkText = true; }},
      {"crop", [](ImageModifyInfo& i) { i.resizeScaleType = 6, i.fixedSizeW = 10; }},
  };
  testsupport::TempDir dir;
  // The half-size page of the plain settings is what every case must give.
  auto halfPage = [&](const std::string& name, const ImageModifyInfo& info) -> raster::ImageRef {
    ImportedImage engine;
    const std::string path = dir.file(name + ".tiff");
    if (!engine.saveImageReps2xTIFFFromBitmapRep(quadrantRep(80, 60), 0, path, info)) return nullptr;
    auto source = imageio::ImageSource::open(path);
    return source && source->count() == 2 ? source->createImage(1) : nullptr;
  };
  const raster::ImageRef plain = halfPage("plain", ImageModifyInfo{});
  ASSERT_TRUE(plain);
  ASSERT_EQ(plain->width(), 40);
  ASSERT_EQ(plain->height(), 30);
  // Pure sRGB red lies outside the filter graph's working gamut; it stays red.
  expectNear(pixelAt(plain, 8, 6), {255, 0, 0, 255}, 1, "plain top left is red");
  expectNear(pixelAt(plain, 32, 6), {0, 255, 0, 255}, 1, "plain top right is green");
  expectNear(pixelAt(plain, 8, 24), {0, 0, 255, 255}, 1, "plain bottom left is blue");
  expectNear(pixelAt(plain, 32, 24), {255, 255, 255, 255}, 3, "plain bottom right is white");
  for (const Case& c : cases) {
    ImageModifyInfo info;
    c.set(info);
    const raster::ImageRef half = halfPage(c.name, info);
    ASSERT_TRUE(half) << c.name;
    ASSERT_EQ(half->width(), 40);
    ASSERT_EQ(half->height(), 30);
    // The full picture scaled, nothing added.
    for (auto [x, y] : {std::pair{1, 1}, {8, 6}, {32, 6}, {8, 24}, {32, 24}, {20, 15}, {38, 28}})
      expectNear(pixelAt(half, x, y), pixelAt(plain, x, y), 2,
                 c.name + " at " + std::to_string(x) + "," + std::to_string(y));
  }
}

TEST(Writer2xTIFF, HalfSizeSettings) {
  using I = ImageModifyInfo;
  // Every effect already in the processed picture.
  bool I::*const effects[] = {&I::optionAutoAdjust,
                              &I::optionEnhance,
                              &I::optionRedEye,
                              &I::optionFeatures,
                              &I::optionFeaturesIsolateFaces,
                              &I::optionFeaturesAutoAdjustFaces,
                              &I::optionFeaturesBiggerBoundsFaces,
                              &I::optionFeaturesBlurFaces,
                              &I::optionFeaturesPixelateFaces,
                              &I::optionFeaturesFrameFaces,
                              &I::optionFeaturesVignetteFaces,
                              &I::optionFeaturesBlurBackgroundFaces,
                              &I::optionFeaturesSaveCropFaces,
                              &I::optionFeaturesEyeBlink,
                              &I::addWatermarkText,
                              &I::addWatermarkDate,
                              &I::addWatermarkImage,
                              &I::resizeBeforeCrop,
                              &I::addBorder,
                              &I::addLUT,
                              &I::addToneCurve,
                              &I::addToneCurveRed,
                              &I::addToneCurveGreen,
                              &I::addToneCurveBlue,
                              &I::wantsTinyPlanet,
                              &I::wantsMixWithDepthData};
  I all;
  for (bool I::*flag : effects) all.*flag = true;
  all.resizeScaleType = 16, all.filterType0 = 3, all.filterType1 = 4, all.filterType2 = 5;
  all.dateStyle = 4, all.imageDepth = 3, all.imageTransparency = 2, all.compositeMode = 7;
  all.colorSpace = 3, all.doTiffCompression = 2, all.preserveMetadata = true;

  const I half = ImportedImage::settingsForHalfSizePage(all);
  for (std::size_t i = 0; i < std::size(effects); ++i) EXPECT_FALSE(half.*effects[i]) << "flag " << i;
  EXPECT_EQ(half.resizeScaleType, 1);
  EXPECT_EQ(half.filterType0 + half.filterType1 + half.filterType2, 0);
  EXPECT_EQ(half.dateStyle, 1u);
  EXPECT_EQ(half.imageDepth + half.imageTransparency, 0u);
  EXPECT_EQ(half.compositeMode, 0);
  // What describes the output stays.
  EXPECT_EQ(half.colorSpace, 3);
  EXPECT_EQ(half.doTiffCompression, 2);
  EXPECT_TRUE(half.preserveMetadata);

  struct Case {
    std::int64_t conversionType;
    bool keepsCMYKAlpha;
  } cases[] = {{ConversionType::JPEG, false}, {ConversionType::BMP, false}, {ConversionType::PDF, false},
               {ConversionType::TIFF, true},  {ConversionType::PNG, true},  {ConversionType::PSD, true}};
  for (const Case& c : cases) {
    ImageModifyInfo info;
    info.preserveCMYKAlpha = true;
    info.conversionType = c.conversionType;
    EXPECT_EQ(ImportedImage::settingsForHalfSizePage(info).preserveCMYKAlpha, c.keepsCMYKAlpha)
        << c.conversionType;
  }
}

TEST(Writer2xTIFF, FailedWriteAnswersNo) {
  testsupport::TempDir dir;
  ImportedImage engine;
  EXPECT_FALSE(engine.saveImageReps2xTIFFFromBitmapRep(quadrantRep(8, 8), 0, dir.file("missing/a.tiff"), {}));
  EXPECT_FALSE(engine.saveImageReps2xTIFFFromBitmapRep(nullptr, 0, dir.file("a.tiff"), {}));
  EXPECT_TRUE(engine.urlsArray.empty());
  EXPECT_EQ(filesIn(dir.path()), 0u);
}

}  // namespace
}  // namespace velumar
