// What each output needs of the settings, and when the render pipeline is
// forced on.

#include <gtest/gtest.h>

#include <ostream>

#include <functional>

#include "engine/imported_image.h"
#include "param_names.h"

namespace velumar {
namespace {

FileTypeDetection detected(const char* extension) {
  return FileTypeDetection{std::string("/tmp/input.x.") + extension, FileType::OtherImage};
}

// ---- The per-output table --------------------------------------------------

struct OutputCase {
  std::int64_t conversionType;
  const char* extension;
  bool preserveCMYKAlpha;  // expected, from true
  std::int64_t modelFromCMYK, spaceFromCMYK;
  std::int64_t modelFromGray, spaceFromGray;
  std::int64_t modelFromRGB, spaceFromRGB;
  bool onlyMax;

  friend void PrintTo(const OutputCase& c, std::ostream* os) {
    *os << "output " << c.conversionType << " from " << c.extension;
  }
};

class OutputTableTest : public testing::TestWithParam<OutputCase> {};

TEST_P(OutputTableTest, AdjustsColourAndLargestOnly) {
  const OutputCase& c = GetParam();
  ImportedImage engine;
  struct Start {
    std::int64_t model, space, expectedModel, expectedSpace;
  };
  for (const Start& start :
       {Start{2, 4, c.modelFromCMYK, c.spaceFromCMYK}, Start{0, 6, c.modelFromGray, c.spaceFromGray},
        Start{1, 3, c.modelFromRGB, c.spaceFromRGB}}) {
    for (bool onlyMaxBefore : {false, true}) {
      ImageModifyInfo info;
      info.conversionType = c.conversionType;
      info.preserveCMYKAlpha = true;
      info.colorSpaceModel = start.model;
      info.colorSpace = start.space;
      info.resizeAndConvertOnlyMaxRep = onlyMaxBefore;
      engine.verifyConditionsForImageInfo(info, detected(c.extension), nullptr);
      SCOPED_TRACE(testing::Message() << "output " << c.conversionType << " from model " << start.model);
      EXPECT_EQ(info.preserveCMYKAlpha, c.preserveCMYKAlpha);
      EXPECT_EQ(info.colorSpaceModel, start.expectedModel);
      EXPECT_EQ(info.colorSpace, start.expectedSpace);
      EXPECT_EQ(info.resizeAndConvertOnlyMaxRep, c.onlyMax);
      EXPECT_EQ(info.conversionType, c.conversionType);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Outputs, OutputTableTest,
                         testing::Values(
                             //          ct  ext    cmykA  CMYK->    gray->   RGB->    only max
                             OutputCase{0, "jpg", false, 2, 4, 0, 6, 1, 3, false},
                             OutputCase{1, "jpg", true, 1, 0, 0, 6, 1, 3, false},
                             OutputCase{2, "jpg", false, 1, 0, 0, 6, 1, 3, true},
                             OutputCase{3, "jpg", true, 2, 4, 0, 6, 1, 3, false},
                             OutputCase{4, "jpg", false, 2, 4, 0, 6, 1, 3, false},
                             OutputCase{5, "jpg", true, 1, 0, 1, 0, 1, 0, true},
                             OutputCase{6, "jpg", true, 1, 0, 1, 0, 1, 3, true},
                             OutputCase{7, "jpg", true, 2, 4, 0, 6, 1, 3, false},
                             OutputCase{8, "jpg", true, 2, 4, 0, 6, 1, 3, false},
                             OutputCase{9, "jpg", true, 1, 0, 1, 0, 1, 0, true},
                             OutputCase{10, "jpg", true, 1, 0, 1, 0, 1, 0, true},
                             OutputCase{11, "jpg", true, 1, 0, 1, 0, 1, 0, true},
                             OutputCase{12, "jpg", true, 1, 2, 0, 6, 1, 3, false},
                             OutputCase{13, "jpg", true, 1, 2, 0, 6, 1, 3, false},
                             OutputCase{12, "icns", true, 1, 2, 0, 6, 1, 3, true},
                             OutputCase{13, "icns", true, 1, 2, 0, 6, 1, 3, true},
                             OutputCase{14, "jpg", true, 1, 0, 0, 6, 1, 3, true},
                             OutputCase{15, "jpg", true, 2, 4, 0, 6, 1, 3, true},
                             // An icon file to a 2x TIFF or PDF: only its largest size.
                             OutputCase{7, "icns", true, 2, 4, 0, 6, 1, 3, true},
                             OutputCase{4, "icns", false, 2, 4, 0, 6, 1, 3, true},
                             OutputCase{3, "icns", true, 2, 4, 0, 6, 1, 3, false},
                             // GIF to GIF keeps every frame.
                             OutputCase{6, "gif", true, 1, 0, 1, 0, 1, 3, false},
                             OutputCase{2, "gif", false, 1, 0, 0, 6, 1, 3, true}),
                         [](const testing::TestParamInfo<OutputCase>& info) {
                           return testing_names::paramName(
                               info.index, "output " + std::to_string(info.param.conversionType) + " from " +
                                               info.param.extension);
                         });

TEST(SettingsVerification, GifToGifLoadsTheFrames) {
  ImportedImage engine;
  ImageModifyInfo info;
  info.conversionType = ConversionType::GIF;
  engine.verifyConditionsForImageInfo(info, detected("gif"), nullptr);
  EXPECT_TRUE(info.isSourceDestinationGIF);

  info.conversionType = ConversionType::PNG;
  engine.verifyConditionsForImageInfo(info, detected("gif"), nullptr);
  EXPECT_FALSE(info.isSourceDestinationGIF);

  info.conversionType = ConversionType::GIF;
  info.isSourceDestinationGIF = true;
  engine.verifyConditionsForImageInfo(info, std::nullopt, nullptr);
  EXPECT_FALSE(info.isSourceDestinationGIF);
  EXPECT_TRUE(info.resizeAndConvertOnlyMaxRep);
}

TEST(SettingsVerification, ThirtyTwoBitDepthBecomesSixteenForPng) {
  ImportedImage engine;
  for (std::int64_t ct : {1, 3, 14}) {
    ImageModifyInfo info;
    info.conversionType = ct;
    info.imageDepth = 3;
    engine.verifyConditionsForImageInfo(info, detected("jpg"), nullptr);
    EXPECT_EQ(info.imageDepth, ct == 1 ? 2u : 3u) << ct;
    EXPECT_TRUE(info.doImageResize) << ct;
  }
}

// ---- Forcing the pipeline ----------------------------------------------------

struct ForceCase {
  const char* name;
  std::function<void(ImageModifyInfo&)> set;
  bool forces;

  friend void PrintTo(const ForceCase& c, std::ostream* os) { *os << c.name; }
};

class ForcePipelineTest : public testing::TestWithParam<ForceCase> {};

TEST_P(ForcePipelineTest, ForcesARedrawAtTheSourceSize) {
  const ForceCase& c = GetParam();
  ImportedImage engine;
  ImageModifyInfo info;
  info.conversionType = ConversionType::PNG;
  info.fixedSizeW = 640;
  info.fixedSizeH = 480;
  c.set(info);
  engine.verifyConditionsForImageInfo(info, detected("png"), nullptr);
  EXPECT_EQ(info.doImageResize, c.forces) << c.name;
  EXPECT_EQ(info.setFromFixedSize, c.forces) << c.name;
  EXPECT_EQ(info.fixedSizeW, c.forces ? 0 : 640) << c.name;
  EXPECT_EQ(info.fixedSizeH, c.forces ? 0 : 480) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Conditions, ForcePipelineTest,
    testing::Values(
        ForceCase{"nothing", [](ImageModifyInfo&) {}, false},
        ForceCase{"filter slot 1", [](ImageModifyInfo& i) { i.filterType1 = 3; }, true},
        ForceCase{"negative filter code", [](ImageModifyInfo& i) { i.filterType2 = -4; }, true},
        ForceCase{"tiny planet", [](ImageModifyInfo& i) { i.wantsTinyPlanet = true; }, true},
        ForceCase{"lookup table", [](ImageModifyInfo& i) { i.addLUT = true; }, true},
        ForceCase{"green curve", [](ImageModifyInfo& i) { i.addToneCurveGreen = true; }, true},
        ForceCase{"depth blur",
                  [](ImageModifyInfo& i) { i.wantsMixWithDepthData = true, i.depthBlurBackground = 0.1; },
                  true},
        ForceCase{"depth black",
                  [](ImageModifyInfo& i) { i.wantsMixWithDepthData = true, i.depthBlackBackground = 1; },
                  true},
        ForceCase{"depth export",
                  [](ImageModifyInfo& i) { i.wantsMixWithDepthData = true, i.wantsDepthExport = true; },
                  true},
        ForceCase{"depth alone", [](ImageModifyInfo& i) { i.wantsMixWithDepthData = true; }, false},
        ForceCase{"depth blur without depth", [](ImageModifyInfo& i) { i.depthBlurBackground = 1; }, false},
        ForceCase{"flip", [](ImageModifyInfo& i) { i.resizeScaleType = 8; }, true},
        ForceCase{"turn flipped", [](ImageModifyInfo& i) { i.resizeScaleType = 14; }, true},
        ForceCase{"stretch and crop", [](ImageModifyInfo& i) { i.resizeScaleType = 7; }, false},
        ForceCase{"free rotation by 0", [](ImageModifyInfo& i) { i.resizeScaleType = 15; }, false},
        ForceCase{"free rotation", [](ImageModifyInfo& i) { i.resizeScaleType = 15, i.rotationAngle = 1; },
                  true},
        ForceCase{"auto adjust", [](ImageModifyInfo& i) { i.optionAutoAdjust = true; }, true},
        ForceCase{"faces", [](ImageModifyInfo& i) { i.optionFeatures = true; }, true},
        ForceCase{"text watermark", [](ImageModifyInfo& i) { i.addWatermarkText = true; }, true},
        ForceCase{"image watermark", [](ImageModifyInfo& i) { i.addWatermarkImage = true; }, true},
        ForceCase{"date watermark alone", [](ImageModifyInfo& i) { i.addWatermarkDate = true; }, false},
        ForceCase{"2x TIFF", [](ImageModifyInfo& i) { i.conversionType = 7; }, true},
        ForceCase{"@2x folder", [](ImageModifyInfo& i) { i.conversionType = 11; }, true},
        ForceCase{"composite", [](ImageModifyInfo& i) { i.compositeMode = 2; }, true},
        ForceCase{"depth 8-bit", [](ImageModifyInfo& i) { i.imageDepth = 1; }, true},
        ForceCase{"without alpha", [](ImageModifyInfo& i) { i.imageTransparency = 1; }, true},
        ForceCase{"border", [](ImageModifyInfo& i) { i.addBorder = true, i.leftBorderSize = 0.5; }, true},
        ForceCase{"border of size 0", [](ImageModifyInfo& i) { i.addBorder = true; }, false},
        ForceCase{"border sizes without border", [](ImageModifyInfo& i) { i.topBorderSize = 4; }, false},
        ForceCase{"crop and rotate moved",
                  [](ImageModifyInfo& i) { i.resizeScaleType = 16, i.cropCenterY = 0.4; }, true},
        ForceCase{"crop and rotate turned",
                  [](ImageModifyInfo& i) { i.resizeScaleType = 16, i.rotationAngle = -3; }, true},
        ForceCase{"crop and rotate centred", [](ImageModifyInfo& i) { i.resizeScaleType = 16; }, false},
        ForceCase{"crop moved", [](ImageModifyInfo& i) { i.resizeScaleType = 6, i.cropCenterX = 0.7; }, true},
        ForceCase{"crop centred", [](ImageModifyInfo& i) { i.resizeScaleType = 6; }, false},
        ForceCase{"crop with an angle",
                  [](ImageModifyInfo& i) { i.resizeScaleType = 6, i.rotationAngle = 9; }, false}),
    testing_names::ByNameMember());

TEST(ForcePipeline, KeepsTheSizesOfAnImageAlreadyResized) {
  ImportedImage engine;
  ImageModifyInfo info;
  info.doImageResize = true;
  info.fixedSizeW = 640;
  info.addLUT = true;
  engine.verifyConditionsForImageInfo(info, detected("png"), nullptr);
  EXPECT_TRUE(info.doImageResize);
  EXPECT_FALSE(info.setFromFixedSize);
  EXPECT_EQ(info.fixedSizeW, 640);
}

// ---- Icon-set size rule ------------------------------------------------------

TEST(IconsetSize, LargeSourcesAreLeftToTheIconWriter) {
  ImportedImage engine;
  for (std::int64_t ct : {5, 9, 10}) {
    ImageModifyInfo info;
    info.conversionType = ct;
    info.doImageResize = true;
    engine.verifyIconsetSizeForImageInfo(info, {2048, 2048});
    EXPECT_FALSE(info.doImageResize) << ct;

    // With a text watermark the pipeline comes back on at the source's size.
    info = ImageModifyInfo{};
    info.conversionType = ct;
    info.doImageResize = true;
    info.addWatermarkText = true;
    info.fixedSizeW = 100;
    engine.verifyIconsetSizeForImageInfo(info, {2048, 2048});
    EXPECT_TRUE(info.doImageResize) << ct;
    EXPECT_TRUE(info.setFromFixedSize) << ct;
    EXPECT_EQ(info.fixedSizeW, 0) << ct;
  }
}

TEST(IconsetSize, WithAFilterTheSourceSizeIsDrawn) {
  ImportedImage engine;
  ImageModifyInfo info;
  info.conversionType = ConversionType::ICNS;
  info.doImageResize = true;
  info.filterType0 = 5;
  info.fixedSizeW = 512;
  info.fixedSizeH = 512;
  engine.verifyIconsetSizeForImageInfo(info, {1024, 1025});
  EXPECT_TRUE(info.doImageResize);
  EXPECT_TRUE(info.setFromFixedSize);
  EXPECT_EQ(info.fixedSizeW, 0);
  EXPECT_EQ(info.fixedSizeH, 0);
}

TEST(IconsetSize, BoundaryAndOtherCases) {
  ImportedImage engine;
  struct Case {
    std::int64_t ct, scaleType;
    raster::Size pixels;
    bool stillResizes;
  };
  for (const Case& c :
       {Case{5, 0, {1024, 1024}, true}, Case{5, 0, {1048577, 1}, false}, Case{5, 1, {1048576.9, 1}, true},
        Case{9, 1, {1025, 1024}, false}, Case{10, 2, {4096, 4096}, true}, Case{1, 0, {4096, 4096}, true},
        Case{11, 0, {4096, 4096}, true}}) {
    ImageModifyInfo info;
    info.conversionType = c.ct;
    info.resizeScaleType = c.scaleType;
    info.doImageResize = true;
    engine.verifyIconsetSizeForImageInfo(info, c.pixels);
    EXPECT_EQ(info.doImageResize, c.stillResizes) << c.ct << " " << c.pixels.width << "x" << c.pixels.height;
  }
}

TEST(IconsetSize, OtherOutputsAreNotForced) {
  ImportedImage engine;
  ImageModifyInfo info;
  info.conversionType = ConversionType::PNG;
  info.addWatermarkImage = true;
  engine.verifyIconsetSizeForImageInfo(info, {10, 10});
  EXPECT_FALSE(info.doImageResize);
  info.conversionType = ConversionType::IOSIconSet;
  engine.verifyIconsetSizeForImageInfo(info, {10, 10});
  EXPECT_TRUE(info.doImageResize);
}

// ---- PSD colour rule -----------------------------------------------------------

TEST(PsdColour, LayersAreAlwaysGenericRGB) {
  ImportedImage engine;
  BitmapRepList layers;
  struct Case {
    std::int64_t ct;
    bool withLayers;
    std::int64_t model, space, expectedModel, expectedSpace;
  };
  for (const Case& c : {Case{12, true, 0, 6, 1, 2}, Case{13, true, 2, 4, 1, 2}, Case{12, true, 1, 3, 1, 3},
                        Case{12, false, 1, 0, 1, 2}, Case{13, false, 2, 4, 1, 2}, Case{12, false, 2, 5, 1, 2},
                        Case{12, false, 1, 3, 1, 3}, Case{13, false, 0, 6, 0, 6}, Case{3, true, 0, 6, 0, 6},
                        Case{1, false, 2, 4, 2, 4}}) {
    ImageModifyInfo info;
    info.conversionType = c.ct;
    info.colorSpaceModel = c.model;
    info.colorSpace = c.space;
    engine.verifyPSDOriginalColorSpaceForBmpRep(nullptr, info, c.withLayers ? &layers : nullptr);
    EXPECT_EQ(info.colorSpaceModel, c.expectedModel) << c.ct << " " << c.space;
    EXPECT_EQ(info.colorSpace, c.expectedSpace) << c.ct << " " << c.space;
  }
}

}  // namespace
}  // namespace velumar
