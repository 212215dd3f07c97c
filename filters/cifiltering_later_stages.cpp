// Entry points of the stages that the render pipeline calls and that are
// built in their own files later. Until then each leaves the pending image
// and the context as they are.

#include "filters/cifiltering.h"

namespace velumar {

ci::ImageRef CIFiltering::scaleDepthImage(const ci::ImageRef& depthImage, const raster::ImageRef&) {
  return depthImage;
}

ci::ImageRef CIFiltering::tinyPlanetFilterWithCIImage(const ci::ImageRef& image, double, double, double,
                                                      double, bool) {
  return image;
}

void CIFiltering::concat3FiltersWithCGContext(raster::BitmapContext*, std::int64_t, std::int64_t,
                                              std::int64_t) {}

void CIFiltering::LUTFilterWithCGContext(raster::BitmapContext*, const ci::FilterRef&, double) {}

void CIFiltering::toneCurveFilterWithCGContext(raster::BitmapContext*, const ci::FilterRef&,
                                               const ci::FilterRef&, const ci::FilterRef&,
                                               const ci::FilterRef&) {}

void CIFiltering::depthFilterWithCGContext(raster::BitmapContext*, const raster::ImageRef&,
                                           const ci::ImageRef&, double, double, double, double, double,
                                           double, bool) {}

std::optional<bool> CIFiltering::autoAdjustFilterWithContext(raster::BitmapContext*, const FaceOptions&) {
  return std::nullopt;
}

void CIFiltering::compositeFilterWithCGContext(raster::BitmapContext*, const raster::ImageRef&,
                                               const ci::ImageRef&, double, double, raster::Point,
                                               std::int64_t, std::int64_t) {}

void CIFiltering::framingFacesWithContext(raster::BitmapContext*,
                                          const std::optional<std::vector<raster::Rect>>&) {}

color::ProfileRef CIFiltering::currentProfile() const {
  return nullptr;
}

void CIFiltering::colorSpaceFilterWithCGContext(raster::BitmapContext*) {}

}  // namespace velumar
