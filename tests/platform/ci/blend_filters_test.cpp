// The blend-mode and compositing filters against ImageMagick's -compose of
// the same name, and against pixels worked out by hand where ImageMagick
// uses other formulas (non-separable modes, maximum and minimum with
// alpha).

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/ci/filter.h"
#include "tests/platform/ci/graph_test_support.h"
#include "tests/platform/ci/reference_exchange.h"

namespace {

using citest::Pixels;

// Deterministic values spread over (lo, hi), on the 16-bit grid.
Pixels testPixels(std::uint32_t seed, double alphaLo, double alphaHi) {
  Pixels p{24, 20, {}};
  std::uint32_t state = seed;
  auto next = [&] {
    state = state * 1664525u + 1013904223u;
    return double(state >> 8) / double(1u << 24);
  };
  for (std::int64_t i = 0; i < p.width * p.height; ++i) {
    for (int c = 0; c < 3; ++c) p.rgba.push_back(citest::on16BitGrid(0.02 + 0.96 * next()));
    p.rgba.push_back(citest::on16BitGrid(alphaLo + (alphaHi - alphaLo) * next()));
  }
  return p;
}

ci::ImageRef blended(const std::string& filterName, const ci::ImageRef& foreground,
                     const ci::ImageRef& background) {
  ci::FilterRef f = ci::Filter::withName(filterName);
  if (!f) return nullptr;
  f->setValue(ci::kInputImageKey, foreground);
  f->setValue(ci::kInputBackgroundImageKey, background);
  return f->outputImage();
}

// Largest difference of premultiplied components.
float premultipliedDifference(const Pixels& a, const Pixels& b) {
  if (a.rgba.size() != b.rgba.size()) return INFINITY;
  float worst = 0;
  for (std::size_t i = 0; i < a.rgba.size(); i += 4) {
    for (int c = 0; c < 4; ++c) {
      const float pa = c < 3 ? a.rgba[i + std::size_t(c)] * a.rgba[i + 3] : a.rgba[i + 3];
      const float pb = c < 3 ? b.rgba[i + std::size_t(c)] * b.rgba[i + 3] : b.rgba[i + 3];
      worst = std::max(worst, std::abs(pa - pb));
    }
  }
  return worst;
}

struct ComposeCase {
  const char* filter;
  const char* compose;  // ImageMagick's name for the same operation
  bool translucent;     // also compared on semi-transparent inputs
  bool opaque = true;   // Plus is not: its sums go past 1, which IM clamps
};

class BlendAgainstImageMagick : public testing::TestWithParam<ComposeCase> {};

TEST_P(BlendAgainstImageMagick, MatchesComposeOfTheSameName) {
  const ComposeCase& c = GetParam();
  testsupport::TempDir dir;
  std::vector<std::pair<double, double>> alphaRanges;
  if (c.opaque) alphaRanges.push_back({1, 1});
  // Translucent inputs whose alphas add up to at most 1, so that Plus
  // never clamps.
  if (c.translucent) alphaRanges.push_back({0.1, 0.45});
  for (auto [lo, hi] : alphaRanges) {
    const Pixels background = testPixels(7, lo, hi), foreground = testPixels(11, lo, hi);
    ASSERT_TRUE(citest::writePam16(dir.file("bg.pam"), background));
    ASSERT_TRUE(citest::writePam16(dir.file("fg.pam"), foreground));
    const Pixels reference = citest::convertToPam(
        {dir.file("bg.pam"), dir.file("fg.pam"), "-compose", c.compose, "-composite"}, dir.file("out.pam"));
    ASSERT_EQ(reference.width, background.width) << "convert failed for " << c.compose;
    ci::ImageRef out =
        blended(c.filter, citest::imageOfPixels(foreground), citest::imageOfPixels(background));
    ASSERT_TRUE(out) << c.filter;
    const Pixels ours = citest::renderStraight(out, background.width, background.height);
    EXPECT_LE(premultipliedDifference(ours, reference), 2.5f / 65535) << c.filter << " alpha " << lo;
  }
}

INSTANTIATE_TEST_SUITE_P(Codes, BlendAgainstImageMagick,
                         testing::Values(ComposeCase{"CIDarkenBlendMode", "Darken", true},
                                         ComposeCase{"CILightenBlendMode", "Lighten", true},
                                         ComposeCase{"CIMultiplyBlendMode", "Multiply", true},
                                         ComposeCase{"CIDifferenceBlendMode", "Difference", true},
                                         ComposeCase{"CIExclusionBlendMode", "Exclusion", false},
                                         ComposeCase{"CIColorBurnBlendMode", "ColorBurn", true},
                                         ComposeCase{"CIColorDodgeBlendMode", "ColorDodge", false},
                                         ComposeCase{"CIOverlayBlendMode", "Overlay", true},
                                         ComposeCase{"CIScreenBlendMode", "Screen", true},
                                         ComposeCase{"CIHardLightBlendMode", "HardLight", false},
                                         ComposeCase{"CISoftLightBlendMode", "SoftLight", true},
                                         ComposeCase{"CIDivideBlendMode", "DivideSrc", false},
                                         ComposeCase{"CILinearBurnBlendMode", "LinearBurn", false},
                                         ComposeCase{"CILinearDodgeBlendMode", "LinearDodge", false},
                                         ComposeCase{"CIPinLightBlendMode", "PinLight", false},
                                         ComposeCase{"CISubtractBlendMode", "MinusSrc", false},
                                         ComposeCase{"CIAdditionCompositing", "Plus", true, false},
                                         ComposeCase{"CISourceAtopCompositing", "SrcAtop", true},
                                         ComposeCase{"CISourceInCompositing", "SrcIn", true},
                                         ComposeCase{"CISourceOutCompositing", "SrcOut", true},
                                         ComposeCase{"CISourceOverCompositing", "SrcOver", true}),
                         [](const testing::TestParamInfo<ComposeCase>& info) {
                           return std::string(info.param.compose);
                         });

// One pixel of foreground over one of background, premultiplied in and out.
citest::Pixel blendPixel(const std::string& filter, citest::Pixel foreground, citest::Pixel background) {
  ci::ImageRef f = citest::imageOf(1, 1, [&](std::int64_t, std::int64_t) { return foreground; });
  ci::ImageRef b = citest::imageOf(1, 1, [&](std::int64_t, std::int64_t) { return background; });
  ci::ImageRef out = blended(filter, f, b);
  if (!out) return {-1, -1, -1, -1};
  return citest::render(out, ci::PixelRegion{0, 0, 1, 1}).at(0, 0);
}

struct PixelCase {
  const char* filter;
  citest::Pixel foreground, background, expected;
};

TEST(BlendFilters, HandComputedPixels) {
  // Non-separable modes of opaque colours (backdrop (0.8, 0.2, 0.2), source
  // (0.2, 0.6, 0.4)); the compositing filters on premultiplied colour.
  const PixelCase cases[] = {
      {"CILuminosityBlendMode", {0.2f, 0.6f, 0.4f, 1}, {0.8f, 0.2f, 0.2f, 1}, {0.878f, 0.278f, 0.278f, 1}},
      {"CIColorBlendMode", {0.2f, 0.6f, 0.4f, 1}, {0.8f, 0.2f, 0.2f, 1}, {0.122f, 0.522f, 0.322f, 1}},
      {"CIHueBlendMode", {0.2f, 0.6f, 0.4f, 1}, {0.8f, 0.2f, 0.2f, 1}, {0.0f, 0.58915f, 0.29457f, 1}},
      {"CISaturationBlendMode", {0.2f, 0.6f, 0.4f, 1}, {0.8f, 0.2f, 0.2f, 1}, {0.66f, 0.26f, 0.26f, 1}},
      {"CIMaximumCompositing", {0.1f, 0.4f, 0.2f, 0.5f}, {0.3f, 0.2f, 0.2f, 0.4f}, {0.3f, 0.4f, 0.2f, 0.5f}},
      {"CIMinimumCompositing", {0.1f, 0.4f, 0.2f, 0.5f}, {0.3f, 0.2f, 0.2f, 0.4f}, {0.1f, 0.2f, 0.2f, 0.4f}},
      {"CIMultiplyCompositing",
       {0.1f, 0.4f, 0.2f, 0.5f},
       {0.3f, 0.2f, 0.2f, 0.4f},
       {0.03f, 0.08f, 0.04f, 0.2f}},
      {"CIAdditionCompositing", {0.5f, 0.5f, 0.5f, 0.7f}, {0.5f, 0.1f, 0.1f, 0.6f}, {1.0f, 0.6f, 0.6f, 1.0f}},
  };
  for (const PixelCase& c : cases) {
    const citest::Pixel got = blendPixel(c.filter, c.foreground, c.background);
    for (std::size_t k = 0; k < 4; ++k) EXPECT_NEAR(got[k], c.expected[k], 2e-5) << c.filter << " " << k;
  }
}

TEST(BlendFilters, MaskBlendsMixByGreenOrAlphaHeldToTheUnitRange) {
  const citest::Pixel input{0.8f, 0.4f, 0.2f, 1}, background{0.2f, 0.2f, 0.6f, 1};
  struct MaskCase {
    const char* filter;
    citest::Pixel mask;
    float weight;
  } cases[] = {
      {"CIBlendWithMask", {0, 0.25f, 0, 1}, 0.25f},      {"CIBlendWithMask", {1, 0, 1, 1}, 0.0f},
      {"CIBlendWithMask", {0, 7, 0, 1}, 1.0f},           {"CIBlendWithMask", {0, -3, 0, 1}, 0.0f},
      {"CIBlendWithAlphaMask", {0, 0, 0, 0.75f}, 0.75f}, {"CIBlendWithAlphaMask", {0, 1, 0, 0}, 0.0f},
  };
  for (const MaskCase& c : cases) {
    ci::FilterRef f = ci::Filter::withName(c.filter);
    ASSERT_TRUE(f);
    f->setValue(ci::kInputImageKey, citest::imageOf(2, 2, [&](auto, auto) { return input; }));
    f->setValue(ci::kInputBackgroundImageKey, citest::imageOf(2, 2, [&](auto, auto) { return background; }));
    f->setValue("inputMaskImage", citest::imageOf(2, 2, [&](auto, auto) { return c.mask; }));
    const citest::Pixel got = citest::render(f->outputImage(), ci::PixelRegion{0, 0, 2, 2}).at(1, 1);
    for (std::size_t k = 0; k < 4; ++k) {
      EXPECT_NEAR(got[k], background[k] + (input[k] - background[k]) * c.weight, 1e-6) << c.filter;
    }
  }
}

}  // namespace
