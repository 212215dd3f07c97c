#pragma once
// Localized date text: the date part only, in one of the four standard
// lengths of the current locale, in the local time zone.

#include <string>

#include "platform/foundation/value.h"

namespace foundation {

// 1 short ("7/4/19"), 2 medium ("Jul 4, 2019"), 3 long ("July 4, 2019"),
// 4 full ("Thursday, July 4, 2019"), as in en_US.
enum class DateStyle { Short = 1, Medium = 2, Long = 3, Full = 4 };

// The date in style, in the locale named localeName (e.g. "en_US"; empty
// for the current locale). "" for a style outside 1..4, a date out of range
// or when the formatter cannot be made.
std::string localizedDateString(Date date, long long style, const std::string& localeName = {});

}  // namespace foundation
