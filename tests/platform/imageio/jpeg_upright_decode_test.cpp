// A JPEG with an EXIF orientation is turned while it decodes: the same
// pixels as decoding it stored and turning afterwards, for every
// orientation, colour model and reduced size.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/imageio/image_source.h"
#include "platform/imageio/orientation.h"
#include "support/test_support.h"

namespace {

bool samePixels(const raster::Image& a, const raster::Image& b) {
  if (a.width() != b.width() || a.height() != b.height() || !(a.format() == b.format())) return false;
  const std::size_t rowBytes = std::size_t(a.width()) * std::size_t(a.format().bytesPerPixel());
  for (std::int64_t y = 0; y < a.height(); ++y)
    if (std::memcmp(a.row(y), b.row(y), rowBytes) != 0) return false;
  return true;
}

TEST(JpegUprightDecode, TurnedWhileDecodingLikeTurnedAfterwards) {
  testsupport::TempDir dir;
  struct Source {
    const char* name;
    std::vector<std::string> arguments;
  };
  // Odd sizes, so no turn maps the picture onto itself.
  const Source sources[] = {
      {"rgb.jpg", {"-seed", "2", "-size", "203x117", "plasma:"}},
      {"gray.jpg", {"-size", "117x203", "gradient:white-black", "-colorspace", "Gray"}},
      {"cmyk.jpg", {"-seed", "9", "-size", "150x61", "plasma:", "-colorspace", "CMYK"}},
  };
  std::vector<std::string> made;
  for (const Source& source : sources) {
    made.push_back(dir.file(source.name));
    std::vector<std::string> argv{"/usr/bin/convert"};
    argv.insert(argv.end(), source.arguments.begin(), source.arguments.end());
    argv.push_back(made.back());
    ASSERT_EQ(testsupport::runCommand(argv).exitCode, 0) << source.name;
  }
  for (int orientation = 1; orientation <= 8; ++orientation) {
    std::vector<std::string> argv{"exiftool", "-q", "-n", "-overwrite_original",
                                  "-Orientation=" + std::to_string(orientation)};
    argv.insert(argv.end(), made.begin(), made.end());
    ASSERT_EQ(testsupport::runCommand(argv).exitCode, 0);
    for (const std::string& path : made) {
      const auto file = imageio::ImageSource::open(path);
      ASSERT_TRUE(file);
      // Full size; a DCT-scaled size; a size the source shrinks further.
      for (const std::int64_t maxPixelSize : {std::int64_t(0), std::int64_t(102), std::int64_t(90)}) {
        imageio::DecodeOptions stored;
        stored.applyOrientation = false;
        stored.maxPixelSize = maxPixelSize;
        imageio::DecodeOptions upright;
        upright.maxPixelSize = maxPixelSize;
        const raster::ImageRef turnedAfter =
            imageio::applyOrientation(file->createImage(0, stored), orientation);
        const raster::ImageRef turnedWhile = file->createImage(0, upright);
        ASSERT_TRUE(turnedAfter && turnedWhile);
        EXPECT_TRUE(samePixels(*turnedWhile, *turnedAfter))
            << path << " orientation " << orientation << " max " << maxPixelSize;
      }
    }
  }
}

}  // namespace
