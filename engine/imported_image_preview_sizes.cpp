// The preview's sizes: settings rescaled for a downsampled copy, the
// preview cap, the full-size output size the converter shows, and whether
// the settings change the pixels at all.

#include <cmath>

#include "engine/imported_image.h"

namespace velumar {

namespace {

constexpr double kScreenDpi = 72.0;

// Points per pixel of a source of dpi dots per inch.
double resolutionFactor(double dpi) {
  return dpi > kScreenDpi ? kScreenDpi / dpi : 1.0;
}

bool cropCentreMoved(const ImageModifyInfo& info) {
  return info.cropCenterX != 0.5 || info.cropCenterY != 0.5;
}

// The size the settings ask for before the fitting rules.
raster::Size requestedSize(raster::Size pixelSize, double dpi, const ImageModifyInfo& info) {
  if (!info.setFromFixedSize)
    return ImportedImage::verifyResizeSizeFromPixelSize(pixelSize, resolutionFactor(dpi), info);
  return {info.fixedSizeW != 0 ? info.fixedSizeW : pixelSize.width,
          info.fixedSizeH != 0 ? info.fixedSizeH : pixelSize.height};
}

}  // namespace

ImageModifyInfo ImportedImage::previewSettingsForInfo(ImageModifyInfo info,
                                                      raster::Size sourcePixelSize) const {
  const raster::Size original = imagePreviewOriginalSize();
  const double originalPixels = original.width * original.height;
  if (originalPixels > 0) {
    const double f = std::sqrt(float(sourcePixelSize.width * sourcePixelSize.height / originalPixels));
    if (info.resizeScaleType == 6 || info.resizeScaleType == 16) {
      if (info.fixedSizeW != 0) info.fixedSizeW *= f;
      if (info.fixedSizeH != 0) info.fixedSizeH *= f;
    } else if (info.resizeConversionType == 0 && (info.rFactorW < 1 || info.rFactorH < 1) && f < 1) {
      info.rFactorW *= 1 / f;
      info.rFactorH *= 1 / f;
    }
  }
  info.optionFeaturesSaveCropFaces = false;
  info.optionFeaturesEyeBlink = false;
  if (!info.optionFeaturesIsolateFaces) info.optionFeatures = false;
  info.addWatermarkText = false;
  info.addWatermarkImage = false;
  info.conversionType = ConversionType::PNG;
  info.drawWithAlpha = false;
  verifyConditionsForImageInfo(info, FileTypeDetection{"preview.png", FileType::PNG}, nullptr);
  return info;
}

std::optional<raster::Size> ImportedImage::previewTargetSize(ImageModifyInfo& info,
                                                             raster::Size sourcePixelSize, double imageDpi) {
  raster::Size size = requestedSize(sourcePixelSize, imageDpi, info);
  verifyPixelAvailabilityForSize(size, sourcePixelSize, info);
  const double pixels = size.width * size.height;
  if (pixels > kPreviewPixelCap) {
    const double k = std::sqrt(float(kPreviewPixelCap / pixels));
    size.width *= k;
    size.height *= k;
    info.unrotatedWidth *= k;
    info.unrotatedHeight *= k;
  }
  if (!(size.width > 0 && size.height > 0 && std::isfinite(size.width) && std::isfinite(size.height)))
    return std::nullopt;
  return size;
}

void ImportedImage::simulateOriginalSizeWithInfo(ImageModifyInfo info) {
  const raster::Size original = imagePreviewOriginalSize();
  raster::Size size = requestedSize(original, imagePreviewOriginalDpi, info);
  verifyPixelAvailabilityForSize(size, original, info);
  setImagePreviewSize({double(std::ceil(float(size.width))), double(std::ceil(float(size.height)))});
}

bool ImportedImage::verifyResizeConditionsForImageInfo(const ImageModifyInfo& info) {
  const std::int64_t type = info.resizeScaleType;
  return info.doImageResize || info.filterType0 != 0 || info.filterType1 != 0 || info.filterType2 != 0 ||
         (type >= 8 && type <= 14) || (type == 15 && info.rotationAngle != 0) ||
         (info.optionFeatures && info.optionFeaturesIsolateFaces) || info.optionAutoAdjust ||
         info.compositeMode != 0 || (type == 16 && (info.rotationAngle != 0 || cropCentreMoved(info))) ||
         (type == 6 && cropCentreMoved(info));
}

void ImportedImage::clearCGPreviewContext() {
  previewCIContext = nullptr;
}

}  // namespace velumar
