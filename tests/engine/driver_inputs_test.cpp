// The conversion driver on real files of every input kind: how many
// representations come back, their pixel sizes and depths, and the
// engine's per-file state afterwards.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "driver_test_files.h"
#include "engine/imported_image.h"
#include "engine_test_images.h"
#include "support/test_support.h"

namespace velumar {
namespace {

using drivertest::quadrantImage;
using drivertest::writeImages;

struct InputCase {
  const char* name;
  // Writes the input; "" when the tools are missing.
  std::string (*makeInput)(const testsupport::TempDir&);
  std::int64_t output;  // conversion type; -1 keeps the default
  double factor;        // resize factor; 0: none
  raster::Size fixed;   // resize to pixels; empty: none
  std::int64_t fileType;
  // Pixel sizes of the result's representations, in order.
  std::vector<raster::Size> sizes;
  int bitsPerSample = 8;
  std::optional<bool> hasAlpha = true;  // nothing: the decoder decides
};

std::string jpeg(const testsupport::TempDir& dir) {
  return writeImages(dir, "photo.jpeg", "public.jpeg", {quadrantImage(60, 40)});
}

std::string png16(const testsupport::TempDir& dir) {
  return writeImages(
      dir, "deep.png", "public.png",
      {quadrantImage(60, 40, raster::PixelFormat{16, 3, raster::AlphaInfo::PremultipliedLast})});
}

// Three pages or frames (the largest last for TIFF), two PDF pages.
std::string tiff3(const testsupport::TempDir& dir) {
  return writeImages(dir, "pages.tif", "public.tiff",
                     {quadrantImage(60, 40), quadrantImage(30, 20), quadrantImage(90, 60)});
}

std::string gif3(const testsupport::TempDir& dir) {
  return writeImages(dir, "anim.gif", "com.compuserve.gif",
                     {quadrantImage(24, 16), quadrantImage(24, 16), quadrantImage(24, 16)});
}

std::string pdf2(const testsupport::TempDir& dir) {
  return writeImages(dir, "pages.pdf", "com.adobe.pdf", {quadrantImage(60, 40), quadrantImage(60, 40)});
}

std::string layeredPSD(const testsupport::TempDir&) {
  return (testsupport::testDataDir() / "psd" / "layers_rle.psd").string();
}

class DriverInput : public ::testing::TestWithParam<InputCase> {};

TEST_P(DriverInput, ConvertsToTheExpectedRepresentations) {
  const InputCase& c = GetParam();
  testsupport::TempDir dir;
  const std::string path = c.makeInput(dir);
  if (path.empty()) GTEST_SKIP() << "input not written";
  ImportedImage engine;
  ImageModifyInfo info;
  if (c.output >= 0) info.conversionType = c.output;
  info.doImageResize = c.factor > 0 || c.fixed.width > 0;
  info.rFactorW = info.rFactorH = c.factor > 0 ? c.factor : 1.0;
  if (c.fixed.width > 0) {
    info.resizeConversionType = 1;
    info.fixedSizeW = c.fixed.width;
    info.fixedSizeH = c.fixed.height;
  }
  std::int64_t fileType = -1;
  auto image = engine.resizePixelSizeForURL(path, info, &fileType, nullptr);
  ASSERT_TRUE(image) << c.name;
  EXPECT_EQ(fileType, c.fileType) << c.name;
  const auto& reps = image->representations();
  ASSERT_EQ(reps.size(), c.sizes.size()) << c.name;
  for (std::size_t i = 0; i < reps.size(); ++i) {
    EXPECT_EQ(reps[i]->pixelsWide(), std::int64_t(c.sizes[i].width)) << c.name << " rep " << i;
    EXPECT_EQ(reps[i]->pixelsHigh(), std::int64_t(c.sizes[i].height)) << c.name << " rep " << i;
  }
  EXPECT_EQ(reps[0]->bitsPerSample(), c.bitsPerSample) << c.name;
  if (c.hasAlpha) {
    EXPECT_EQ(reps[0]->hasAlpha(), *c.hasAlpha) << c.name;
  }
  // The image is as large as its largest representation.
  const auto& largest = reps[std::size_t(engine.indexMaxPixels)];
  EXPECT_EQ(image->size(), (raster::Size{double(largest->pixelsWide()), double(largest->pixelsHigh())}));
  EXPECT_EQ(testimages::cornerColours(reps[0]->image(), 1), "RGBW") << c.name;
}

constexpr std::int64_t kPNG = ConversionType::PNG, kTIFF = ConversionType::TIFF, kGIF = ConversionType::GIF;

INSTANTIATE_TEST_SUITE_P(
    Inputs, DriverInput,
    ::testing::Values(
        InputCase{"jpeg_halved", jpeg, -1, 0.5, {}, FileType::JPEG, {{30, 20}}, 8, false},
        InputCase{"png16_kept", png16, kPNG, 0, {}, FileType::PNG, {{60, 40}}, 16, true},
        InputCase{"png16_resized", png16, kPNG, 0, {30, 20}, FileType::PNG, {{30, 20}}, 16},
        InputCase{"tiff_to_tiff", tiff3, kTIFF, 0, {}, FileType::TIFF, {{60, 40}, {30, 20}, {90, 60}}},
        InputCase{"tiff_to_bmp_largest", tiff3, ConversionType::BMP, 0, {}, FileType::TIFF, {{90, 60}}},
        InputCase{"tiff_halved", tiff3, kTIFF, 0.5, {}, FileType::TIFF, {{30, 20}, {15, 10}, {45, 30}}},
        InputCase{"pdf_pages", pdf2, kPNG, 0, {}, FileType::PDF, {{60, 40}, {60, 40}}, 8, std::nullopt},
        InputCase{
            "gif_to_gif", gif3, kGIF, 0, {}, FileType::GIF, {{24, 16}, {24, 16}, {24, 16}}, 8, std::nullopt},
        InputCase{"gif_to_png_first", gif3, kPNG, 0, {}, FileType::GIF, {{24, 16}}, 8, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DriverIcons, IconFileGivesEverySizeOrOnlyTheLargestForIconOutput) {
  testsupport::TempDir dir;
  const std::string path =
      writeImages(dir, "icon.icns", "com.apple.icns", {quadrantImage(32, 32), quadrantImage(128, 128)});
  if (path.empty()) GTEST_SKIP() << "no icon file written";
  struct Row {
    std::int64_t output;
    std::vector<std::int64_t> widths;
  };
  for (const Row& row : {Row{ConversionType::PNG, {32, 128}}, Row{ConversionType::ICNS, {128}}}) {
    ImportedImage engine;
    ImageModifyInfo info;
    info.conversionType = row.output;
    auto image = engine.resizePixelSizeForURL(path, info, nullptr, nullptr);
    ASSERT_TRUE(image) << row.output;
    std::vector<std::int64_t> widths;
    for (const auto& rep : image->representations()) widths.push_back(rep->pixelsWide());
    std::sort(widths.begin(), widths.end());
    EXPECT_EQ(widths, row.widths) << row.output;
    EXPECT_EQ(image->size(), (raster::Size{128, 128}));
  }
}

TEST(DriverGIF, AnimatedGIFToGIFKeepsItsMetadataEvenWhenNotAskedFor) {
  testsupport::TempDir dir;
  const std::string path = gif3(dir);
  ASSERT_FALSE(path.empty());
  ImportedImage engine;
  ImageModifyInfo info;
  info.conversionType = ConversionType::GIF;
  info.preserveMetadata = false;
  auto image = engine.resizePixelSizeForURL(path, info, nullptr, nullptr);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->representations().size(), 3u);
  // One record per frame and the file's.
  ASSERT_TRUE(engine.imageMetadataArray.has_value());
  EXPECT_EQ(engine.imageMetadataArray->size(), 4u);
  EXPECT_FALSE(info.preserveMetadata);
}

class DriverPSD : public ::testing::Test {
 protected:
  std::shared_ptr<raster::ImageSet> convert(const std::string& path, std::int64_t conversionType) {
    ImageModifyInfo info;
    info.conversionType = conversionType;
    return engine.resizePixelSizeForURL(path, info, &fileType, nullptr);
  }
  bool lastRecordMarksTheComposite() const {
    return !engine.psdInfoArray.empty() && engine.psdInfoArray.back().get("Has Flattened Image") != nullptr;
  }
  ImportedImage engine;
  std::int64_t fileType = -1;
};

TEST_F(DriverPSD, LayeredPSDToPSDGivesEveryLayerAndTheComposite) {
  auto image = convert(layeredPSD({}), ConversionType::PSD);
  ASSERT_TRUE(image);
  EXPECT_EQ(fileType, FileType::PSD);
  const auto& reps = image->representations();
  ASSERT_EQ(reps.size(), 4u);  // three layers, top-most first, then the composite
  EXPECT_EQ(reps[0]->pixelsWide(), 4);
  EXPECT_EQ(reps[1]->pixelsWide(), 8);
  EXPECT_EQ(reps[2]->pixelsWide(), 16);
  EXPECT_EQ(reps[3]->pixelsWide(), 16);
  EXPECT_EQ(engine.psdInfoArray.size(), 4u);
  EXPECT_TRUE(lastRecordMarksTheComposite());
  EXPECT_NE(engine.indexMaxPixels, 3);
}

TEST_F(DriverPSD, TheCompositeNeverCountsAsTheLargestLayer) {
  testsupport::TempDir dir;
  const std::string path = drivertest::layeredPSDWithSmallLayers(dir, 20, 16);
  if (path.empty()) GTEST_SKIP() << "ImageMagick could not write the PSD";
  for (std::int64_t output : {ConversionType::PSD, ConversionType::PSDLayered}) {
    auto image = convert(path, output);
    ASSERT_TRUE(image);
    const auto& reps = image->representations();
    ASSERT_EQ(reps.size(), 3u);
    EXPECT_EQ(reps.back()->pixelsWide(), 20);  // the composite, the most pixels
    EXPECT_NE(engine.indexMaxPixels, 2);
    EXPECT_EQ(reps[std::size_t(engine.indexMaxPixels)]->pixelsWide(), 8);  // the larger layer
    EXPECT_EQ(image->size(), (raster::Size{8, 6}));
  }
}

TEST_F(DriverPSD, OtherOutputsReadTheComposite) {
  auto image = convert(layeredPSD({}), ConversionType::JPEG);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->representations().size(), 1u);
  EXPECT_EQ(image->representations()[0]->pixelsWide(), 16);
}

TEST_F(DriverPSD, TiffOutputTakesTheLayersWithoutTheComposite) {
  auto image = convert(layeredPSD({}), ConversionType::TIFF);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->representations().size(), 3u);
  EXPECT_FALSE(lastRecordMarksTheComposite());
}

TEST_F(DriverPSD, OneLayerPSDIsReadFlat) {
  testsupport::TempDir dir;
  const std::string path = drivertest::singleLayerPSD(dir);
  if (path.empty()) GTEST_SKIP() << "ImageMagick could not write the PSD";
  auto image = convert(path, ConversionType::PSD);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->representations().size(), 1u);
  EXPECT_EQ(image->representations()[0]->pixelsWide(), 12);
  EXPECT_TRUE(engine.psdInfoArray.empty());
}

TEST_F(DriverPSD, RefusedPSDIsReadFlat) {
  const std::string path = (testsupport::testDataDir() / "psd" / "flat_rgb.psd").string();
  engine.psdInfoArray.push_back(foundation::Value(1));  // left over from an earlier file
  auto image = convert(path, ConversionType::PSD);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->representations().size(), 1u);
  EXPECT_EQ(image->representations()[0]->pixelsWide(), 10);
  EXPECT_TRUE(engine.psdInfoArray.empty());
}

}  // namespace
}  // namespace velumar
