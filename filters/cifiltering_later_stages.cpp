// Entry points of the stages that the render pipeline calls and that are
// built in their own files later. Until then each leaves the pending image
// and the context as they are.

#include "filters/cifiltering.h"

namespace velumar {

std::optional<bool> CIFiltering::autoAdjustFilterWithContext(raster::BitmapContext*, const FaceOptions&) {
  return std::nullopt;
}

}  // namespace velumar
