#pragma once
// The fixed-format dates of image metadata and output names: EXIF date
// strings ("2019:07:04 18:30:00") and the date text of file names
// ("2019 - 07 - 04"). Both are read and written in the Gregorian calendar
// with ASCII digits, whatever the process's locale; times are local.

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/value.h"

namespace velumar {

// "yyyy:MM:dd HH:mm:ss" in the local time zone; trailing spaces and NULs
// are ignored. nullopt for any other text, for a date that does not exist
// and for one outside what a date holds (about the years 1678 to 2261).
std::optional<foundation::Date> parseExifDateTime(std::string_view text);

// The date as "yyyy - MM - dd" in the local time zone.
std::string fileNameDateString(foundation::Date date);

}  // namespace velumar
