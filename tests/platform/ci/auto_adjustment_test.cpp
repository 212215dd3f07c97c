// Faces on images of the graph and the automatic adjustment: the levels
// stretch against skimage's rescale_intensity, the colour of tinted and
// flat pictures, red pupils painted on a real face, and images the
// analyser must survive.

#include "platform/ci/auto_adjustment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "platform/ci/color_kernel.h"
#include "platform/ci/context.h"
#include "platform/ci/lightness_stretch.h"
#include "platform/ci/red_eye_correction.h"
#include "platform/ci/working_space.h"
#include "platform/imageio/image_source.h"
#include "platform/raster/row_order.h"
#include "support/face_photos.h"
#include "tests/platform/ci/reference_exchange.h"

namespace {

using citest::Pixels;

ci::ImageRef applied(ci::ImageRef image, const std::vector<ci::FilterRef>& filters) {
  for (const ci::FilterRef& filter : filters) {
    filter->setValue(ci::kInputImageKey, image);
    image = filter->outputImage();
  }
  return image;
}

Pixels straightPixels(const facetest::Photo& photo) {
  const ci::ImageRef image = ci::Image::withBitmap(photo.image());
  return citest::renderStraight(image, photo.width, photo.height);
}

TEST(FaceFeatures, FoundWhereverTheImageLiesAndWhateverItsSize) {
  const facetest::Photo photo = facetest::skimagePhoto("astronaut.png");
  if (photo.width == 0) GTEST_SKIP() << "needs python3-skimage";
  const ci::ImageRef image = ci::Image::withBitmap(photo.image());
  ci::FaceDetector detector;
  const std::vector<ci::FaceFeature> plain = detector.featuresInImage(image, false);
  ASSERT_EQ(plain.size(), 1u);
  EXPECT_NEAR(plain[0].bounds.origin.x, 179, 4);
  EXPECT_NEAR(plain[0].bounds.origin.y, 512 - 171, 5);
  EXPECT_FALSE(plain[0].leftEye);

  const struct { double scale, dx, dy; } cases[] = {{1, 100, -50}, {5, 0, 0}, {4.5, -30, 20}};
  for (const auto& c : cases) {
    const ci::ImageRef moved = ci::Image::scaled(image, c.scale, c.scale, ci::ResamplingKernel::Bilinear)
                                   ->transformed(raster::AffineTransform::translation(c.dx, c.dy));
    const std::vector<ci::FaceFeature> found = detector.featuresInImage(moved, false);
    ASSERT_EQ(found.size(), 1u) << c.scale;
    const raster::Rect& b = found[0].bounds;
    // Another scale meets another level of the detector's pyramid: a cell or so apart.
    const double tolerance = 14 * c.scale;
    EXPECT_NEAR(b.origin.x, plain[0].bounds.origin.x * c.scale + c.dx, tolerance) << c.scale;
    EXPECT_NEAR(b.origin.y, plain[0].bounds.origin.y * c.scale + c.dy, tolerance) << c.scale;
    EXPECT_NEAR(b.size.width, plain[0].bounds.size.width * c.scale, tolerance) << c.scale;
  }
}

// Grey working-space values (a power of linear light, argv[5]) on the sRGB
// tone curve, rescaled there between their percentiles, lightened back to
// their mean level by the midtone curve s / (s + m (1 - s)) where the
// rescale darkened them (m at most 1), and brought back.
const char* const kSkimageRescale = R"(
import sys, numpy as np
from scipy.optimize import brentq
from skimage import exposure
w, h, gamma = int(sys.argv[3]), int(sys.argv[4]), float(sys.argv[5])
img = np.fromfile(sys.argv[1], dtype=np.float32).reshape(h, w, 4).astype(np.float64)
linear = img[..., :3] ** gamma
level = np.where(linear <= 0.0031308, 12.92 * linear, 1.055 * linear ** (1 / 2.4) - 0.055)
lo, hi = np.percentile(level[..., 1], [0.5, 99.5])
mean = level[..., 1].mean()
level = exposure.rescale_intensity(level, in_range=(lo, hi), out_range=(0.0, 1.0))
curve = lambda m: level / (level + m * (1 - level))
f = lambda t: curve(np.exp(t))[..., 1].mean() - mean
m = 1.0 if f(0) >= 0 else 0.5 if f(np.log(0.5)) <= 0 else np.exp(brentq(f, np.log(0.5), 0))
level = curve(m)
linear = np.where(level <= 0.04045, level / 12.92, ((level + 0.055) / 1.055) ** 2.4)
out = img.copy()
out[..., :3] = linear ** (1 / gamma)
out.astype(np.float32).tofile(sys.argv[2])
)";

