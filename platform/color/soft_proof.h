#pragma once
// How generic RGB colours look through another profile: generic RGB to
// that profile and back, as a soft proof (lcms2's proofing transform, with
// the intent of the profile's header towards it and relative colorimetric
// back).

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/color/icc_profile.h"

namespace color {

// rgb holds 16-bit generic RGB triples; the result the proofed triples.
// Empty when lcms2 builds no transform for the profile.
std::optional<std::vector<std::uint16_t>> softProofGenericRGB(const IccProfile& profile,
                                                              const std::vector<std::uint16_t>& rgb);

}  // namespace color
