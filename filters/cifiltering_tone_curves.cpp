// The tone curves of a conversion: master, then red, green and blue, each
// on the result of the one before; missing filters are skipped.

#include "filters/cifiltering.h"

namespace velumar {

void CIFiltering::toneCurveFilterWithCGContext(raster::BitmapContext* context,
                                               const ci::FilterRef& toneCurveFilter,
                                               const ci::FilterRef& redFilter,
                                               const ci::FilterRef& greenFilter,
                                               const ci::FilterRef& blueFilter) {
  for (const ci::FilterRef& filter : {toneCurveFilter, redFilter, greenFilter, blueFilter}) {
    if (filter) applyCIFilter(filter, context);
  }
}

}  // namespace velumar
