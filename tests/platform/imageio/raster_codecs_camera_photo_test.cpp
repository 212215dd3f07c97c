// A real camera photo (an 18-megapixel JPEG from Debian's mate-backgrounds
// package): decoded like ImageMagick decodes it, at full and reduced size,
// turned upright, and re-encoded losslessly with its EXIF kept.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "raster_codecs_test_support.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using rastertest::samplesOf;

std::string cameraPhoto() {
  static const fs::path root = testsupport::fetchDebianPackageFiles("mate-backgrounds");
  if (root.empty()) return {};
  for (const fs::path& file : testsupport::findFiles(root, {"jpg"})) {
    if (file.filename() == "Elephants_5640x3172.jpg") return file.string();
  }
  return {};
}

#define REQUIRE_PHOTO(path)               \
  const std::string path = cameraPhoto(); \
  if (path.empty()) GTEST_SKIP() << "mate-backgrounds could not be fetched"

bool haveMagick() {
  return access("/usr/bin/convert", X_OK) == 0;
}

std::vector<std::uint8_t> magickRgb(const std::vector<std::string>& arguments, const std::string& raw) {
  std::vector<std::string> argv = {"/usr/bin/convert"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  argv.push_back("-depth");
  argv.push_back("8");
  argv.push_back("rgb:" + raw);
  const auto result = testsupport::runCommand(argv);
  EXPECT_EQ(result.exitCode, 0) << result.output;
  return rastertest::fileBytes(raw);
}

TEST(CameraPhoto, DecodesLikeImageMagickWithItsMetadata) {
  REQUIRE_PHOTO(photo);
  auto source = imageio::ImageSource::open(photo);
  ASSERT_TRUE(source);
  EXPECT_EQ(source->type(), "public.jpeg");
  const auto props = source->properties(0);
  EXPECT_EQ(rastertest::at(props, "PixelWidth").intOr(0), 5640);
  EXPECT_EQ(rastertest::at(props, "PixelHeight").intOr(0), 3172);
  EXPECT_EQ(rastertest::at(props, "ColorModel").stringOr(""), "RGB");
  EXPECT_EQ(rastertest::at(props, {"{TIFF}", "Make"}).stringOr(""), "SONY");
  auto image = source->createImage(0);
  ASSERT_TRUE(image);
  if (!haveMagick()) return;
  testsupport::TempDir dir;
  EXPECT_LE(rastertest::maxDifference(samplesOf(*image, 8, false), magickRgb({photo}, dir.file("full.rgb"))),
            1);
}

TEST(CameraPhoto, ReducedDecodesUseDctScaling) {
  REQUIRE_PHOTO(photo);
  auto source = imageio::ImageSource::open(photo);
  ASSERT_TRUE(source);
  auto full = source->createImage(0);
  ASSERT_TRUE(full);
  for (std::int64_t divisor : {2, 4, 8}) {
    imageio::DecodeOptions options;
    options.maxPixelSize = 5640 / divisor;
    auto reduced = source->createImage(0, options);
    ASSERT_TRUE(reduced) << divisor;
    EXPECT_EQ(reduced->width(), 5640 / divisor);
    EXPECT_EQ(reduced->height(), (3172 + divisor - 1) / divisor);
    // Close to the full decode shrunk by area averaging.
    auto shrunk = imageio::shrinkImage(full, reduced->width(), reduced->height());
    ASSERT_TRUE(shrunk);
    EXPECT_GE(rastertest::psnr(samplesOf(*reduced, 8, false), samplesOf(*shrunk, 8, false)), 30) << divisor;
  }
}

TEST(CameraPhoto, OrientationSixComesOutUprightLikeImageMagick) {
  REQUIRE_PHOTO(photo);
  if (!haveMagick() || access("/usr/bin/exiftool", X_OK) != 0)
    GTEST_SKIP() << "needs ImageMagick and exiftool";
  testsupport::TempDir dir;
  const std::string rotated = dir.file("rotated.jpg");
  fs::copy_file(photo, rotated);
  ASSERT_EQ(testsupport::runCommand(
                {"/usr/bin/exiftool", "-q", "-n", "-Orientation=6", "-overwrite_original", rotated})
                .exitCode,
            0);
  imageio::DecodeOptions options;
  options.maxPixelSize = 705;  // 1/8 by DCT scaling
  auto upright = rastertest::readImage(rotated, 0, options);
  ASSERT_TRUE(upright);
  EXPECT_EQ(upright->width(), 397);
  EXPECT_EQ(upright->height(), 705);
  auto full = rastertest::readImage(rotated);
  ASSERT_TRUE(full);
  EXPECT_EQ(full->width(), 3172);
  EXPECT_LE(rastertest::maxDifference(samplesOf(*full, 8, false),
                                      magickRgb({rotated, "-auto-orient"}, dir.file("upright.rgb"))),
            1);
}

TEST(CameraPhoto, LosslessCopiesKeepPixelsAndExif) {
  REQUIRE_PHOTO(photo);
  auto source = imageio::ImageSource::open(photo);
  ASSERT_TRUE(source);
  auto image = source->createImage(0);
  ASSERT_TRUE(image);
  testsupport::TempDir dir;
  for (const char* type : {"public.png", "public.tiff"}) {
    const std::string path = dir.file("copy");
    ASSERT_TRUE(rastertest::writeImage(path, type, image, source->properties(0))) << type;
    auto copy = imageio::ImageSource::open(path);
    ASSERT_TRUE(copy) << type;
    EXPECT_EQ(rastertest::at(copy->properties(0), {"{TIFF}", "Make"}).stringOr(""), "SONY") << type;
    auto decoded = copy->createImage(0);
    ASSERT_TRUE(decoded) << type;
    EXPECT_EQ(samplesOf(*decoded, 8, false), samplesOf(*image, 8, false)) << type;
  }
}

// Some wallpapers embed an sRGB profile that libpng lists as slightly wrong;
// converting them to PNG must still work and keep the profile.
TEST(CameraPhoto, ProfilesLibpngDistrustsStillWriteToPng) {
  const fs::path root = testsupport::fetchDebianPackageFiles("plasma-workspace-wallpapers");
  if (root.empty()) GTEST_SKIP() << "plasma-workspace-wallpapers could not be fetched";
  int checked = 0;
  for (const char* name : {"Kite", "OneStandsOut", "Path"}) {
    const fs::path photo = root / "usr/share/wallpapers" / name / "contents/images/1280x1024.jpg";
    if (!fs::exists(photo)) continue;
    auto source = imageio::ImageSource::open(photo.string());
    ASSERT_TRUE(source) << name;
    auto image = source->createImage(0);
    ASSERT_TRUE(image) << name;
    testsupport::TempDir dir;
    const std::string path = dir.file("copy.png");
    ASSERT_TRUE(rastertest::writeImage(path, "public.png", image, source->properties(0))) << name;
    auto copy = imageio::ImageSource::open(path);
    ASSERT_TRUE(copy) << name;
    auto decoded = copy->createImage(0);
    ASSERT_TRUE(decoded) << name;
    EXPECT_EQ(decoded->colorSpace()->name(), image->colorSpace()->name()) << name;
    EXPECT_EQ(samplesOf(*decoded, 8, false), samplesOf(*image, 8, false)) << name;
    ++checked;
  }
  if (checked == 0) GTEST_SKIP() << "the wallpapers with such profiles are not in this package version";
}

}  // namespace
