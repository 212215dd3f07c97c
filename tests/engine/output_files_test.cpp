// What other programs find in our files beyond colour: the frames and
// timing of an animated GIF without metadata kept, a PDF named by a
// relative path, and fitted sizes the same in every format.

#include <gtest/gtest.h>

#include <filesystem>

#include "driver_test_files.h"
#include "engine/file_type_codes.h"
#include "engine_test_images.h"
#include "output_readers.h"

namespace velumar {
namespace {

std::string toolOutput(const std::vector<std::string>& argv) {
  const auto result = testsupport::runCommand(argv);
  return result.exitCode == 0 ? result.output : std::string();
}

TEST(OutputFiles, AnimatedGIFKeepsItsFramesAndTimingWithoutMetadata) {
  testsupport::TempDir dir;
  const std::string source = dir.file("anim.gif"), output = dir.file("out.gif");
  ASSERT_TRUE(outputcheck::magick({"-size", "8x8", "-delay", "20", "xc:red", "-delay", "50", "xc:lime",
                                   "-delay", "70", "xc:blue", "-loop", "3", source}));
  for (bool keep : {false, true}) {
    ImageModifyInfo settings;
    settings.conversionType = ConversionType::GIF;
    settings.preserveMetadata = keep;
    ASSERT_TRUE(outputcheck::convertFile(source, settings, output)) << keep;
    EXPECT_EQ(toolOutput({"identify", "-format", "%T ", output}), "20 50 70 ") << keep;
    EXPECT_EQ(toolOutput({"gm", "identify", "-format", "%T,", output}), "20,50,70,\n") << keep;
    EXPECT_EQ(toolOutput({"exiftool", "-s3", "-AnimationIterations", output}),
              toolOutput({"exiftool", "-s3", "-AnimationIterations", source}))
        << keep;
  }
}

TEST(OutputFiles, PDFGivenByARelativePathConverts) {
  testsupport::TempDir dir;
  const std::string absolute = dir.file("page.pdf"), output = dir.file("page.png");
  ASSERT_FALSE(
      drivertest::writeImages(dir, "page.pdf", "com.adobe.pdf", {testimages::solidImage(30, 20, {255, 0, 0})})
          .empty());
  const std::string relative = std::filesystem::relative(absolute).string();
  ASSERT_FALSE(std::filesystem::path(relative).is_absolute());
  ImageModifyInfo settings;
  settings.conversionType = ConversionType::PNG;
  ASSERT_TRUE(outputcheck::convertFile(relative, settings, output));
  const outputcheck::Pixels seen = outputcheck::readWith(outputcheck::Reader::GraphicsMagick, output);
  ASSERT_FALSE(seen.empty());
  EXPECT_LE(outputcheck::channelDistance(seen.at(seen.width / 2, seen.height / 2), {255, 0, 0, 255}), 2);
}

TEST(OutputFiles, EveryFormatRoundsAFittedSizeAlike) {
  testsupport::TempDir dir;
  const std::string source =
      drivertest::writeImages(dir, "wide.png", "public.png", {drivertest::quadrantImage(300, 200)});
  ASSERT_FALSE(source.empty());
  struct Output {
    std::int64_t type;
    const char* extension;
    const char* pages;  // as identify lists them
  };
  for (const Output& o :
       {Output{ConversionType::PNG, "png", "160x107,"}, Output{ConversionType::JPEG, "jpg", "160x107,"},
        Output{ConversionType::TIFF, "tiff", "160x107,"},
        Output{ConversionType::TIFF2x, "tiff", "160x107,80x54,"}}) {
    ImageModifyInfo settings;
    settings.conversionType = o.type;
    settings.doImageResize = true;
    settings.resizeConversionType = 1;
    settings.resizeScaleType = 4;  // fit inside
    settings.fixedSizeW = settings.fixedSizeH = 160;
    const std::string output = dir.file("fitted-" + std::to_string(o.type) + "." + o.extension);
    ASSERT_TRUE(outputcheck::convertFile(source, settings, output)) << o.type;
    EXPECT_EQ(toolOutput({"identify", "-format", "%wx%h,", output}), o.pages) << o.type;
  }
}

}  // namespace
}  // namespace velumar
