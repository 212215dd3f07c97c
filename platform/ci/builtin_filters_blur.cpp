// Blur built-in filters: Gaussian blur and the edge-preserving upsampling
// of a small image guided by a photograph.

#include "platform/ci/builtin_filters.h"
#include "platform/ci/edge_preserve_upsample.h"
#include "platform/ci/gaussian_blur.h"

namespace ci {

void addBlurFilters(BuiltinFilterTable& table) {
  table["CIGaussianBlur"] = {{{"inputRadius", 10.0}}, [](const Filter& f) -> ImageRef {
                               ImageRef in = f.image(kInputImageKey);
                               return in ? gaussianBlurred(in, f.number("inputRadius", 10.0)) : nullptr;
                             }};
  table["CIEdgePreserveUpsampleFilter"] = {
      {{"inputSpatialSigma", 3.0}, {"inputLumaSigma", 0.15}}, [](const Filter& f) -> ImageRef {
        return edgePreservingUpsampled(f.image(kInputImageKey), f.image("inputSmallImage"),
                                       f.number("inputLumaSigma", 0.15));
      }};
}

}  // namespace ci
