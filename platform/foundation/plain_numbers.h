#pragma once
// Numbers as files, protocols and other programs read them: a '.' decimal
// point and no grouping, whatever the process's locale. printf, scanf and
// strtod follow LC_NUMERIC, which writes and reads decimal commas in most
// European locales. What the user reads and types goes through
// NumberFormatter instead.

#include <optional>
#include <string>
#include <string_view>

namespace foundation {

// The value with exactly fractionDigits digits after the point (0 to 17),
// as "%.Nf" gives it in the C locale.
std::string fixedDecimal(double value, int fractionDigits);

// The decimal number at the start of text, after white space, with an
// optional sign, as strtod reads it in the C locale; text is advanced past
// it. Nothing (and text unchanged) when no number starts there, or when it
// lies beyond a double's range.
std::optional<double> readDecimal(std::string_view& text);

}  // namespace foundation
