// Settings verification and target sizes: what each output needs of the
// settings, the size from the size controls, fitting, crops, rotations, the
// outputs' own size rules and the 10000-pixel limit.

#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>

#include "engine/imported_image.h"

namespace velumar {

namespace {

constexpr double kPointsPerInch = 72.0;
// Centimetres and millimetres per inch as single-precision constants.
constexpr double kCentimetresPerInch = widenedFromFloat(2.54f);
constexpr double kMillimetresPerInch = widenedFromFloat(25.4f);
constexpr double kMillimetresPerCentimetre = 10.0;
constexpr double kMaxTargetSide = 10000.0;
// Icon sources with more pixels than 1024 x 1024 are scaled by the icon
// writer itself.
constexpr std::int64_t kIconMasterPixelCountLimit = 1024 * 1024 + 1;

enum Unit : std::int64_t { Factor = 0, Pixels = 1, Inches = 2, Centimetres = 3, Millimetres = 4, Points = 5 };

constexpr std::int64_t kGrayModel = 0;
constexpr std::int64_t kRGBModel = 1;
constexpr std::int64_t kCMYKModel = 2;
constexpr std::int64_t kGenericRGBSpace = 2;
constexpr std::int64_t kGenericCMYKSpace = 4;
constexpr std::int64_t kGenericCMYKWithAlphaSpace = 5;

// Draws the image again at the source's size when it would otherwise be
// passed through unchanged.
void forceRenderPipeline(ImageModifyInfo& info) {
  if (info.doImageResize) return;
  info.doImageResize = true;
  info.setFromFixedSize = true;
  info.fixedSizeW = 0;
  info.fixedSizeH = 0;
}

// RGB in the source's own colour space.
void convertToRGB(ImageModifyInfo& info) {
  info.colorSpaceModel = kRGBModel;
  info.colorSpace = 0;
}

void convertToGenericRGB(ImageModifyInfo& info) {
  info.colorSpaceModel = kRGBModel;
  info.colorSpace = kGenericRGBSpace;
}

// A coordinate narrowed to single precision and rounded to the nearest whole
// number, halves away from zero.
double roundedInSinglePrecision(double value) {
  return double(std::round(float(value)));
}

float ceilInSinglePrecision(double value) {
  return std::ceil(float(value));
}

// Truncation toward zero that saturates instead of overflowing (NaN is 0).
std::int64_t truncatedPixelCount(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 9.2e18) return std::numeric_limits<std::int64_t>::max();
  if (value <= -9.2e18) return std::numeric_limits<std::int64_t>::min();
  return std::int64_t(value);
}

bool anyFilterSlot(const ImageModifyInfo& info) {
  return info.filterType0 != 0 || info.filterType1 != 0 || info.filterType2 != 0;
}

bool cropCentreMoved(const ImageModifyInfo& info) {
  return info.cropCenterX != 0.5 || info.cropCenterY != 0.5;
}

bool swapsSides(std::int64_t scaleType) {
  return scaleType == 10 || scaleType == 11 || scaleType == 13 || scaleType == 14;
}

bool isIconOutput(std::int64_t conversionType) {
  return conversionType == ConversionType::ICNS || conversionType == ConversionType::IOSIconSet ||
         conversionType == ConversionType::XcodeIconSet;
}

// The bounding box of (0, 0, size) turned by the settings' angle (positive
// angles turn clockwise).
raster::Size rotatedBoundingSize(raster::Size size, double angleDegrees) {
  auto rotation = raster::AffineTransform::rotation(-angleDegrees * std::numbers::pi / 180.0);
  return rotation.applyToRect(raster::Rect(0, 0, size.width, size.height)).size;
}

// Places the crop of size around the crop centre, clips it to the source
// and stores its origin in the crop-centre fields (pixels from now on).
void placeCrop(raster::Size& size, raster::Size pixelSize, ImageModifyInfo& info) {
  double x = roundedInSinglePrecision(pixelSize.width * info.cropCenterX - 0.5 * size.width);
  double y = roundedInSinglePrecision(pixelSize.height * info.cropCenterY - 0.5 * size.height);
  raster::Rect crop = raster::Rect(x, y, size.width, size.height)
                          .intersection(raster::Rect(0, 0, pixelSize.width, pixelSize.height));
  // A NaN side compares false everywhere: treat it as empty too.
  if (!(crop.size.width > 0) || !(crop.size.height > 0)) {
    info.cropCenterX = 0;
    info.cropCenterY = 0;
    size = pixelSize;
  } else {
    info.cropCenterX = roundedInSinglePrecision(crop.origin.x);
    info.cropCenterY = roundedInSinglePrecision(crop.origin.y);
    size = {roundedInSinglePrecision(crop.size.width), roundedInSinglePrecision(crop.size.height)};
  }
  if (size.width >= pixelSize.width) size.width = pixelSize.width;
  if (size.height >= pixelSize.height) size.height = pixelSize.height;
}

void scaleSourceBy(raster::Size& size, raster::Size pixelSize, double factor) {
  size = {pixelSize.width * factor, pixelSize.height * factor};
}

// A side is acceptable when it is a number above 0 and at most the limit.
bool acceptableSide(double side) {
  return side > 0 && side <= kMaxTargetSide;
}

}  // namespace

