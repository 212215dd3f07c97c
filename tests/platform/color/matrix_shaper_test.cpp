// 16-bit and float conversions between RGB matrix/shaper profiles take an
// exact table path of our own; it must agree with lcms2's unoptimised
// pipeline wherever that does not clamp, and keep floats unbounded where it
// does (lcms2 sends negative inputs of gamma curves to 0).

#include <gtest/gtest.h>
#include <lcms2.h>

#include <cmath>
#include <string>

#include "platform/color/transform.h"

namespace color {
namespace {

BufferLayout rgb(SampleType type) {
  BufferLayout layout;
  layout.type = type;
  return layout;
}

template <typename T>
std::vector<T> samples(std::size_t count, float low, float high) {
  std::vector<T> values(count * 3);
  std::uint32_t state = 12345;
  for (auto& v : values) {
    state = state * 1664525u + 1013904223u;
    float unit = low + (high - low) * float(state >> 8) / float(1u << 24);
    if constexpr (std::is_same_v<T, float>) {
      v = unit;
    } else {
      v = T(std::clamp(unit, 0.0f, 1.0f) * 65535.0f + 0.5f);
    }
  }
  // Corners of the cube, where resampling errs most.
  for (int corner = 0; corner < 8 && std::size_t(corner) < count; ++corner)
    for (int c = 0; c < 3; ++c)
      values[std::size_t(corner) * 3 + std::size_t(c)] =
          (corner >> c & 1) ? T(1.0f * (std::is_same_v<T, float> ? 1 : 65535)) : T(0);
  return values;
}

// Compares with lcms2's unoptimised pipeline; inGamutOnly skips pixels
// whose reference result has a component at or below 0, where lcms2 clamps
// (gamma curves) or continues its curve's linear toe instead of mirroring.
template <typename T>
void compareWithPipeline(NamedProfile from, NamedProfile to, Intent intent, float low, float high,
                         double tolerance, bool inGamutOnly = false) {
  constexpr SampleType type = std::is_same_v<T, float> ? SampleType::Float32 : SampleType::UInt16;
  constexpr cmsUInt32Number format = std::is_same_v<T, float> ? TYPE_RGB_FLT : TYPE_RGB_16;
  ProfileRef source = IccProfile::named(from), destination = IccProfile::named(to);
  auto ours = Transform::get(source, rgb(type), destination, rgb(type), intent);
  ASSERT_NE(ours, nullptr);
  cmsHTRANSFORM reference =
      cmsCreateTransform(static_cast<cmsHPROFILE>(source->handle()), format,
                         static_cast<cmsHPROFILE>(destination->handle()), format, cmsUInt32Number(intent),
                         cmsFLAGS_NOOPTIMIZE | cmsFLAGS_NOCACHE | cmsFLAGS_BLACKPOINTCOMPENSATION);
  ASSERT_NE(reference, nullptr);
  const std::size_t count = 4000;
  auto input = samples<T>(count, low, high);
  std::vector<T> expected(input.size()), actual(input.size());
  cmsDoTransform(reference, input.data(), expected.data(), cmsUInt32Number(count));
  cmsDeleteTransform(reference);
  ours->convertRow(input.data(), actual.data(), std::int64_t(count));
  double worst = 0, signedSum = 0;
  std::size_t compared = 0;
  for (std::size_t i = 0; i < input.size(); ++i) {
    const std::size_t pixel = i - i % 3;
    if (inGamutOnly && std::min({expected[pixel], expected[pixel + 1], expected[pixel + 2]}) <= T(0))
      continue;
    worst = std::max(worst, std::abs(double(actual[i]) - double(expected[i])));
    signedSum += double(actual[i]) - double(expected[i]);
    ++compared;
  }
  EXPECT_LE(worst, tolerance) << int(from) << " -> " << int(to) << " intent " << int(intent);
  // Within the tolerance a consistent bias (truncating instead of rounding)
  // would still hide; on average the results must be unbiased.
  EXPECT_LE(std::abs(signedSum / double(std::max<std::size_t>(compared, 1))), tolerance / 8)
      << int(from) << " -> " << int(to) << " intent " << int(intent);
}

const NamedProfile kRGB[] = {NamedProfile::SRGB, NamedProfile::AdobeRGB1998, NamedProfile::GenericRGB,
                             NamedProfile::LinearRGB};

TEST(MatrixShaperPath, SixteenBitMatchesTheExactPipeline) {
  for (NamedProfile from : kRGB)
    for (NamedProfile to : kRGB)
      for (Intent intent : {Intent::RelativeColorimetric, Intent::Perceptual})
        compareWithPipeline<std::uint16_t>(from, to, intent, 0, 1, 2.0);
}

TEST(MatrixShaperPath, FloatMatchesTheExactPipelineInGamut) {
  for (NamedProfile from : kRGB)
    for (NamedProfile to : kRGB) {
      compareWithPipeline<float>(from, to, Intent::RelativeColorimetric, 0, 1, 2e-4, true);
      compareWithPipeline<float>(from, to, Intent::RelativeColorimetric, 0, 2.0f, 2e-3, true);
    }
}

TEST(MatrixShaperPath, FloatIsUnboundedOddAndRoundTrips) {
  const std::size_t count = 4000;
  const std::vector<float> input = samples<float>(count, -0.5f, 2.0f);
  std::vector<float> negated(input.size());
  for (std::size_t i = 0; i < input.size(); ++i) negated[i] = -input[i];
  for (NamedProfile from : kRGB)
    for (NamedProfile to : kRGB) {
      SCOPED_TRACE(std::to_string(int(from)) + " -> " + std::to_string(int(to)));
      ProfileRef a = IccProfile::named(from), b = IccProfile::named(to);
      auto there = Transform::get(a, rgb(SampleType::Float32), b, rgb(SampleType::Float32));
      auto back = Transform::get(b, rgb(SampleType::Float32), a, rgb(SampleType::Float32));
      ASSERT_TRUE(there && back);
      std::vector<float> converted(input.size()), mirrored(input.size()), returned(input.size());
      there->convertRow(input.data(), converted.data(), std::int64_t(count));
      there->convertRow(negated.data(), mirrored.data(), std::int64_t(count));
      back->convertRow(converted.data(), returned.data(), std::int64_t(count));
      double worstOdd = 0, worstTrip = 0;
      for (std::size_t i = 0; i < input.size(); ++i) {
        const double scale = std::max(1.0, std::abs(double(input[i])));
        worstOdd = std::max(worstOdd, std::abs(double(converted[i]) + double(mirrored[i])) / scale);
        worstTrip = std::max(worstTrip, std::abs(double(returned[i]) - double(input[i])) / scale);
      }
      EXPECT_LE(worstOdd, 1e-4);
      EXPECT_LE(worstTrip, 1e-3);
    }
}

// An RGB profile with P22 primaries, D65 white and the same curve for every channel.
ProfileRef p22Profile(cmsToneCurve* curve) {
  const cmsCIExyY white = {0.3127, 0.3290, 1.0};
  const cmsCIExyYTRIPLE primaries = {{0.630, 0.340, 1.0}, {0.295, 0.605, 1.0}, {0.155, 0.077, 1.0}};
  cmsToneCurve* curves[3] = {curve, curve, curve};
  cmsHPROFILE made = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsFreeToneCurve(curve);
  if (!made) return nullptr;
  cmsUInt32Number size = 0;
  std::vector<std::uint8_t> bytes;
  if (cmsSaveProfileToMem(made, nullptr, &size)) {
    bytes.resize(size);
    cmsSaveProfileToMem(made, bytes.data(), &size);
  }
  cmsCloseProfile(made);
  return IccProfile::fromData(bytes);
}

TEST(MatrixShaperPath, GammaAndSampledCurvesMirrorBelowZeroAndContinuePastOne) {
  // Against a linear profile with the very same primaries the matrix is the
  // identity, so each value is its curve's alone. Generic RGB has a gamma
  // curve; the squaring curve is a sampled table, continued past 1 along
  // its slope there (2).
  std::vector<float> squares(1024);
  for (std::size_t i = 0; i < squares.size(); ++i) squares[i] = std::pow(float(i) / 1023.0f, 2.0f);
  const struct {
    const char* name;
    ProfileRef profile;
    double (*curve)(double);
    double tolerance;
  } cases[] = {
      {"gamma 1.8", IccProfile::named(NamedProfile::GenericRGB), [](double m) { return std::pow(m, 1.8); },
       2e-4},
      {"sampled square",
       p22Profile(cmsBuildTabulatedToneCurveFloat(nullptr, cmsUInt32Number(squares.size()), squares.data())),
       [](double m) { return m <= 1 ? m * m : 1 + 2 * (m - 1); }, 1e-2},
  };
  ProfileRef linearP22 = p22Profile(cmsBuildGamma(nullptr, 1.0));
  ASSERT_TRUE(linearP22);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(c.profile);
    auto toLinear = Transform::get(c.profile, rgb(SampleType::Float32), linearP22, rgb(SampleType::Float32));
    auto fromLinear =
        Transform::get(linearP22, rgb(SampleType::Float32), c.profile, rgb(SampleType::Float32));
    ASSERT_TRUE(toLinear && fromLinear);
    const std::vector<float> encoded = {-2.0f, -1.0f, -0.5f, -0.01f, 0.3f, 1.0f, 1.5f, 3.0f, 0.0f};
    std::vector<float> lin(encoded.size() * 3), again(encoded.size() * 3), row(encoded.size() * 3);
    for (std::size_t i = 0; i < encoded.size(); ++i)
      row[i * 3] = row[i * 3 + 1] = row[i * 3 + 2] = encoded[i];
    toLinear->convertRow(row.data(), lin.data(), std::int64_t(encoded.size()));
    fromLinear->convertRow(lin.data(), again.data(), std::int64_t(encoded.size()));
    for (std::size_t i = 0; i < encoded.size(); ++i) {
      const double x = encoded[i];
      const double expected = std::copysign(c.curve(std::abs(x)), x);
      for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_NEAR(lin[i * 3 + k], expected, c.tolerance * std::max(1.0, std::abs(expected))) << x;
        EXPECT_NEAR(again[i * 3 + k], x, c.tolerance * std::max(1.0, std::abs(x))) << x;
      }
    }
  }
}

