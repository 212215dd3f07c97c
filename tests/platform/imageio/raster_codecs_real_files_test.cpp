// Real files nobody here wrote: scikit-image's sample data (16-bit,
// float, multi-page, palette, animated and truncated files) and camera
// photos from Debian's wallpaper packages, compared with ImageMagick's
// decode where it is exact.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "raster_codecs_test_support.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using rastertest::samplesOf;

fs::path skimageData() {
  static const fs::path root = testsupport::fetchDebianPackageFiles("python3-skimage");
  if (root.empty()) return {};
  for (const fs::path& file : testsupport::findFiles(root, {"png"})) {
    if (file.filename() == "camera.png") return file.parent_path();
  }
  return {};
}

struct RealCase {
  const char* file;
  std::size_t count;
  std::int64_t width, height;
  int bits, color;
  bool alpha;
  int depthProperty;
  const char* magickMap;  // exact comparison with ImageMagick; null: none
};

void PrintTo(const RealCase& c, std::ostream* os) {
  *os << c.file;
}

class RealFiles : public ::testing::TestWithParam<RealCase> {};

TEST_P(RealFiles, DecodeAsExpected) {
  const fs::path data = skimageData();
  if (data.empty()) GTEST_SKIP() << "python3-skimage could not be fetched";
  const RealCase& c = GetParam();
  const std::string path = (data / c.file).string();
  auto source = imageio::ImageSource::open(path);
  ASSERT_TRUE(source);
  EXPECT_EQ(source->count(), c.count);
  for (std::size_t i = 0; i < source->count(); ++i) EXPECT_TRUE(source->createImage(i)) << i;
  auto image = source->createImage(0);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width(), c.width);
  EXPECT_EQ(image->height(), c.height);
  EXPECT_EQ(image->format().bitsPerComponent, c.bits);
  EXPECT_EQ(image->format().colorComponents, c.color);
  EXPECT_EQ(image->format().hasAlpha(), c.alpha);
  EXPECT_EQ(rastertest::at(source->properties(0), "Depth").intOr(0), c.depthProperty);
  if (c.magickMap == nullptr || access("/usr/bin/convert", X_OK) != 0) return;
  testsupport::TempDir dir;
  const std::string raw = dir.file("raw");
  const int bits = std::min(c.bits, 16);
  const auto result =
      testsupport::runCommand({"/usr/bin/convert", path + "[0]", "-depth", std::to_string(bits), "-endian",
                               "LSB", std::string(c.magickMap) + ":" + raw});
  ASSERT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(samplesOf(*image, bits, c.alpha), rastertest::fileBytes(raw));
}

INSTANTIATE_TEST_SUITE_P(
    Skimage, RealFiles,
    ::testing::Values(RealCase{"camera.png", 1, 512, 512, 8, 1, false, 8, "gray"},
                      RealCase{"astronaut.png", 1, 512, 512, 8, 3, false, 8, "rgb"},
                      RealCase{"palette_color.png", 1, 10, 10, 8, 3, false, 8, "rgb"},
                      RealCase{"foo3x5x4indexed.png", 1, 5, 3, 8, 3, true, 8, "rgba"},
                      RealCase{"chessboard_GRAY_U16.tif", 1, 200, 200, 16, 1, false, 16, "gray"},
                      RealCase{"chessboard_GRAY_U16B.tif", 1, 200, 200, 16, 1, false, 16, "gray"},
                      RealCase{"multipage.tif", 2, 10, 15, 8, 1, false, 8, "gray"},
                      RealCase{"multipage_rgb.tif", 2, 10, 10, 32, 3, false, 64, nullptr},
                      RealCase{"no_time_for_that_tiny.gif", 24, 14, 25, 8, 3, false, 8, "rgb"},
                      RealCase{"rocket.jpg", 1, 640, 427, 8, 3, false, 8, "rgb"}),
    [](const auto& info) {
      std::string name = info.param.file;
      for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return name;
    });

TEST(RealFiles, TruncatedJpegFailsCleanly) {
  const fs::path data = skimageData();
  if (data.empty()) GTEST_SKIP() << "python3-skimage could not be fetched";
  auto source = imageio::ImageSource::open((data / "truncated.jpg").string());
  EXPECT_FALSE(source && source->createImage(0));
}

// Every sample image of the package opens and decodes (but the truncated
// one), and a reduced decode stays within its bound.
TEST(RealFiles, EverySampleImageDecodes) {
  const fs::path data = skimageData();
  if (data.empty()) GTEST_SKIP() << "python3-skimage could not be fetched";
  int decoded = 0;
  for (const fs::path& file : testsupport::findFiles(data, {"png", "tif", "tiff", "gif", "jpg", "bmp"})) {
    if (file.filename() == "truncated.jpg") continue;
    auto source = imageio::ImageSource::open(file.string());
    ASSERT_TRUE(source) << file;
    imageio::DecodeOptions options;
    options.maxPixelSize = 64;
    auto image = source->createImage(0, options);
    ASSERT_TRUE(image) << file;
    EXPECT_LE(std::max(image->width(), image->height()), 64) << file;
    ++decoded;
  }
  EXPECT_GT(decoded, 30);
}

}  // namespace