TEST(AutoAdjustment, EnhanceStretchesLevelsLikeRescaleIntensity) {
  const facetest::Photo camera = facetest::skimagePhoto("camera.png");
  if (camera.width == 0) GTEST_SKIP() << "needs python3-skimage";
  // A low-contrast copy: the grey values squeezed into 0.3 .. 0.65.
  Pixels low{camera.width, camera.height, {}};
  for (std::size_t i = 0; i < camera.rgba.size(); i += 4) {
    const float v = citest::on16BitGrid(0.3 + 0.35 * camera.rgba[i] / 255.0);
    low.rgba.insert(low.rgba.end(), {v, v, v, 1.0f});
  }
  testsupport::TempDir dir;
  ASSERT_TRUE(citest::writeFloats(dir.file("in.raw"), low.rgba));
  ASSERT_TRUE(citest::runPython(
      kSkimageRescale, {dir.file("in.raw"), dir.file("out.raw"), std::to_string(low.width),
                        std::to_string(low.height), std::to_string(ci::workingMatrixShaper().gamma)}));
  const Pixels reference{low.width, low.height, citest::readFloats(dir.file("out.raw"))};

  const ci::ImageRef input = citest::imageOfPixels(low);
  const std::vector<ci::FilterRef> filters = ci::autoAdjustmentFilters(input, {true, false, std::nullopt});
  ASSERT_EQ(filters.size(), 2u);
  EXPECT_EQ(filters[0]->name(), ci::kLightnessStretchName);
  EXPECT_EQ(filters[1]->name(), "CIVibrance");
  Pixels ours = citest::renderStraight(applied(input, filters), low.width, low.height);
  for (float& v : ours.rgba) v = std::clamp(v, 0.0f, 1.0f);
  EXPECT_LE(citest::maxDifference(ours, reference), 2.0f / 255);

  // Vibrance is mild: a muted colour gains a little saturation, no more.
  const Pixels muted{1, 1, {0.5f, 0.4f, 0.4f, 1.0f}};
  const ci::FilterRef vibrance = filters[1];
  vibrance->setValue(ci::kInputImageKey, citest::imageOfPixels(muted));
  const Pixels boosted = citest::renderStraight(vibrance->outputImage(), 1, 1);
  const float chroma = boosted.rgba[0] - boosted.rgba[1];
  EXPECT_GT(chroma, 0.1f);
  EXPECT_LT(chroma, 0.2f);
}

// The cast (mean CIELAB a*, b*, D50) of working-space pixels and the
// spread of their luma between the enhancement's percentiles.
struct ColourStats {
  double a = 0, b = 0, lumaRange = 0;
};

ColourStats statsOf(const Pixels& p) {
  const color::MatrixShaper& shaper = ci::workingMatrixShaper();
  const auto f = [](double t) { return t > 216.0 / 24389 ? std::cbrt(t) : (24389.0 / 27 * t + 16) / 116; };
  ColourStats s;
  std::vector<float> lumas;
  for (std::int64_t i = 0; i < p.count(); ++i) {
    const float* px = p.rgba.data() + i * 4;
    lumas.push_back(ci::colorkernel::luma(px));
    double xyz[3] = {0, 0, 0};
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c)
        xyz[r] +=
            shaper.rgbToXYZ[std::size_t(r * 3 + c)] * std::pow(std::clamp(px[c], 0.0f, 1.0f), shaper.gamma);
    s.a += 500 * (f(xyz[0] / 0.9642) - f(xyz[1])) / double(p.count());
    s.b += 200 * (f(xyz[1]) - f(xyz[2] / 0.8249)) / double(p.count());
  }
  s.lumaRange =
      ci::percentile(lumas, ci::kEnhanceHighPercentile) - ci::percentile(lumas, ci::kEnhanceLowPercentile);
  return s;
}

