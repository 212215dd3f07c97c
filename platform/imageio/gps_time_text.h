#pragma once
// The GPS time stamp as the image properties hold it, "HH:MM:SS" or
// "HH:MM:SS.ss", with a '.' whatever the process's locale.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace imageio {

// Hours, minutes and seconds as text; seconds keep two decimals unless whole.
std::string gpsTimeText(double hours, double minutes, double seconds);
// Hours and minutes (whole) and seconds read back from such a text; what
// follows the seconds is ignored. Nothing when the text does not start so.
std::optional<std::array<double, 3>> gpsTimeFromText(std::string_view text);

}  // namespace imageio
