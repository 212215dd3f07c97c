#include <locale.h>

#include <array>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>

#include "platform/foundation/property_list_xml.h"

namespace foundation {

namespace {

bool isXmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isHexDigit(char c) {
  const char lower = char(c | 0x20);
  return (c >= '0' && c <= '9') || (lower >= 'a' && lower <= 'f');
}

// text without its leading XML white space: numbers, dates and data skip it.
const char* afterLeadingSpace(const std::string& text) {
  const char* at = text.c_str();
  while (isXmlSpace(*at)) ++at;
  return at;
}

Date dateFromReference(std::int64_t seconds) {
  return Date(std::chrono::seconds(seconds + kReferenceDateUnixSeconds));
}

}  // namespace

std::int64_t xmlInteger(const std::string& text) {
  // One sign is taken here; after more blanks a second one may follow, as
  // the reader has always taken them.
  const char* digits = afterLeadingSpace(text);
  const char* const end = text.c_str() + text.size();
  const bool negative = *digits == '-';
  if (*digits == '-' || *digits == '+') ++digits;
  while (isXmlSpace(*digits) || *digits == '\v' || *digits == '\f') ++digits;
  const bool innerNegative = *digits == '-';
  if (*digits == '-' || *digits == '+') ++digits;
  // Decimal, leading zeros and all, or hexadecimal after "0x"; no digits
  // read as 0 and more than 64 bits as the largest value.
  int base = 10;
  if (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X') && isHexDigit(digits[2])) {
    digits += 2;
    base = 16;
  }
  std::uint64_t value = 0;
  if (std::from_chars(digits, end, value, base).ec == std::errc::result_out_of_range) {
    value = std::numeric_limits<std::uint64_t>::max();
  } else if (innerNegative) {
    value = 0 - value;
  }
  if (negative) value = 0 - value;
  // Above the largest signed value the bits are kept, as the binary form
  // stores them.
  return static_cast<std::int64_t>(value);
}

double xmlReal(const std::string& text) {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
  return strtod_l(afterLeadingSpace(text), nullptr, c);
}

Date xmlDate(const std::string& text) {
  const char* start = afterLeadingSpace(text);
  const std::size_t length = text.c_str() + text.size() - start;
  std::time_t seconds = 0;  // too short or too long: the Unix epoch
  if (length >= 11 && length < 32) {
    char copy[32] = {};
    std::memcpy(copy, start, length);
    std::tm fields{};
    // What does not parse leaves its fields and those after it zero.
    strptime(copy, "%Y-%m-%dT%H:%M:%SZ", &fields);
    fields.tm_isdst = 0;
    seconds = timegm(&fields);
  }
  // Both forms hold dates as 32-bit whole seconds from the reference date.
  constexpr std::int64_t lowest = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t highest = std::numeric_limits<std::int32_t>::max();
  const std::int64_t sinceReference = std::int64_t(seconds) - kReferenceDateUnixSeconds;
  return dateFromReference(sinceReference < lowest    ? lowest
                           : sinceReference > highest ? highest
                                                      : sinceReference);
}

Date xmlDateOfEmptyElement() {
  return dateFromReference(0);
}

Data xmlData(std::string_view text) {
  // Sextets of the alphabet; padding marks missing ones; anything else,
  // white space included, is skipped.
  static constexpr signed char kSkip = -1, kPad = -2;
  static const auto sextets = [] {
    std::array<signed char, 256> table;
    table.fill(kSkip);
    const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i) table[std::uint8_t(alphabet[i])] = static_cast<signed char>(i);
    table['='] = kPad;
    return table;
  }();
  Data bytes;
  bytes.reserve(text.size() / 4 * 3 + 3);
  int group[4];
  int filled = 0;
  for (const char c : text) {
    const int sextet = sextets[std::uint8_t(c)];
    if (sextet == kSkip) continue;
    group[filled++] = sextet;
    if (filled < 4) continue;
    filled = 0;
    if (group[0] >= 0 && group[1] >= 0) bytes.push_back(std::uint8_t((group[0] << 2) | (group[1] >> 4)));
    if (group[1] >= 0 && group[2] >= 0) bytes.push_back(std::uint8_t((group[1] << 4) | (group[2] >> 2)));
    if (group[2] >= 0 && group[3] >= 0) bytes.push_back(std::uint8_t((group[2] << 6) | group[3]));
  }
  return bytes;
}

}  // namespace foundation