// Luma between lo and hi in a grain of stripes and noise, times tint.
Pixels grain(double lo, double hi, const std::array<double, 3>& tint) {
  Pixels p{160, 120, {}};
  std::uint32_t state = 12345;
  for (std::int64_t i = 0; i < p.count(); ++i) {
    state = state * 1664525u + 1013904223u;
    const double t = 0.5 * double((i % 160) / 8 % 2) + 0.5 * double(state >> 8) / double(1u << 24);
    const double v = lo + (hi - lo) * t;
    for (int c = 0; c < 3; ++c) p.rgba.push_back(float(v * tint[std::size_t(c)]));
    p.rgba.push_back(1.0f);
  }
  return p;
}

// Debian's pale, slightly green wood photo at a quarter of its size; empty
// when the package cannot be had.
Pixels woodPhoto() {
  const auto root = testsupport::fetchDebianPackageFiles("mate-backgrounds");
  for (const auto& file : testsupport::findFiles(root, {"jpg"})) {
    if (file.filename() != "Wood.jpg") continue;
    const auto source = imageio::ImageSource::open(file.string());
    const raster::ImageRef image = source ? source->createImage(0) : nullptr;
    if (!image) break;
    const ci::ImageRef scaled =
        ci::Image::scaled(ci::Image::withBitmap(image), 0.25, 0.25, ci::ResamplingKernel::Bilinear);
    return citest::renderStraight(scaled, image->width() / 4, image->height() / 4);
  }
  return {};
}

// The picture as an 8-bit sRGB output holds it: RGBA, rows top-down.
std::vector<std::uint8_t> sRgbBytes(const ci::ImageRef& image, std::int64_t width, std::int64_t height) {
  auto target = raster::BitmapContext::create(1, 1, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB());
  const raster::ImageRef out = ci::Context::withBitmapContext(*target)->createImage(
      image, raster::Rect(0, 0, double(width), double(height)));
  std::vector<std::uint8_t> bytes;
  for (std::int64_t y = 0; out && y < out->height(); ++y)
    bytes.insert(bytes.end(), out->row(y), out->row(y) + width * 4);
  return bytes;
}

// An opaque picture of 8-bit sRGB colours colour(x, y) in working-space pixels.
template <typename Colour>
Pixels sRgbPicture(std::int64_t width, std::int64_t height, Colour colour) {
  std::vector<std::uint8_t> bytes;
  for (std::int64_t y = 0; y < height; ++y) {
    for (std::int64_t x = 0; x < width; ++x) {
      const std::array<std::uint8_t, 3> c = colour(x, y);
      bytes.insert(bytes.end(), {c[0], c[1], c[2], 255});
    }
  }
  const auto image =
      raster::Image::make(width, height, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB(), bytes);
  return citest::renderStraight(ci::Image::withBitmap(image), width, height);
}

// A horizontal ramp 256 levels wide: 8-bit level(x) for x in 0..255, each
// channel then scaled by its tint.
template <typename Level>
Pixels ramp(Level level, std::array<double, 3> tint) {
  return sRgbPicture(256, 16, [&](std::int64_t x, std::int64_t) {
    const auto v = std::uint8_t(level(double(x)));
    return std::array<std::uint8_t, 3>{std::uint8_t(v * tint[0]), std::uint8_t(v * tint[1]),
                                       std::uint8_t(v * tint[2])};
  });
}

