#include "platform/imageio/gps_time_text.h"

#include <cmath>

#include "platform/foundation/plain_numbers.h"

namespace imageio {

namespace {

std::string twoDigits(double whole) {
  std::string text = foundation::fixedDecimal(whole, 0);
  return text.size() < 2 ? "0" + text : text;
}

// A whole number: the hours and the minutes.
std::optional<double> readWhole(std::string_view& text) {
  const std::optional<double> number = foundation::readDecimal(text);
  return number && *number == std::trunc(*number) ? number : std::nullopt;
}

}  // namespace

std::string gpsTimeText(double hours, double minutes, double seconds) {
  std::string text = twoDigits(std::trunc(hours)) + ":" + twoDigits(std::trunc(minutes)) + ":";
  if (seconds == std::floor(seconds)) return text + twoDigits(seconds);
  const std::string fraction = foundation::fixedDecimal(seconds, 2);
  return text + (fraction.size() < 5 ? std::string(5 - fraction.size(), '0') : std::string()) + fraction;
}

std::optional<std::array<double, 3>> gpsTimeFromText(std::string_view text) {
  const std::optional<double> hours = readWhole(text);
  if (!hours || text.empty() || text.front() != ':') return std::nullopt;
  text.remove_prefix(1);
  const std::optional<double> minutes = readWhole(text);
  if (!minutes || text.empty() || text.front() != ':') return std::nullopt;
  text.remove_prefix(1);
  const std::optional<double> seconds = foundation::readDecimal(text);
  if (!seconds) return std::nullopt;
  return std::array<double, 3>{*hours, *minutes, *seconds};
}

}  // namespace imageio
