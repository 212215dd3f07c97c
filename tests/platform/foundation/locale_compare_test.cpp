#include <gtest/gtest.h>

#include <string>

#include "platform/foundation/locale_compare.h"

using foundation::localizedEqual;

TEST(LocaleCompare, TertiaryEquality) {
  struct Case {
    std::string a, b;
    bool equal;
  };
  const Case cases[] = {
      {"JPG for Web", "JPG for Web", true},
      {"", "", true},
      {"JPG for Web", "jpg for web", false},  // case counts
      {"Preset", "Preset ", false},
      {"caf\xC3\xA9", "cafe\xCC\x81", true},  // composed and decomposed é
      {"caf\xC3\xA9", "cafe", false},         // accents count
      {"a\xFF", "a\xFE", false},              // malformed bytes are not one character
      {"a\xFF", "a\xFF", true},
      {"sRGB IEC61966-2.1", "sRGB IEC61966-2.1", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(localizedEqual(c.a, c.b), c.equal) << c.a << " / " << c.b;
    EXPECT_EQ(localizedEqual(c.b, c.a), c.equal) << c.b << " / " << c.a;
  }
}
