#include "platform/foundation/plain_numbers.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace foundation {

std::string fixedDecimal(double value, int fractionDigits) {
  // The largest double has 309 whole digits; a sign, a point and 17
  // fraction digits fit beside them.
  std::array<char, 352> text;
  const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), value,
                                          std::chars_format::fixed, std::clamp(fractionDigits, 0, 17));
  return error == std::errc() ? std::string(text.data(), end) : std::string();
}

std::optional<double> readDecimal(std::string_view& text) {
  std::string_view rest = text;
  while (!rest.empty() && (rest.front() == ' ' || (rest.front() >= '\t' && rest.front() <= '\r')))
    rest.remove_prefix(1);
  // from_chars takes a '-' but not a '+'.
  bool negative = false;
  if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
    negative = rest.front() == '-';
    rest.remove_prefix(1);
  }
  if (rest.empty() || rest.front() == '+' || rest.front() == '-') return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
  if (error != std::errc()) return std::nullopt;
  text = rest.substr(std::size_t(end - rest.data()));
  return negative ? -value : value;
}

}  // namespace foundation
