#pragma once
// Version strings ordered as software catalogues order them: digit runs by
// value, letter runs by bytes, a digit run after a letter run, a "~" before
// anything (so "1.0~rc1" comes before "1.0") and a "^" after the end of the
// other version but before anything else (so "1.0^1" comes after "1.0").

#include <string_view>

namespace desktop {

// Negative when a comes before b, zero when they are equal, positive after.
int compareVersions(std::string_view a, std::string_view b);

}  // namespace desktop
