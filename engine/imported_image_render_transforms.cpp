// The geometric transform of the render pipeline, dispatched by scale type
// to the filter engine's transforms: drawn straight into a bitmap context,
// or as a graph image (for the depth map and the tiny planet).

#include <cmath>

#include "engine/imported_image.h"
#include "filters/cifiltering.h"

namespace velumar {

namespace {

enum ScaleType : std::int64_t {
  Lanczos = 1,
  Crop = 6,
  StretchCrop = 7,
  FlipHorizontally = 8,
  FlipVertically = 9,
  Rotate90 = 10,
  Rotate270 = 11,
  Rotate180 = 12,
  Rotate90Flipped = 13,
  Rotate270Flipped = 14,
  RotateFree = 15,
  CropAndRotate = 16,
};

}  // namespace

void ImportedImage::applyImageTransformToCGImage(const raster::ImageRef& source,
                                                 raster::BitmapContext* context, std::int64_t scaleType,
                                                 raster::Size pixelSize, double cropOriginX,
                                                 double cropOriginY, double stretchValue, double cropValue,
                                                 bool scaleBeforeCrop, double unrotatedWidth,
                                                 double unrotatedHeight, raster::Size cropSize,
                                                 double rotationAngle, bool drawImageInContext) {
  if (!source || !context) return;
  CIFiltering& filters = *ciPhotoFilters;
  switch (scaleType) {
    case Lanczos:
      filters.lanczosScaleFilterWithDestinationCGContext(context, source);
      break;
    case Crop:
      filters.cropFilterWithDestinationCGContext(context, source, cropOriginX, cropOriginY, scaleBeforeCrop);
      break;
    case StretchCrop:
      filters.stretchCropFilterWithDestinationCGContext(context, source, stretchValue, cropValue);
      break;
    case FlipHorizontally:
      filters.flipHorizontallyFilterWithDestinationCGContext(context, source);
      break;
    case FlipVertically:
      filters.flipVerticallyFilterWithDestinationCGContext(context, source);
      break;
    case Rotate90:
      filters.rotate90DEGFilterWithDestinationCGContext(context, source);
      break;
    case Rotate270:
      filters.rotate270DEGFilterWithDestinationCGContext(context, source);
      break;
    case Rotate180:
      filters.rotate180DEGFilterWithDestinationCGContext(context, source);
      break;
    case Rotate90Flipped:
      filters.rotate90DEGFlippedFilterWithDestinationCGContext(context, source);
      break;
    case Rotate270Flipped:
      filters.rotate270DEGFlippedFilterWithDestinationCGContext(context, source);
      break;
    case RotateFree:
      filters.rotateFreeFilterWithDestinationCGContext(context, source, unrotatedWidth, unrotatedHeight,
                                                       rotationAngle);
      break;
    case CropAndRotate:
      filters.cropAndRotateFilterWithDestinationCGContext(context, source, cropOriginX, cropOriginY,
                                                          scaleBeforeCrop, unrotatedWidth, unrotatedHeight,
                                                          cropSize, rotationAngle);
      break;
    default:
      // The plain stretch to the target size.
      if (drawImageInContext)
        context->drawImage(source, raster::Rect(0, 0, pixelSize.width, pixelSize.height));
      break;
  }
}

ci::ImageRef ImportedImage::applyImageTransformToCIImage(
    const ci::ImageRef& image, std::int64_t scaleType, raster::Size pixelSize, double cropOriginX,
    double cropOriginY, double stretchValue, double cropValue, bool scaleBeforeCrop, double unrotatedWidth,
    double unrotatedHeight, raster::Size cropSize, double rotationAngle, bool /*drawImageInContext*/) {
  if (!image) return nullptr;
  CIFiltering& filters = *ciPhotoFilters;
  switch (scaleType) {
    case Lanczos:
      return filters.lanczosScaleFilterWithCIImage(image, pixelSize);
    case Crop:
      return filters.cropFilterWithCIImage(image, pixelSize, cropOriginX, cropOriginY, scaleBeforeCrop);
    case StretchCrop:
      return filters.stretchCropFilterWithCIImage(image, pixelSize, stretchValue, cropValue);
    case FlipHorizontally:
      return filters.flipHorizontallyFilterWithCIImage(image, pixelSize);
    case FlipVertically:
      return filters.flipVerticallyFilterWithCIImage(image, pixelSize);
    case Rotate90:
      return filters.rotate90DEGFilterWithCIImage(image, pixelSize);
    case Rotate270:
      return filters.rotate270DEGFilterWithCIImage(image, pixelSize);
    case Rotate180:
      return filters.rotate180DEGFilterWithCIImage(image, pixelSize);
    case Rotate90Flipped:
      return filters.rotate90DEGFlippedFilterWithCIImage(image, pixelSize);
    case Rotate270Flipped:
      return filters.rotate270DEGFlippedFilterWithCIImage(image, pixelSize);
    case RotateFree:
      return filters.rotateFreeFilterWithCIImage(image, pixelSize, unrotatedWidth, unrotatedHeight,
                                                 rotationAngle);
    case CropAndRotate:
      return filters.cropAndRotateFilterWithCIImage(image, pixelSize, cropOriginX, cropOriginY,
                                                    scaleBeforeCrop, unrotatedWidth, unrotatedHeight,
                                                    cropSize, rotationAngle);
    default: {
      // The plain stretch: each side scaled to the target on its own.
      const raster::Rect& extent = image->extent();
      if (ci::isInfinite(extent) || extent.width() <= 0 || extent.height() <= 0) return image;
      const double sx = pixelSize.width / extent.width();
      const double sy = pixelSize.height / extent.height();
      if (!(sx > 0 && sy > 0 && std::isfinite(sx) && std::isfinite(sy))) return image;
      if (sx == 1.0 && sy == 1.0) return image;
      return image->transformed(raster::AffineTransform::scaling(sx, sy));
    }
  }
}

ci::ImageRef ImportedImage::translateToZeroOriginCIImage(const ci::ImageRef& image) {
  if (!image) return nullptr;
  const raster::Rect& extent = image->extent();
  if (ci::isInfinite(extent) || (extent.origin.x == 0 && extent.origin.y == 0)) return image;
  return image->transformed(raster::AffineTransform::translation(-extent.origin.x, -extent.origin.y));
}

}  // namespace velumar
