// Files made by other programs (ImageMagick, libtiff's tools, cwebp) read
// correctly: each is compared with the raw samples ImageMagick itself
// decodes from the same file.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "platform/imageio/orientation.h"
#include "raster_codecs_test_support.h"
#include "support/test_support.h"

namespace {

using rastertest::samplesOf;

const char* const kConvert = "/usr/bin/convert";

bool haveTool(const char* path) {
  return access(path, X_OK) == 0;
}

#define REQUIRE_TOOL(path) \
  if (!haveTool(path)) GTEST_SKIP() << path << " is not installed"

void run(const std::vector<std::string>& argv) {
  const auto result = testsupport::runCommand(argv);
  ASSERT_EQ(result.exitCode, 0) << argv[0] << ": " << result.output;
}

// ImageMagick's own decode of path as raw samples ("rgb", "rgba", "gray",
// "cmyk") at the given depth, little-endian.
std::vector<std::uint8_t> magickSamples(const std::string& path, const std::string& map, int depth,
                                        const std::string& scratch) {
  const std::string raw = scratch + "." + map;
  const auto result = testsupport::runCommand(
      {kConvert, path + "[0]", "-depth", std::to_string(depth), "-endian", "LSB", map + ":" + raw});
  EXPECT_EQ(result.exitCode, 0) << result.output;
  return rastertest::fileBytes(raw);
}

struct ExternalCase {
  const char* name;
  std::vector<std::string> make;  // arguments of convert after the binary; output is "%OUT%"
  const char* fileName;
  const char* type;
  // Expected decode.
  int bits, color;
  bool alpha;
  int depthProperty;
  const char* magickMap;  // raw samples to compare with
  int maxDifference;
};

void PrintTo(const ExternalCase& c, std::ostream* os) {
  *os << c.name;
}

class ExternalFiles : public ::testing::TestWithParam<ExternalCase> {};

TEST_P(ExternalFiles, ReadLikeImageMagickReadsThem) {
  REQUIRE_TOOL(kConvert);
  const ExternalCase& c = GetParam();
  testsupport::TempDir dir;
  const std::string path = dir.file(c.fileName);
  std::vector<std::string> argv = {kConvert};
  for (std::string a : c.make) {
    if (const auto at = a.find("%OUT%"); at != std::string::npos) a.replace(at, 5, path);
    argv.push_back(a);
  }
  run(argv);
  auto source = imageio::ImageSource::open(path);
  ASSERT_TRUE(source);
  EXPECT_EQ(source->type(), c.type);
  EXPECT_EQ(rastertest::at(source->properties(0), "Depth").intOr(0), c.depthProperty);
  auto image = source->createImage(0);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->format().bitsPerComponent, c.bits);
  EXPECT_EQ(image->format().colorComponents, c.color);
  EXPECT_EQ(image->format().hasAlpha(), c.alpha);
  // ImageMagick's 8-bit export truncates samples of odd depths; its 16-bit
  // export rounds, so 8-bit references are its 16-bit samples rounded.
  auto expected = magickSamples(path, c.magickMap, c.bits == 8 ? 16 : c.bits, dir.file("magick"));
  if (c.bits == 8) {
    for (std::size_t i = 0; i < expected.size() / 2; ++i)
      expected[i] = std::uint8_t((expected[2 * i] + (expected[2 * i + 1] << 8) + 128) / 257);
    expected.resize(expected.size() / 2);
  }
  const auto actual = samplesOf(*image, c.bits, c.alpha);
  ASSERT_EQ(actual.size(), expected.size());
  if (c.bits == 8) {
    EXPECT_LE(rastertest::maxDifference(actual, expected), c.maxDifference);
  } else {
    int worst = 0;
    for (std::size_t i = 0; i + 1 < actual.size(); i += 2) {
      const int a = actual[i] | (actual[i + 1] << 8), e = expected[i] | (expected[i + 1] << 8);
      worst = std::max(worst, std::abs(a - e));
    }
    EXPECT_LE(worst, c.maxDifference);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Magick, ExternalFiles,
    ::testing::Values(
        ExternalCase{
            "cmyk_jpeg",
            {"-size", "40x30", "gradient:red-blue", "-colorspace", "CMYK", "-quality", "95", "%OUT%"},
            "cmyk.jpg",
            "public.jpeg",
            8,
            4,
            false,
            8,
            "cmyk",
            1},
        ExternalCase{"gray_jpeg",
                     {"-size", "40x30", "gradient:", "-type", "Grayscale", "%OUT%"},
                     "gray.jpg",
                     "public.jpeg",
                     8,
                     1,
                     false,
                     8,
                     "gray",
                     1},
        ExternalCase{
            "one_bit_group4_tiff",
            {"-size", "33x20", "pattern:checkerboard", "-monochrome", "-compress", "Group4", "%OUT%"},
            "one.tif",
            "public.tiff",
            8,
            1,
            false,
            1,
            "gray",
            0},
        ExternalCase{"rgb16_tiff",
                     {"-size", "40x30", "gradient:red-blue", "-depth", "16", "-type", "TrueColor", "%OUT%"},
                     "rgb16.tif",
                     "public.tiff",
                     16,
                     3,
                     false,
                     16,
                     "rgb",
                     0},
        ExternalCase{"gray12_tiff",
                     {"-size", "40x30", "gradient:", "-depth", "12", "%OUT%"},
                     "g12.tif",
                     "public.tiff",
                     16,
                     1,
                     false,
                     12,
                     "gray",
                     16},
        ExternalCase{"gray3_tiff",
                     {"-size", "40x30", "gradient:", "-depth", "3", "%OUT%"},
                     "g3.tif",
                     "public.tiff",
                     8,
                     1,
                     false,
                     3,
                     "gray",
                     0},
        ExternalCase{"gray5_tiff",
                     {"-size", "40x30", "gradient:", "-depth", "5", "%OUT%"},
                     "g5.tif",
                     "public.tiff",
                     8,
                     1,
                     false,
                     5,
                     "gray",
                     0},
        ExternalCase{"gray6_tiff",
                     {"-size", "40x30", "gradient:", "-depth", "6", "%OUT%"},
                     "g6.tif",
                     "public.tiff",
                     8,
                     1,
                     false,
                     6,
                     "gray",
                     0},
        ExternalCase{"gray7_tiff",
                     {"-size", "40x30", "gradient:", "-depth", "7", "%OUT%"},
                     "g7.tif",
                     "public.tiff",
                     8,
                     1,
                     false,
                     7,
                     "gray",
                     0},
        ExternalCase{"rgba_tiff",
                     {"-size", "40x30", "gradient:red-blue", "(", "-size", "40x30", "gradient:", ")",
                      "-alpha", "off", "-compose", "CopyOpacity", "-composite", "-depth", "8", "%OUT%"},
                     "rgba.tif",
                     "public.tiff",
                     8,
                     3,
                     true,
                     8,
                     "rgba",
                     0},
        ExternalCase{"palette_png",
                     {"-seed", "7", "-size", "40x30", "plasma:fractal", "-colors", "8", "PNG8:%OUT%"},
                     "pal.png",
                     "public.png",
                     8,
                     3,
                     false,
                     8,
                     "rgb",
                     0},
        ExternalCase{"gray_alpha16_png",
                     {"-size", "40x30", "gradient:", "(", "-size", "40x30", "gradient:white-black", ")",
                      "-alpha", "off", "-compose", "CopyOpacity", "-composite", "-depth", "16", "-define",
                      "png:color-type=4", "%OUT%"},
                     "ga16.png",
                     "public.png",
                     16,
                     1,
                     true,
                     16,
                     "graya",
                     0},
        ExternalCase{"rle8_bmp",
                     {"-seed", "7", "-size", "40x30", "plasma:fractal", "-colors", "16", "-compress", "RLE",
                      "BMP3:%OUT%"},
                     "rle.bmp",
                     "com.microsoft.bmp",
                     8,
                     3,
                     false,
                     8,
                     "rgb",
                     0},
        ExternalCase{"bmp565",
                     {"-size", "40x30", "gradient:red-blue", "-define", "bmp:subtype=RGB565", "%OUT%"},
                     "565.bmp",
                     "com.microsoft.bmp",
                     8,
                     3,
                     false,
                     8,
                     "rgb",
                     4},
        ExternalCase{"bmp_v5_alpha",
                     {"-size", "40x30", "gradient:red-blue", "(", "-size", "40x30", "gradient:", ")",
                      "-alpha", "off", "-compose", "CopyOpacity", "-composite", "BMP:%OUT%"},
                     "alpha.bmp",
                     "com.microsoft.bmp",
                     8,
                     3,
                     true,
                     8,
                     "rgba",
                     0},
        ExternalCase{"gif",
                     {"-seed", "3", "-size", "40x30", "plasma:fractal", "-colors", "32", "%OUT%"},
                     "p.gif",
                     "com.compuserve.gif",
                     8,
                     3,
                     false,
                     8,
                     "rgb",
                     0}),
    [](const auto& info) { return std::string(info.param.name); });

// ImageMagick turns TIFF files of every orientation upright; so do we.
TEST(ExternalFiles, EveryTiffOrientationMatchesImageMagick) {
  REQUIRE_TOOL(kConvert);
  testsupport::TempDir dir;
  const char* names[] = {"TopLeft", "TopRight", "BottomRight", "BottomLeft",
                         "LeftTop", "RightTop", "RightBottom", "LeftBottom"};
  run({kConvert, "-seed", "5", "-size", "7x4", "plasma:fractal", "-depth", "8", dir.file("base.png")});
  for (int orientation = 1; orientation <= 8; ++orientation) {
    const std::string tiff = dir.file("o" + std::to_string(orientation) + ".tif");
    run({kConvert, dir.file("base.png"), "-orient", names[orientation - 1], tiff});
    auto source = imageio::ImageSource::open(tiff);
    ASSERT_TRUE(source);
    EXPECT_EQ(rastertest::at(source->properties(0), "Orientation").intOr(0), orientation);
    auto upright = source->createImage(0);
    ASSERT_TRUE(upright);
    run({kConvert, tiff, "-auto-orient", "-depth", "8", "rgb:" + dir.file("ref.rgb")});
    EXPECT_EQ(samplesOf(*upright, 8, false), rastertest::fileBytes(dir.file("ref.rgb")))
        << names[orientation - 1];
  }
}

TEST(ExternalFiles, JpegWithExifOrientationComesOutUpright) {
  REQUIRE_TOOL(kConvert);
  if (!haveTool("/usr/bin/exiftool")) GTEST_SKIP() << "exiftool is not installed";
  // Cameras write the EXIF block in either byte order.
  const struct {
    int orientation;
    const char* byteOrder;
  } cases[] = {{6, "MM"}, {8, "II"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.orientation);
    testsupport::TempDir dir;
    const std::string jpeg = dir.file("turned.jpg");
    run({kConvert, "-size", "64x32", "gradient:red-blue", "-quality", "95", jpeg});
    run({"/usr/bin/exiftool", "-q", "-n", "-ExifByteOrder=" + std::string(c.byteOrder),
         "-Orientation=" + std::to_string(c.orientation), "-overwrite_original", jpeg});
    auto source = imageio::ImageSource::open(jpeg);
    ASSERT_TRUE(source);
    EXPECT_EQ(rastertest::at(source->properties(0), "Orientation").intOr(0), c.orientation);
    auto upright = source->createImage(0);
    ASSERT_TRUE(upright);
    EXPECT_EQ(upright->width(), 32);
    EXPECT_EQ(upright->height(), 64);
    run({kConvert, jpeg, "-auto-orient", "-depth", "8", "rgb:" + dir.file("ref.rgb")});
    EXPECT_LE(
        rastertest::maxDifference(samplesOf(*upright, 8, false), rastertest::fileBytes(dir.file("ref.rgb"))),
        1);
  }
}

// Layouts libtiff's own tools produce from one of our files: tiles, planes,
// JPEG-in-TIFF (YCbCr, read through libtiff's RGBA path).
TEST(ExternalFiles, TiffcpLayoutsReadTheSamePixels) {
  REQUIRE_TOOL("/usr/bin/tiffcp");
  testsupport::TempDir dir;
  auto image = rastertest::makeImage(45, 37, 3, 8, true);
  ASSERT_TRUE(rastertest::writeImage(dir.file("base.tif"), "public.tiff", image));
  struct Layout {
    std::vector<std::string> options;
    bool exact;
  };
  const Layout layouts[] = {{{"-t", "-w", "16", "-l", "16"}, true},
                            {{"-p", "separate"}, true},
                            {{"-p", "separate", "-t", "-w", "16", "-l", "32", "-c", "lzw"}, true},
                            {{"-c", "zip:p2"}, true},
                            {{"-r", "5", "-c", "packbits"}, true}};
  for (const Layout& layout : layouts) {
    std::vector<std::string> argv = {"/usr/bin/tiffcp"};
    argv.insert(argv.end(), layout.options.begin(), layout.options.end());
    argv.push_back(dir.file("base.tif"));
    argv.push_back(dir.file("copy.tif"));
    std::remove(dir.file("copy.tif").c_str());
    run(argv);
    auto decoded = rastertest::readImage(dir.file("copy.tif"));
    ASSERT_TRUE(decoded) << layout.options[0];
    EXPECT_EQ(samplesOf(*decoded, 8, true), samplesOf(*image, 8, true)) << layout.options[0];
  }
  // Opaque RGB to JPEG-compressed YCbCr.
  auto opaque = rastertest::makeImage(48, 32, 3, 8, false);
  ASSERT_TRUE(rastertest::writeImage(dir.file("opaque.tif"), "public.tiff", opaque));
  run({"/usr/bin/tiffcp", "-c", "jpeg:r:95", dir.file("opaque.tif"), dir.file("jpeg.tif")});
  auto decoded = rastertest::readImage(dir.file("jpeg.tif"));
  ASSERT_TRUE(decoded);
  EXPECT_GE(rastertest::psnr(samplesOf(*decoded, 8, false), samplesOf(*opaque, 8, false)), 30);
}

// An optimised animation (sub-rectangles, transparency, disposal) composes
// to the frames ImageMagick's coalescing gives.
TEST(ExternalFiles, OptimisedGifAnimationComposesLikeImageMagick) {
  REQUIRE_TOOL(kConvert);
  testsupport::TempDir dir;
  const std::string gif = dir.file("anim.gif");
  for (const char* dispose : {"None", "Background", "Previous"}) {
    run({kConvert,
         "-delay",
         "7",
         "-dispose",
         dispose,
         "-size",
         "30x20",
         "xc:white",
         "(",
         "-clone",
         "0",
         "-fill",
         "red",
         "-draw",
         "rectangle 2,2 10,10",
         ")",
         "(",
         "-clone",
         "1",
         "-fill",
         "blue",
         "-draw",
         "rectangle 12,5 25,15",
         ")",
         "(",
         "-clone",
         "0",
         "-fill",
         "green",
         "-draw",
         "circle 15,10 15,16",
         ")",
         "-loop",
         "2",
         "-layers",
         "Optimize",
         gif});
    auto source = imageio::ImageSource::open(gif);
    ASSERT_TRUE(source) << dispose;
    ASSERT_EQ(source->count(), 4u) << dispose;
    // ImageMagick stores "-loop 2" (play twice) as one repetition.
    EXPECT_EQ(rastertest::at(source->fileProperties(), {"{GIF}", "LoopCount"}).intOr(-1), 1);
    EXPECT_NEAR(rastertest::at(source->properties(1), {"{GIF}", "DelayTime"}).doubleOr(0), 0.07, 1e-9);
    run({kConvert, gif, "-coalesce", "-depth", "8", dir.file("frame%d.rgba")});
    for (std::size_t i = 0; i < 4; ++i) {
      auto frame = source->createImage(i);
      ASSERT_TRUE(frame);
      auto expected = rastertest::fileBytes(dir.file("frame" + std::to_string(i) + ".rgba"));
      auto actual = samplesOf(*frame, 8, true);
      // Colour under transparent pixels does not matter.
      for (std::size_t p = 0; p + 3 < expected.size() && p + 3 < actual.size(); p += 4) {
        if (expected[p + 3] == 0 && actual[p + 3] == 0)
          std::memset(&expected[p], 0, 4), std::memset(&actual[p], 0, 4);
      }
      EXPECT_EQ(actual, expected) << dispose << " frame " << i;
    }
  }
}

TEST(ExternalFiles, CwebpFilesRead) {
  REQUIRE_TOOL("/usr/bin/cwebp");
  testsupport::TempDir dir;
  auto image = rastertest::makeImage(40, 30, 3, 8, true);
  ASSERT_TRUE(rastertest::writeImage(dir.file("in.png"), "public.png", image));
  run({"/usr/bin/cwebp", "-quiet", "-lossless", "-exact", dir.file("in.png"), "-o", dir.file("out.webp")});
  auto source = imageio::ImageSource::open(dir.file("out.webp"));
  ASSERT_TRUE(source);
  EXPECT_EQ(source->type(), "org.webmproject.webp");
  auto decoded = source->createImage(0);
  ASSERT_TRUE(decoded);
  EXPECT_TRUE(decoded->format().hasAlpha());
  EXPECT_EQ(samplesOf(*decoded, 8, true), samplesOf(*image, 8, true));
}

// A still WebP asked for at a reduced size comes out at exactly that size
// and with dwebp's pixels at that size; full size and an animation (composed
// at its canvas size) are left to be shrunk afterwards.
TEST(ExternalFiles, CwebpFilesDecodeAtAReducedSize) {
  REQUIRE_TOOL("/usr/bin/dwebp");
  REQUIRE_TOOL("/usr/bin/img2webp");
  testsupport::TempDir dir;
  ASSERT_TRUE(rastertest::writeImage(dir.file("plain.png"), "public.png",
                                     rastertest::makeImage(400, 300, 3, 8, false)));
  ASSERT_TRUE(
      rastertest::writeImage(dir.file("alpha.png"), "public.png", rastertest::makeImage(40, 30, 3, 8, true)));
  ASSERT_TRUE(
      rastertest::writeImage(dir.file("tiny.png"), "public.png", rastertest::makeImage(3, 2, 3, 8, false)));
  ASSERT_TRUE(rastertest::writeImage(dir.file("second.png"), "public.png",
                                     rastertest::makeImage(400, 300, 3, 8, true)));
  run({"/usr/bin/cwebp", "-quiet", "-q", "90", dir.file("plain.png"), "-o", dir.file("plain.webp")});
  run({"/usr/bin/cwebp", "-quiet", "-lossless", "-exact", dir.file("alpha.png"), "-o",
       dir.file("alpha.webp")});
  run({"/usr/bin/cwebp", "-quiet", dir.file("tiny.png"), "-o", dir.file("tiny.webp")});
  run({"/usr/bin/img2webp", "-lossless", dir.file("plain.png"), dir.file("second.png"), "-o",
       dir.file("animated.webp")});
  struct Case {
    const char* name;
    std::int64_t maxPixelSize, width, height;
    bool alpha, scaledWhileDecoding;
  };
  const Case cases[] = {
      {"plain", 100, 100, 75, false, true},     {"plain", 399, 399, 299, false, true},
      {"plain", 400, 400, 300, false, false},   {"alpha", 10, 10, 8, true, true},
      {"tiny", 1, 1, 1, false, true},           {"tiny", 2, 2, 1, false, true},
      {"animated", 20, 400, 300, false, false},
  };
  for (const Case& c : cases) {
    const std::string label = std::string(c.name) + " at " + std::to_string(c.maxPixelSize);
    auto source = imageio::ImageSource::open(dir.file(std::string(c.name) + ".webp"));
    ASSERT_TRUE(source) << label;
    imageio::DecodeOptions options;
    options.maxPixelSize = c.maxPixelSize;
    options.shrinkToMaxPixelSize = false;
    auto decoded = source->createImage(0, options);
    ASSERT_TRUE(decoded) << label;
    EXPECT_EQ(decoded->width(), c.width) << label;
    EXPECT_EQ(decoded->height(), c.height) << label;
    if (!c.scaledWhileDecoding) continue;
    const std::string reference = dir.file(std::string(c.name) + "_reference.png");
    run({"/usr/bin/dwebp", "-quiet", dir.file(std::string(c.name) + ".webp"), "-resize",
         std::to_string(c.width), std::to_string(c.height), "-o", reference});
    auto expected = rastertest::readImage(reference);
    ASSERT_TRUE(expected) << label;
    EXPECT_EQ(samplesOf(*decoded, 8, c.alpha), samplesOf(*expected, 8, c.alpha)) << label;
  }
}

}  // namespace

namespace {

// Our PNG writer compresses blocks of rows in parallel and joins them into
// one stream; ImageMagick must read a file of many blocks exactly.
TEST(ExternalFiles, ImageMagickReadsOurLargePngs) {
  REQUIRE_TOOL(kConvert);
  testsupport::TempDir dir;
  for (int bits : {8, 16}) {
    auto image = rastertest::makeImage(1500, 700, 3, bits, true);
    const std::string path = dir.file("large" + std::to_string(bits) + ".png");
    ASSERT_TRUE(rastertest::writeImage(path, "public.png", image));
    EXPECT_EQ(magickSamples(path, "rgba", bits, dir.file("magick")), samplesOf(*image, bits, true)) << bits;
  }
}

}  // namespace
