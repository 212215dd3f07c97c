// The render of the colour-model conversions: the stages a conversion into
// a chosen colour space applies (no tiny planet, lookup table, tone curves
// or depth effects), and the output depth rule they share.

#include "engine/finite_float_pixels.h"
#include "engine/imported_image.h"
#include "filters/cifiltering.h"

namespace velumar {

int ImportedImage::sampleDepthForBitmapRep(const BitmapRepRef& rep, const ImageModifyInfo& info) {
  int sample = 0;
  switch (info.imageDepth) {
    case 1:
      sample = 8;
      break;
    case 2:
      sample = 16;
      break;
    case 3:
      sample = 32;
      break;
    default:
      sample = rep ? rep->bitsPerSample() : 8;
      break;
  }
  switch (sample) {
    case 10:
    case 12:
    case 14:
    case 16:
      return 16;
    case 24:
    case 32:
      return 32;
    default:
      return 8;
  }
}

raster::ImageRef ImportedImage::redrawForColorConversion(raster::BitmapContext* context,
                                                         const raster::ImageRef& source,
                                                         const ImageModifyInfo& info,
                                                         const FilterInputMaker& filterInput) {
  if (!context || !source) return nullptr;
  CIFiltering& filters = *ciPhotoFilters;
  if (needsCIContextForImageInfo(info)) filters.createNewCIContextWithCGContext(context, true);

  const raster::Size pixelSize{double(context->width()), double(context->height())};
  applyImageTransformToCGImage(source, context, info.resizeScaleType, pixelSize, info.cropCenterX,
                               info.cropCenterY, info.stretchAndCropStretch, info.stretchAndCropCrop,
                               info.resizeBeforeCrop, info.unrotatedWidth, info.unrotatedHeight,
                               info.cropAndRotateCropSize, info.rotationAngle, true);

  raster::ImageRef unfiltered;
  if (info.compositeMode != 0 && info.compositeModeType == 0) unfiltered = context->makeImage();

  if (filterInput && filters.ciContext()) {
    const raster::ImageRef transformed = context->makeImage();
    if (raster::ImageRef input = transformed ? filterInput(*transformed) : nullptr)
      filters.setCiImage(ci::Image::withBitmap(input));
  }

  filters.takeMissingLookup();
  filters.concat3FiltersWithCGContext(context, info.filterType0, info.filterType1, info.filterType2);
  if (filters.takeMissingLookup()) {
    filters.resetCIContext();
    return nullptr;
  }

  const std::optional<bool> accepted =
      filters.autoAdjustFilterWithContext(context, updateFacesOptionsWithInfo(info));
  if (accepted.has_value() && !*accepted) {
    filters.resetCIContext();
    return nullptr;
  }

  compositeWithContext(context, unfiltered, info);
  filters.drawCIImageWithCGContext(context, info.compositeMode != 0);
  filters.framingFacesWithContext(context, filters.facesRectArray());
  filters.resetCIContext();
  unfiltered.reset();

  addBorderAndWatermarksWithContext(context, info);

  // Filters in float can leave NaN or infinite components; writers and the
  // merges need finite ones.
  keepContextPixelsFinite(*context, "colour conversion");
  return context->makeImage();
}

}  // namespace velumar
