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
//
// A midtone curve follows on the stretched level s (0..1):
// s / (s + m · (1 − s)). It keeps black and white where they are and moves
// the middle: level 0.5 goes to 1 / (1 + m), lighter for m below 1. Its
// slope is 1 / m at black and m at white, so it neither crushes the
// shadows nor blows out the highlights as a power would at one end.

#include "platform/ci/filter.h"

namespace ci {

inline constexpr const char* kLightnessStretchName = "LightnessStretch";

// A filter of that name with inputGain, inputOffset and inputMidtone (m
// above) set (not registered: only the automatic adjustment makes it).
FilterRef makeLightnessStretch(double gain, double offset, double midtone = 1);

// The filter keeps m within kMidtoneLimit and its inverse.
inline constexpr double kMidtoneLimit = 2;

// Where the filter takes a largest channel at level (on the tone curve
// below): the stretch and the midtone curve, not limited to 1.
float stretchedLevel(float level, float gain, float offset, float midtone);

// A straight working-space value (0 black, 1 white) as a level of the sRGB
// tone curve, and back. Values beyond 0..1 follow the curve's power.
float stretchLevel(float workingValue);
float workingValue(float stretchLevel);

}  // namespace ci
