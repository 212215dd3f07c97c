// Catalogue operations built in their own files later. Until then each
// leaves the pending image as it is.

#include "filters/cifiltering.h"

namespace velumar {

void CIFiltering::CLAHEFilterWithCGContext(raster::BitmapContext*, FilterInfo) {}

}  // namespace velumar