void ImportedImage::verifyConditionsForImageInfo(ImageModifyInfo& info,
                                                 const std::optional<FileTypeDetection>& types,
                                                 const BitmapRepList* /*psdReps*/) const {
  const std::string extension = types ? types->canonicalExtension() : std::string();
  const std::int64_t ct = info.conversionType;

  // What each output can hold.
  switch (ct) {
    case ConversionType::JPEG:
    case ConversionType::PDF:
      info.preserveCMYKAlpha = false;
      info.resizeAndConvertOnlyMaxRep = false;
      break;
    case ConversionType::PNG:
      if (info.colorSpaceModel == kCMYKModel) convertToRGB(info);
      info.resizeAndConvertOnlyMaxRep = false;
      break;
    case ConversionType::BMP:
      info.preserveCMYKAlpha = false;
      if (info.colorSpaceModel == kCMYKModel) convertToRGB(info);
      info.resizeAndConvertOnlyMaxRep = true;
      break;
    case ConversionType::TIFF:
    case ConversionType::TIFF2x:
    case ConversionType::TIFFMultiple:
      info.resizeAndConvertOnlyMaxRep = false;
      break;
    case ConversionType::ICNS:
    case ConversionType::IOSIconSet:
    case ConversionType::XcodeIconSet:
      convertToRGB(info);
      info.resizeAndConvertOnlyMaxRep = true;
      break;
    case ConversionType::GIF:
      if (info.colorSpaceModel == kGrayModel || info.colorSpaceModel == kCMYKModel) convertToRGB(info);
      info.resizeAndConvertOnlyMaxRep = true;
      break;
    case ConversionType::Xcode2xFolder:
      convertToRGB(info);
      info.resizeAndConvertOnlyMaxRep = true;
      forceRenderPipeline(info);
      break;
    case ConversionType::PSD:
    case ConversionType::PSDLayered:
      if (info.colorSpaceModel == kCMYKModel) convertToGenericRGB(info);
      info.resizeAndConvertOnlyMaxRep = extension == "icns";
      break;
    default:
      if (ct >= ConversionType::HEIF) {
        // HEIF holds gray and RGB only.
        if (ct == ConversionType::HEIF && info.colorSpaceModel == kCMYKModel) convertToRGB(info);
        info.resizeAndConvertOnlyMaxRep = true;
      }
      break;
  }

  // GIF to GIF keeps every frame.
  if (extension == "gif" && ct == ConversionType::GIF) {
    info.resizeAndConvertOnlyMaxRep = false;
    info.isSourceDestinationGIF = true;
  } else {
    info.isSourceDestinationGIF = false;
  }

  const bool needsPipeline =
      anyFilterSlot(info) || info.wantsTinyPlanet || info.addLUT || info.addToneCurve ||
      info.addToneCurveRed || info.addToneCurveGreen || info.addToneCurveBlue ||
      (info.wantsMixWithDepthData &&
       (info.depthBlurBackground > 0 || info.depthBlackBackground > 0 || info.wantsDepthExport)) ||
      (info.resizeScaleType >= 8 && info.resizeScaleType <= 14) ||
      (info.resizeScaleType == 15 && info.rotationAngle != 0) || info.optionAutoAdjust ||
      info.optionFeatures || info.addWatermarkText || info.addWatermarkImage;
  if (needsPipeline) forceRenderPipeline(info);

  // An icon file holds several sizes; a 2x TIFF pair or a PDF takes only the
  // largest.
  if (extension == "icns" && (ct == ConversionType::TIFF2x || ct == ConversionType::PDF)) {
    info.resizeAndConvertOnlyMaxRep = true;
  }

  if (ct == ConversionType::TIFF2x) forceRenderPipeline(info);
  if (info.compositeMode != 0) forceRenderPipeline(info);
  if (info.imageDepth != 0) {
    // PNG holds no 32-bit float samples.
    if (info.imageDepth == 3 && ct == ConversionType::PNG) info.imageDepth = 2;
    forceRenderPipeline(info);
  } else if (info.imageTransparency != 0) {
    forceRenderPipeline(info);
  }
  if (info.addBorder && (info.topBorderSize > 0 || info.bottomBorderSize > 0 || info.leftBorderSize > 0 ||
                         info.rightBorderSize > 0)) {
    forceRenderPipeline(info);
  }
  if (info.resizeScaleType == 16 && (cropCentreMoved(info) || info.rotationAngle != 0))
    forceRenderPipeline(info);
  if (info.resizeScaleType == 6 && cropCentreMoved(info)) forceRenderPipeline(info);
}