// Mixed depths: 8-bit in, 16-bit out and the other way round.
TEST(MatrixShaperPath, MixedDepthsMatchTheExactPipeline) {
  ProfileRef source = IccProfile::named(NamedProfile::SRGB),
             destination = IccProfile::named(NamedProfile::AdobeRGB1998);
  auto handle = [](const ProfileRef& p) { return static_cast<cmsHPROFILE>(p->handle()); };
  const cmsUInt32Number flags = cmsFLAGS_NOOPTIMIZE | cmsFLAGS_NOCACHE | cmsFLAGS_BLACKPOINTCOMPENSATION;
  std::vector<std::uint8_t> eight(256 * 3);
  for (int v = 0; v < 256; ++v)
    eight[v * 3] = std::uint8_t(v), eight[v * 3 + 1] = std::uint8_t(255 - v),
              eight[v * 3 + 2] = std::uint8_t(v / 2);
  std::vector<std::uint16_t> wideOurs(256 * 3), wideReference(256 * 3);
  Transform::get(source, rgb(SampleType::UInt8), destination, rgb(SampleType::UInt16))
      ->convertRow(eight.data(), wideOurs.data(), 256);
  cmsHTRANSFORM up =
      cmsCreateTransform(handle(source), TYPE_RGB_8, handle(destination), TYPE_RGB_16, 1, flags);
  cmsDoTransform(up, eight.data(), wideReference.data(), 256);
  cmsDeleteTransform(up);
  for (std::size_t i = 0; i < wideOurs.size(); ++i) EXPECT_NEAR(wideOurs[i], wideReference[i], 2) << i;

  std::vector<std::uint8_t> narrowOurs(256 * 3), narrowReference(256 * 3);
  Transform::get(destination, rgb(SampleType::UInt16), source, rgb(SampleType::UInt8))
      ->convertRow(wideReference.data(), narrowOurs.data(), 256);
  cmsHTRANSFORM down =
      cmsCreateTransform(handle(destination), TYPE_RGB_16, handle(source), TYPE_RGB_8, 1, flags);
  cmsDoTransform(down, wideReference.data(), narrowReference.data(), 256);
  cmsDeleteTransform(down);
  for (std::size_t i = 0; i < narrowOurs.size(); ++i) EXPECT_NEAR(narrowOurs[i], narrowReference[i], 1) << i;
  for (std::size_t i = 0; i < narrowOurs.size(); ++i)
    EXPECT_NEAR(narrowOurs[i], eight[i], 1) << "round trip " << i;
}

