// ImageSource: properties, out-of-range indices, EXIF orientation applied
// to the pixels, reduced-size decodes.

#include <gtest/gtest.h>

#include "platform/imageio/orientation.h"
#include "raster_codecs_test_support.h"
#include "support/test_support.h"

namespace {

using rastertest::makeImage;
using rastertest::samplesOf;

TEST(Source, UnreadablePathsGiveNoSource) {
  testsupport::TempDir dir;
  EXPECT_FALSE(imageio::ImageSource::open(dir.file("missing.png")));
  EXPECT_FALSE(imageio::ImageSource::open(dir.path().string()));
}

TEST(Source, OutOfRangeIndicesAnswerEmpty) {
  testsupport::TempDir dir;
  ASSERT_TRUE(rastertest::writeImage(dir.file("a.png"), "public.png", makeImage(4, 3, 3, 8, false)));
  auto source = imageio::ImageSource::open(dir.file("a.png"));
  ASSERT_TRUE(source);
  EXPECT_EQ(source->count(), 1u);
  EXPECT_TRUE(source->properties(1).isDictionary());
  EXPECT_TRUE(source->properties(1).asDictionary()->empty());
  EXPECT_FALSE(source->createImage(1));
  EXPECT_FALSE(source->depthData());
  EXPECT_EQ(rastertest::at(source->fileProperties(), "FileSize").intOr(0),
            std::int64_t(rastertest::fileBytes(dir.file("a.png")).size()));
}

TEST(Source, BasicPropertiesDescribeTheImage) {
  testsupport::TempDir dir;
  ASSERT_TRUE(rastertest::writeImage(dir.file("g.png"), "public.png", makeImage(7, 5, 1, 16, true)));
  auto source = imageio::ImageSource::open(dir.file("g.png"));
  ASSERT_TRUE(source);
  const auto p = source->properties(0);
  EXPECT_EQ(rastertest::at(p, "PixelWidth").intOr(0), 7);
  EXPECT_EQ(rastertest::at(p, "PixelHeight").intOr(0), 5);
  EXPECT_EQ(rastertest::at(p, "Depth").intOr(0), 16);
  EXPECT_EQ(rastertest::at(p, "ColorModel").stringOr(""), "Gray");
  EXPECT_TRUE(rastertest::at(p, "HasAlpha").boolOr(false));
  EXPECT_TRUE(p.get({"{PNG}", "InterlaceType"}));
}

// The stored pixel that lands at each corner after orientation, for a
// stored image with distinct corner colours.
TEST(Orientation, EveryOrientationPutsTheCornersWhereTheTagSays) {
  // Stored 3 x 2: top-left 1, top-right 2, bottom-left 3, bottom-right 4.
  std::vector<std::uint8_t> px = {1, 0, 2, 3, 0, 4};
  auto stored =
      raster::Image::make(3, 2, imageio::decodedFormat(8, 1, false), raster::ColorSpace::genericGray(), px);
  ASSERT_TRUE(stored);
  struct Case {
    int orientation;
    std::int64_t width;
    std::uint8_t topLeft, topRight, bottomLeft, bottomRight;
  };
  const Case cases[] = {{1, 3, 1, 2, 3, 4}, {2, 3, 2, 1, 4, 3}, {3, 3, 4, 3, 2, 1}, {4, 3, 3, 4, 1, 2},
                        {5, 2, 1, 3, 2, 4}, {6, 2, 3, 1, 4, 2}, {7, 2, 4, 2, 3, 1}, {8, 2, 2, 4, 1, 3}};
  for (const Case& c : cases) {
    auto upright = imageio::applyOrientation(stored, c.orientation);
    ASSERT_TRUE(upright);
    ASSERT_EQ(upright->width(), c.width) << c.orientation;
    const std::int64_t w = upright->width(), h = upright->height();
    EXPECT_EQ(upright->row(0)[0], c.topLeft) << c.orientation;
    EXPECT_EQ(upright->row(0)[w - 1], c.topRight) << c.orientation;
    EXPECT_EQ(upright->row(h - 1)[0], c.bottomLeft) << c.orientation;
    EXPECT_EQ(upright->row(h - 1)[w - 1], c.bottomRight) << c.orientation;
  }
  EXPECT_EQ(imageio::applyOrientation(stored, 0), stored);
  EXPECT_EQ(imageio::applyOrientation(stored, 9), stored);
}

TEST(Orientation, ExifBlocksAreParsedDefensively) {
  // Big-endian TIFF header, IFD0 with one SHORT entry 0x0112 = 6.
  std::vector<std::uint8_t> exif = {'E',  'x',  'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1,
                                    0x01, 0x12, 0,   3,   0, 0, 0,   1,   0, 6,  0, 0, 0, 0, 0, 0};
  EXPECT_EQ(imageio::exifOrientation(exif.data(), exif.size()), 6);
  EXPECT_EQ(imageio::exifOrientation(exif.data() + 6, exif.size() - 6), 6);
  for (std::size_t cut = 0; cut < exif.size() - 6; ++cut) {
    EXPECT_EQ(imageio::exifOrientation(exif.data(), cut), 0) << cut;
  }
  auto bad = exif;
  bad[25] = 9;  // out of range
  EXPECT_EQ(imageio::exifOrientation(bad.data(), bad.size()), 0);
  bad = exif;
  bad[13] = 0xF0;  // IFD offset beyond the block
  EXPECT_EQ(imageio::exifOrientation(bad.data(), bad.size()), 0);
  EXPECT_EQ(imageio::exifOrientation(nullptr, 10), 0);
  // Little-endian, as many cameras write it, with orientation 8.
  const std::vector<std::uint8_t> little = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3,
                                            0,   1,   0,  0, 0, 8, 0, 0, 0, 0, 0,    0,    0};
  EXPECT_EQ(imageio::exifOrientation(little.data(), little.size()), 8);
}

