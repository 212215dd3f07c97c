// Catalogue operations built in their own files later. Until then each
// leaves the pending image as it is.

#include "filters/cifiltering.h"

namespace velumar {

void CIFiltering::hdrFilterWithCGContext(raster::BitmapContext*, FilterInfo) {}
void CIFiltering::straightenFilterWithCGContext(raster::BitmapContext*, FilterInfo) {}
void CIFiltering::straightenHorizontallyFilterWithCGContext(raster::BitmapContext*, FilterInfo) {}
void CIFiltering::straightenVerticallyFilterWithCGContext(raster::BitmapContext*, FilterInfo) {}
void CIFiltering::sharpenLuminanceFilterWithCGContext(raster::BitmapContext*, FilterInfo) {}
void CIFiltering::unsharpMaskFilterWithCGContext(raster::BitmapContext*, FilterInfo) {}
void CIFiltering::boxBlurFilterWithCGContext(raster::BitmapContext*, FilterInfo) {}
void CIFiltering::gaussianBlurFilterWithCGContext(raster::BitmapContext*, FilterInfo) {}
void CIFiltering::zoomBlurWithCGContext(raster::BitmapContext*, FilterInfo) {}
void CIFiltering::noiseReductionFilterWithCGContext(raster::BitmapContext*, FilterInfo) {}
void CIFiltering::edgesFilterWithCGContext(raster::BitmapContext*, FilterInfo) {}
void CIFiltering::crystallizeFilterWithCGContext(raster::BitmapContext*, FilterInfo) {}
void CIFiltering::gloomFilterWithCGContext(raster::BitmapContext*, FilterInfo) {}
void CIFiltering::pixellateFilterWithCGContext(raster::BitmapContext*, FilterInfo) {}
void CIFiltering::vignetteFilterWithCGContext(raster::BitmapContext*, FilterInfo) {}
void CIFiltering::tiltShiftFilterWithCGContext(raster::BitmapContext*, FilterInfo) {}
void CIFiltering::noiseFilterWithCGContext(raster::BitmapContext*, FilterInfo) {}
void CIFiltering::oldPhotoFilterWithCGContext(raster::BitmapContext*, FilterInfo) {}

}  // namespace velumar