// A pale grey ramp (levels 100 to 248, left to right) 100 pixels square
// with a patch of one colour where inPatch(x, y); grainy, its channels move
// by up to 6 levels from pixel to pixel.
template <typename InPatch>
Pixels patchOnPaleRamp(InPatch inPatch, std::array<int, 3> colour, bool grainy = false) {
  return sRgbPicture(100, 100, [&](std::int64_t x, std::int64_t y) {
    const auto v = std::uint8_t(100 + 3 * x / 2);
    if (!inPatch(x, y)) return std::array<std::uint8_t, 3>{v, v, v};
    const int grain = grainy ? int((x * 7919 + y * 104729) % 13) - 6 : 0;
    return std::array<std::uint8_t, 3>{std::uint8_t(colour[0] + grain), std::uint8_t(colour[1] + grain),
                                       std::uint8_t(colour[2] + grain)};
  });
}

// Of 8-bit RGBA: the mean luma, the grey levels in use, and per pixel the
// largest channel.
double meanLuma(const std::vector<std::uint8_t>& rgba) {
  double sum = 0;
  for (std::size_t i = 0; i < rgba.size(); i += 4)
    sum += 0.2126 * rgba[i] + 0.7152 * rgba[i + 1] + 0.0722 * rgba[i + 2];
  return sum / double(rgba.size() / 4);
}

std::size_t levelsInUse(const std::vector<std::uint8_t>& rgba) {
  std::set<std::uint8_t> levels;
  for (std::size_t i = 1; i < rgba.size(); i += 4) levels.insert(rgba[i]);
  return levels.size();
}

std::uint8_t largest(const std::vector<std::uint8_t>& rgba, std::size_t pixel) {
  return std::max({rgba[pixel * 4], rgba[pixel * 4 + 1], rgba[pixel * 4 + 2]});
}

