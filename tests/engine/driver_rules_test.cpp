// The keep-original-type rule, the caller's record, float output and the
// inputs that cannot be converted.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>

#include "driver_test_files.h"
#include "engine/imported_image.h"
#include "engine_test_images.h"
#include "platform/imageio/image_destination.h"
#include "platform/imageio/image_source.h"
#include "support/test_support.h"

namespace velumar {
namespace {

struct KeepCase {
  const char* name;
  bool keep;
  std::int64_t output;
  std::optional<std::int64_t> detected;  // the detection result's code
  std::int64_t givenType;                // -1 when the detection decides
  std::int64_t expectedOutput;
  bool iconOptionsKept;
  bool depthKept;
  bool compressionReset;  // TIFF compression 1 and quality 1.0 where not the output's own
  bool drawWithAlpha;
};

class KeepOriginalType : public ::testing::TestWithParam<KeepCase> {};

TEST_P(KeepOriginalType, AppliesTheRule) {
  const KeepCase& c = GetParam();
  ImageModifyInfo info;
  info.keepOriginalFileTypeIfPossible = c.keep;
  info.conversionType = c.output;
  info.roundedCornersICNS = info.shadowICNS = true;
  info.imageDepth = 2;
  info.imageTransparency = 1;
  info.doTiffCompression = 2;
  info.jpegCompressionFactor = 0.5;
  info.drawWithAlpha = true;
  std::optional<FileTypeDetection> types;
  if (c.detected) types = FileTypeDetection{"/in.x.ext", *c.detected};
  ImportedImage::verifyKeepOriginalFileTypeForImageInfo(info, types, c.givenType);

  EXPECT_EQ(info.conversionType, c.expectedOutput) << c.name;
  EXPECT_EQ(info.roundedCornersICNS && info.shadowICNS, c.iconOptionsKept) << c.name;
  EXPECT_EQ(info.imageDepth == 2 && info.imageTransparency == 1, c.depthKept) << c.name;
  if (c.compressionReset) {
    EXPECT_EQ(info.doTiffCompression, c.output == ConversionType::TIFF ? 2 : 1) << c.name;
    EXPECT_EQ(info.jpegCompressionFactor, c.output == ConversionType::JPEG ? 0.5 : 1.0) << c.name;
  } else {
    EXPECT_EQ(info.doTiffCompression, 2) << c.name;
    EXPECT_EQ(info.jpegCompressionFactor, 0.5) << c.name;
  }
  EXPECT_EQ(info.drawWithAlpha, c.drawWithAlpha) << c.name;
}

using CT = std::int64_t;
constexpr std::optional<std::int64_t> kNone = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Rule, KeepOriginalType,
    ::testing::Values(
        // name, keep, output, detected, given, new output, icons, depth, reset, drawWithAlpha
        KeepCase{"off_keeps_everything", false, ConversionType::PNG, FileType::JPEG, -1, 1, true, true, false,
                 false},
        KeepCase{"off_icon_set_draws_alpha", false, ConversionType::IOSIconSet, FileType::JPEG, -1, 9, true,
                 true, false, true},
        KeepCase{"jpeg_input", true, ConversionType::PNG, FileType::JPEG, -1, 0, false, false, true, false},
        KeepCase{"png_input_keeps_depth", true, ConversionType::JPEG, FileType::PNG, -1, 1, false, true, true,
                 false},
        KeepCase{"heif_output_png_input", true, ConversionType::HEIF, FileType::PNG, -1, 1, false, true, true,
                 false},
        KeepCase{"tiff_input_from_tiff", true, ConversionType::TIFF, FileType::TIFF, -1, 3, false, true, true,
                 false},
        KeepCase{"bmp_input", true, ConversionType::TIFF, FileType::BMP, -1, 2, false, false, true, false},
        KeepCase{"pdf_input", true, ConversionType::PNG, FileType::PDF, -1, 4, false, false, true, false},
        KeepCase{"gif_input", true, ConversionType::PNG, FileType::GIF, -1, 6, false, false, true, false},
        KeepCase{"heif_input", true, ConversionType::PNG, FileType::HEIF, -1, 14, false, false, true, false},
        KeepCase{"icns_input_keeps_icon_options", true, ConversionType::PNG, FileType::ICNS, -1, 5, true,
                 false, true, false},
        KeepCase{"psd_input_writes_psd", true, ConversionType::JPEG, FileType::PSD, -1, 12, false, false,
                 true, false},
        KeepCase{"eps_input_to_icns", true, ConversionType::ICNS, FileType::EPS, -1, 5, true, false, true,
                 false},
        KeepCase{"eps_input_to_png", true, ConversionType::PNG, FileType::EPS, -1, 1, false, true, true,
                 false},
        KeepCase{"other_input_to_gif", true, ConversionType::GIF, FileType::OtherImage, -1, 6, false, false,
                 true, false},
        KeepCase{"icon_set_never_replaced", true, ConversionType::IOSIconSet, FileType::JPEG, -1, 9, true,
                 true, false, true},
        KeepCase{"xcode_2x_never_replaced", true, ConversionType::Xcode2xFolder, FileType::JPEG, -1, 11, true,
                 true, false, true},
        KeepCase{"layered_psd_never_replaced", true, ConversionType::PSDLayered, FileType::JPEG, -1, 13, true,
                 true, false, false},
        KeepCase{"tiff_2x_never_replaced", true, ConversionType::TIFF2x, FileType::JPEG, -1, 7, true, true,
                 false, false},
        KeepCase{"no_type_changes_nothing", true, ConversionType::IOSIconSet, kNone, -1, 9, true, true, false,
                 false},
        KeepCase{"session_passes_the_type", true, ConversionType::PNG, kNone, FileType::JPEG, 0, false, false,
                 true, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DriverRecord, CallersRecordAndEngineSettingsAreUnchanged) {
  testsupport::TempDir dir;
  const std::string path =
      drivertest::writeImages(dir, "photo.jpeg", "public.jpeg", {drivertest::quadrantImage(60, 40)});
  ASSERT_FALSE(path.empty());
  ImportedImage engine;
  ImageModifyInfo settings;
  settings.keepOriginalFileTypeIfPossible = true;
  settings.conversionType = ConversionType::PNG;
  settings.jpegCompressionFactor = 0.4;
  settings.doImageResize = true;
  settings.resizeScaleType = 6;
  settings.resizeConversionType = 1;
  settings.fixedSizeW = 20;
  settings.fixedSizeH = 20;
  settings.cropCenterX = 0.25;
  settings.imageDepth = 2;
  engine.setImageModifyInfo(settings);
  const ImageModifyInfo before = settings;

  std::int64_t fileType = -1;
  auto image = engine.resizePixelSizeForURL(path, settings, &fileType, nullptr);
  ASSERT_TRUE(image);
  EXPECT_EQ(fileType, FileType::JPEG);
  EXPECT_EQ(settings, before);
  EXPECT_EQ(engine.imageModifyInfo(), before);
  // The rule ran on the working copy: the session applies it to its own.
  ImageModifyInfo sessionCopy = settings;
  ImportedImage::verifyKeepOriginalFileTypeForImageInfo(sessionCopy, std::nullopt, fileType);
  EXPECT_EQ(sessionCopy.conversionType, ConversionType::JPEG);
  EXPECT_EQ(sessionCopy.jpegCompressionFactor, 1.0);
  EXPECT_EQ(sessionCopy.doTiffCompression, 1);
}

TEST(DriverRecord, CropsOfEveryPageStartFromTheCallersValues) {
  // The size checks move the crop origin into pixels; each page starts
  // again from the caller's fractions, so pages of different sizes crop alike.
  testsupport::TempDir dir;
  const std::string path =
      drivertest::writeImages(dir, "pages.tif", "public.tiff",
                              {drivertest::quadrantImage(60, 40), drivertest::quadrantImage(120, 80)});
  ASSERT_FALSE(path.empty());
  ImportedImage engine;
  ImageModifyInfo info;
  info.conversionType = ConversionType::TIFF;
  info.doImageResize = true;
  info.resizeConversionType = 1;
  info.resizeScaleType = 6;
  info.fixedSizeW = 20;
  info.fixedSizeH = 20;
  auto image = engine.resizePixelSizeForURL(path, info, nullptr, nullptr);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->representations().size(), 2u);
  for (const auto& rep : image->representations()) {
    EXPECT_EQ(rep->pixelsWide(), 20);
    // A centred crop shows all four quadrants.
    EXPECT_EQ(testimages::cornerColours(rep->image(), 1), "RGBW");
  }
}

// A float TIFF whose pixels hold NaN and infinities.
std::string nonFiniteFloatTiff(const testsupport::TempDir& dir) {
  auto image = testimages::nonFiniteFloatImage(8, 6);
  return image ? drivertest::writeImages(dir, "float.tif", "public.tiff", {image}) : "";
}

using testimages::nonFiniteCount;

TEST(DriverFloat, FloatOutputNeverHoldsNaNOrInfinity) {
  testsupport::TempDir dir;
  const std::string path = nonFiniteFloatTiff(dir);
  if (path.empty()) GTEST_SKIP() << "the TIFF encoder wrote no float file";
  auto source = imageio::ImageSource::open(path);
  ASSERT_TRUE(source);
  auto decoded = source->createImage(0);
  ASSERT_TRUE(decoded);
  if (!decoded->format().isFloat()) GTEST_SKIP() << "the TIFF codec decodes no float pixels";

  struct Row {
    const char* name;
    bool resize;
    std::uint64_t imageDepth;
  };
  const Row rows[] = {{"passed through", false, 0}, {"redrawn", true, 0}, {"redrawn as float", true, 3}};
  for (const Row& row : rows) {
    ImportedImage engine;
    ImageModifyInfo info;
    info.conversionType = ConversionType::TIFF;
    info.doImageResize = row.resize;
    info.rFactorW = info.rFactorH = 2.0;
    info.imageDepth = row.imageDepth;
    auto image = engine.resizePixelSizeForURL(path, info, nullptr, nullptr);
    ASSERT_TRUE(image) << row.name;
    const auto& rep = image->representations()[0];
    EXPECT_TRUE(rep->pixelFormat().isFloat()) << row.name;
    EXPECT_EQ(nonFiniteCount(rep->image()), 0) << row.name;
  }
}

// A file named fileName: missing (text null), holding text, or, when type
// is given, the first 30% of a picture written as that type.
struct BadInput {
  const char* name;
  const char* fileName;
  const char* text = nullptr;
  const char* type = nullptr;
};

class DriverBadInput : public ::testing::TestWithParam<BadInput> {};

TEST_P(DriverBadInput, GivesNothing) {
  const BadInput& c = GetParam();
  testsupport::TempDir dir;
  std::string path = dir.file(c.fileName);
  if (c.type) {
    const std::string whole = drivertest::writeImages(dir, std::string("whole-") + c.fileName, c.type,
                                                      {drivertest::quadrantImage(64, 48)});
    path = whole.empty() ? "" : drivertest::truncatedCopy(dir, whole, c.fileName, 0.3);
  } else if (c.text) {
    std::ofstream(path, std::ios::binary) << c.text;
  }
  ASSERT_FALSE(path.empty());
  ImportedImage engine;
  ImageModifyInfo info;
  info.doImageResize = true;
  info.rFactorW = info.rFactorH = 0.5;
  EXPECT_FALSE(engine.resizePixelSizeForURL(path, info, nullptr, nullptr)) << c.name;
  EXPECT_EQ(engine.filteredColorSpace, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Unreadable, DriverBadInput,
    ::testing::Values(BadInput{"missing", "nothing.jpg"}, BadInput{"empty", "empty.png", ""},
                      BadInput{"text", "notes.txt", "hi"},
                      BadInput{"text_named_jpeg", "fake.jpg", "not a JPEG"},
                      BadInput{"truncated_jpeg", "cut.jpg", nullptr, "public.jpeg"},
                      BadInput{"truncated_png", "cut.png", nullptr, "public.png"},
                      BadInput{"truncated_tiff", "cut.tif", nullptr, "public.tiff"},
                      BadInput{"truncated_gif", "cut.gif", nullptr, "com.compuserve.gif"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velumar
