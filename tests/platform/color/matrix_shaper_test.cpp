// 16-bit and float conversions between RGB matrix/shaper profiles take an
// exact table path of our own; it must agree with lcms2's unoptimised
// pipeline everywhere, including out-of-range floats.

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

template <typename T>
void compareWithPipeline(NamedProfile from, NamedProfile to, Intent intent, float low, float high,
                         double tolerance) {
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
  double worst = 0;
  for (std::size_t i = 0; i < input.size(); ++i)
    worst = std::max(worst, std::abs(double(actual[i]) - double(expected[i])));
  EXPECT_LE(worst, tolerance) << int(from) << " -> " << int(to) << " intent " << int(intent);
}

const NamedProfile kRGB[] = {NamedProfile::SRGB, NamedProfile::AdobeRGB1998, NamedProfile::GenericRGB,
                             NamedProfile::LinearRGB};

TEST(MatrixShaperPath, SixteenBitMatchesTheExactPipeline) {
  for (NamedProfile from : kRGB)
    for (NamedProfile to : kRGB)
      for (Intent intent : {Intent::RelativeColorimetric, Intent::Perceptual})
        compareWithPipeline<std::uint16_t>(from, to, intent, 0, 1, 2.0);
}

TEST(MatrixShaperPath, FloatMatchesTheExactPipelineInAndOutOfRange) {
  for (NamedProfile from : kRGB)
    for (NamedProfile to : kRGB) {
      compareWithPipeline<float>(from, to, Intent::RelativeColorimetric, 0, 1, 2e-4);
      compareWithPipeline<float>(from, to, Intent::RelativeColorimetric, -0.5f, 2.0f, 2e-3);
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

}  // namespace
}  // namespace color