// The stretch moves lightness only: the cast keeps its hue and grows by
// little more than the vibrance gives, a full-range picture stays as it
// is, and a nearly flat one is stretched no more than the gain's cap and
// stays about as light. A saturated colour is as bright as its strongest
// channel, not as its luma, and the darkest grey levels stay apart.
TEST(AutoAdjustment, EnhanceKeepsEachPixelsColourAndCapsTheGain) {
  constexpr double kAny = 1e9;
  const struct {
    const char* name;
    Pixels input;
    double maxHueShift = kAny, maxChromaGain = kAny, minRangeGain = 0, maxRangeGain = kAny, maxChange = kAny;
    // Mean luma moves by at most this many 8-bit levels, and rises by at
    // least minMeanRise.
    double maxMeanShift = kAny, minMeanRise = -kAny;
    // Each coloured 8-bit pixel (strongest channel 64 and up) keeps at least
    // this share of its strongest channel.
    double minStrongestKept = 0;
    // At most this share of the 8-bit pixels has a channel at 255 (the white
    // point lets 0.5 % through).
    double maxAtWhite = 1;
    // The 8-bit grey levels of the input stay as many.
    bool levelsApart = false;
  } cases[] = {
      {.name = "beige, low contrast",
       .input = grain(0.45, 0.75, {1.0, 1.02, 0.8}),
       .maxHueShift = 1.5,
       .maxChromaGain = 1.5,
       .minRangeGain = 1.5},
      // A pale tinted photo: its cast is not multiplied (stretching the
      // channels one by one gave 3.7 times); its dark grain keeps its
      // colour, so its mean chroma gains a little more than the vibrance.
      {.name = "wood photo",
       .input = woodPhoto(),
       .maxHueShift = 1.5,
       .maxChromaGain = 1.2,
       .minRangeGain = 1.5},
      // Its strongest channel reaches near white: the midtone curve that
      // gives back its mean level takes back part of the spread.
      {.name = "orange, bright",
       .input = grain(0.3, 0.6, {1.6, 0.9, 0.3}),
       .maxHueShift = 1.5,
       .maxChromaGain = 1.5,
       .minRangeGain = 1.25},
      {.name = "neutral, full range",
       .input = grain(0.0, 1.0, {1, 1, 1}),
       .minRangeGain = 0.97,
       .maxRangeGain = 1.03,
       .maxChange = 0.01},
      {.name = "nearly flat",
       .input = grain(0.5, 0.52, {1.0, 0.95, 0.9}),
       .maxHueShift = 1.5,
       .maxChromaGain = 1.5,
       .minRangeGain = 2,
       .maxRangeGain = 4 * 1.02,
       .maxMeanShift = 3},
      // A blue sky beside a little grey whose strongest channel is lower
      // but whose luma is higher.
      {.name = "saturated blue, small grey patch",
       .input = sRgbPicture(160, 120,
                            [](std::int64_t x, std::int64_t y) {
                              return x < 16 && y < 16 ? std::array<std::uint8_t, 3>{104, 104, 104}
                                                      : std::array<std::uint8_t, 3>{0, 48, 110};
                            }),
       .minStrongestKept = 2.0 / 3},
      // Saturated blues from dark to bright: the vibrance pushes no more of
      // them past white than the white point does.
      {.name = "saturated blue ramp",
       .input = ramp([](double x) { return 40 + std::floor(x * 3 / 4); }, {0, 0.44, 1}),
       .maxAtWhite = 0.005},
      // A pale picture, most of it light: stretched, it is not darker overall.
      {.name = "pale gradient",
       .input = ramp([](double x) { return 90 + 160 * (1 - std::pow(1 - x / 255, 1.6)); }, {1, 1, 0.94}),
       .minRangeGain = 1.2,
       .maxMeanShift = 10},
      // A dark picture that uses only the lower part of the range keeps the
      // lift the stretch gives it.
      {.name = "dark gradient",
       .input = ramp([](double x) { return 10 + std::floor(x * 100 / 255); }, {1, 0.95, 1}),
       .minMeanRise = 50},
      // A flat render whose darkest colour, moderately saturated, covers far
      // more than the black point's share: it keeps its colour.
      {.name = "four flat colours over a ramp",
       .input = sRgbPicture(100, 40,
                            [](std::int64_t x, std::int64_t) {
                              using C = std::array<std::uint8_t, 3>;
                              if (x < 48) return C{1, 117, 108};
                              if (x < 61) return C{33, 73, 64};
                              if (x < 69) return C{174, 77, 77};
                              if (x < 77) return C{106, 188, 152};
                              const double t = double(x - 77) / 22;
                              return C{std::uint8_t(33 - 32 * t), std::uint8_t(73 + 44 * t),
                                       std::uint8_t(64 + 44 * t)};
                            }),
       .minStrongestKept = 0.5},
      // Dark regions below a pale ramp keep half their strongest channel: a
      // flat blue-grey band of 3 %, a flat grey field of 15 % (the darkest
      // thing in the picture is no shadow to take to black), and a photo's
      // corner of 2 % whose grain spreads it so that no one level holds much.
      {.name = "blue-grey band under a pale ramp",
       .input = patchOnPaleRamp([](std::int64_t, std::int64_t y) { return y < 3; }, {55, 98, 114}),
       .minStrongestKept = 0.5},
      {.name = "flat grey field under a pale ramp",
       .input = patchOnPaleRamp([](std::int64_t, std::int64_t y) { return y < 15; }, {70, 70, 70}),
       .minStrongestKept = 0.5},
      {.name = "grainy blue-grey corner of a pale ramp",
       .input = patchOnPaleRamp([](std::int64_t x, std::int64_t y) { return x < 14 && y < 14; }, {55, 98, 114},
                                true),
       .minStrongestKept = 0.5},
      // A few dark coloured pixels (36, 0.36 %: below the coloured share of
      // 50 pixels, above the 21 that share of the histogram's bins would
      // be) leave the ramp its stretch: 1.54 times, not 1.18 as when their
      // share is taken of the coloured pixels alone or of the bins.
      {.name = "dark blue speck on a pale ramp",
       .input = patchOnPaleRamp([](std::int64_t x, std::int64_t y) { return x < 6 && y < 6; }, {40, 60, 90}),
       .minRangeGain = 1.45},
      // With a ceiling too, so that the white point merges no levels either.
      {.name = "grey ramp, floor at level 8",
       .input = ramp([](double x) { return std::clamp(x, 8.0, 247.0); }, {1, 1, 1}),
       .levelsApart = true},
  };
  for (const auto& c : cases) {
    if (c.input.count() == 0) {
      ADD_FAILURE() << c.name << ": needs mate-backgrounds";
      continue;
    }
    const ci::ImageRef input = citest::imageOfPixels(c.input);
    const ci::ImageRef enhancedImage = applied(input, ci::autoAdjustmentFilters(input, {true, false, {}}));
    const Pixels out = citest::renderStraight(enhancedImage, c.input.width, c.input.height);
    const ColourStats in = statsOf(c.input), enhanced = statsOf(out);
    const double hueShift =
        std::abs(std::remainder(std::atan2(enhanced.b, enhanced.a) - std::atan2(in.b, in.a), 2 * M_PI)) *
        180 / M_PI;
    EXPECT_LE(hueShift, c.maxHueShift) << c.name;
    EXPECT_LE(std::hypot(enhanced.a, enhanced.b), std::hypot(in.a, in.b) * c.maxChromaGain + 0.5) << c.name;
    EXPECT_LE(enhanced.lumaRange, in.lumaRange * c.maxRangeGain) << c.name;
    EXPECT_GE(enhanced.lumaRange, in.lumaRange * c.minRangeGain) << c.name;
    EXPECT_LE(citest::maxDifference(out, c.input), c.maxChange) << c.name;

    const std::vector<std::uint8_t> before = sRgbBytes(input, c.input.width, c.input.height);
    const std::vector<std::uint8_t> after = sRgbBytes(enhancedImage, c.input.width, c.input.height);
    ASSERT_EQ(before.size(), after.size()) << c.name;
    EXPECT_LE(std::abs(meanLuma(after) - meanLuma(before)), c.maxMeanShift) << c.name;
    EXPECT_GE(meanLuma(after) - meanLuma(before), c.minMeanRise) << c.name;
    double leastKept = 1;
    for (std::size_t i = 0; i < before.size() / 4; ++i)
      if (largest(before, i) >= 64)
        leastKept = std::min(leastKept, double(largest(after, i)) / largest(before, i));
    EXPECT_GE(leastKept, c.minStrongestKept) << c.name;
    std::size_t atWhite = 0;
    for (std::size_t i = 0; i < after.size() / 4; ++i) atWhite += largest(after, i) == 255;
    EXPECT_LE(double(atWhite) / double(after.size() / 4), c.maxAtWhite) << c.name;
    if (c.levelsApart) {
      EXPECT_EQ(levelsInUse(after), levelsInUse(before)) << c.name;
    }
  }
}

