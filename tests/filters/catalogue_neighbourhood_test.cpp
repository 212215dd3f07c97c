// The catalogue's spatial adjustments and stylising effects through the
// dispatch: the documented cases, the HDR look against ImageMagick, tilt
// shift against numpy, and noise and old photo against the random image.

#include <gtest/gtest.h>

#include <cmath>

#include "platform/ci/renderer.h"
#include "tests/filters/reference_tools.h"

namespace {

using filtertest::Pixels;
using velumar::CIFiltering;
using velumar::FilterInfo;

// Grey (R = G = B) with a gradient, hard edges and fine detail.
Pixels greyScene(std::int64_t width, std::int64_t height) {
  Pixels p{width, height, {}};
  for (std::int64_t row = 0; row < height; ++row) {
    for (std::int64_t x = 0; x < width; ++x) {
      double v = 0.2 + 0.5 * double(x) / double(width) + ((x / 8 + row / 6) % 2 ? 0.2 : 0.0);
      v += 0.05 * std::sin(double(x * row) * 0.3);
      const float q = float(std::round(v * 65535.0) / 65535.0);
      p.rgba.insert(p.rgba.end(), {q, q, q, 1.0f});
    }
  }
  return p;
}

// A colour of the angle around (cx, cy) alone.
Pixels angularScene(std::int64_t width, std::int64_t height) {
  Pixels p{width, height, {}};
  for (std::int64_t row = 0; row < height; ++row) {
    for (std::int64_t x = 0; x < width; ++x) {
      const double a = std::atan2(double(height - row) - 0.5 - height / 2.0, double(x) + 0.5 - width / 2.0);
      p.rgba.insert(p.rgba.end(),
                    {float(0.5 + 0.4 * std::sin(a)), float(0.5 + 0.4 * std::cos(a)), 0.5f, 1.0f});
    }
  }
  return p;
}

Pixels withField(const Pixels& in, std::int64_t type, double FilterInfo::*field, double value) {
  FilterInfo info;
  if (field) info.*field = value;
  return filtertest::renderType(in, type, info);
}

float meanDifference(const Pixels& a, const Pixels& b, const std::function<bool(std::int64_t)>& pixelUsed) {
  double sum = 0;
  std::int64_t n = 0;
  for (std::int64_t i = 0; i < a.count(); ++i) {
    if (!pixelUsed(i)) continue;
    for (int c = 0; c < 3; ++c)
      sum += std::abs(a.rgba[std::size_t(i * 4 + c)] - b.rgba[std::size_t(i * 4 + c)]);
    n += 3;
  }
  return n ? float(sum / double(n)) : INFINITY;
}

TEST(CatalogueNeighbourhood, StraightenTypesAgreeAndAngleZeroIsAFullTurn) {
  const Pixels scene = greyScene(40, 30);
  for (double angle : {0.0, 0.12}) {
    const Pixels first = withField(scene, 79, &FilterInfo::straightenAngle, angle);
    for (std::int64_t type : {80, 81}) {
      EXPECT_EQ(
          filtertest::largestDifference(withField(scene, type, &FilterInfo::straightenAngle, angle), first),
          0.0f);
    }
    if (angle == 0) {
      EXPECT_LT(filtertest::largestDifference(first, scene), 1e-3f);
    }
  }
}

TEST(CatalogueNeighbourhood, FiniteStepsCropAndBlursExtendWithoutADarkBorder) {
  auto context =
      raster::BitmapContext::create(16, 12, raster::PixelFormat::rgbaFloat(), ci::workingColorSpace());
  const Pixels grey{32, 24, std::vector<float>(32 * 24 * 4, 0.5f)};
  Pixels opaque = grey;
  for (std::size_t i = 3; i < opaque.rgba.size(); i += 4) opaque.rgba[i] = 1;
  struct Case {
    std::int64_t type;
    bool finite;
  } cases[] = {{79, true}, {97, true}, {84, false}, {85, false}, {86, false}, {94, false}, {95, false}};
  for (const Case& c : cases) {
    CIFiltering engine;
    engine.createNewCIContextWithCGContext(context.get(), true);
    engine.setCiImage(citest::imageOfPixels(opaque));
    engine.photoEffectWithCGContext(context.get(), c.type, FilterInfo{});
    ASSERT_TRUE(engine.ciImage()) << c.type;
    if (c.finite) {
      EXPECT_EQ(engine.ciImage()->extent(), raster::Rect(0, 0, 16, 12)) << c.type;
    } else {
      EXPECT_TRUE(ci::isInfinite(engine.ciImage()->extent())) << c.type;
      engine.drawCIImageWithCGContext(context.get(), true);
      for (std::int64_t row : {0, 11}) {
        const auto* p = reinterpret_cast<const float*>(context->data() + row * context->bytesPerRow());
        for (int i = 0; i < 16 * 4; ++i) EXPECT_NEAR(p[i], i % 4 == 3 ? 1.0f : 0.5f, 1e-4) << c.type;
      }
    }
  }
}

TEST(CatalogueNeighbourhood, ZoomCentreIsTheContextCentreAndHdrIsUnbounded) {
  const Pixels rays = angularScene(60, 40);
  const Pixels zoomed = filtertest::renderType(rays, 86, FilterInfo{});
  EXPECT_LT(meanDifference(zoomed, rays, [](std::int64_t) { return true; }), 0.01f);
  auto context =
      raster::BitmapContext::create(8, 8, raster::PixelFormat::rgbaFloat(), ci::workingColorSpace());
  CIFiltering engine;
  engine.createNewCIContextWithCGContext(context.get(), true);
  engine.photoEffectWithCGContext(context.get(), 76, FilterInfo{});
  ASSERT_TRUE(engine.ciImage());
  EXPECT_TRUE(ci::isInfinite(engine.ciImage()->extent()));
}

TEST(CatalogueNeighbourhood, HdrLookMatchesImageMagick) {
  const Pixels scene = greyScene(96, 64);
  const auto reference =
      filtertest::imageMagick(scene, {"(", "+clone", "-modulate", "100,0", "-negate", "-blur", "0x31", ")",
                                      "-compose", "Overlay", "-composite", "-unsharp", "0x8+0.55+0"});
  ASSERT_TRUE(reference);
  const Pixels ours = filtertest::renderType(scene, 76, FilterInfo{});
  EXPECT_LE(meanDifference(ours, *reference, [](std::int64_t) { return true; }), 2.0f / 255);
}

TEST(CatalogueNeighbourhood, TiltShiftMixesTheBlurByTheBandMask) {
  const Pixels scene = greyScene(48, 40);
  for (double d : {0.25, 0.75, 0.5}) {
    const std::string script = R"(
from skimage.filters import gaussian
w, h, d = 48, 40, )" + std::to_string(d) +
                               R"(
img = inp.reshape(h, w, 4)[..., :3].astype(np.float64)
blurred = gaussian(img, sigma=10, mode='nearest', truncate=4.0, channel_axis=-1, preserve_range=True)
y = h - np.arange(h) - 0.5  # pixel centres, y up
def ramp(y0):
    if y0 == 0.5 * h: return np.ones_like(y)
    return 1 - np.clip((y - y0) / (0.5 * h - y0), 0, 1)
mask = np.clip(ramp(d * h) + ramp((1 - d) * h), 0, 1)[:, None, None]
out = (blurred * mask + img * (1 - mask)).reshape(-1, 3)
)";
    const auto reference = filtertest::python(scene, script);
    ASSERT_TRUE(reference);
    FilterInfo info;
    info.tiltShiftDistance = d;
    EXPECT_LE(filtertest::largestDifference(filtertest::renderType(scene, 98, info), *reference), 2.0f / 255)
        << d;
  }
}

