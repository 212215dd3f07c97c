#include "engine/shrink_on_load.h"

#include <algorithm>
#include <cmath>

#include "engine/imported_image.h"

namespace velumar {

namespace {

constexpr std::int64_t kScaleDenominator = 8;
constexpr std::int64_t kReducedScaleNumerators[] = {1, 2, 4};
// A source this small decodes in a few milliseconds, and a reduced decode
// of it (mostly a picture already scaled down, dense in detail) loses
// visible sharpness against resampling the full one.
constexpr std::int64_t kSmallestReducedSource = 1'000'000;

// The side libjpeg gives at n/8: rounded up.
std::int64_t scaledSide(std::int64_t side, std::int64_t numerator) {
  return (side * numerator + kScaleDenominator - 1) / kScaleDenominator;
}

bool isWholeImageFit(std::int64_t scaleType) {
  return scaleType == 0 || (scaleType >= 2 && scaleType <= 5);
}

bool isIconOutput(std::int64_t conversionType) {
  return conversionType == 5 || (conversionType >= 9 && conversionType <= 11);
}

}  // namespace

bool allowsReducedDecode(const ImageModifyInfo& info, std::string_view sourceType) {
  return (sourceType == "public.jpeg" || sourceType == "org.webmproject.webp") && info.doImageResize &&
         !info.onlySetDpi && isWholeImageFit(info.resizeScaleType) && !isIconOutput(info.conversionType) &&
         !info.optionEnhance && !info.optionRedEye && !info.wantsDepthExport &&
         !ImportedImage::needsCIContextTransformForImageInfo(info) && !info.optionAutoAdjust &&
         !info.optionFeatures && !info.wantsTinyPlanet && !info.wantsMixWithDepthData;
}

std::int64_t reducedDecodeLongSide(raster::Size uprightPixels, raster::Size target) {
  const auto width = std::int64_t(uprightPixels.width), height = std::int64_t(uprightPixels.height);
  const double neededWidth = std::ceil(float(target.width)), neededHeight = std::ceil(float(target.height));
  if (width <= 0 || height <= 0 || !(neededWidth >= 1 && neededHeight >= 1)) return 0;
  if (width * height <= kSmallestReducedSource) return 0;
  for (const std::int64_t numerator : kReducedScaleNumerators) {
    if (double(scaledSide(width, numerator)) >= neededWidth &&
        double(scaledSide(height, numerator)) >= neededHeight)
      return scaledSide(std::max(width, height), numerator);
  }
  return 0;
}

}  // namespace velumar
