// TIFF with associated alpha: premultiplied images whose colour exceeds
// alpha or is negative or NaN are written as valid associated alpha, and
// valid premultiplied images keep their exact samples.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "raster_codecs_test_support.h"
#include "support/test_support.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// A one-row premultiplied image of the given pixels (colour then alpha).
template <typename T>
raster::ImageRef premultipliedRow(int color, const std::vector<T>& samples) {
  const int bits = int(sizeof(T) * 8);
  const raster::PixelFormat format = imageio::decodedFormat(bits, color, true, true);
  const std::int64_t width = std::int64_t(samples.size()) / (color + 1);
  std::vector<std::uint8_t> pixels(samples.size() * sizeof(T));
  std::memcpy(pixels.data(), samples.data(), pixels.size());
  const std::size_t rowBytes = pixels.size();
  return raster::Image::make(width, 1, format, imageio::colorSpaceFor(color, nullptr), std::move(pixels),
                             rowBytes);
}

template <typename T>
std::vector<T> decodedRow(const raster::Image& image) {
  std::vector<T> out(std::size_t(image.width()) * std::size_t(image.format().componentsPerPixel()));
  std::memcpy(out.data(), image.row(0), out.size() * sizeof(T));
  return out;
}

struct InvalidCase {
  const char* name;
  int color;
  std::vector<float> pixels;    // colour then alpha, per pixel
  std::vector<float> expected;  // as read back
};

class TiffAssocInvalidFloat : public testing::TestWithParam<InvalidCase> {};

TEST_P(TiffAssocInvalidFloat, WritesColourWithinAlpha) {
  const InvalidCase& test = GetParam();
  testsupport::TempDir dir;
  const std::string path = dir.file("assoc.tiff");
  ASSERT_TRUE(rastertest::writeImage(path, "public.tiff", premultipliedRow<float>(test.color, test.pixels)));
  auto decoded = rastertest::readImage(path);
  ASSERT_TRUE(decoded);
  ASSERT_EQ(decoded->format().bitsPerComponent, 32);
  ASSERT_TRUE(decoded->format().isPremultiplied());
  ASSERT_EQ(decoded->format().colorComponents, test.color);
  const std::vector<float> row = decodedRow<float>(*decoded);
  ASSERT_EQ(row.size(), test.expected.size());
  const std::size_t components = std::size_t(test.color) + 1;
  for (std::size_t i = 0; i < row.size(); i += components) {
    const float alpha = row[i + components - 1];
    ASSERT_TRUE(std::isfinite(alpha)) << i;
    EXPECT_GE(alpha, 0.0f) << i;
    EXPECT_LE(alpha, 1.0f) << i;
    for (std::size_t c = 0; c + 1 < components; ++c) {
      ASSERT_TRUE(std::isfinite(row[i + c])) << i + c;
      EXPECT_GE(row[i + c], 0.0f) << i + c;
      EXPECT_LE(row[i + c], alpha) << i + c;
    }
  }
  for (std::size_t i = 0; i < row.size(); ++i) EXPECT_EQ(row[i], test.expected[i]) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TiffAssocInvalidFloat,
    testing::Values(InvalidCase{"rgba",
                                3,
                                {0.6f,  0.25f, 0.5f,  0.5f,    // overshoot above alpha
                                 -0.1f, kNaN,  0.3f,  0.4f,    // negative and NaN colour
                                 1.2f,  0.9f,  -0.0f, 1.5f,    // alpha above 1
                                 0.2f,  0.1f,  0.3f,  -0.25f,  // negative alpha
                                 0.2f,  0.1f,  0.3f,  kNaN},   // NaN alpha
                                {0.5f, 0.25f, 0.5f, 0.5f, 0.0f, 0.0f, 0.3f, 0.4f, 1.0f, 0.9f,
                                 0.0f, 1.0f,  0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}},
                    InvalidCase{"cmyka",
                                4,
                                {0.7f, 0.1f, kNaN, -3.0f, 0.6f,   // above alpha, NaN, negative
                                 0.25f, 0.5f, 0.75f, 1.0f, 1.0f,  // valid, kept
                                 0.3f, 0.3f, 0.3f, 0.3f, 0.0f},   // colour where alpha is 0
                                {0.6f, 0.1f, 0.0f, 0.0f, 0.6f, 0.25f, 0.5f, 0.75f, 1.0f, 1.0f, 0.0f, 0.0f,
                                 0.0f, 0.0f, 0.0f}}),
    [](const testing::TestParamInfo<InvalidCase>& info) { return std::string(info.param.name); });

