#include <gtest/gtest.h>

#include <limits>

#include "platform/foundation/number_formatter.h"

using foundation::NumberFormatter;
using Style = NumberFormatter::Style;

TEST(NumberFormatter, FormatsAndParsesTheConverterFormats) {
  const NumberFormatter percent(Style::Percent, 0, 0, 1);
  const NumberFormatter decimal(Style::Decimal, 0, 2, 0.001);
  const NumberFormatter integer(Style::Decimal, 0, 0, 1);
  const NumberFormatter dpi(Style::Decimal, 1, 1, 0.01);
  struct FormatCase {
    const NumberFormatter& formatter;
    double value;
    const char* text;
  };
  const FormatCase formats[] = {
      {percent, 0.85, "85%"}, {percent, 1.0, "100%"}, {percent, 0.004, "0%"},
      {decimal, 2.5, "2.5"},  {decimal, -25, "-25"},  {decimal, 1.2345, "1.23"},
      {integer, 640, "640"},  {dpi, 72, "72.0"},      {dpi, 299.99, "300.0"},
  };
  for (const FormatCase& c : formats) EXPECT_EQ(c.formatter.format(c.value), c.text) << c.value;
  EXPECT_EQ(percent.format(std::numeric_limits<double>::quiet_NaN()), "");

  struct ParseCase {
    const NumberFormatter& formatter;
    const char* text;
    std::optional<double> value;
  };
  const ParseCase parses[] = {
      {percent, "85%", 0.85}, {percent, "85 %", 0.85}, {percent, "85", 0.85},     {percent, " 50% ", 0.5},
      {percent, "abc", {}},   {percent, "", {}},       {percent, "Original", {}}, {decimal, "2.5", 2.5},
      {decimal, "-3", -3},    {decimal, "2.5x", {}},   {integer, "640", 640},     {dpi, "72.0", 72},
  };
  for (const ParseCase& c : parses) EXPECT_EQ(c.formatter.parse(c.text), c.value) << c.text;
  EXPECT_FALSE(decimal.parse(std::string(1000, '9')));
}