void ImportedImage::verifyIconsetSizeForImageInfo(ImageModifyInfo& info, raster::Size pixelSize) const {
  if (!isIconOutput(info.conversionType)) return;
  if (info.resizeScaleType == 0 || info.resizeScaleType == 1) {
    const auto pixelCount = truncatedPixelCount(pixelSize.width * pixelSize.height);
    if (pixelCount >= kIconMasterPixelCountLimit) {
      if (anyFilterSlot(info)) {
        info.setFromFixedSize = true;
        info.fixedSizeW = 0;
        info.fixedSizeH = 0;
      } else {
        info.doImageResize = false;
      }
    }
  }
  if (info.addWatermarkText || info.addWatermarkImage || info.optionAutoAdjust || info.optionFeatures ||
      info.compositeMode != 0) {
    forceRenderPipeline(info);
  }
}

void ImportedImage::verifyPSDOriginalColorSpaceForBmpRep(const BitmapRepRef& /*rep*/, ImageModifyInfo& info,
                                                         const BitmapRepList* psdReps) const {
  if (info.conversionType != ConversionType::PSD && info.conversionType != ConversionType::PSDLayered) return;
  if (psdReps) {
    if (info.colorSpaceModel != kRGBModel) convertToGenericRGB(info);
  } else if (info.colorSpace == 0 || info.colorSpace == kGenericCMYKSpace ||
             info.colorSpace == kGenericCMYKWithAlphaSpace) {
    // Keeping the source's space could keep CMYK, which PSD output cannot hold.
    convertToGenericRGB(info);
  }
}

raster::Size ImportedImage::verifyResizeSizeFromPixelSize(raster::Size pixelSize, double originalDpiFactor,
                                                          ImageModifyInfo info) {
  const double f = originalDpiFactor;
  const double dpi = info.dpi;
  const bool forDpi = info.modifyImageDpi;
  auto side = [&](double source, double length) -> double {
    if (length == 0) return source;
    switch (info.resizeConversionType) {
      case Pixels:
        return length;
      case Inches:
        return forDpi ? length * dpi : (1 / f) * (length * kPointsPerInch);
      case Centimetres:
        return forDpi ? (length / kCentimetresPerInch) * dpi
                      : (1 / f) * ((length / kCentimetresPerInch) * kPointsPerInch);
      case Millimetres:
        return forDpi ? (length / kMillimetresPerInch) * dpi
                      : (1 / f) * ((length / kMillimetresPerInch) * kPointsPerInch);
      case Points:
        return forDpi ? length * (dpi / kPointsPerInch) : (1 / f) * length;
      default:
        return source;
    }
  };
  if (info.resizeConversionType == Factor) {
    return {pixelSize.width * info.rFactorW, pixelSize.height * info.rFactorH};
  }
  return {side(pixelSize.width, info.fixedSizeW), side(pixelSize.height, info.fixedSizeH)};
}