TEST(Source, TiffOrientationIsAppliedUnlessTurnedOff) {
  testsupport::TempDir dir;
  auto image = makeImage(6, 4, 3, 8, false);
  foundation::Dictionary props{{"Orientation", 6}};
  ASSERT_TRUE(rastertest::writeImage(dir.file("o.tiff"), "public.tiff", image, foundation::Value(props)));
  auto source = imageio::ImageSource::open(dir.file("o.tiff"));
  ASSERT_TRUE(source);
  EXPECT_EQ(rastertest::at(source->properties(0), "Orientation").intOr(0), 6);
  auto upright = source->createImage(0);
  ASSERT_TRUE(upright);
  EXPECT_EQ(upright->width(), 4);
  EXPECT_EQ(upright->height(), 6);
  EXPECT_EQ(samplesOf(*upright, 8, false), samplesOf(*imageio::applyOrientation(image, 6), 8, false));
  imageio::DecodeOptions raw;
  raw.applyOrientation = false;
  auto stored = source->createImage(0, raw);
  ASSERT_TRUE(stored);
  EXPECT_EQ(samplesOf(*stored, 8, false), samplesOf(*image, 8, false));
}

struct ReducedCase {
  const char* type;
  std::int64_t maxPixelSize;
  std::int64_t width, height;
  std::int64_t sourceWidth = 800, sourceHeight = 600;
};

void PrintTo(const ReducedCase& c, std::ostream* os) {
  *os << c.type << " at " << c.maxPixelSize;
}

class ReducedDecode : public ::testing::TestWithParam<ReducedCase> {};

TEST_P(ReducedDecode, LongerSideIsAtMostTheMaximum) {
  const auto& c = GetParam();
  testsupport::TempDir dir;
  auto image = makeImage(c.sourceWidth, c.sourceHeight, 3, 8, false);
  ASSERT_TRUE(rastertest::writeImage(dir.file("big"), c.type, image));
  imageio::DecodeOptions options;
  options.maxPixelSize = c.maxPixelSize;
  auto reduced = rastertest::readImage(dir.file("big"), 0, options);
  ASSERT_TRUE(reduced);
  EXPECT_EQ(reduced->width(), c.width);
  EXPECT_EQ(reduced->height(), c.height);
  // The average colour is kept.
  auto mean = [](const raster::Image& im) {
    const auto s = samplesOf(im, 8, false);
    double sum = 0;
    for (auto v : s) sum += v;
    return sum / double(s.size());
  };
  EXPECT_NEAR(mean(*reduced), mean(*image), 3.0);
}

INSTANTIATE_TEST_SUITE_P(Formats, ReducedDecode,
                         ::testing::Values(ReducedCase{"public.jpeg", 200, 200, 150},  // DCT scaling, 1/4
                                           ReducedCase{"public.jpeg", 300, 300, 225},  // DCT 3/8 then exact
                                           ReducedCase{"public.png", 100, 100, 75},
                                           ReducedCase{"public.png", 100, 100, 1, 4000, 1},  // a thin strip
                                           ReducedCase{"public.tiff", 333, 333, 250},
                                           ReducedCase{"public.png", 1000, 800, 600}),  // already fits
                         [](const auto& info) {
                           return std::string(info.param.type).substr(7) + "_" +
                                  std::to_string(info.param.maxPixelSize) + "_from_" +
                                  std::to_string(info.param.sourceWidth) + "x" +
                                  std::to_string(info.param.sourceHeight);
                         });

TEST(Source, PixelLimitRefusesLargeImages) {
  testsupport::TempDir dir;
  ASSERT_TRUE(rastertest::writeImage(dir.file("a.png"), "public.png", makeImage(100, 100, 3, 8, false)));
  for (const char* type : {"public.jpeg", "public.tiff", "com.microsoft.bmp", "com.compuserve.gif"}) {
    ASSERT_TRUE(rastertest::writeImage(dir.file("a"), type, makeImage(100, 100, 3, 8, false)));
    EXPECT_FALSE(imageio::ImageSource::open(dir.file("a"), 9999)) << type;
    EXPECT_TRUE(imageio::ImageSource::open(dir.file("a"), 10000)) << type;
  }
  EXPECT_FALSE(imageio::ImageSource::open(dir.file("a.png"), 5000));
}

}  // namespace
