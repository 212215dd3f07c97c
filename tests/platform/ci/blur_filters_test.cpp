// Gaussian blur against skimage's (mode 'nearest', the clamp step's edge
// handling), across the exact, recursive and reduced ranges of sigma; and
// the edge-preserving upsampling of a depth step.

#include <gtest/gtest.h>

#include <cmath>

#include "platform/ci/filter.h"
#include "tests/platform/ci/graph_test_support.h"
#include "tests/platform/ci/reference_exchange.h"

namespace {

using citest::Pixels;

const char* const kSkimageBlur = R"(
import sys, numpy as np
from skimage.filters import gaussian
w, h, sigma = int(sys.argv[3]), int(sys.argv[4]), float(sys.argv[5])
img = np.fromfile(sys.argv[1], dtype=np.float32).reshape(h, w, 4)
out = img.copy()
out[..., :3] = gaussian(img[..., :3].astype(np.float64), sigma=sigma, mode='nearest', truncate=4.0,
                        channel_axis=-1, preserve_range=True)
out.astype(np.float32).tofile(sys.argv[2])
)";

TEST(GaussianBlur, MatchesSkimageWithNearestEdges) {
  testsupport::TempDir dir;
  const Pixels input = citest::photoLike(200, 150, 0.0, 1.0);
  ASSERT_TRUE(citest::writeFloats(dir.file("in.raw"), input.rgba));
  for (double sigma : {0.5, 2.0, 31.0, 60.0}) {
    const std::string s = std::to_string(sigma);
    ASSERT_TRUE(citest::runPython(kSkimageBlur, {dir.file("in.raw"), dir.file("out.raw"), "200", "150", s}))
        << "skimage failed";
    Pixels reference{input.width, input.height, citest::readFloats(dir.file("out.raw"))};
    ci::FilterRef blur = ci::Filter::withName("CIGaussianBlur");
    ASSERT_TRUE(blur);
    blur->setValue("inputRadius", sigma);
    blur->setValue(ci::kInputImageKey, citest::imageOfPixels(input)->clampedToExtent());
    const Pixels ours = citest::renderStraight(blur->outputImage(), input.width, input.height);
    EXPECT_LE(citest::maxDifference(ours, reference), 2.0f / 255) << "sigma " << sigma;
  }
}

TEST(GaussianBlur, UnclampedInputFadesIntoTransparencyAndGrows) {
  ci::ImageRef opaque = citest::imageOf(40, 30, [](auto, auto) {
    return citest::Pixel{0.5f, 0.5f, 0.5f, 1};
  });
  for (double sigma : {1.0, 8.0, 40.0}) {
    ci::FilterRef blur = ci::Filter::withName("CIGaussianBlur");
    blur->setValue("inputRadius", sigma);
    blur->setValue(ci::kInputImageKey, opaque);
    ci::ImageRef out = blur->outputImage();
    ASSERT_TRUE(out);
    EXPECT_LT(out->extent().minX(), -2 * sigma);
    const citest::Rendered r = citest::render(out, ci::PixelRegion{-5, 14, 50, 1});
    // The share of the kernel at (−0.5, 14.5) that falls on the 40 × 30 image.
    auto cdf = [sigma](double d) { return 0.5 * std::erfc(-d / sigma / std::sqrt(2.0)); };
    const double covered = (cdf(40.5) - cdf(0.5)) * (cdf(15.5) - cdf(-14.5));
    EXPECT_NEAR(r.at(-1, 14)[3], covered, 0.02) << sigma;
    EXPECT_NEAR(r.at(20, 14)[0] / r.at(20, 14)[3], 0.5f, 1e-3) << sigma;  // colour kept
  }
}

TEST(EdgePreserveUpsample, DepthStepFollowsThePhotoEdge) {
  // Photo edge at x = 32; the depth step at 1/8 resolution on the same line.
  ci::ImageRef photo = citest::imageOf(64, 48, [](std::int64_t x, std::int64_t) {
    return x < 32 ? citest::Pixel{0.1f, 0.1f, 0.1f, 1} : citest::Pixel{0.9f, 0.8f, 0.9f, 1};
  });
  ci::ImageRef depth = citest::imageOf(8, 6, [](std::int64_t x, std::int64_t) {
    return x < 4 ? citest::Pixel{0.2f, 0.2f, 0.2f, 1} : citest::Pixel{0.8f, 0.8f, 0.8f, 1};
  });
  ci::FilterRef upsample = ci::Filter::withName("CIEdgePreserveUpsampleFilter");
  ASSERT_TRUE(upsample);
  upsample->setValue(ci::kInputImageKey, photo);
  upsample->setValue("inputSmallImage", depth);
  ci::ImageRef out = upsample->outputImage();
  ASSERT_TRUE(out);
  EXPECT_EQ(out->extent(), photo->extent());
  const ci::ImageRef bilinear = ci::Image::scaled(depth, 8, 8, ci::ResamplingKernel::Bilinear);
  auto transitionWidth = [](const citest::Rendered& r, std::int64_t y) {
    int between = 0;
    for (std::int64_t x = 0; x < 64; ++x) between += r.at(x, y)[0] > 0.23f && r.at(x, y)[0] < 0.77f;
    return between;
  };
  const citest::Rendered joint = citest::render(out, ci::PixelRegion{0, 0, 64, 48}, 32);
  const citest::Rendered plain = citest::render(bilinear, ci::PixelRegion{0, 0, 64, 48}, 32);
  for (std::int64_t y = 0; y < 48; y += 5) {
    EXPECT_LE(transitionWidth(joint, y), 2) << "row " << y;
    EXPECT_GE(transitionWidth(plain, y), 6) << "row " << y;
    for (std::int64_t x = 0; x < 64; ++x) {
      EXPECT_GE(joint.at(x, y)[0], 0.2f - 1e-5f);
      EXPECT_LE(joint.at(x, y)[0], 0.8f + 1e-5f);
    }
  }
}

}  // namespace
