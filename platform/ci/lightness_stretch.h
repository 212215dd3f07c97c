#pragma once
// A levels stretch of lightness that keeps each pixel's chromaticity: the
// pixel's luma y becomes gain · y + offset by scaling its red, green and
// blue alike, and no further than its largest channel reaching 1 (a bright
// colour keeps its hue instead of clipping). A common offset on the three
// channels would instead multiply a colour cast. Offsets above 0 are not
// applied: they would lift near-black noise into colour.

#include "platform/ci/filter.h"

namespace ci {

inline constexpr const char* kLightnessStretchName = "LightnessStretch";

// A filter of that name with inputGain and inputOffset set (not registered:
// only the automatic adjustment makes it).
FilterRef makeLightnessStretch(double gain, double offset);

}  // namespace ci
