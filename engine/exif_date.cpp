// Locale-independent fixed-format dates: digits are parsed and printed by
// hand, and the calendar arithmetic is the C library's proleptic Gregorian.

#include "engine/exif_date.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace velumar {

namespace {

// The text's digits at [position, position + count) as a number; -1 when
// one of them is not an ASCII digit.
int digitsAt(std::string_view text, std::size_t position, std::size_t count) {
  int value = 0;
  for (std::size_t i = position; i < position + count; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

bool isLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

std::optional<foundation::Date> parseExifDateTime(std::string_view text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.remove_suffix(1);
  // yyyy:MM:dd HH:mm:ss
  constexpr std::string_view kPattern = "dddd:dd:dd dd:dd:dd";
  if (text.size() != kPattern.size()) return std::nullopt;
  for (std::size_t i = 0; i < kPattern.size(); ++i) {
    if (kPattern[i] != 'd' && text[i] != kPattern[i]) return std::nullopt;
  }
  const int year = digitsAt(text, 0, 4);
  const int month = digitsAt(text, 5, 2);
  const int day = digitsAt(text, 8, 2);
  const int hour = digitsAt(text, 11, 2);
  const int minute = digitsAt(text, 14, 2);
  const int second = digitsAt(text, 17, 2);
  if (year < 1 || month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
      second < 0 || second > 59) {
    return std::nullopt;
  }
  if (day > daysInMonth(year, month)) return std::nullopt;

  std::tm fields{};
  fields.tm_year = year - 1900;
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = hour;
  fields.tm_min = minute;
  fields.tm_sec = second;
  fields.tm_isdst = -1;  // the zone's own rule for that day
  errno = 0;
  const std::time_t seconds = std::mktime(&fields);
  if (seconds == std::time_t(-1) && errno != 0) return std::nullopt;
  // Dates keep nanoseconds in 64 bits: about the years 1678 to 2261.
  const auto limit = std::chrono::duration_cast<std::chrono::seconds>(foundation::Date::duration::max());
  if (seconds >= limit.count() || seconds <= -limit.count()) return std::nullopt;
  return std::chrono::system_clock::from_time_t(seconds);
}

std::string fileNameDateString(foundation::Date date) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(date);
  std::tm fields{};
  if (!localtime_r(&seconds, &fields)) return {};
  char text[48];
  const int length = std::snprintf(text, sizeof text, "%04d - %02d - %02d", fields.tm_year + 1900,
                                   fields.tm_mon + 1, fields.tm_mday);
  if (length <= 0 || std::size_t(length) >= sizeof text) return {};
  return std::string(text, std::size_t(length));
}

}  // namespace velumar
