#include "platform/foundation/date_format.h"

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <chrono>
#include <memory>

#include "platform/foundation/log.h"

namespace foundation {

std::string localizedDateString(Date date, long long style, const std::string& localeName) {
  if (style < 1 || style > 4) return {};
  // The formatter's styles run from full (0) to short (3).
  const auto icuStyle = icu::DateFormat::EStyle(icu::DateFormat::kShort - int(style - 1));
  const icu::Locale locale = localeName.empty() ? icu::Locale::getDefault() : icu::Locale(localeName.c_str());
  std::unique_ptr<icu::DateFormat> format(icu::DateFormat::createDateInstance(icuStyle, locale));
  if (!format) {
    log("date format: no formatter for locale {}", locale.getName());
    return {};
  }
  const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(date.time_since_epoch());
  icu::UnicodeString text;
  format->format(UDate(double(milliseconds.count())), text);
  std::string utf8;
  text.toUTF8String(utf8);
  return utf8;
}

}  // namespace foundation
