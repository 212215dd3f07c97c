#include "platform/foundation/date_format.h"

#include <gtest/gtest.h>

#include <ctime>

namespace {

// Noon local time, so that no time zone moves the day.
foundation::Date localNoon(int year, int month, int day) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = 12;
  tm.tm_isdst = -1;
  return foundation::Date(std::chrono::system_clock::from_time_t(std::mktime(&tm)));
}

TEST(DateFormat, StylesOfTheLocaleAndNothingOutsideThem) {
  const struct {
    long long style;
    const char* expected;
  } cases[] = {
      {1, "7/4/19"}, {2, "Jul 4, 2019"}, {3, "July 4, 2019"}, {4, "Thursday, July 4, 2019"}, {0, ""},
      {5, ""},       {-1, ""},
  };
  const foundation::Date date = localNoon(2019, 7, 4);
  for (const auto& c : cases)
    EXPECT_EQ(foundation::localizedDateString(date, c.style, "en_US"), c.expected) << "style " << c.style;
  EXPECT_EQ(foundation::localizedDateString(date, 3, "de_DE"), "4. Juli 2019");
  EXPECT_FALSE(foundation::localizedDateString(date, 2).empty());
}

}  // namespace
