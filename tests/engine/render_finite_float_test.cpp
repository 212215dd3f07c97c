// Float pixels without NaN or infinities.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "engine/finite_float_pixels.h"
#include "engine_test_images.h"
#include "platform/raster/color_space.h"

namespace velumar {
namespace {

using testimages::floatImage;

std::vector<float> valuesOf(const raster::ImageRef& image) {
  std::vector<float> values;
  const std::size_t perRow = std::size_t(image->width()) * std::size_t(image->format().componentsPerPixel());
  for (std::int64_t y = 0; y < image->height(); ++y) {
    std::vector<float> row(perRow);
    std::memcpy(row.data(), image->row(y), perRow * sizeof(float));
    values.insert(values.end(), row.begin(), row.end());
  }
  return values;
}

TEST(FiniteFloatPixels, ReplacesNaNAndInfinities) {
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  const raster::PixelFormat rgba{32, 3, raster::AlphaInfo::PremultipliedLast};
  auto dirty = floatImage({nan, 0.5f, inf, 1, -inf, 2.5f, -0.5f, 1}, 2, 1, rgba);
  ASSERT_TRUE(dirty);
  auto clean = finiteFloatImage(dirty);
  ASSERT_TRUE(clean);
  EXPECT_NE(clean, dirty);
  EXPECT_EQ(valuesOf(clean), (std::vector<float>{0, 0.5f, 1, 1, 0, 2.5f, -0.5f, 1}));  // finite values stay
  EXPECT_EQ(clean->format(), rgba);
}

TEST(FiniteFloatPixels, CleanAndIntegerImagesAreNotCopied) {
  auto clean = floatImage({0.1f, 0.2f, 0.3f}, 1, 1, raster::PixelFormat{32, 3, raster::AlphaInfo::None});
  ASSERT_TRUE(clean);
  EXPECT_EQ(finiteFloatImage(clean), clean);
  auto bytes = raster::Image::make(1, 1, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB(),
                                   std::vector<std::uint8_t>{255, 255, 255, 255});
  EXPECT_EQ(finiteFloatImage(bytes), bytes);
  EXPECT_FALSE(finiteFloatImage(nullptr));
}

TEST(FiniteFloatPixels, InPlaceOverPaddedRows) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  // Two rows of two floats, rows 12 bytes apart: the padding is left alone.
  std::vector<float> buffer = {nan, 1, nan, nan, 2, 7};
  const std::int64_t replaced =
      replaceNonFiniteFloats(reinterpret_cast<std::uint8_t*>(buffer.data()), 2, 3 * sizeof(float), 2);
  EXPECT_EQ(replaced, 2);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_TRUE(std::isnan(buffer[2]));  // padding
  EXPECT_EQ(buffer[3], 0);
}

}  // namespace
}  // namespace velumar
