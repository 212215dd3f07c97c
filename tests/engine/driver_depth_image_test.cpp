// The depth image a session hands to the driver: read from a file's depth
// map, normalised to 0..1 and made a graph image.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "driver_test_files.h"
#include "engine/depth_image_service.h"
#include "platform/ci/context.h"
#include "platform/imageio/image_destination.h"
#include "support/test_support.h"

namespace velumar {
namespace {

struct NormaliseCase {
  std::vector<float> in;
  std::vector<float> out;
};

class DepthNormalisation : public ::testing::TestWithParam<NormaliseCase> {};

TEST_P(DepthNormalisation, StretchesTheFiniteRangeWidenedToZeroToOne) {
  std::vector<float> values = GetParam().in;
  normalizePixelBuffer(values);
  ASSERT_EQ(values.size(), GetParam().out.size());
  for (std::size_t i = 0; i < values.size(); ++i) EXPECT_FLOAT_EQ(values[i], GetParam().out[i]) << i;
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

INSTANTIATE_TEST_SUITE_P(Maps, DepthNormalisation,
                         ::testing::Values(NormaliseCase{{1, 2, 3}, {0, 0.5f, 1}},
                                           NormaliseCase{{-4, 0, 4}, {0, 0.5f, 1}},
                                           NormaliseCase{{0.2f, 0.4f, 0.6f}, {0, 0.5f, 1}},
                                           // The range always reaches into 0..1.
                                           NormaliseCase{{2, 3.5f, 5}, {0.25f, 0.625f, 1}},
                                           NormaliseCase{{5, 5, 5}, {1, 1, 1}},
                                           NormaliseCase{{0.5f, 0.5f}, {0, 0}},  // no range
                                           NormaliseCase{{kNaN, 1, 3, kInf, -kInf}, {0, 0, 1, 0, 0}},
                                           NormaliseCase{{kNaN}, {0}}, NormaliseCase{{}, {}}));

// The red component of every pixel of a graph image, rows from the top.
std::vector<float> redValues(const ci::ImageRef& image) {
  const raster::Rect extent = image->extent();
  auto bitmap =
      raster::BitmapContext::create(std::int64_t(extent.width()), std::int64_t(extent.height()),
                                    raster::PixelFormat::rgbaFloat(), raster::ColorSpace::genericRGB());
  if (!bitmap) return {};
  auto context = ci::Context::withBitmapContext(*bitmap);
  context->drawImage(image, raster::Rect(0, 0, extent.width(), extent.height()), extent);
  std::vector<float> reds;
  for (std::int64_t y = 0; y < bitmap->height(); ++y) {
    const float* row =
        reinterpret_cast<const float*>(bitmap->data() + std::size_t(y) * bitmap->bytesPerRow());
    for (std::int64_t x = 0; x < bitmap->width(); ++x) reds.push_back(row[4 * x]);
  }
  return reds;
}

TEST(DepthImageService, ReadsANormalisedDepthMapFromHEIF) {
  if (!imageio::ImageDestination::canWrite("public.heic")) GTEST_SKIP() << "no HEIF encoder";
  testsupport::TempDir dir;
  imageio::DepthData depth;
  depth.width = 16;
  depth.height = 12;
  for (std::int64_t y = 0; y < depth.height; ++y)
    for (std::int64_t x = 0; x < depth.width; ++x) depth.values.push_back(0.5f + float(x) * 0.25f);
  auto destination = imageio::ImageDestination::create(dir.file("depth.heic"), "public.heic", 1);
  ASSERT_TRUE(destination);
  destination->addImage(drivertest::quadrantImage(32, 24), foundation::Value(foundation::Dictionary{}),
                        depth);
  if (!destination->finalize()) GTEST_SKIP() << "HEIF with depth not written";

  ci::ImageRef image = getDepthImageWithURL(dir.file("depth.heic"));
  ASSERT_TRUE(image);
  const raster::Rect extent = image->extent();
  EXPECT_EQ(extent.origin, (raster::Point{0, 0}));
  EXPECT_GT(extent.width(), 0);
  const std::vector<float> reds = redValues(image);
  ASSERT_FALSE(reds.empty());
  float lowest = 1, highest = 0;
  for (float v : reds) {
    ASSERT_TRUE(std::isfinite(v));
    lowest = std::min(lowest, v);
    highest = std::max(highest, v);
  }
  EXPECT_NEAR(lowest, 0.0f, 0.02f);
  EXPECT_NEAR(highest, 1.0f, 0.02f);
  // The map still runs across the picture (one way or the other).
  const std::size_t width = std::size_t(extent.width());
  EXPECT_GT(std::abs(reds[width - 1] - reds[0]), 0.9f);
}

TEST(DepthImageService, FilesWithoutDepthGiveNothing) {
  testsupport::TempDir dir;
  const std::string jpeg =
      drivertest::writeImages(dir, "plain.jpg", "public.jpeg", {drivertest::quadrantImage(16, 12)});
  ASSERT_FALSE(jpeg.empty());
  EXPECT_FALSE(getDepthImageWithURL(jpeg));
  EXPECT_FALSE(getDepthImageWithURL(dir.file("missing.heic")));
  EXPECT_FALSE(getDepthImageWithURL(""));
  const std::string cut = drivertest::truncatedCopy(dir, jpeg, "cut.heic", 0.5);
  EXPECT_FALSE(getDepthImageWithURL(cut));
}

}  // namespace
}  // namespace velumar
