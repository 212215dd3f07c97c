// The merges of a colour pass and an alpha pass into gray + alpha and
// CMYK + alpha, byte by byte, and the output depth rule.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "engine/imported_image.h"
#include "engine_test_images.h"

namespace velumar {
namespace {

template <typename T>
std::vector<std::uint8_t> bytesOf(const std::vector<T>& values) {
  std::vector<std::uint8_t> bytes(values.size() * sizeof(T));
  std::memcpy(bytes.data(), values.data(), bytes.size());
  return bytes;
}

template <typename T>
std::vector<T> valuesOf(const std::vector<std::uint8_t>& bytes) {
  std::vector<T> values(bytes.size() / sizeof(T));
  std::memcpy(values.data(), bytes.data(), values.size() * sizeof(T));
  return values;
}

TEST(ColorModelMerge, Gray8TakesTheMaskByte) {
  const std::vector<std::uint8_t> gray{10, 20, 30, 40, 50, 60};
  const std::vector<std::uint8_t> alpha{255, 128, 0, 255, 255, 255};
  std::vector<std::uint8_t> merged(12, 0xEE);
  ImportedImage::updateBytes8IntegerFromGray(gray.data(), alpha.data(), merged.data(), {3, 2});
  EXPECT_EQ(merged, (std::vector<std::uint8_t>{10, 255, 20, 128, 0, 0, 40, 255, 50, 255, 60, 255}));
}

TEST(ColorModelMerge, Cmyk8IsFiveBytesAPixel) {
  const std::vector<std::uint8_t> cmyk{1, 2, 3, 4, 5, 6, 7, 8};
  const std::vector<std::uint8_t> alpha{200, 255};
  std::vector<std::uint8_t> merged(10, 0xEE);
  ImportedImage::updateBytes8IntegerFromCMYK(cmyk.data(), alpha.data(), merged.data(), {2, 1});
  EXPECT_EQ(merged, (std::vector<std::uint8_t>{1, 2, 3, 4, 200, 5, 6, 7, 8, 255}));
}

TEST(ColorModelMerge, Gray16TakesTheAlphaOfAnRgbaPixel) {
  const std::vector<std::uint16_t> gray{1000, 40000};
  // Premultiplied RGBA from the alpha pass: only A (bytes 6 and 7) counts.
  const std::vector<std::uint16_t> rgba{9, 9, 9, 65535, 7, 7, 7, 50000};
  std::vector<std::uint8_t> merged(8);
  ImportedImage::updateBytes16IntegerFromGray(bytesOf(gray).data(), bytesOf(rgba).data(), merged.data(),
                                              {2, 1});
  EXPECT_EQ(valuesOf<std::uint16_t>(merged), (std::vector<std::uint16_t>{1000, 65535, 40000, 50000}));
}

TEST(ColorModelMerge, Cmyk16IsTenBytesAPixel) {
  const std::vector<std::uint16_t> cmyk{100, 200, 300, 400, 500, 600, 700, 800};
  const std::vector<std::uint16_t> rgba{0, 0, 0, 65535, 1, 2, 3, 60000};
  std::vector<std::uint8_t> merged(20, 0xEE);
  ImportedImage::updateBytes16IntegerFromCMYK(bytesOf(cmyk).data(), bytesOf(rgba).data(), merged.data(),
                                              {2, 1});
  EXPECT_EQ(valuesOf<std::uint16_t>(merged),
            (std::vector<std::uint16_t>{100, 200, 300, 400, 65535, 500, 600, 700, 800, 60000}));
}

TEST(ColorModelMerge, FloatPixelsAreEightAndTwentyBytes) {
  const std::vector<float> gray{0.25f, 0.5f};
  const std::vector<float> rgba{0, 0, 0, 1.0f, 0, 0, 0, 0.75f};
  std::vector<std::uint8_t> grayMerged(16);
  ImportedImage::updateBytes32FloatFromGray(bytesOf(gray).data(), bytesOf(rgba).data(), grayMerged.data(),
                                            {2, 1});
  EXPECT_EQ(valuesOf<float>(grayMerged), (std::vector<float>{0.25f, 1.0f, 0.5f, 0.75f}));

  const std::vector<float> cmyk{0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.75f};
  std::vector<std::uint8_t> cmykMerged(40);
  ImportedImage::updateBytes32FloatFromCMYK(bytesOf(cmyk).data(), bytesOf(rgba).data(), cmykMerged.data(),
                                            {2, 1});
  EXPECT_EQ(valuesOf<float>(cmykMerged),
            (std::vector<float>{0.1f, 0.2f, 0.3f, 0.4f, 1.0f, 0.5f, 0.6f, 0.7f, 0.75f, 0.75f}));
}

// The merged images are premultiplied: colour painted where the source is
// (partly) transparent must not exceed its alpha.
TEST(ColorModelMerge, ColourIsClampedToItsAlpha) {
  const std::vector<std::uint8_t> gray{255, 200, 90};
  const std::vector<std::uint8_t> mask{0, 100, 100};
  std::vector<std::uint8_t> merged(6);
  ImportedImage::updateBytes8IntegerFromGray(gray.data(), mask.data(), merged.data(), {3, 1});
  EXPECT_EQ(merged, (std::vector<std::uint8_t>{0, 0, 100, 100, 90, 100}));

  const std::vector<std::uint16_t> cmyk{65535, 30000, 0, 20000};
  const std::vector<std::uint16_t> rgba{0, 0, 0, 25000};
  std::vector<std::uint8_t> merged16(10);
  ImportedImage::updateBytes16IntegerFromCMYK(bytesOf(cmyk).data(), bytesOf(rgba).data(), merged16.data(),
                                              {1, 1});
  EXPECT_EQ(valuesOf<std::uint16_t>(merged16), (std::vector<std::uint16_t>{25000, 25000, 0, 20000, 25000}));

  // Float passes may overshoot (resampling ringing) or hold NaN.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<float> grayF{0.9f, nan, -0.2f, 0.3f};
  const std::vector<float> rgbaF{0, 0, 0, 0.5f, 0, 0, 0, 1.0f, 0, 0, 0, 1.0f, 0, 0, 0, 1.25f};
  std::vector<std::uint8_t> mergedF(32);
  ImportedImage::updateBytes32FloatFromGray(bytesOf(grayF).data(), bytesOf(rgbaF).data(), mergedF.data(),
                                            {4, 1});
  EXPECT_EQ(valuesOf<float>(mergedF), (std::vector<float>{0.5f, 0.5f, 0.0f, 1.0f, 0.0f, 1.0f, 0.3f, 1.0f}));
}

TEST(ColorModelMerge, SizesAreTruncatedAndBelowOneWriteNothing) {
  const std::vector<std::uint8_t> gray{1, 2, 3, 4, 5, 6};
  const std::vector<std::uint8_t> mask{255, 255, 255, 255, 255, 255};
  std::vector<std::uint8_t> merged(12, 0xEE);
  ImportedImage::updateBytes8IntegerFromGray(gray.data(), mask.data(), merged.data(), {2.9, 1.99});
  EXPECT_EQ(merged,
            (std::vector<std::uint8_t>{1, 255, 2, 255, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));

  const std::vector<std::uint8_t> untouched(12, 0xEE);
  for (raster::Size size :
       {raster::Size{0.5, 3}, raster::Size{3, 0}, raster::Size{-2, 2}, raster::Size{NAN, 1}}) {
    std::vector<std::uint8_t> none(12, 0xEE);
    ImportedImage::updateBytes8IntegerFromGray(gray.data(), mask.data(), none.data(), size);
    EXPECT_EQ(none, untouched) << size.width << "x" << size.height;
  }
}

struct DepthCase {
  int sourceBits;
  std::uint64_t imageDepth;
  int expected;
};

class ColorModelSampleDepth : public ::testing::TestWithParam<DepthCase> {};

TEST_P(ColorModelSampleDepth, FollowsTheSettingOrTheSource) {
  const DepthCase& c = GetParam();
  raster::PixelFormat format{c.sourceBits, 3, raster::AlphaInfo::NoneSkipLast};
  if (c.sourceBits == 5) format.alpha = raster::AlphaInfo::NoneSkipFirst;
  auto rep = raster::BitmapImageRep::create(2, 2, format, raster::ColorSpace::sRGB());
  ASSERT_TRUE(rep);
  ImageModifyInfo info;
  info.imageDepth = c.imageDepth;
  EXPECT_EQ(ImportedImage::sampleDepthForBitmapRep(rep, info), c.expected)
      << c.sourceBits << " bits, depth " << c.imageDepth;
}

INSTANTIATE_TEST_SUITE_P(Rule, ColorModelSampleDepth,
                         ::testing::Values(DepthCase{8, 0, 8}, DepthCase{16, 0, 16}, DepthCase{32, 0, 32},
                                           DepthCase{5, 0, 8}, DepthCase{8, 1, 8}, DepthCase{32, 1, 8},
                                           DepthCase{8, 2, 16}, DepthCase{32, 2, 16}, DepthCase{8, 3, 32},
                                           DepthCase{16, 3, 32}, DepthCase{16, 7, 16}, DepthCase{32, 4, 32}));

TEST(ColorModelAssign, OwnSpaceOfTheModelElseGeneric) {
  using testimages::halfTransparentRep;
  const auto gamma = testimages::grayGamma22();
  EXPECT_EQ(ImportedImage::assignGrayColorSpaceForBmpRep(halfTransparentRep(1, false, gamma)), gamma);
  EXPECT_EQ(ImportedImage::assignGrayColorSpaceForBmpRep(halfTransparentRep(3, false)),
            raster::ColorSpace::genericGray());
  EXPECT_EQ(ImportedImage::assignGrayColorSpaceForBmpRep(nullptr), raster::ColorSpace::genericGray());
  const auto cmyk = halfTransparentRep(4, true);
  EXPECT_EQ(ImportedImage::assignCMYKColorSpaceForBmpRep(cmyk), cmyk->colorSpace());
  EXPECT_EQ(ImportedImage::assignCMYKColorSpaceForBmpRep(halfTransparentRep(1, true)),
            raster::ColorSpace::genericCMYK());
}

}  // namespace
}  // namespace velumar
