#include "platform/desktop/version_order.h"

#include <gtest/gtest.h>

#include <iterator>

namespace desktop {
namespace {

int sign(int value) {
  return (value > 0) - (value < 0);
}

// Every expected answer here was taken from `appstreamcli vercmp A B`
// (AppStream 0.16.1): -1 for "<<", 0 for "==", 1 for ">>".
TEST(VersionOrder, PairsAsTheSoftwareCatalogueOrdersThem) {
  const struct {
    const char *a, *b;
    int order;
  } cases[] = {
      {"1.0", "2.0", -1},
      {"2.10", "2.9", 1},
      {"1.2.3", "1.2.3", 0},
      {"1.0", "1.0.0", -1},
      // "^" is an ordinary character, after letters, "+" and ".".
      {"1.0^1", "1.0.1", 1},
      {"1.0^1", "1.0", 1},
      {"1.0^1", "1.0+1", 1},
      // "~" before everything, even the end.
      {"1.0~rc1", "1.0", -1},
      {"1.0~rc1", "1.0~rc2", -1},
      {"1.0~~", "1.0~", -1},
      {"1.0~", "1.0", -1},
      {"2.0~beta1", "2.0~alpha2", 1},
      {"~", "", -1},
      // Epochs; a missing one is 0.
      {"1:1.0", "2.0", 1},
      {"0:1.0", "1.0", 0},
      {"2:1", "10:0", -1},
      {"1:1.0", "1:1.0~1", 1},
      {"a:1", "1", 0},
      // Digits by value, leading zeros ignored.
      {"010", "10", 0},
      {"1.01", "1.1", 0},
      {"1.0", "1.00", 0},
      {"20230101", "2023.01.01", 1},
      // Letters after the end and digits, before other characters.
      {"1.0a", "1.0", 1},
      {"1.0a", "1.0.1", -1},
      {"1.0a", "1.0+", -1},
      {"1.0a", "1.0A", 1},
      {"1.0rc1", "1.0", 1},
      {"1.0beta", "1.0alpha", 1},
      {"1.0\xc3\xa9", "1.0z", 1},   // "é" after letters
      {"1.0\xc3\xa9", "1.0!", -1},  // and before ASCII punctuation
      // The revision follows the last "-".
      {"1.0-1", "1.0-2", -1},
      {"1.0-1", "1.0a", -1},
      {"1-1a-1", "1-1-1", 1},
      {"1.0-0", "1.0", 0},
      {"", "", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(sign(compareVersions(c.a, c.b)), c.order) << c.a << " against " << c.b;
    EXPECT_EQ(sign(compareVersions(c.b, c.a)), -c.order) << c.b << " against " << c.a;
  }

  // A release list, oldest first (each pair checked with appstreamcli).
  const char* releases[] = {"0.9",   "1.0~alpha1",   "1.0~beta1", "1.0~rc1", "1.0",     "1.0a",
                            "1.0+1", "1.0.1",        "1.0^git1",  "1.1",     "1.2~rc1", "1.10",
                            "2.0-1", "2.0-1ubuntu1", "2.0-2",     "1:0.5"};
  for (std::size_t i = 0; i < std::size(releases); ++i)
    for (std::size_t j = 0; j < std::size(releases); ++j)
      EXPECT_EQ(sign(compareVersions(releases[i], releases[j])), int(i > j) - int(i < j))
          << releases[i] << " against " << releases[j];
}

}  // namespace
}  // namespace desktop
