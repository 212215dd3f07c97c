// Numbers and ASCII case for files and other programs, under locales that
// write decimal commas and fold case the Turkish way.
#include <gtest/gtest.h>

#include "platform/foundation/ascii_case.h"
#include "platform/foundation/plain_numbers.h"
#include "support/test_support.h"

namespace foundation {
namespace {

TEST(PlainNumbers, IgnoreTheCLibrarysLocale) {
  for (const char* locale : {"de_DE.UTF-8", "tr_TR.UTF-8"}) {
    testsupport::withLocale(locale, [&] {
      SCOPED_TRACE(locale);
      EXPECT_EQ(fixedDecimal(394.97136, 4), "394.9714");
      EXPECT_EQ(fixedDecimal(-0.0, 6), "-0.000000");
      EXPECT_EQ(fixedDecimal(1234567.5, 0), "1234568");

      const struct {
        std::string_view text;
        std::optional<double> number;
        std::string_view rest;
      } reads[] = {
          {" 10.5 20", 10.5, " 20"},
          {"+.25x", 0.25, "x"},
          {"-3e2,", -300.0, ","},
          {"\t7", 7.0, ""},
          {"1,5", 1.0, ",5"},
          {"", std::nullopt, ""},
          {"+-1", std::nullopt, "+-1"},
          {"abc", std::nullopt, "abc"},
          {"1e999", std::nullopt, "1e999"},
      };
      for (const auto& read : reads) {
        std::string_view text = read.text;
        EXPECT_EQ(readDecimal(text), read.number) << read.text;
        EXPECT_EQ(text, read.rest) << read.text;
      }

      EXPECT_EQ(asciiLowercase("GIMP.ICC Ü"), "gimp.icc Ü");
      EXPECT_TRUE(asciiEqualsIgnoringCase(".ICM", ".icm"));
      EXPECT_FALSE(asciiEqualsIgnoringCase(".icc", ".icm"));
    });
  }
}

}  // namespace
}  // namespace foundation