BufferLayout floats(int channels) {
  BufferLayout layout;
  layout.colorChannels = channels;
  layout.type = SampleType::Float32;
  return layout;
}

// Gray and RGB matrix/shaper pairs: lcms2's pipeline where it does not
// clamp, and no clamp of a colour outside the middle space's gamut.
TEST(MatrixShaperPath, GrayPairsMatchThePipelineAndStayUnbounded) {
  const NamedProfile grays[] = {NamedProfile::GenericGray, NamedProfile::GrayGamma22};
  const NamedProfile rgbs[] = {NamedProfile::SRGB, NamedProfile::GenericRGB, NamedProfile::AdobeRGB1998};
  const cmsUInt32Number flags = cmsFLAGS_NOOPTIMIZE | cmsFLAGS_NOCACHE | cmsFLAGS_BLACKPOINTCOMPENSATION;
  const std::vector<float> rgb = samples<float>(500, 0.0f, 1.0f);
  std::vector<float> gray(500);
  for (std::size_t i = 0; i < gray.size(); ++i) gray[i] = float(i) / 499.0f;
  for (NamedProfile g : grays)
    for (NamedProfile c : rgbs) {
      SCOPED_TRACE(std::to_string(int(g)) + " / " + std::to_string(int(c)));
      ProfileRef grayProfile = IccProfile::named(g), rgbProfile = IccProfile::named(c);
      auto handle = [](const ProfileRef& p) { return static_cast<cmsHPROFILE>(p->handle()); };
      std::vector<float> ours(500), reference(500);
      auto toGray = Transform::get(rgbProfile, floats(3), grayProfile, floats(1));
      ASSERT_TRUE(toGray);
      toGray->convertRow(rgb.data(), ours.data(), 500);
      cmsHTRANSFORM down =
          cmsCreateTransform(handle(rgbProfile), TYPE_RGB_FLT, handle(grayProfile), TYPE_GRAY_FLT, 1, flags);
      cmsDoTransform(down, rgb.data(), reference.data(), 500);
      cmsDeleteTransform(down);
      for (std::size_t i = 0; i < ours.size(); ++i) EXPECT_NEAR(ours[i], reference[i], 2e-4) << i;

      std::vector<float> oursRGB(1500), referenceRGB(1500);
      auto fromGray = Transform::get(grayProfile, floats(1), rgbProfile, floats(3));
      ASSERT_TRUE(fromGray);
      fromGray->convertRow(gray.data(), oursRGB.data(), 500);
      cmsHTRANSFORM up =
          cmsCreateTransform(handle(grayProfile), TYPE_GRAY_FLT, handle(rgbProfile), TYPE_RGB_FLT, 1, flags);
      cmsDoTransform(up, gray.data(), referenceRGB.data(), 500);
      cmsDeleteTransform(up);
      for (std::size_t i = 0; i < oursRGB.size(); ++i) EXPECT_NEAR(oursRGB[i], referenceRGB[i], 2e-4) << i;
    }
  // sRGB red reaches gray alike directly and through generic RGB, where it
  // is out of gamut (negative green and blue).
  ProfileRef srgb = IccProfile::named(NamedProfile::SRGB),
             generic = IccProfile::named(NamedProfile::GenericRGB),
             grayProfile = IccProfile::named(NamedProfile::GrayGamma22);
  const float red[3] = {1, 0, 0};
  float viaGeneric[3], direct = 0, throughGeneric = 0;
  Transform::get(srgb, floats(3), generic, floats(3))->convertRow(red, viaGeneric, 1);
  EXPECT_LT(viaGeneric[1], 0.0f);
  Transform::get(srgb, floats(3), grayProfile, floats(1))->convertRow(red, &direct, 1);
  Transform::get(generic, floats(3), grayProfile, floats(1))->convertRow(viaGeneric, &throughGeneric, 1);
  EXPECT_NEAR(throughGeneric, direct, 1e-4);
}

}  // namespace
}  // namespace color
