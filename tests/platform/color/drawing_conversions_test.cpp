// The conversions drawing runs most (premultiplied RGBA or gray+alpha,
// 8- and 16-bit against float, to and from the filter graph's working
// space) agree with lcms2's unoptimised float pipeline on random pixels,
// in groups of eight (where the processor has AVX2) and in blocks.

#include <gtest/gtest.h>
#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "platform/color/matrix_shaper_path.h"
#include "platform/color/transform.h"
#include "support/premultiplied_levels.h"

namespace color {
namespace {

// ROMM primaries and D50 white with the given gamma per channel, made
// with lcms2: ProPhoto RGB with 1.8 for all three.
ProfileRef rommProfile(double red, double green, double blue) {
  const cmsCIExyY white = {0.3457, 0.3585, 1.0};
  const cmsCIExyYTRIPLE primaries = {{0.7347, 0.2653, 1.0}, {0.1596, 0.8404, 1.0}, {0.0366, 0.0001, 1.0}};
  cmsToneCurve* curves[3] = {cmsBuildGamma(nullptr, red), cmsBuildGamma(nullptr, green),
                             cmsBuildGamma(nullptr, blue)};
  cmsHPROFILE made = cmsCreateRGBProfile(&white, &primaries, curves);
  for (cmsToneCurve* curve : curves) cmsFreeToneCurve(curve);
  cmsUInt32Number size = 0;
  std::vector<std::uint8_t> bytes;
  if (made && cmsSaveProfileToMem(made, nullptr, &size)) {
    bytes.resize(size);
    cmsSaveProfileToMem(made, bytes.data(), &size);
  }
  if (made) cmsCloseProfile(made);
  return IccProfile::fromData(bytes);
}

BufferLayout premultiplied(int channels, SampleType type) {
  return BufferLayout{channels, type, true, false, true, false};
}

double maximumOf(SampleType type) {
  return type == SampleType::UInt8 ? 255.0 : type == SampleType::UInt16 ? 65535.0 : 1.0;
}

// Sample i of a buffer of the type as a double in its own units.
double sampleAt(const std::vector<std::uint8_t>& bytes, SampleType type, std::size_t i) {
  if (type == SampleType::UInt8) return bytes[i];
  if (type == SampleType::UInt16) return reinterpret_cast<const std::uint16_t*>(bytes.data())[i];
  return reinterpret_cast<const float*>(bytes.data())[i];
}

void setSample(std::vector<std::uint8_t>& bytes, SampleType type, std::size_t i, double unit) {
  if (type == SampleType::UInt8) bytes[i] = std::uint8_t(std::lround(unit * 255.0));
  if (type == SampleType::UInt16)
    reinterpret_cast<std::uint16_t*>(bytes.data())[i] = std::uint16_t(std::lround(unit * 65535.0));
  if (type == SampleType::Float32) reinterpret_cast<float*>(bytes.data())[i] = float(unit);
}

// Runs the test body with the AVX2 conversions allowed (and compared with
// the blocked path), then without.
class DrawingConversions : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { MatrixShaperPath::allowVectorPath(GetParam()); }
  void TearDown() override { MatrixShaperPath::allowVectorPath(true); }
};

TEST_P(DrawingConversions, MatchLcmsOnRandomPixels) {
  const ProfileRef srgb = IccProfile::named(NamedProfile::SRGB),
                   adobe = IccProfile::named(NamedProfile::AdobeRGB1998),
                   working = IccProfile::named(NamedProfile::GenericRGB),
                   gray = IccProfile::named(NamedProfile::GrayGamma22), romm = rommProfile(1.8, 1.8, 1.8),
                   uneven = rommProfile(1.8, 2.2, 2.6);
  ASSERT_TRUE(srgb && adobe && working && gray && romm && uneven);
  constexpr SampleType u8 = SampleType::UInt8, u16 = SampleType::UInt16, f32 = SampleType::Float32;
  const struct Case {
    const char* name;
    ProfileRef from, to;
    SampleType in, out;
    double tolerance;  // in output units
  } cases[] = {
      {"sRGB 8 -> working float", srgb, working, u8, f32, 1e-5},
      {"working float -> sRGB 8", working, srgb, f32, u8, 1},
      {"Adobe RGB 8 -> working float", adobe, working, u8, f32, 1e-5},
      {"Adobe RGB 8 -> sRGB float", adobe, srgb, u8, f32, 1e-5},
      {"working float -> Adobe RGB 8", working, adobe, f32, u8, 1},
      {"ProPhoto 16 -> working float", romm, working, u16, f32, 1e-5},
      {"working float -> ProPhoto 16", working, romm, f32, u16, 2},
      {"ProPhoto 8 -> sRGB 8", romm, srgb, u8, u8, 1},
      {"sRGB 8 -> Adobe RGB 16", srgb, adobe, u8, u16, 2},
      {"gray 8 -> working float", gray, working, u8, f32, 1e-5},
      {"working float -> gray 8", working, gray, f32, u8, 1},
      {"working float -> sRGB float", working, srgb, f32, f32, 1e-5},
      {"gamma 1.8/2.2/2.6 16 -> working float", uneven, working, u16, f32, 1e-5},
      {"working float -> gamma 1.8/2.2/2.6 8", working, uneven, f32, u8, 1},
  };
  std::mt19937 random(49);
  std::uniform_real_distribution<double> unit(0.0, 1.0), alphas(0.3, 1.0);
  const int pixels = 1003;  // not a whole number of any block
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int inColours = c.from->channels(), outColours = c.to->channels();
    const BufferLayout inLayout = premultiplied(inColours, c.in),
                       outLayout = premultiplied(outColours, c.out);
    const auto ours = Transform::get(c.from, inLayout, c.to, outLayout);
    ASSERT_NE(ours, nullptr);
    // Between 8-bit layouts the straight colour is rounded to a level first.
    const bool levels = c.in == u8 && c.out == u8;
    std::vector<std::uint8_t> input(std::size_t(pixels) * std::size_t(inLayout.bytesPerPixel()));
    std::vector<float> straight(std::size_t(pixels) * std::size_t(inColours));
    std::vector<float> alpha(static_cast<std::size_t>(pixels));
    for (int p = 0; p < pixels; ++p) {
      // Stored alpha, as the conversion reads it back.
      setSample(input, c.in, std::size_t(p) * (inColours + 1) + inColours, alphas(random));
      const double storedAlpha = sampleAt(input, c.in, std::size_t(p) * (inColours + 1) + inColours);
      alpha[p] = float(storedAlpha / maximumOf(c.in));
      for (int k = 0; k < inColours; ++k) {
        const double value = unit(random);
        setSample(input, c.in, std::size_t(p) * (inColours + 1) + k, value * alpha[p]);
        const double stored = sampleAt(input, c.in, std::size_t(p) * (inColours + 1) + k);
        straight[std::size_t(p) * inColours + k] =
            levels ? float(testsupport::roundedStraightLevel(int(stored), int(storedAlpha)) / 255.0)
                   : float(stored / maximumOf(c.in) / alpha[p]);
      }
    }
    std::vector<std::uint8_t> output(std::size_t(pixels) * std::size_t(outLayout.bytesPerPixel()));
    ours->convertRow(input.data(), output.data(), pixels);
    if (GetParam()) {
      // Groups of eight give the blocked path's bytes.
      std::vector<std::uint8_t> blocked(output.size());
      MatrixShaperPath::allowVectorPath(false);
      ours->convertRow(input.data(), blocked.data(), pixels);
      MatrixShaperPath::allowVectorPath(true);
      EXPECT_TRUE(blocked == output);
    }

    std::vector<float> expected(std::size_t(pixels) * std::size_t(outColours));
    const auto formatOf = [](int colours) { return colours == 1 ? TYPE_GRAY_FLT : TYPE_RGB_FLT; };
    cmsHTRANSFORM reference = cmsCreateTransform(
        static_cast<cmsHPROFILE>(c.from->handle()), formatOf(inColours),
        static_cast<cmsHPROFILE>(c.to->handle()), formatOf(outColours), INTENT_RELATIVE_COLORIMETRIC,
        cmsFLAGS_NOOPTIMIZE | cmsFLAGS_NOCACHE | cmsFLAGS_BLACKPOINTCOMPENSATION);
    ASSERT_NE(reference, nullptr);
    cmsDoTransform(reference, straight.data(), expected.data(), cmsUInt32Number(pixels));
    cmsDeleteTransform(reference);

    double worst = 0;
    for (int p = 0; p < pixels; ++p) {
      for (int k = 0; k < outColours; ++k) {
        const double value = expected[std::size_t(p) * outColours + k];
        // lcms2 clamps or bends float values outside 0..1, we do not.
        if (c.out == f32 && !(value > 0.0 && value < 1.0)) continue;
        const double want = c.out == f32
                                ? value * alpha[p]
                                : std::round(std::round(std::clamp(value, 0.0, 1.0) * maximumOf(c.out)) * alpha[p]);
        worst =
            std::max(worst, std::abs(sampleAt(output, c.out, std::size_t(p) * (outColours + 1) + k) - want));
      }
      const double storedAlpha = sampleAt(output, c.out, std::size_t(p) * (outColours + 1) + outColours);
      ASSERT_NEAR(storedAlpha, alpha[p] * maximumOf(c.out), c.out == f32 ? 1e-6 : 0.51) << "pixel " << p;
    }
    EXPECT_LE(worst, c.tolerance);
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, DrawingConversions, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "vector" : "blocked"; });

}  // namespace
}  // namespace color
