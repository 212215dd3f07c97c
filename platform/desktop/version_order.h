#pragma once
// Version strings in Debian's order, the one software catalogues document:
// an epoch ("2:" before the version; 0 without one), then the version, then
// a revision (after the last "-"), each compared in turn. Within each part,
// runs of non-digits compare character by character, "~" before anything,
// even the end ("1.0~rc1" before "1.0"), then letters, then every other
// character ("^" is one of them), and runs of digits compare by value.

#include <string_view>

namespace desktop {

// Negative when a comes before b, zero when they are equal, positive after.
int compareVersions(std::string_view a, std::string_view b);

}  // namespace desktop
