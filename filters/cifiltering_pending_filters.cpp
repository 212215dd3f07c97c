// Catalogue operations built in their own files later. Until then each
// leaves the pending image as it is.

#include "filters/cifiltering.h"

namespace velumar {

void CIFiltering::lookupFilterWithCGContext(raster::BitmapContext*, FilterInfo, const std::string&) {}
void CIFiltering::CLAHEFilterWithCGContext(raster::BitmapContext*, FilterInfo) {}

}  // namespace velumar
