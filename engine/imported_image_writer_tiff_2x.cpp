// The 2x TIFF: one file holding a representation at 144 dpi and a copy of
// half its pixel size at 72 dpi. The copy is drawn from the already
// processed picture, so every effect of the settings is turned off for it.

#include <algorithm>

#include "engine/imported_image.h"
#include "engine/imported_image_writer_support.h"
#include "platform/imageio/image_destination.h"
#include "platform/imageio/unnamed_file.h"

namespace velumar {

using foundation::Dictionary;
using foundation::Value;

namespace {

constexpr double kFullSizeResolution = 144.0;
constexpr double kHalfSizeResolution = 72.0;

bool isModel(const raster::BitmapImageRep& rep, raster::ColorModel model) {
  return rep.colorSpace() && rep.colorSpace()->model() == model;
}

}  // namespace

ImageModifyInfo ImportedImage::settingsForHalfSizePage(ImageModifyInfo info) {
  info.resizeScaleType = 1;
  info.filterType0 = 0;
  info.filterType1 = 0;
  info.filterType2 = 0;
  info.optionAutoAdjust = false;
  info.optionEnhance = false;
  info.optionRedEye = false;
  info.optionFeatures = false;
  info.optionFeaturesIsolateFaces = false;
  info.optionFeaturesAutoAdjustFaces = false;
  info.optionFeaturesBiggerBoundsFaces = false;
  info.optionFeaturesBlurFaces = false;
  info.optionFeaturesPixelateFaces = false;
  info.optionFeaturesFrameFaces = false;
  info.optionFeaturesVignetteFaces = false;
  info.optionFeaturesBlurBackgroundFaces = false;
  info.optionFeaturesSaveCropFaces = false;
  info.optionFeaturesEyeBlink = false;
  info.addWatermarkText = false;
  info.addWatermarkDate = false;
  info.addWatermarkImage = false;
  info.dateStyle = 1;
  info.resizeBeforeCrop = false;
  info.imageDepth = 0;
  info.imageTransparency = 0;
  info.addBorder = false;
  if (info.conversionType == ConversionType::JPEG || info.conversionType == ConversionType::BMP ||
      info.conversionType == ConversionType::PDF)
    info.preserveCMYKAlpha = false;
  // The lookup table, the curves, the projection, the composite and the
  // depth effect are in the picture already as well.
  info.addLUT = false;
  info.addToneCurve = false;
  info.addToneCurveRed = false;
  info.addToneCurveGreen = false;
  info.addToneCurveBlue = false;
  info.wantsTinyPlanet = false;
  info.compositeMode = 0;
  info.wantsMixWithDepthData = false;
  return info;
}

bool ImportedImage::saveImageReps2xTIFFFromBitmapRep(const BitmapRepRef& rep, std::int64_t index,
                                                     const std::string& path, ImageModifyInfo info) {
  if (!rep || !rep->image()) {
    releasePropertiesAndMetadata();
    return false;
  }
  // Half of each side, rounded up like every target size.
  const std::int64_t halfWidth = std::max<std::int64_t>(1, (rep->pixelsWide() + 1) / 2);
  const std::int64_t halfHeight = std::max<std::int64_t>(1, (rep->pixelsHigh() + 1) / 2);
  rep->setSize({double(rep->pixelsWide()) / 2.0, double(rep->pixelsHigh()) / 2.0});

  // Drawn from a second representation of the same pixels, so a draw in
  // place can never touch the full-size page.
  const ImageModifyInfo halfInfo = settingsForHalfSizePage(info);
  BitmapRepRef source = raster::BitmapImageRep::withImage(rep->image());
  const raster::Size halfSize{double(halfWidth), double(halfHeight)};
  BitmapRepRef half;
  if (source) {
    source->setSize(rep->size());
    if (isModel(*rep, raster::ColorModel::CMYK) && rep->hasAlpha() && halfInfo.preserveCMYKAlpha)
      half = drawInCGContextCMYKWithAlphaFromRep(source, halfSize, halfInfo);
    else if (isModel(*rep, raster::ColorModel::Gray) && rep->hasAlpha())
      half = drawInCGContextGrayWithAlphaFromRep(source, halfSize, 0, halfInfo);
    else
      half = drawInCGContextFromBmpRep(source, nullptr, halfSize, halfInfo);
  }
  if (!half) {
    releasePropertiesAndMetadata();
    return false;
  }
  half->setSize(halfSize);

  if (info.preserveMetadata && imageMetadataArray) {
    auto destination = imageio::ImageDestination::create(path, writers::kTypeTIFF, 2);
    raster::ImageRef fullPixels = writers::imageToWrite(rep);
    raster::ImageRef halfPixels = writers::imageToWrite(half);
    bool written = false;
    if (destination && fullPixels && halfPixels) {
      const std::int64_t recordIndex =
          index >= 0 && std::size_t(index) < imageMetadataArray->size() ? index : indexMaxPixels;
      Dictionary fullRecord = writers::recordAt(*imageMetadataArray, recordIndex);
      Dictionary halfRecord = fullRecord;
      writers::prepareTIFFPageRecord(fullRecord, *rep, kFullSizeResolution, info.doTiffCompression);
      writers::prepareTIFFPageRecord(halfRecord, *half, kHalfSizeResolution, info.doTiffCompression);
      destination->addImage(std::move(fullPixels), Value(std::move(fullRecord)));
      destination->addImage(std::move(halfPixels), Value(std::move(halfRecord)));
      written = destination->finalize();
    }
    releasePropertiesAndMetadata();
    if (written) {
      saveCropFaceRepsToFile(imageio::committedPath(path));
      updateTagsForFileName(path);
      urlsArray.push_back(imageio::committedPath(path));
      return true;
    }
  }
  releasePropertiesAndMetadata();
  raster::ImageSet pages(raster::Size{double(rep->pixelsWide()), double(rep->pixelsHigh())});
  BitmapRepRef fullCopy = raster::BitmapImageRep::withImage(rep->image());
  if (fullCopy) fullCopy->setSize(rep->size());
  pages.addRepresentation(fullCopy);
  pages.addRepresentation(half);
  return saveATiffVersionFromImage(pages, path, info.doTiffCompression, 1.0, false, std::nullopt);
}

}  // namespace velumar
