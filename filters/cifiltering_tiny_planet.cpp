// The tiny-planet projection as a step of the filter engine.

#include "filters/cifiltering.h"

namespace velumar {

ci::ImageRef CIFiltering::tinyPlanetFilterWithCIImage(const ci::ImageRef& image, double scale,
                                                      double planetFactor, double angle, double fusion,
                                                      bool invert) {
  if (!image) return nullptr;
  ci::FilterRef planet = ci::Filter::withName("TinyPlanet");
  if (!planet) return nullptr;
  planet->setValue("inputScale", scale);
  planet->setValue("inputPlanetFactor", planetFactor);
  planet->setValue("inputAngle", angle);
  planet->setValue("inputFusion", fusion);
  planet->setValue("inputInvert", invert);
  planet->setValue(ci::kInputImageKey, image);
  ci::ImageRef output = planet->outputImage();
  planet->setValue(ci::kInputImageKey, ci::FilterValue());
  return output;
}

}  // namespace velumar
