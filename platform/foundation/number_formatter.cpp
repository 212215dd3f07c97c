#include "platform/foundation/number_formatter.h"

#include <unicode/unum.h>
#include <unicode/ustring.h>

#include <cmath>
#include <vector>

#include "platform/foundation/log.h"

namespace foundation {

namespace {

// Texts longer than this are no numbers a field would hold.
constexpr std::size_t kLongestNumberText = 256;

UNumberFormat* openFormat(UNumberFormatStyle style, int minFractionDigits, int maxFractionDigits,
                          double roundingIncrement) {
  UErrorCode status = U_ZERO_ERROR;
  UNumberFormat* format = unum_open(style, nullptr, 0, nullptr, nullptr, &status);
  if (U_FAILURE(status) || format == nullptr) {
    log("Number formatter: cannot open ({})", u_errorName(status));
    return nullptr;
  }
  unum_setAttribute(format, UNUM_MIN_FRACTION_DIGITS, minFractionDigits);
  unum_setAttribute(format, UNUM_MAX_FRACTION_DIGITS, maxFractionDigits);
  if (roundingIncrement > 0) {
    unum_setDoubleAttribute(format, UNUM_ROUNDING_INCREMENT, roundingIncrement);
    unum_setAttribute(format, UNUM_ROUNDING_MODE, UNUM_ROUND_HALFEVEN);
  }
  unum_setAttribute(format, UNUM_LENIENT_PARSE, 1);
  return format;
}

std::u16string utf16(std::string_view text) {
  UErrorCode status = U_ZERO_ERROR;
  std::int32_t length = 0;
  u_strFromUTF8(nullptr, 0, &length, text.data(), std::int32_t(text.size()), &status);
  if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return {};
  std::u16string out(std::size_t(length), u'\0');
  status = U_ZERO_ERROR;
  u_strFromUTF8(out.data(), length, nullptr, text.data(), std::int32_t(text.size()), &status);
  return U_SUCCESS(status) ? out : std::u16string();
}

std::string utf8(const UChar* text, std::int32_t length) {
  UErrorCode status = U_ZERO_ERROR;
  std::int32_t needed = 0;
  u_strToUTF8(nullptr, 0, &needed, text, length, &status);
  if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return {};
  std::string out(std::size_t(needed), '\0');
  status = U_ZERO_ERROR;
  u_strToUTF8(out.data(), needed, nullptr, text, length, &status);
  return U_SUCCESS(status) ? out : std::string();
}

bool isSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == 0x00A0 || c == 0x202F;
}

std::u16string trimmed(std::u16string text) {
  while (!text.empty() && isSpace(text.back())) text.pop_back();
  std::size_t start = 0;
  while (start < text.size() && isSpace(text[start])) ++start;
  return text.substr(start);
}

}  // namespace

void NumberFormatter::Closer::operator()(void* format) const {
  unum_close(static_cast<UNumberFormat*>(format));
}

NumberFormatter::NumberFormatter(Style style, int minFractionDigits, int maxFractionDigits,
                                 double roundingIncrement)
    : style_(style),
      format_(openFormat(style == Style::Percent ? UNUM_PERCENT : UNUM_DECIMAL, minFractionDigits,
                         maxFractionDigits, roundingIncrement)) {
  if (style == Style::Percent) plain_.reset(openFormat(UNUM_DECIMAL, 0, 6, 0));
}

NumberFormatter::~NumberFormatter() = default;

std::string NumberFormatter::format(double value) const {
  if (!format_ || !std::isfinite(value)) return {};
  UChar buffer[128];
  UErrorCode status = U_ZERO_ERROR;
  const std::int32_t length =
      unum_formatDouble(static_cast<UNumberFormat*>(format_.get()), value, buffer, 128, nullptr, &status);
  if (U_FAILURE(status) || length > 128) return {};
  return utf8(buffer, length);
}

std::optional<double> NumberFormatter::parseWith(void* format, std::string_view text) const {
  if (format == nullptr || text.size() > kLongestNumberText) return std::nullopt;
  const std::u16string wide = trimmed(utf16(text));
  if (wide.empty()) return std::nullopt;
  UErrorCode status = U_ZERO_ERROR;
  std::int32_t position = 0;
  const double value =
      unum_parseDouble(static_cast<UNumberFormat*>(format), reinterpret_cast<const UChar*>(wide.data()),
                       std::int32_t(wide.size()), &position, &status);
  if (U_FAILURE(status) || std::size_t(position) != wide.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<double> NumberFormatter::parse(std::string_view text) const {
  if (auto value = parseWith(format_.get(), text)) return value;
  if (style_ != Style::Percent) return std::nullopt;
  // "85 %" and "85": the number without its sign, as a percentage.
  std::string plain(text);
  if (const auto sign = plain.rfind('%'); sign != std::string::npos) plain.erase(sign, 1);
  if (auto value = parseWith(plain_.get(), plain)) return *value / 100.0;
  return std::nullopt;
}

}  // namespace foundation
