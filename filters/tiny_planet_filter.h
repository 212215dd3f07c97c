#pragma once
// TinyPlanet: the image rolled into a disc ("tiny planet"). The bottom row
// lands at the centre and the top row on the circle of radius R, half the
// shorter side; the angle around the centre runs along the rows, starting
// straight below the centre and turning counter-clockwise, so that the
// middle column lies below the centre and the left and right edges meet
// above it.
//
// For an output point at distance r from the centre, ρ = r / R / scale is
// bent by the planet factor k into the source row height · t with
//   t = ln(1 + (k − 1)ρ) / ln k   for ρ < 1 and k ≠ 1,   t = ρ otherwise,
// so that k above 1 shrinks the ground and widens the sky and k below 1
// does the reverse; invert takes 1 − t (sky in the middle). A negative
// angle turns the planet counter-clockwise inside the projection; a
// positive one turns the finished image clockwise about its centre. At
// scale 1, factor 1 and angle 0 this is the plain polar mapping.
//
// Before the projection, a fusion f > 0 fades the strips of f × width at the
// left and right edges into the opposite edge, hiding the seam.

#include <string>

#include "platform/ci/filter.h"

namespace velumar {

class TinyPlanet final : public ci::Filter {
 public:
  static constexpr const char* kName = "TinyPlanet";
  // Registers the filter under kName, with its attributes.
  static void registerFilter();
  static ci::FilterRef filterWithName(const std::string& name);
  // "inputScale" and "inputPlanetFactor" ranges and defaults, and the name.
  static foundation::Dictionary customAttributes();

  TinyPlanet() : ci::Filter(kName) {}
  ci::ImageRef outputImage() const override;
};

}  // namespace velumar