// Straight colour of the random image at pixel (x, y) (y up), in the
// working space.
std::array<float, 4> randomAt(const ci::ImageRef& random, std::int64_t x, std::int64_t y) {
  std::array<float, 4> p{};
  ci::renderRegion(random, ci::PixelRegion{x, y, 1, 1}, p.data(), 4);
  for (int c = 0; c < 3; ++c) p[std::size_t(c)] = p[3] > 0 ? p[std::size_t(c)] / p[3] : 0.0f;
  return p;
}

TEST(CatalogueNeighbourhood, NoiseAndOldPhotoFollowTheRandomImage) {
  const Pixels scene = greyScene(40, 30);
  const ci::ImageRef random = ci::Filter::withName("CIRandomGenerator")->outputImage();
  EXPECT_EQ(filtertest::largestDifference(withField(scene, 99, &FilterInfo::noiseIntensity, 0), scene), 0.0f);
  const Pixels noisy = withField(scene, 99, &FilterInfo::noiseIntensity, 0.4);
  for (auto [x, row] : {std::pair{3, 4}, {20, 11}, {39, 29}}) {
    const auto r = randomAt(random, x, 29 - row);
    const float weight = 0.4f * r[3];
    const std::size_t i = std::size_t(row * 40 + x) * 4;
    EXPECT_NEAR(noisy.rgba[i], r[1] * weight + scene.rgba[i] * (1 - weight), 1e-5);
  }
  // Old photo without grain: the sepia image, darkened by the scratches
  // where the stretched noise's red is below a quarter.
  FilterInfo info;
  info.oldPhotoNoise = 0;
  const Pixels old = filtertest::renderType(scene, 100, info);
  info.sepiaLevel = info.oldPhotoIntensity;
  const Pixels sepia = filtertest::renderType(scene, 73, info);
  const ci::ImageRef streaks = random->transformed(raster::AffineTransform::scaling(1.5, 25));
  int scratched = 0;
  for (std::int64_t row = 0; row < 30; ++row) {
    for (std::int64_t x = 0; x < 40; ++x) {
      const float red = randomAt(streaks, x, 29 - row)[0], factor = std::min(1.0f, 4 * red);
      const std::size_t i = std::size_t(row * 40 + x) * 4;
      EXPECT_NEAR(old.rgba[i], sepia.rgba[i] * factor, 1e-4) << x << "," << row;
      scratched += factor < 1;
    }
  }
  EXPECT_GT(scratched, 0);
  info.oldPhotoNoise = 0.3;
  EXPECT_GT(filtertest::largestDifference(filtertest::renderType(scene, 100, info), old), 0.01f);
  // Without a context the pending image stays as it was.
  CIFiltering engine;
  engine.setCiImage(citest::imageOfPixels(scene));
  const ci::ImageRef before = engine.ciImage();
  engine.photoEffectWithCGContext(nullptr, 100, FilterInfo{});
  EXPECT_EQ(engine.ciImage(), before);
}

