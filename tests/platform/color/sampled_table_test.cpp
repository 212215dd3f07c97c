#include "platform/color/sampled_table.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace color {
namespace {

std::size_t indexOf(std::size_t r, std::size_t g, std::size_t b, std::size_t n) {
  return (b + g * n + r * n * n) * 3;
}

TEST(SampledTable, ThroughAnRGBProfileThatHoldsTheGamutIsIdentityAndOrderedRedSlowest) {
  const std::size_t n = 32;
  // Adobe RGB holds all of sRGB, so the round trip changes nothing.
  auto table = sampleRoundTripTable(IccProfile::named(NamedProfile::SRGB),
                                    IccProfile::named(NamedProfile::AdobeRGB1998), int(n));
  ASSERT_EQ(table.size(), n * n * n * 3);
  // Pure red, green and blue grid points land on themselves.
  const std::size_t last = n - 1;
  struct Corner {
    std::size_t r, g, b;
  };
  for (Corner c : {Corner{last, 0, 0}, Corner{0, last, 0}, Corner{0, 0, last}, Corner{last, last, last}}) {
    std::size_t at = indexOf(c.r, c.g, c.b, n);
    EXPECT_NEAR(table[at], c.r ? 65535 : 0, 70);
    EXPECT_NEAR(table[at + 1], c.g ? 65535 : 0, 70);
    EXPECT_NEAR(table[at + 2], c.b ? 65535 : 0, 70);
  }
  std::size_t mid = indexOf(16, 8, 24, n);
  EXPECT_NEAR(table[mid], 16 * 65535 / 31, 70);
  EXPECT_NEAR(table[mid + 1], 8 * 65535 / 31, 70);
  EXPECT_NEAR(table[mid + 2], 24 * 65535 / 31, 70);
}

TEST(SampledTable, ThroughCMYKClipsSaturatedBlue) {
  ProfileRef cmyk = IccProfile::named(NamedProfile::GenericCMYK);
  if (!cmyk) GTEST_SKIP() << "no CMYK profile installed";
  const std::size_t n = 17;
  auto table = sampleRoundTripTable(IccProfile::named(NamedProfile::GenericRGB), cmyk, int(n));
  ASSERT_EQ(table.size(), n * n * n * 3);
  std::size_t blue = indexOf(0, 0, n - 1, n);
  EXPECT_GT(table[blue], 2000) << "pure blue is out of the printable gamut";
}

TEST(SampledTable, RefusesBadArguments) {
  auto rgb = IccProfile::named(NamedProfile::GenericRGB);
  EXPECT_TRUE(sampleRoundTripTable(rgb, rgb, 1).empty());
  EXPECT_TRUE(sampleRoundTripTable(rgb, rgb, 257).empty());
  EXPECT_TRUE(sampleRoundTripTable(nullptr, rgb, 32).empty());
  EXPECT_TRUE(sampleRoundTripTable(IccProfile::named(NamedProfile::GenericGray), rgb, 32).empty());
}

}  // namespace
}  // namespace color