TEST(TiffAssocInvalidInteger, ColourAboveAlphaIsLimited) {
  testsupport::TempDir dir;
  {
    const std::string path = dir.file("assoc8.tiff");
    ASSERT_TRUE(rastertest::writeImage(
        path, "public.tiff",
        premultipliedRow<std::uint8_t>(3, {200, 100, 50, 120, 10, 0, 255, 0, 7, 8, 9, 9})));
    auto decoded = rastertest::readImage(path);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decodedRow<std::uint8_t>(*decoded),
              (std::vector<std::uint8_t>{120, 100, 50, 120, 0, 0, 0, 0, 7, 8, 9, 9}));
  }
  {
    const std::string path = dir.file("assoc16.tiff");
    ASSERT_TRUE(rastertest::writeImage(path, "public.tiff",
                                       premultipliedRow<std::uint16_t>(4, {65535, 3000, 2000, 1000, 2500})));
    auto decoded = rastertest::readImage(path);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decodedRow<std::uint16_t>(*decoded),
              (std::vector<std::uint16_t>{2500, 2500, 2000, 1000, 2500}));
  }
}

struct ValidCase {
  int color;
  int bits;
  int compression;
};

class TiffAssocValid : public testing::TestWithParam<ValidCase> {};

TEST_P(TiffAssocValid, RoundTripsExactlyAsAssociatedAlpha) {
  const ValidCase& test = GetParam();
  testsupport::TempDir dir;
  const std::string path = dir.file("valid.tiff");
  auto image = rastertest::makeImage(37, 23, test.color, test.bits, true, true);
  ASSERT_TRUE(
      rastertest::writeImage(path, "public.tiff", image,
                             foundation::Value(foundation::Dictionary{{"Compression", test.compression}})));
  auto decoded = rastertest::readImage(path);
  ASSERT_TRUE(decoded);
  ASSERT_TRUE(decoded->format().isPremultiplied());
  ASSERT_EQ(decoded->format().bitsPerComponent, test.bits);
  ASSERT_EQ(decoded->format().colorComponents, test.color);
  const std::size_t rowBytes = std::size_t(image->width()) * std::size_t(image->format().bytesPerPixel());
  for (std::int64_t y = 0; y < image->height(); ++y)
    ASSERT_EQ(std::memcmp(image->row(y), decoded->row(y), rowBytes), 0) << "row " << y;

  const auto info = testsupport::runCommand({"tiffinfo", path});
  if (info.exitCode != 0) GTEST_SKIP() << "tiffinfo unavailable";
  EXPECT_NE(info.output.find("assoc-alpha"), std::string::npos) << info.output;
}

INSTANTIATE_TEST_SUITE_P(Layouts, TiffAssocValid,
                         testing::Values(ValidCase{3, 8, 1}, ValidCase{3, 16, 5}, ValidCase{3, 32, 1},
                                         ValidCase{4, 8, 32773}, ValidCase{4, 16, 1}, ValidCase{4, 32, 5},
                                         ValidCase{1, 8, 1}, ValidCase{1, 32, 5}),
                         [](const testing::TestParamInfo<ValidCase>& info) {
                           return "color" + std::to_string(info.param.color) + "_bits" +
                                  std::to_string(info.param.bits) + "_compression" +
                                  std::to_string(info.param.compression);
                         });

}  // namespace
