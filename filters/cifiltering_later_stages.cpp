// Entry points of the stages that the render pipeline calls and that are
// built in their own files later. Until then each leaves the pending image
// and the context as they are.

#include "filters/cifiltering.h"

namespace velumar {

void CIFiltering::LUTFilterWithCGContext(raster::BitmapContext*, const ci::FilterRef&, double) {}

void CIFiltering::toneCurveFilterWithCGContext(raster::BitmapContext*, const ci::FilterRef&,
                                               const ci::FilterRef&, const ci::FilterRef&,
                                               const ci::FilterRef&) {}

std::optional<bool> CIFiltering::autoAdjustFilterWithContext(raster::BitmapContext*, const FaceOptions&) {
  return std::nullopt;
}

color::ProfileRef CIFiltering::currentProfile() const {
  return nullptr;
}

void CIFiltering::colorSpaceFilterWithCGContext(raster::BitmapContext*) {}

}  // namespace velumar