TEST(AutoAdjustment, RedPupilsLoseTheirRednessAndNothingElseChanges) {
  facetest::Photo photo = facetest::skimagePhoto("astronaut.png");
  if (photo.width == 0) GTEST_SKIP() << "needs python3-skimage";
  ci::FaceDetector detector;
  const std::vector<ci::FaceFeature> open =
      detector.featuresInImage(ci::Image::withBitmap(photo.image()), true);
  ASSERT_EQ(open.size(), 1u);
  if (!open[0].leftEye) GTEST_SKIP() << "needs libdlib-data";
  const auto topDown = raster::yUpToTopDown(double(photo.height));
  std::vector<std::pair<raster::Point, double>> pupils;  // top-down centre, radius
  for (const faces::Eye& eye : {*open[0].leftEye, *open[0].rightEye}) {
    pupils.push_back({topDown.apply(eye.centre), 0.2 * eye.width});
    facetest::paintRedPupil(photo, pupils.back().first.x, pupils.back().first.y, pupils.back().second);
  }
  const ci::ImageRef input = ci::Image::withBitmap(photo.image());
  const std::vector<ci::FilterRef> filters = ci::autoAdjustmentFilters(input, {false, true, std::nullopt});
  ASSERT_EQ(filters.size(), 2u);
  // The discs the filters correct, to tell inside from outside.
  std::vector<std::pair<raster::Point, double>> discs;
  for (const ci::FilterRef& filter : filters) {
    EXPECT_EQ(filter->name(), ci::kRedEyeCorrectionName);
    const ci::Vector centre = filter->vector("inputCenter");
    discs.push_back({topDown.apply({centre.at(0), centre.at(1)}), filter->number("inputRadius")});
  }
  const Pixels before = straightPixels(photo);
  const Pixels after = citest::renderStraight(applied(input, filters), photo.width, photo.height);
  auto redness = [](const float* p) { return p[0] - (p[1] + p[2]) / 2; };
  double redBefore = 0, redAfter = 0;
  std::int64_t changedOutside = 0;
  for (std::int64_t y = 0; y < photo.height; ++y) {
    for (std::int64_t x = 0; x < photo.width; ++x) {
      const raster::Point centre{x + 0.5, y + 0.5};
      auto within = [&](const std::pair<raster::Point, double>& disc) {
        return std::hypot(centre.x - disc.first.x, centre.y - disc.first.y) <= disc.second;
      };
      if (std::any_of(pupils.begin(), pupils.end(), within)) {
        redBefore += redness(before.at(x, y));
        redAfter += redness(after.at(x, y));
      } else if (std::none_of(discs.begin(), discs.end(), within)) {
        for (int c = 0; c < 4; ++c) changedOutside += before.at(x, y)[c] != after.at(x, y)[c];
      }
    }
  }
  EXPECT_GT(redBefore, 0);
  EXPECT_LE(redAfter, 0.2 * redBefore);
  EXPECT_EQ(changedOutside, 0);
}

