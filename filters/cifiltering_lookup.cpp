// The user's lookup table with an intensity, and the catalogue's
// lookup-image filters with their one-entry cache.

#include "filters/catalogue_steps.h"

namespace velumar {

void CIFiltering::LUTFilterWithCGContext(raster::BitmapContext* context, const ci::FilterRef& lutFilter,
                                         double intensity) {
  if (!lutFilter) return;
  ci::ImageRef unfiltered = chainInput(context);
  if (!unfiltered) return;
  applyCIFilter(lutFilter, context);
  if (!(intensity < 1.0)) return;
  ci::ImageRef filtered = ciImage();
  ci::FilterRef fade = ci::Filter::withName("CIColorMatrix");
  ci::FilterRef over = ci::Filter::withName("CISourceOverCompositing");
  if (!filtered || !fade || !over) return;
  // Below 0 the layer would get a negative alpha.
  const double alpha = intensity > 0 ? intensity : 0.0;
  fade->setDefaults();
  fade->setValue("inputAVector", ci::Vector{0, 0, 0, alpha});
  over->setDefaults();
  over->setValue(ci::kInputImageKey, ciImageWithFilter(fade, filtered));
  over->setValue(ci::kInputBackgroundImageKey, unfiltered);
  setCiImage(over->outputImage());
  fade->setValue(ci::kInputImageKey, ci::ImageRef());
  over->setValue(ci::kInputImageKey, ci::ImageRef());
  over->setValue(ci::kInputBackgroundImageKey, ci::ImageRef());
}

}  // namespace velumar
