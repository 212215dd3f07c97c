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

TEST(LocaleCompare, FileNameOrder) {
  // Each row: a sorts strictly before b.
  const std::pair<std::string, std::string> before[] = {
      {"B1.png", "b9.png"},   // case ignored first
      {"b9.png", "b10.png"},  // digit runs compare as numbers
      {"img2", "img10"},
      {"a", "\xC3\xA9t\xC3\xA9"},       // accents ignored first: a < e
      {"\xEF\xBC\xA1", "b"},            // fullwidth A sorts as A
      {"Photo", "photo"},               // ties broken: still a total order
      {"cafe\xCC\x81", "caf\xC3\xA9"},  // canonically equal spellings: by bytes
      {"a\xFE", "a\xFF"},               // not UTF-8: by bytes
      {"", "a"},
  };
  for (const auto& [a, b] : before) {
    EXPECT_LT(foundation::compareFileNames(a, b), 0) << a << " < " << b;
    EXPECT_GT(foundation::compareFileNames(b, a), 0) << b << " > " << a;
  }
  EXPECT_EQ(foundation::compareFileNames("x.jpg", "x.jpg"), 0);
}