void ImportedImage::verifyPixelAvailabilityForSize(raster::Size& size, raster::Size pixelSize,
                                                   ImageModifyInfo& info) {
  const raster::Size& source = pixelSize;

  if (info.resizeScaleType == 16) {
    if (updateCropSizeForPreview) setCropOriginalSize(size);
    placeCrop(size, source, info);
    info.unrotatedWidth = size.width;
    info.unrotatedHeight = size.height;
    info.cropAndRotateCropSize = size;
    size = rotatedBoundingSize(size, info.rotationAngle);
    if (size == source && info.rotationAngle == 0) info.resizeScaleType = 0;
  } else if (info.resizeScaleType == 15) {
    info.unrotatedWidth = size.width;
    info.unrotatedHeight = size.height;
    size = rotatedBoundingSize(size, info.rotationAngle);
    if (size == source && info.rotationAngle == 0) info.resizeScaleType = 0;
  }

  switch (info.resizeScaleType) {
    case 2:  // fit the width, never enlarge
      if (source.width <= size.width) {
        size = source;
      } else {
        scaleSourceBy(size, source, size.width / source.width);
      }
      break;
    case 3:  // fit the height, never enlarge
      if (source.height <= size.height) {
        size = source;
      } else {
        scaleSourceBy(size, source, size.height / source.height);
      }
      break;
    case 4:  // fit inside, never enlarge
      if (size.width > source.width && size.height > source.height) {
        size = source;
      } else {
        const double widthFactor = size.width / source.width;
        const double heightFactor = size.height / source.height;
        scaleSourceBy(size, source, heightFactor < widthFactor ? heightFactor : widthFactor);
      }
      break;
    case 5:  // fit the longer side
      if (source.width >= source.height) {
        size.height = size.width / source.width * source.height;
      } else {
        size.width = size.height / source.height * source.width;
      }
      break;
    case 6:  // crop
      if (updateCropSizeForPreview) setCropOriginalSize(size);
      placeCrop(size, source, info);
      if (size == source) info.resizeScaleType = 0;
      [[fallthrough]];
    default:
      if (swapsSides(info.resizeScaleType)) size = {size.height, size.width};
      break;
  }

  const std::int64_t ct = info.conversionType;
  if (isIconOutput(ct)) {
    // Icons are never rendered below the source's size.
    if (info.resizeScaleType == 0 || info.resizeScaleType == 1) {
      const float targetPixels = ceilInSinglePrecision(size.width) * ceilInSinglePrecision(size.height);
      if (truncatedPixelCount(targetPixels) < truncatedPixelCount(source.width * source.height)) {
        size = source;
        info.resizeScaleType = 0;
      }
    }
    info.resizeBeforeCrop = false;
  } else {
    info.resizeBeforeCrop = false;
    // A 2x TIFF's full page is rounded as every other output's size (up,
    // in the draw); its 1x half rounds up in turn.
    if (ct == ConversionType::Xcode2xFolder) {
      size = {2 * double(ceilInSinglePrecision(size.width)), 2 * double(ceilInSinglePrecision(size.height))};
      if (info.resizeScaleType == 16 || info.resizeScaleType == 6) {
        info.cropCenterX *= 2;
        info.cropCenterY *= 2;
        info.unrotatedWidth *= 2;
        info.unrotatedHeight *= 2;
        info.cropAndRotateCropSize.width *= 2;
        info.cropAndRotateCropSize.height *= 2;
        info.resizeBeforeCrop = true;
      }
    }
  }

  // The limit applies to the target; only the offending side falls back.
  if (!acceptableSide(size.width)) {
    size.width = source.width;
    info.resizeScaleType = 0;
  }
  if (!acceptableSide(size.height)) {
    size.height = source.height;
    info.resizeScaleType = 0;
  }
}

double ImportedImage::convertFormat(std::int64_t fromUnit, std::int64_t toUnit, double value, double dpi) {
  const double v = value;
  const double d = dpi;
  const double cm = kCentimetresPerInch;
  const double mm = kMillimetresPerInch;
  const double pt = kPointsPerInch;
  if (fromUnit < Pixels || fromUnit > Points || toUnit < Pixels || toUnit > Points) return -1;
  if (fromUnit == toUnit) return -1;
  if ((fromUnit == Pixels || toUnit == Pixels) && !(d > 1)) return -1;
  auto ceilPixels = [](double pixels) { return double(ceilInSinglePrecision(pixels)); };
  switch (fromUnit) {
    case Pixels:
      switch (toUnit) {
        case Inches:
          return v / d;
        case Centimetres:
          return cm * (v / d);
        case Millimetres:
          return (v / d) * mm;
        default:
          return pt * v / d;
      }
    case Inches:
      switch (toUnit) {
        case Pixels:
          return ceilPixels(d * v);
        case Centimetres:
          return cm * v;
        case Millimetres:
          return v * mm;
        default:
          return pt * v;
      }
    case Centimetres:
      switch (toUnit) {
        case Pixels:
          return ceilPixels(d * v / cm);
        case Inches:
          return v / cm;
        case Millimetres:
          return v * kMillimetresPerCentimetre;
        default:
          return pt * v / cm;
      }
    case Millimetres:
      switch (toUnit) {
        case Pixels:
          return ceilPixels(v * d / mm);
        case Inches:
          return v / mm;
        case Centimetres:
          return v / kMillimetresPerCentimetre;
        default:
          return v * pt / mm;
      }
    default:  // points
      switch (toUnit) {
        case Pixels:
          return ceilPixels(d * v / pt);
        case Inches:
          return v / pt;
        case Centimetres:
          return cm * (v / pt);
        default:
          return (v / pt) * mm;
      }
  }
}

}  // namespace velumar
