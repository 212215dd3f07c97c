// The geometric transforms, each as an image variant (returns the
// transformed graph image) and a context variant (draws at once).

#include <cmath>
#include <numbers>

#include "filters/cifiltering.h"

namespace velumar {

namespace {

// Builds a transform the way the platform's transform object does: every
// added operation acts on points before the operations added earlier.
class TransformBuilder {
 public:
  void scaleXBy(double sx, double sy) { t_ = t_.concat(raster::AffineTransform::scaling(sx, sy)); }
  void scaleBy(double s) { scaleXBy(s, s); }
  void rotateByDegrees(double degrees) { rotateByRadians(degrees * std::numbers::pi / 180.0); }
  void rotateByRadians(double radians) { t_ = t_.concat(raster::AffineTransform::rotation(radians)); }
  const raster::AffineTransform& transform() const { return t_; }

 private:
  raster::AffineTransform t_;
};

ci::FilterRef namedFilter(const char* name) {
  ci::FilterRef filter = ci::Filter::withName(name);
  if (filter) filter->setDefaults();
  return filter;
}

ci::FilterRef affineFilter(const raster::AffineTransform& transform) {
  ci::FilterRef filter = namedFilter("CIAffineTransform");
  if (filter) filter->setValue("inputTransform", transform);
  return filter;
}

// A finite, non-empty extent: the transforms divide by its size.
bool hasArea(const ci::ImageRef& image) {
  if (!image) return false;
  const raster::Rect& e = image->extent();
  return e.width() > 0 && e.height() > 0 && !ci::isInfinite(e);
}

bool hasArea(const raster::ImageRef& image) {
  return image && image->width() > 0 && image->height() > 0;
}

raster::Size contextSize(const raster::BitmapContext& context) {
  return {double(context.width()), double(context.height())};
}

raster::Size imageSize(const ci::ImageRef& image) {
  return {image->extent().width(), image->extent().height()};
}

raster::Size imageSize(const raster::ImageRef& image) {
  return {double(image->width()), double(image->height())};
}

enum class Turn { Quarter, QuarterMirrored, ThreeQuarter, ThreeQuarterMirrored, Half };

// The turn of an image of size source to the size target. For the quarter
// turns the x factor relates the target's width to the source's height
// (and y to width), so that any target size comes out exactly.
ci::FilterRef turnFilter(Turn turn, raster::Size target, raster::Size source) {
  double a, b;
  if (turn == Turn::Half) {
    a = target.width / source.width, b = target.height / source.height;
  } else {
    a = target.width / source.height, b = target.height / source.width;
  }
  double degrees = 0;
  bool mirror = false;
  switch (turn) {
    case Turn::Quarter:
      degrees = -90;
      break;
    case Turn::QuarterMirrored:
      degrees = 90, mirror = true;
      break;
    case Turn::ThreeQuarter:
      degrees = 90;
      break;
    case Turn::ThreeQuarterMirrored:
      degrees = -90, mirror = true;
      break;
    case Turn::Half:
      degrees = 180;
      break;
  }
  TransformBuilder builder;
  if (a != 1 || b != 1) builder.scaleXBy(a, b);
  builder.rotateByDegrees(degrees);
  if (mirror) builder.scaleXBy(1.0, -1.0);
  return affineFilter(builder.transform());
}

ci::FilterRef lanczosFilter(raster::Size target, raster::Size source) {
  double rw = target.width / source.width, rh = target.height / source.height;
  ci::FilterRef filter = namedFilter("CILanczosScaleTransform");
  if (!filter) return nullptr;
  filter->setValue("inputScale", float(rw >= rh ? rw : rh));
  filter->setValue("inputAspectRatio", 1.0f);
  return filter;
}

ci::FilterRef cropFilter(double x, double y, raster::Size size) {
  ci::FilterRef filter = namedFilter("CICrop");
  if (filter)
    filter->setValue("inputRectangle", ci::Vector{x, y, std::trunc(size.width), std::trunc(size.height)});
  return filter;
}

ci::FilterRef stretchCropFilter(raster::Size target, double stretchValue, double cropValue) {
  ci::FilterRef filter = namedFilter("CIStretchCrop");
  if (!filter) return nullptr;
  filter->setValue("inputSize", ci::Vector{target.width, target.height});
  filter->setValue("inputCropAmount", float(cropValue));
  filter->setValue("inputCenterStretchAmount", float(stretchValue));
  return filter;
}

ci::FilterRef flipFilter(bool horizontally, raster::Size target, raster::Size source) {
  double sx = target.width / source.width, sy = target.height / source.height;
  return affineFilter(raster::AffineTransform::scaling(horizontally ? -sx : sx, horizontally ? sy : -sy));
}

double radiansClockwise(double degrees) {
  return degrees * (-std::numbers::pi) / 180.0;
}

bool hasNoAlpha(const raster::BitmapContext& context) {
  raster::AlphaInfo alpha = context.format().alpha;
  return alpha == raster::AlphaInfo::None || alpha == raster::AlphaInfo::NoneSkipLast ||
         alpha == raster::AlphaInfo::NoneSkipFirst;
}

}  // namespace

// --- Lanczos scale ---

ci::ImageRef CIFiltering::lanczosScaleFilterWithCIImage(const ci::ImageRef& image, raster::Size toSize) {
  if (!hasArea(image)) return nullptr;
  return ciImageWithFilter(lanczosFilter(toSize, imageSize(image)), image);
}

void CIFiltering::lanczosScaleFilterWithDestinationCGContext(raster::BitmapContext* context,
                                                             const raster::ImageRef& source) {
  if (!context || !hasArea(source)) return;
  drawResizedCIImageInCGContext(context, source, lanczosFilter(contextSize(*context), imageSize(source)));
}

// --- Crop ---

ci::ImageRef CIFiltering::cropFilterWithCIImage(const ci::ImageRef& image, raster::Size toSize,
                                                double originX, double originY, bool resizeBeforeCrop) {
  if (!hasArea(image)) return nullptr;
  ci::ImageRef input = image;
  if (resizeBeforeCrop) {
    TransformBuilder doubling;
    doubling.scaleBy(2.0);
    input = ciImageWithFilter(affineFilter(doubling.transform()), image);
  }
  return ciImageWithFilter(cropFilter(originX, originY, toSize), input);
}

void CIFiltering::cropFilterWithDestinationCGContext(raster::BitmapContext* context,
                                                     const raster::ImageRef& source, double originX,
                                                     double originY, bool resizeBeforeCrop) {
  if (!context || !hasArea(source) || !ciContext_) return;
  ci::FilterRef crop = cropFilter(originX, originY, contextSize(*context));
  if (!resizeBeforeCrop) {
    drawResizedCIImageInCGContext(context, source, crop);
    return;
  }
  TransformBuilder doubling;
  doubling.scaleBy(2.0);
  drawResizedCIImageInCGContext(
      context, ciImageWithFilter(affineFilter(doubling.transform()), ci::Image::withBitmap(source)), crop);
}

// --- Stretch and crop ---

ci::ImageRef CIFiltering::stretchCropFilterWithCIImage(const ci::ImageRef& image, raster::Size toSize,
                                                       double stretchValue, double cropValue) {
  if (!hasArea(image)) return nullptr;
  return ciImageWithFilter(stretchCropFilter(toSize, stretchValue, cropValue), image);
}

void CIFiltering::stretchCropFilterWithDestinationCGContext(raster::BitmapContext* context,
                                                            const raster::ImageRef& source,
                                                            double stretchValue, double cropValue) {
  if (!context || !hasArea(source)) return;
  drawResizedCIImageInCGContext(context, source,
                                stretchCropFilter(contextSize(*context), stretchValue, cropValue));
}

// --- Flips ---

ci::ImageRef CIFiltering::flipHorizontallyFilterWithCIImage(const ci::ImageRef& image, raster::Size toSize) {
  if (!hasArea(image)) return nullptr;
  return ciImageWithFilter(flipFilter(true, toSize, imageSize(image)), image);
}

void CIFiltering::flipHorizontallyFilterWithDestinationCGContext(raster::BitmapContext* context,
                                                                 const raster::ImageRef& source) {
  if (!context || !hasArea(source)) return;
  drawResizedCIImageInCGContext(context, source, flipFilter(true, contextSize(*context), imageSize(source)));
}

ci::ImageRef CIFiltering::flipVerticallyFilterWithCIImage(const ci::ImageRef& image, raster::Size toSize) {
  if (!hasArea(image)) return nullptr;
  return ciImageWithFilter(flipFilter(false, toSize, imageSize(image)), image);
}

void CIFiltering::flipVerticallyFilterWithDestinationCGContext(raster::BitmapContext* context,
                                                               const raster::ImageRef& source) {
  if (!context || !hasArea(source)) return;
  drawResizedCIImageInCGContext(context, source, flipFilter(false, contextSize(*context), imageSize(source)));
}

// --- Quarter and half turns ---

#define VELUMAR_TURN_VARIANTS(imageName, contextName, turn)                                       \
  ci::ImageRef CIFiltering::imageName(const ci::ImageRef& image, raster::Size toSize) {           \
    if (!hasArea(image)) return nullptr;                                                          \
    return ciImageWithFilter(turnFilter(turn, toSize, imageSize(image)), image);                  \
  }                                                                                               \
  void CIFiltering::contextName(raster::BitmapContext* context, const raster::ImageRef& source) { \
    if (!context || !hasArea(source)) return;                                                     \
    drawResizedCIImageInCGContext(context, source,                                                \
                                  turnFilter(turn, contextSize(*context), imageSize(source)));    \
  }

VELUMAR_TURN_VARIANTS(rotate90DEGFilterWithCIImage, rotate90DEGFilterWithDestinationCGContext, Turn::Quarter)
VELUMAR_TURN_VARIANTS(rotate90DEGFlippedFilterWithCIImage, rotate90DEGFlippedFilterWithDestinationCGContext,
                      Turn::QuarterMirrored)
VELUMAR_TURN_VARIANTS(rotate270DEGFilterWithCIImage, rotate270DEGFilterWithDestinationCGContext,
                      Turn::ThreeQuarter)
VELUMAR_TURN_VARIANTS(rotate270DEGFlippedFilterWithCIImage, rotate270DEGFlippedFilterWithDestinationCGContext,
                      Turn::ThreeQuarterMirrored)
VELUMAR_TURN_VARIANTS(rotate180DEGFilterWithCIImage, rotate180DEGFilterWithDestinationCGContext, Turn::Half)

#undef VELUMAR_TURN_VARIANTS

// --- Free rotation and crop-and-rotate ---

namespace {

// The rotated image over opaque white, cut to the rotated extent.
ci::ImageRef onWhite(const ci::ImageRef& rotated) {
  if (!rotated) return nullptr;
  ci::ImageRef composed = rotated->compositedOver(ci::Image::constantColor(ci::Color::white()));
  return composed ? composed->cropped(rotated->extent()) : nullptr;
}

}  // namespace

ci::ImageRef CIFiltering::rotateFreeFilterWithCIImage(const ci::ImageRef& image, raster::Size,
                                                      double unrotatedWidth, double unrotatedHeight,
                                                      double angle) {
  if (!hasArea(image)) return nullptr;
  const double sx = unrotatedWidth / image->extent().width(), sy = unrotatedHeight / image->extent().height();
  ci::FilterRef filter = affineFilter({});
  ci::ImageRef input = image;
  if (sx != 1 || sy != 1) {
    filter->setValue("inputTransform", raster::AffineTransform::scaling(sx, sy));
    input = ciImageWithFilter(filter, input);
  }
  filter->setValue("inputTransform", raster::AffineTransform::rotation(radiansClockwise(angle)));
  return onWhite(ciImageWithFilter(filter, input));
}

namespace {

// Fills the context before a free rotation: opaque white without alpha,
// the current fill colour with it.
void fillBackground(raster::BitmapContext& context) {
  if (hasNoAlpha(context)) {
    context.setBlendMode(raster::BlendMode::Normal);
    context.setFillColor(raster::Color::gray(1.0));
  }
  context.fillRect(raster::Rect(0, 0, double(context.width()), double(context.height())));
}

}  // namespace

void CIFiltering::rotateFreeFilterWithDestinationCGContext(raster::BitmapContext* context,
                                                           const raster::ImageRef& source,
                                                           double unrotatedWidth, double unrotatedHeight,
                                                           double angle) {
  if (!context || !hasArea(source)) return;
  const double sx = unrotatedWidth / double(source->width()), sy = unrotatedHeight / double(source->height());
  context->saveGState();
  fillBackground(*context);
  ci::FilterRef filter = affineFilter({});
  if (sx != 1 || sy != 1) {
    filter->setValue("inputTransform", raster::AffineTransform::scaling(sx, sy));
    ci::ImageRef scaled = ciImageWithFilter(filter, ci::Image::withBitmap(source));
    filter->setValue("inputTransform", raster::AffineTransform::rotation(radiansClockwise(angle)));
    drawResizedCIImageWithSizeControlInCGContext(context, scaled, filter);
  } else {
    filter->setValue("inputTransform", raster::AffineTransform::rotation(radiansClockwise(angle)));
    drawResizedCIImageWithSizeControlInCGContext(context, source, filter);
  }
  context->restoreGState();
}

ci::ImageRef CIFiltering::cropAndRotateFilterWithCIImage(const ci::ImageRef& image, raster::Size,
                                                         double originX, double originY,
                                                         bool resizeBeforeCrop, double unrotatedWidth,
                                                         double unrotatedHeight, raster::Size cropSize,
                                                         double angle) {
  ci::ImageRef cropped = cropFilterWithCIImage(image, cropSize, originX, originY, resizeBeforeCrop);
  if (!hasArea(cropped)) return nullptr;
  return rotateFreeFilterWithCIImage(cropped, cropSize, unrotatedWidth, unrotatedHeight, angle);
}

void CIFiltering::cropAndRotateFilterWithDestinationCGContext(raster::BitmapContext* context,
                                                              const raster::ImageRef& source, double originX,
                                                              double originY, bool resizeBeforeCrop,
                                                              double unrotatedWidth, double unrotatedHeight,
                                                              raster::Size cropSize, double angle) {
  if (!context || !hasArea(source)) return;
  ci::ImageRef cropped =
      cropFilterWithCIImage(ci::Image::withBitmap(source), cropSize, originX, originY, resizeBeforeCrop);
  if (!hasArea(cropped)) return;
  const double sx = unrotatedWidth / cropped->extent().width(),
               sy = unrotatedHeight / cropped->extent().height();
  context->saveGState();
  fillBackground(*context);
  ci::FilterRef filter = affineFilter({});
  ci::ImageRef input = cropped;
  if (sx != 1 || sy != 1) {
    filter->setValue("inputTransform", raster::AffineTransform::scaling(sx, sy));
    input = ciImageWithFilter(filter, input);
  }
  filter->setValue("inputTransform", raster::AffineTransform::rotation(radiansClockwise(angle)));
  drawResizedCIImageWithSizeControlInCGContext(context, input, filter);
  context->restoreGState();
}

}  // namespace velumar
