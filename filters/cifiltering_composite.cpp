// Composite blending: the filtered image over the unfiltered one, or a
// composite image placed over the filtered one, in one of the blend modes.

#include <algorithm>
#include <cmath>

#include "filters/cifiltering.h"

namespace velumar {

namespace {

// The filter of a blend code; nullptr for codes without one.
const char* compositeFilterName(std::int64_t code) {
  static constexpr const char* kNames[] = {"CIAdditionCompositing",
                                           "CIMaximumCompositing",
                                           "CIMinimumCompositing",
                                           "CIMultiplyCompositing",
                                           "CISourceAtopCompositing",
                                           "CISourceInCompositing",
                                           "CISourceOutCompositing",
                                           "CISourceOverCompositing",
                                           nullptr,
                                           nullptr,
                                           "CIDarkenBlendMode",
                                           "CILightenBlendMode",
                                           "CIMultiplyBlendMode",
                                           "CIDifferenceBlendMode",
                                           "CIExclusionBlendMode",
                                           "CIColorBurnBlendMode",
                                           "CIColorDodgeBlendMode",
                                           "CIOverlayBlendMode",
                                           "CIScreenBlendMode",
                                           "CIHardLightBlendMode",
                                           "CISoftLightBlendMode",
                                           "CIColorBlendMode",
                                           "CISaturationBlendMode",
                                           "CIHueBlendMode",
                                           "CILuminosityBlendMode",
                                           "CIDivideBlendMode",
                                           "CILinearBurnBlendMode",
                                           "CILinearDodgeBlendMode",
                                           "CIPinLightBlendMode",
                                           "CISubtractBlendMode"};
  constexpr std::int64_t kFirst = 3;
  if (code < kFirst || code >= kFirst + std::int64_t(std::size(kNames))) return nullptr;
  return kNames[code - kFirst];
}

// The composite image of mode type 1 scaled for the context and centred on
// the origin (percent of the context's size). nullptr when the size is not
// a positive finite number.
ci::ImageRef placedComposite(const ci::ImageRef& composite, const raster::BitmapContext& context,
                             double sizeFactor, raster::Point origin) {
  const raster::Rect e = composite->extent();
  if (!(e.width() > 0 && e.height() > 0) || ci::isInfinite(e)) return composite;
  const double width = double(context.width()), height = double(context.height());
  const double s = std::min(width / 1600.0, height / 1200.0) * sizeFactor;
  if (!(s > 0) || !std::isfinite(s)) return nullptr;
  const double ox = std::isfinite(origin.x) ? origin.x / 100.0 * width : 0.0;
  const double oy = std::isfinite(origin.y) ? origin.y / 100.0 * height : 0.0;
  return composite->transformed(
      raster::AffineTransform{s, 0, 0, s, ox - 0.5 * s * e.width(), oy - 0.5 * s * e.height()});
}

}  // namespace

void CIFiltering::compositeFilterWithCGContext(raster::BitmapContext* context,
                                               const raster::ImageRef& unfilteredImage,
                                               const ci::ImageRef& compositeImage, double opacity,
                                               double sizeFactor, raster::Point origin, std::int64_t modeType,
                                               std::int64_t compositeType) {
  if (!ciContext_ || !context) return;
  if (modeType == 0 ? !unfilteredImage : !compositeImage) return;
  const char* name = compositeFilterName(compositeType);
  if (!name) return;
  ci::FilterRef blend = ci::Filter::withName(name);
  if (!blend) return;
  blend->setDefaults();

  ci::ImageRef background, foreground;
  if (modeType == 0) {
    background = ci::Image::withBitmap(unfilteredImage);
    foreground = chainInput(context);
  } else {
    background = chainInput(context);
    foreground = compositeImage;
    if (modeType == 1 && foreground) foreground = placedComposite(foreground, *context, sizeFactor, origin);
  }
  if (!background || !foreground) return;

  // Opacity from settings becomes alpha: held to [0, 1]; not a number
  // leaves the foreground opaque as it is.
  if (opacity != 1.0 && !std::isnan(opacity)) {
    ci::FilterRef fade = ci::Filter::withName("CIColorMatrix");
    if (!fade) return;
    fade->setDefaults();
    fade->setValue("inputAVector", ci::Vector{0, 0, 0, std::clamp(opacity, 0.0, 1.0)});
    foreground = ciImageWithFilter(fade, foreground);
    if (!foreground) return;
  }

  blend->setValue(ci::kInputBackgroundImageKey, background);
  blend->setValue(ci::kInputImageKey, foreground);
  if (ci::ImageRef output = blend->outputImage()) ciImage_ = std::move(output);
}

}  // namespace velumar