TEST(AutoAdjustment, PercentileInterpolatesBetweenRanks) {
  const struct {
    std::vector<float> values;
    double p, expected;
  } cases[] = {{{5, 1, 4, 2, 3}, 0, 1},      {{5, 1, 4, 2, 3}, 50, 3}, {{5, 1, 4, 2, 3}, 100, 5},
               {{5, 1, 4, 2, 3}, 12.5, 1.5}, {{7}, 99.5, 7},           {{}, 50, 0},
               {{2, 2, 2}, 0.5, 2},          {{0, 10}, 99.5, 9.95},    {{0, 10}, 150, 10}};
  for (auto c : cases) EXPECT_NEAR(ci::percentile(c.values, c.p), c.expected, 1e-5) << c.p;
}

TEST(AutoAdjustment, OddImagesGetNoOrHarmlessFilters) {
  ci::FaceDetector detector;
  const ci::ImageRef flat = citest::imageOfPixels(Pixels{4, 4, std::vector<float>(64, 0.5f)});
  const ci::ImageRef cases[] = {
      nullptr,
      ci::Image::constantColor(ci::Color::white()),
      citest::imageOfPixels(Pixels{1, 1, {0.2f, 0.3f, 0.4f, 1}}),
      citest::imageOfPixels(Pixels{10000, 1, std::vector<float>(40000, 0.25f)}),
      citest::imageOfPixels(Pixels{1, 10000, std::vector<float>(40000, 0.0f)}),
      flat,
  };
  for (const ci::ImageRef& image : cases) {
    const std::vector<ci::FilterRef> filters = ci::autoAdjustmentFilters(image, {}, &detector);
    EXPECT_TRUE(detector.featuresInImage(image, true).empty());
    if (!image || ci::isInfinite(image->extent())) {
      EXPECT_TRUE(filters.empty());
      continue;
    }
    // No stretch for a single grey level: vibrance alone.
    if (image == flat) {
      EXPECT_EQ(filters.size(), 1u);
    }
    EXPECT_TRUE(applied(image, filters));
  }
  // Faces given with rectangles outside the image: no eyes, no filters. A
  // face of one pixel may get eyes; whatever it gets, it is harmless.
  std::vector<ci::FaceFeature> outside = {ci::FaceFeature{raster::Rect(900, -400, 30, 30), 1, {}, {}}};
  EXPECT_TRUE(ci::autoAdjustmentFilters(flat, {false, true, outside}, &detector).empty());
  std::vector<ci::FaceFeature> tiny = {ci::FaceFeature{raster::Rect(1, 1, 1, 1), 1, {}, {}}};
  EXPECT_TRUE(applied(flat, ci::autoAdjustmentFilters(flat, {true, true, tiny}, &detector)));
}

}  // namespace
