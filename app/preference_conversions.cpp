#include "app/preference_conversions.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace velumar {

namespace {

std::size_t firstNonSpace(const std::string& text) {
  std::size_t at = 0;
  while (at < text.size() && std::strchr(" \t\n\r\v\f", text[at]) != nullptr && text[at] != '\0') ++at;
  return at;
}

}  // namespace

std::optional<bool> preferenceBool(const std::optional<foundation::Value>& value) {
  if (!value) return std::nullopt;
  if (const std::string* text = value->asString()) {
    const std::size_t at = firstNonSpace(*text);
    if (at == text->size()) return false;
    const char c = (*text)[at];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
  }
  return value->toBool();
}

std::optional<std::int64_t> preferenceInteger(const std::optional<foundation::Value>& value) {
  if (!value) return std::nullopt;
  if (const std::string* text = value->asString()) {
    std::size_t at = firstNonSpace(*text);
    if (at < text->size() && (*text)[at] == '+') ++at;
    std::int64_t number = 0;
    const char* first = text->data() + at;
    const auto [end, error] = std::from_chars(first, text->data() + text->size(), number);
    if (error != std::errc() || end == first) return std::nullopt;
    return number;
  }
  if (value->isReal()) {
    const double real = *value->toDouble();
    if (!std::isfinite(real) || std::fabs(real) >= 9.2e18) return std::nullopt;
  }
  return value->toInt();
}

}  // namespace velumar
