#pragma once
// Profiles whose values are proportional to light: the same primaries and
// white as a given profile with linear tone curves. Floating-point image
// formats that store linear light (32-bit PSD) are tagged with them.

#include "platform/color/icc_profile.h"

namespace color {

// profile with linear tone curves, described as "<description> (linear)";
// profile itself when its curves are linear already. For matrix/shaper RGB
// and gray profiles only: nullptr for others (table-based, CMYK, Lab) and
// for nullptr.
ProfileRef withLinearCurves(const ProfileRef& profile);

// sRGB with linear curves, or gray with a linear curve: what linear values
// without a profile of their own mean. Made once.
ProfileRef linearDefault(Model model);

}  // namespace color