// Each type's fields in turn at 0 (the other hostile values are in the
// catalogue's table), on every kind of context.
TEST(CatalogueNeighbourhood, ZeroFieldsStayFinite) {
  const Pixels scene = greyScene(24, 16);
  const std::vector<std::pair<std::int64_t, std::vector<double FilterInfo::*>>> types = {
      {76,
       {&FilterInfo::hdrGaussRadius, &FilterInfo::hdrUnsharpMaskRadius,
        &FilterInfo::hdrUnsharpMaskIntensity}},
      {79, {&FilterInfo::straightenAngle}},
      {82, {&FilterInfo::sharpenLuminanceLevel}},
      {83, {&FilterInfo::unsharpMaskRadius, &FilterInfo::unsharpMaskIntensity}},
      {84, {&FilterInfo::blurLevel}},
      {85, {&FilterInfo::blurLevel}},
      {86, {&FilterInfo::zoomBlurLevel}},
      {87, {&FilterInfo::noiseReductionLevel, &FilterInfo::noiseReductionSharpness}},
      {93, {&FilterInfo::edgesLevel}},
      {94, {&FilterInfo::crystallizeRadius}},
      {95, {&FilterInfo::gloomRadius, &FilterInfo::gloomIntensity}},
      {96, {&FilterInfo::pixellateScale}},
      {97, {&FilterInfo::vignetteRadius, &FilterInfo::vignetteIntensity}},
      {98, {&FilterInfo::tiltShiftRadius, &FilterInfo::tiltShiftDistance}},
      {99, {&FilterInfo::noiseIntensity}},
      {100, {&FilterInfo::oldPhotoIntensity, &FilterInfo::oldPhotoNoise}},
  };
  for (const auto& [type, fields] : types) {
    for (double FilterInfo::*field : fields) {
      const Pixels out = withField(scene, type, field, 0.0);
      for (float v : out.rgba) ASSERT_TRUE(std::isfinite(v)) << type;
    }
  }
}

}  // namespace
