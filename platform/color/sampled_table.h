#pragma once
// A colour conversion sampled into a table: an RGB space taken through
// another profile's device space and back, as a 3D grid of 16-bit RGB
// values (the look of an image output through that profile).

#include <cstdint>
#include <vector>

#include "platform/color/icc_profile.h"

namespace color {

// Samples outer (RGB) -> through -> outer at gridPoints^3 points, with the
// rendering intent of through's header. Each grid point is three unsigned
// 16-bit values (0..65535); the grid point for input (r, g, b) lies at
// index b + g*n + r*n*n (the first input channel varies slowest). Empty when
// gridPoints is below 2 or above 256, outer is not RGB, or no transform can
// be built.
std::vector<std::uint16_t> sampleRoundTripTable(const ProfileRef& outer, const ProfileRef& through,
                                                int gridPoints);

}  // namespace color
