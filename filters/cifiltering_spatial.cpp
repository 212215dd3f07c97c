// Spatial adjustments of the filter catalogue: straightening, sharpening,
// blurs, noise reduction and the vignette. Scalars reach the filters in
// single precision; the blurs repeat the edge pixels outwards first.

#include "filters/catalogue_steps.h"

namespace velumar {

void CIFiltering::straightenFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  applyNamedFilterFinite(*this, context, "CIStraightenFilter",
                         {{"inputAngle", float(6.283185307179586 - info.straightenAngle)}});
}

void CIFiltering::straightenHorizontallyFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  straightenFilterWithCGContext(context, info);
}

void CIFiltering::straightenVerticallyFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  straightenFilterWithCGContext(context, info);
}

void CIFiltering::sharpenLuminanceFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  applyNamedFilter(*this, context, "CISharpenLuminance",
                   {{"inputSharpness", float(info.sharpenLuminanceLevel)}});
}

void CIFiltering::unsharpMaskFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  applyNamedFilter(
      *this, context, "CIUnsharpMask",
      {{"inputRadius", float(info.unsharpMaskRadius)}, {"inputIntensity", float(info.unsharpMaskIntensity)}});
}

void CIFiltering::boxBlurFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  clampStep(*this, context);
  applyNamedFilter(*this, context, "CIBoxBlur", {{"inputRadius", float(info.blurLevel)}});
}

void CIFiltering::gaussianBlurFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  clampStep(*this, context);
  applyNamedFilter(*this, context, "CIGaussianBlur", {{"inputRadius", float(info.blurLevel)}});
}

void CIFiltering::noiseReductionFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  applyNamedFilter(*this, context, "CINoiseReduction",
                   {{"inputNoiseLevel", float(info.noiseReductionLevel)},
                    {"inputSharpness", float(info.noiseReductionSharpness)}});
}

void CIFiltering::vignetteFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  applyNamedFilterFinite(
      *this, context, "CIVignette",
      {{"inputRadius", float(info.vignetteRadius)}, {"inputIntensity", float(info.vignetteIntensity)}});
}

}  // namespace velumar
