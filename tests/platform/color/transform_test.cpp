#include "platform/color/transform.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <cmath>
#include <string>
#include <thread>

#include "pixel_buffer.h"
#include "support/premultiplied_levels.h"

namespace color {
namespace {

using testing::Pixel;
using testing::PixelBuffer;

ProfileRef named(NamedProfile which) {
  return IccProfile::named(which);
}

BufferLayout layout(int channels, SampleType type, bool alpha = false, bool first = false,
                    bool premultiplied = false, bool padding = false) {
  BufferLayout result;
  result.colorChannels = channels;
  result.type = type;
  result.hasAlpha = alpha;
  result.alphaFirst = first;
  result.premultiplied = premultiplied;
  result.padding = padding;
  return result;
}

float srgbToLinear(float v) {
  return v <= 0.04045f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f);
}

std::string describe(const BufferLayout& l) {
  const char* types[] = {"8", "16", "32f"};
  std::string text = std::to_string(l.colorChannels) + "ch/" + types[int(l.type)];
  if (l.hasAlpha) text += l.alphaFirst ? "/alpha-first" : "/alpha-last";
  if (l.premultiplied) text += "/premultiplied";
  if (l.padding) text += l.alphaFirst ? "/pad-first" : "/pad-last";
  return text;
}

// Every layout converts sRGB (0.5, 0.25, 0.75) at alpha 0.6 to linear RGB
// as the plain float transform does and keeps the alpha; runs of 300
// pixels cross the internal chunking.
TEST(TransformLayouts, EachLayoutConvertsAKnownColourAndCarriesAlpha) {
  struct Mode {
    bool alpha, first, premultiplied, padding;
  };
  const Mode modes[] = {{false, false, false, false}, {true, false, false, false},
                        {true, true, false, false},   {true, false, true, false},
                        {true, true, true, false},    {false, false, false, true},
                        {false, true, false, true}};
  const Pixel input{{0.5f, 0.25f, 0.75f, 0}, 0.6f};
  float expected[3];
  BufferLayout reference = layout(3, SampleType::Float32);
  Transform::get(named(NamedProfile::SRGB), reference, named(NamedProfile::LinearRGB), reference)
      ->convertRow(input.colour.data(), expected, 1);
  for (SampleType type : {SampleType::UInt8, SampleType::UInt16, SampleType::Float32}) {
    for (const Mode& m : modes) {
      BufferLayout l = layout(3, type, m.alpha, m.first, m.premultiplied, m.padding);
      SCOPED_TRACE(describe(l));
      auto transform = Transform::get(named(NamedProfile::SRGB), l, named(NamedProfile::LinearRGB), l);
      ASSERT_NE(transform, nullptr);
      PixelBuffer source(l, 300), destination(l, 300);
      source.fill(input);
      transform->convertRow(source.data(), destination.data(), 300);
      float tolerance = type == SampleType::UInt8 ? (m.premultiplied ? 0.02f : 0.01f) : 0.001f;
      for (std::size_t i : {std::size_t(0), std::size_t(255), std::size_t(256), std::size_t(299)}) {
        Pixel out = destination.get(i);
        for (int c = 0; c < 3; ++c)
          EXPECT_NEAR(out.colour[c], expected[c], tolerance) << "pixel " << i << " c" << c;
        if (m.alpha) {
          EXPECT_NEAR(out.alpha, 0.6f, 0.002f);
        }
        if (m.padding) {
          EXPECT_EQ(destination.extra(i), 1.0f);
        }
      }
    }
  }
}

TEST(TransformLayouts, MixedLayoutsConvertSampleTypesAndAlpha) {
  struct Case {
    BufferLayout in, out;
    ProfileRef to;
    Pixel pixel;
    std::array<float, 3> expected;
    float expectedAlpha;  // as read from the destination (1 when it has none)
  };
  const float mid = srgbToLinear(0.5f);
  const float grayOfMid = std::pow(mid, 1.0f / 2.2f);
  const Case cases[] = {
      {layout(3, SampleType::UInt8, true),
       layout(3, SampleType::Float32, true, true, true),
       named(NamedProfile::LinearRGB),
       {{0.5f, 0.5f, 0.5f}, 0.4f},
       {mid, mid, mid},
       0.4f},
      {layout(3, SampleType::UInt16, true, true, true),
       layout(3, SampleType::UInt8, false, true, false, true),
       named(NamedProfile::LinearRGB),
       {{0.5f, 0.5f, 0.5f}, 0.5f},
       {mid, mid, mid},
       1.0f},
      {layout(3, SampleType::UInt8),
       layout(1, SampleType::UInt16),
       named(NamedProfile::GrayGamma22),
       {{0.5f, 0.5f, 0.5f}, 1.0f},
       {grayOfMid, 0, 0},
       1.0f},
      {layout(3, SampleType::Float32, true),
       layout(1, SampleType::UInt8, true),
       named(NamedProfile::GrayGamma22),
       {{0.5f, 0.5f, 0.5f}, 0.25f},
       {grayOfMid, 0, 0},
       0.25f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(describe(c.in) + " -> " + describe(c.out));
    auto transform = Transform::get(named(NamedProfile::SRGB), c.in, c.to, c.out);
    ASSERT_NE(transform, nullptr);
    PixelBuffer source(c.in, 10), destination(c.out, 10);
    source.fill(c.pixel);
    transform->convertRow(source.data(), destination.data(), 10);
    Pixel out = destination.get(9);
    for (int ch = 0; ch < c.out.colorChannels; ++ch) EXPECT_NEAR(out.colour[ch], c.expected[ch], 0.01f);
    EXPECT_NEAR(out.alpha, c.expectedAlpha, 0.003f);
    if (c.out.padding) {
      EXPECT_EQ(destination.extra(9), 1.0f);
    }
  }
}

// Float CMYK is 0..1 like the integer types, not ink percentages.
TEST(TransformLayouts, FloatCMYKUsesTheUnitRange) {
  ProfileRef cmyk = named(NamedProfile::GenericCMYK);
  if (!cmyk) GTEST_SKIP() << "no CMYK profile installed";
  BufferLayout rgb8 = layout(3, SampleType::UInt8);
  auto to8 = Transform::get(named(NamedProfile::SRGB), rgb8, cmyk, layout(4, SampleType::UInt8));
  auto toFloat = Transform::get(named(NamedProfile::SRGB), rgb8, cmyk, layout(4, SampleType::Float32, true));
  auto back = Transform::get(cmyk, layout(4, SampleType::Float32, true), named(NamedProfile::SRGB), rgb8);
  ASSERT_TRUE(to8 && toFloat && back);
  const Pixel colours[] = {{{1, 1, 1}, 1}, {{0, 0, 0}, 1}, {{0.8f, 0.4f, 0.2f}, 1}, {{0.3f, 0.5f, 0.6f}, 1}};
  for (const Pixel& colour : colours) {
    PixelBuffer source(rgb8, 1), cmyk8(layout(4, SampleType::UInt8), 1),
        cmykFloat(layout(4, SampleType::Float32, true), 1), roundTrip(rgb8, 1);
    source.set(0, colour);
    to8->convertRow(source.data(), cmyk8.data(), 1);
    toFloat->convertRow(source.data(), cmykFloat.data(), 1);
    back->convertRow(cmykFloat.data(), roundTrip.data(), 1);
    for (int c = 0; c < 4; ++c) {
      EXPECT_NEAR(cmykFloat.get(0).colour[c], cmyk8.get(0).colour[c], 0.01f);
      EXPECT_GE(cmykFloat.get(0).colour[c], -0.001f);
      EXPECT_LE(cmykFloat.get(0).colour[c], 1.001f);
    }
    EXPECT_EQ(cmykFloat.get(0).alpha, 1.0f);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(roundTrip.get(0).colour[c], colour.colour[c], 0.04f);
  }
}

// Premultiplied float in and out of CMYK: colour as the straight
// conversion, alpha kept.
TEST(TransformLayouts, PremultipliedFloatThroughCMYKKeepsColourAndAlpha) {
  ProfileRef cmyk = named(NamedProfile::GenericCMYK);
  if (!cmyk) GTEST_SKIP() << "no CMYK profile installed";
  BufferLayout rgbaPremultiplied = layout(3, SampleType::Float32, true, false, true);
  BufferLayout cmykaPremultiplied = layout(4, SampleType::Float32, true, true, true);
  BufferLayout rgbStraight = layout(3, SampleType::Float32), cmykStraight = layout(4, SampleType::Float32);
  auto there = Transform::get(named(NamedProfile::SRGB), rgbaPremultiplied, cmyk, cmykaPremultiplied);
  auto back = Transform::get(cmyk, cmykaPremultiplied, named(NamedProfile::SRGB), rgbaPremultiplied);
  auto reference = Transform::get(named(NamedProfile::SRGB), rgbStraight, cmyk, cmykStraight);
  ASSERT_TRUE(there && back && reference);
  const Pixel colour{{0.7f, 0.45f, 0.3f}, 0.5f};
  PixelBuffer source(rgbaPremultiplied, 3), inks(cmykaPremultiplied, 3), result(rgbaPremultiplied, 3),
      straight(rgbStraight, 1), expected(cmykStraight, 1);
  source.fill(colour);
  straight.set(0, colour);
  there->convertRow(source.data(), inks.data(), 3);
  back->convertRow(inks.data(), result.data(), 3);
  reference->convertRow(straight.data(), expected.data(), 1);
  for (int c = 0; c < 4; ++c) EXPECT_NEAR(inks.get(2).colour[c], expected.get(0).colour[c], 0.002f);
  EXPECT_NEAR(inks.get(2).alpha, 0.5f, 1e-6f);
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(result.get(2).colour[c], colour.colour[c], 0.02f);
  EXPECT_NEAR(result.get(2).alpha, 0.5f, 1e-6f);
}

// Largest per-sample difference after converting a grid of colours from
// `from` to `via` and back.
float roundTripError(const ProfileRef& from, const ProfileRef& via, SampleType type, int viaChannels,
                     float low, float high, int steps) {
  BufferLayout outer = layout(3, type), inner = layout(viaChannels, type);
  auto there = Transform::get(from, outer, via, inner);
  auto back = Transform::get(via, inner, from, outer);
  if (!there || !back) return 1e9f;
  std::size_t count = std::size_t(steps * steps * steps);
  PixelBuffer source(outer, count), middle(inner, count), result(outer, count);
  std::size_t i = 0;
  for (int r = 0; r < steps; ++r)
    for (int g = 0; g < steps; ++g)
      for (int b = 0; b < steps; ++b) {
        auto at = [&](int k) { return low + (high - low) * float(k) / float(steps - 1); };
        source.set(i++, {{at(r), at(g), at(b)}, 1});
      }
  there->convertRow(source.data(), middle.data(), std::int64_t(count));
  back->convertRow(middle.data(), result.data(), std::int64_t(count));
  float worst = 0;
  for (std::size_t k = 0; k < count; ++k)
    for (int c = 0; c < 3; ++c)
      worst = std::max(worst, std::abs(result.get(k).colour[c] - source.get(k).colour[c]));
  return worst;
}

TEST(TransformRoundTrip, SRGBThroughAdobeRGB) {
  // 8-bit: the Adobe RGB samples themselves are rounded, which near the
  // gamut boundary costs up to 4 levels on the way back.
  const std::pair<SampleType, float> limits[] = {
      {SampleType::UInt8, 4.5f / 255.0f}, {SampleType::UInt16, 0.002f}, {SampleType::Float32, 0.0005f}};
  for (const auto& [type, limit] : limits)
    EXPECT_LE(roundTripError(named(NamedProfile::SRGB), named(NamedProfile::AdobeRGB1998), type, 3, 0, 1, 9),
              limit)
        << int(type);
}

// Every premultiplied 8-bit colour under every alpha from 8-bit sRGB into
// 8-bit Adobe RGB gives the staged conversion's bytes: the straight level
// rounded (colour above its alpha as 255), converted by lcms2, premultiplied
// again to the nearest level.
TEST(TransformRoundTrip, PremultipliedEightBitGivesTheStagedBytes) {
  const std::vector<std::uint8_t> pixels = testsupport::everyPremultipliedRGBA8();
  const std::size_t count = pixels.size() / 4;
  const ProfileRef srgb = named(NamedProfile::SRGB), adobe = named(NamedProfile::AdobeRGB1998);
  std::vector<std::uint8_t> straight(count * 3), converted(count * 3);
  for (std::size_t i = 0; i < count; ++i)
    for (std::size_t k = 0; k < 3; ++k)
      straight[i * 3 + k] =
          std::uint8_t(testsupport::roundedStraightLevel(pixels[i * 4 + k], pixels[i * 4 + 3]));
  cmsHTRANSFORM staged = cmsCreateTransform(
      static_cast<cmsHPROFILE>(srgb->handle()), TYPE_RGB_8, static_cast<cmsHPROFILE>(adobe->handle()),
      TYPE_RGB_8, INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOCACHE | cmsFLAGS_BLACKPOINTCOMPENSATION);
  ASSERT_NE(staged, nullptr);
  cmsDoTransform(staged, straight.data(), converted.data(), cmsUInt32Number(count));
  cmsDeleteTransform(staged);

  const BufferLayout premultiplied = layout(3, SampleType::UInt8, true, false, true);
  std::vector<std::uint8_t> output(pixels.size());
  Transform::get(srgb, premultiplied, adobe, premultiplied)
      ->convertRow(pixels.data(), output.data(), std::int64_t(count));
  int wrong = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const int alpha = pixels[i * 4 + 3];
    for (std::size_t k = 0; k < 3; ++k)
      wrong += output[i * 4 + k] != (converted[i * 3 + k] * alpha * 2 + 255) / 510;
    wrong += output[i * 4 + 3] != alpha;
  }
  EXPECT_EQ(wrong, 0);
}

TEST(TransformRoundTrip, NeutralsThroughGray) {
  for (NamedProfile gray : {NamedProfile::GrayGamma22, NamedProfile::GenericGray}) {
    for (NamedProfile rgb : {NamedProfile::SRGB, NamedProfile::GenericRGB, NamedProfile::AdobeRGB1998}) {
      BufferLayout rgb8 = layout(3, SampleType::UInt8), gray8 = layout(1, SampleType::UInt8);
      auto there = Transform::get(named(rgb), rgb8, named(gray), gray8);
      auto back = Transform::get(named(gray), gray8, named(rgb), rgb8);
      ASSERT_TRUE(there && back);
      std::vector<std::uint8_t> source(256 * 3), middle(256), result(256 * 3);
      for (int v = 0; v < 256; ++v) source[v * 3] = source[v * 3 + 1] = source[v * 3 + 2] = std::uint8_t(v);
      there->convertRow(source.data(), middle.data(), 256);
      back->convertRow(middle.data(), result.data(), 256);
      for (int v = 0; v < 256; ++v)
        for (int c = 0; c < 3; ++c)
          ASSERT_NEAR(result[v * 3 + c], v, 2) << "gray " << v << " rgb " << int(rgb);
    }
  }
}

// Colours printable in SWOP (made from moderate CMYK inks) survive
// sRGB -> CMYK -> sRGB.
TEST(TransformRoundTrip, PrintableColoursThroughCMYK) {
  ProfileRef cmyk = named(NamedProfile::GenericCMYK);
  if (!cmyk) GTEST_SKIP() << "no CMYK profile installed";
  for (SampleType type : {SampleType::UInt8, SampleType::UInt16, SampleType::Float32}) {
    BufferLayout rgb = layout(3, type), ink = layout(4, type);
    auto toRGB = Transform::get(cmyk, ink, named(NamedProfile::SRGB), rgb);
    auto toCMYK = Transform::get(named(NamedProfile::SRGB), rgb, cmyk, ink);
    ASSERT_TRUE(toRGB && toCMYK);
    PixelBuffer inks(ink, 5 * 5 * 5 * 2);
    std::size_t i = 0;
    for (int c = 0; c < 5; ++c)
      for (int m = 0; m < 5; ++m)
        for (int y = 0; y < 5; ++y)
          for (float k : {0.0f, 0.3f})
            inks.set(i++, {{0.1f + 0.12f * c, 0.1f + 0.12f * m, 0.1f + 0.12f * y, k}, 1});
    PixelBuffer colours(rgb, i), middle(ink, i), back(rgb, i);
    toRGB->convertRow(inks.data(), colours.data(), std::int64_t(i));
    toCMYK->convertRow(colours.data(), middle.data(), std::int64_t(i));
    toRGB->convertRow(middle.data(), back.data(), std::int64_t(i));
    float worst = 0;
    for (std::size_t k = 0; k < i; ++k)
      for (int c = 0; c < 3; ++c)
        worst = std::max(worst, std::abs(back.get(k).colour[c] - colours.get(k).colour[c]));
    EXPECT_LE(worst, 0.02f) << "sample type " << int(type);
  }
}

TEST(TransformGet, RefusesLayoutsThatDoNotFitTheProfiles) {
  ProfileRef srgb = named(NamedProfile::SRGB);
  EXPECT_EQ(Transform::get(srgb, layout(1, SampleType::UInt8), srgb, layout(3, SampleType::UInt8)), nullptr);
  EXPECT_EQ(Transform::get(srgb, layout(3, SampleType::UInt8), named(NamedProfile::GrayGamma22),
                           layout(3, SampleType::UInt8)),
            nullptr);
  EXPECT_EQ(Transform::get(srgb, layout(3, SampleType::UInt8, true, false, false, true), srgb,
                           layout(3, SampleType::UInt8)),
            nullptr);
  EXPECT_EQ(Transform::get(nullptr, layout(3, SampleType::UInt8), srgb, layout(3, SampleType::UInt8)),
            nullptr);
}

TEST(TransformGet, CachesByProfileContentsAndLayout) {
  BufferLayout rgb8 = layout(3, SampleType::UInt8);
  ProfileRef srgb = named(NamedProfile::SRGB);
  ProfileRef copy = IccProfile::fromData(srgb->data());
  ProfileRef adobe = named(NamedProfile::AdobeRGB1998);
  auto first = Transform::get(srgb, rgb8, adobe, rgb8);
  EXPECT_EQ(Transform::get(copy, rgb8, adobe, rgb8), first);
  EXPECT_NE(Transform::get(srgb, rgb8, adobe, layout(3, SampleType::UInt16)), first);
  EXPECT_NE(Transform::get(srgb, rgb8, adobe, rgb8, Intent::Perceptual), first);
  EXPECT_NE(Transform::get(srgb, rgb8, adobe, rgb8, Intent::RelativeColorimetric, false), first);
}

std::vector<std::uint8_t> gradient(std::int64_t width, std::int64_t height, std::size_t bytesPerRow) {
  std::vector<std::uint8_t> pixels(bytesPerRow * std::size_t(height));
  for (std::int64_t y = 0; y < height; ++y)
    for (std::int64_t x = 0; x < width * 4; ++x)
      pixels[std::size_t(y) * bytesPerRow + std::size_t(x)] = std::uint8_t((x * 7 + y * 13) & 0xff);
  return pixels;
}

// A large padded-row rectangle converted in parallel equals row-by-row
// conversion, and a transform shared by several threads gives the same
// result on each.
TEST(TransformConvert, ParallelRectangleAndSharedUseMatchRowByRow) {
  ProfileRef cmyk = named(NamedProfile::GenericCMYK);
  if (!cmyk) GTEST_SKIP() << "no CMYK profile installed";
  const std::int64_t width = 517, height = 300;
  const std::size_t inRow = std::size_t(width) * 4 + 12, outRow = std::size_t(width) * 5 + 3;
  BufferLayout rgba = layout(3, SampleType::UInt8, true, false, true);
  BufferLayout cmyka = layout(4, SampleType::UInt8, true);
  auto transform = Transform::get(named(NamedProfile::AdobeRGB1998), rgba, cmyk, cmyka);
  ASSERT_NE(transform, nullptr);
  auto source = gradient(width, height, inRow);
  std::vector<std::uint8_t> expected(outRow * height), parallel(outRow * height);
  for (std::int64_t y = 0; y < height; ++y)
    transform->convertRow(source.data() + std::size_t(y) * inRow, expected.data() + std::size_t(y) * outRow,
                          width);
  transform->convert(source.data(), inRow, parallel.data(), outRow, width, height);
  for (std::int64_t y = 0; y < height; ++y)
    ASSERT_TRUE(std::equal(expected.begin() + y * outRow, expected.begin() + y * outRow + width * 5,
                           parallel.begin() + y * outRow))
        << "row " << y;

  std::vector<std::vector<std::uint8_t>> results(8, std::vector<std::uint8_t>(outRow * height));
  std::vector<std::thread> threads;
  for (auto& result : results)
    threads.emplace_back([&] {
      for (std::int64_t y = 0; y < height; ++y)
        transform->convertRow(source.data() + std::size_t(y) * inRow, result.data() + std::size_t(y) * outRow,
                              width);
    });
  for (auto& thread : threads) thread.join();
  for (const auto& result : results) EXPECT_EQ(result, expected);
}

}  // namespace
}  // namespace color
