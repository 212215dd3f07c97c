#pragma once
// A levels stretch of lightness that keeps each pixel's chromaticity. It
// works on levels of the sRGB tone curve (the levels most outputs are seen
// in; its straight foot keeps the darkest levels apart) and moves each
// pixel's largest channel there from v to gain · v + offset, scaling red,
// green and blue alike. So a saturated colour counts as bright as its
// strongest channel: it reaches 1 only from the white point up and 0 only
// at the black point and below. A common offset on the three channels
// would instead multiply a colour cast. Offsets above 0 are not applied:
// they would lift near-black noise into colour.

#include "platform/ci/filter.h"

namespace ci {

inline constexpr const char* kLightnessStretchName = "LightnessStretch";

// A filter of that name with inputGain and inputOffset set (not registered:
// only the automatic adjustment makes it).
FilterRef makeLightnessStretch(double gain, double offset);

// A straight working-space value (0 black, 1 white) as a level of the sRGB
// tone curve, and back. Values beyond 0..1 follow the curve's power.
float stretchLevel(float workingValue);
float workingValue(float stretchLevel);

}  // namespace ci
