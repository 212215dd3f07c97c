// The conversion driver: one input file to one image in memory, one result
// representation per source representation that is converted.

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "engine/finite_float_pixels.h"
#include "engine/image_rep_reader.h"
#include "engine/imported_image.h"
#include "engine/shrink_on_load.h"

namespace velumar {

namespace {

constexpr const char* kHasFlattenedImageKey = "Has Flattened Image";

std::string ownExtension(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  if (!extension.empty() && extension.front() == '.') extension.erase(0, 1);
  return extension;
}

bool isLayeredOutput(std::int64_t conversionType) {
  return conversionType == ConversionType::PSD || conversionType == ConversionType::PSDLayered;
}

bool loadsPSDLayers(std::int64_t conversionType) {
  return conversionType == ConversionType::TIFF || isLayeredOutput(conversionType);
}

// A PSD's composite: the stored one, or for a file saved without a real
// merged image (a white placeholder) its layers merged by the flat decoder,
// in bounded memory and at the file's own depth, stopping at a cancel.
std::optional<BitmapRepList> psdCompositeReps(const std::string& path) {
  return bitmapImageRepsWithContentsOfURL(path);
}

// The geometry fields the size checks rewrite per representation.
void restoreGeometry(ImageModifyInfo& working, const ImageModifyInfo& caller) {
  working.resizeScaleType = caller.resizeScaleType;
  working.cropCenterX = caller.cropCenterX;
  working.cropCenterY = caller.cropCenterY;
  working.unrotatedWidth = caller.unrotatedWidth;
  working.unrotatedHeight = caller.unrotatedHeight;
  working.cropAndRotateCropSize = caller.cropAndRotateCropSize;
}

// Scale types whose target is the source scaled as a whole; for these the
// layers of a PSD source are sized by the one factor of their canvas.
bool scalesWithCanvas(std::int64_t scaleType) {
  return (scaleType >= 0 && scaleType <= 5) || scaleType == 8 || scaleType == 9 || scaleType == 12;
}

// A target side in whole pixels, rounded up in single precision as the
// render pipeline makes its bitmaps.
double renderedSide(double side) {
  const float whole = std::ceil(float(side));
  return whole >= 1.0f ? double(whole) : 1.0;
}

bool isModel(const BitmapRepRef& rep, raster::ColorModel model) {
  return rep->colorSpace() && rep->colorSpace()->model() == model;
}

// Float results never carry NaN or infinities (they pass through the
// driver from sources and from every draw).
void keepFloatPixelsFinite(const BitmapRepRef& rep) {
  if (!rep->pixelFormat().isFloat()) return;
  raster::ImageRef clean = finiteFloatImage(rep->image());
  if (clean != rep->image()) rep->setImage(std::move(clean));
}

}  // namespace

bool ImportedImage::loadsPSDLayersForConversionType(std::int64_t conversionType) {
  return loadsPSDLayers(conversionType);
}

std::shared_ptr<raster::ImageSet> ImportedImage::resizePixelSizeForURL(const std::string& path,
                                                                       ImageModifyInfo modifyInfo,
                                                                       std::int64_t* originalFileType,
                                                                       const ci::ImageRef& depthImage) {
  // Layer records belong to the file converted now; a file that is no
  // layered PSD has none.
  psdInfoArray.clear();
  psdCanvasSize = {0, 0};
  psdInfoRepresentations.clear();
  auto noResult = [this]() -> std::shared_ptr<raster::ImageSet> {
    psdInfoArray.clear();
    psdCanvasSize = {0, 0};
    return nullptr;
  };

  const std::optional<FileTypeDetection> types = verifyFileTypeFromURL(path);
  if (!types) return nullptr;
  if (originalFileType) *originalFileType = types->fileType;

  const ImageModifyInfo& caller = modifyInfo;
  ImageModifyInfo info = modifyInfo;
  filteredColorSpace = 0;
  verifyKeepOriginalFileTypeForImageInfo(info, types, -1);

  // The loader by the file's own extension and its detected type.
  const std::string extension = ownExtension(path);
  LoaderKind loaderKind = LoaderKind::None;
  std::optional<BitmapRepList> documentReps;
  if (verifyPDFAndExtensionFromExt(extension, *types) != LoaderKind::None) {
    loaderKind = LoaderKind::PDF;
    documentReps = setPdfBmpImageRepWithURL(path);
  } else if (verifyEPSAndExtensionFromExt(extension, *types) != LoaderKind::None) {
    loaderKind = LoaderKind::EPS;
    documentReps = setEpsBmpImageRepWithURL(path);
  } else if (verifyAIAndExtensionFromExt(extension, *types) != LoaderKind::None) {
    loaderKind = LoaderKind::AI;
    documentReps = setAIImageWithURL(path);
  } else if (verifyPSDAndExtensionFromExt(extension, *types) != LoaderKind::None) {
    loaderKind = LoaderKind::PSD;
  }

  // Layers of a PSD, for outputs that can keep them; the composite joins
  // them for PSD outputs.
  std::optional<BitmapRepList> psdReps;
  if (loaderKind == LoaderKind::PSD && loadsPSDLayers(info.conversionType)) {
    std::optional<BitmapRepList> layers = setPSDImageWithURL(path);
    if (layers && layers->size() == 1) {
      psdInfoArray.clear();
    } else if (layers && layers->size() > 1) {
      psdReps = std::move(layers);
      if (isLayeredOutput(info.conversionType)) {
        std::optional<BitmapRepList> composite = psdCompositeReps(path);
        if (composite && !composite->empty() && composite->front()) {
          // The same file's samples: the composite is tagged as the layers
          // are (an untagged file is sRGB for both readers).
          BitmapRepRef merged = composite->front();
          const raster::ColorSpaceRef& layerSpace = psdReps->front() ? psdReps->front()->colorSpace() : nullptr;
          if (layerSpace && merged->colorSpace() && layerSpace->model() == merged->colorSpace()->model())
            merged = merged->retagged(layerSpace);
          psdReps->push_back(merged);
          foundation::Dictionary flattened;
          flattened.set(kHasFlattenedImageKey, foundation::Value(true));
          psdInfoArray.emplace_back(std::move(flattened));
        }
      }
    }
  }

  info.originalFileType = types->fileType;
  verifyConditionsForImageInfo(info, types, psdReps ? &*psdReps : nullptr);

  // The target pixel size of a source for the settings (which the fitting
  // rules adjust).
  auto resizeTargetFor = [this](raster::Size source, double sourcePointsPerPixel, ImageModifyInfo& settings) {
    raster::Size size = settings.setFromFixedSize
                            ? raster::Size{settings.fixedSizeW != 0 ? settings.fixedSizeW : source.width,
                                           settings.fixedSizeH != 0 ? settings.fixedSizeH : source.height}
                            : verifyResizeSizeFromPixelSize(source, sourcePointsPerPixel, settings);
    verifyPixelAvailabilityForSize(size, source, settings);
    return size;
  };

  std::optional<BitmapRepList> reps;
  // The full pixel size of a source decoded smaller than it is; (0, 0) when
  // decoded at full size.
  raster::Size fullPixelSize{0, 0};
  bool readsPSDLayers = false;
  if (loaderKind != LoaderKind::None && loaderKind != LoaderKind::PSD && documentReps) {
    reps = std::move(documentReps);
  } else if (psdReps) {
    reps = psdReps;
    readsPSDLayers = true;
  } else if (info.isSourceDestinationGIF) {
    reps = bitmapRepsGIFFromURL(path);
    if (!reps) reps = bitmapImageRepsWithContentsOfURL(path);
    // Frames keep their timing, which lives in the metadata.
    if (reps && reps->size() > 1) info.preserveMetadata = true;
  } else if (loaderKind == LoaderKind::PSD) {
    reps = psdCompositeReps(path);
  } else if (std::optional<ImageRepReading> reading = imageRepsWithContentsOfURL(path)) {
    // A JPEG or WebP drawn at half its size or less decodes at the size needed.
    if (shrinkOnLoad && reading->entries.size() == 1 && !reading->entries[0].isDocument && !depthImage &&
        allowsReducedDecode(info, reading->source->type())) {
      const ImageRepEntry& entry = reading->entries[0];
      const raster::Size upright = uprightPixelSize(*reading, entry);
      const double uprightPoints = upright.width == entry.pixelsWide ? entry.size.width : entry.size.height;
      double pointsPerPixel = upright.width > 0 ? uprightPoints / upright.width : 1.0;
      if (!(pointsPerPixel > 0 && std::isfinite(pointsPerPixel))) pointsPerPixel = 1.0;
      ImageModifyInfo probe = info;
      restoreGeometry(probe, caller);
      const raster::Size target = resizeTargetFor(upright, pointsPerPixel, probe);
      if (const std::int64_t longSide = reducedDecodeLongSide(upright, target); longSide > 0) {
        if (BitmapRepRef rep = bitmapRepForEntry(*reading, entry, longSide)) {
          reps = BitmapRepList{std::move(rep)};
          fullPixelSize = upright;
        }
      }
    }
    if (!reps && decodedAhead) reps = decodedAhead(path);
    if (!reps) reps = bitmapRepsOfReading(*reading);
  }
  if (!reps || !verifyBitmapRepsForImageReps(*reps)) {
    if (std::optional<BitmapRepList> generic = setGenericImageWithURL(path)) {
      reps = std::move(generic);
      fullPixelSize = {0, 0};
      readsPSDLayers = false;
    }
  }
  if (!reps) return noResult();

  const raster::Size largest = verifyImagePixelSize(*reps);
  if (!(largest.width > 0 && largest.height > 0)) return noResult();
  auto result = std::make_shared<raster::ImageSet>(largest);

  MetadataSource metadataSource;
  if (info.preserveMetadata) metadataSource = prepareMetadataArrayForURL(path);
  if (info.addWatermarkDate) updateImageDateWithURL(path, metadataSource);

  const BitmapRepList* psdList = psdReps ? &*psdReps : nullptr;
  // The layers of a PSD source rebuilt as PSD are resized with their
  // canvas: every layer and its offset by the canvas's one factor, so they
  // stay aligned. Sizes in points use the composite's resolution when it
  // was appended.
  const bool convertsPSDLayers = readsPSDLayers && isLayeredOutput(info.conversionType) &&
                                 psdCanvasSize.width >= 1 && psdCanvasSize.height >= 1;
  // Which source representations gave a result, to keep the layer records
  // aligned with the result.
  std::vector<bool> converted(reps->size(), false);
  double canvasPointsPerPixel = 1.0;
  if (convertsPSDLayers && !psdInfoArray.empty() && psdInfoArray.back().get(kHasFlattenedImageKey) &&
      psdList->back() && psdList->back()->pixelsWide() > 0) {
    const double composite = psdList->back()->size().width / double(psdList->back()->pixelsWide());
    if (composite > 0 && std::isfinite(composite)) canvasPointsPerPixel = composite;
  }
  for (std::size_t index = 0; index < reps->size(); ++index) {
    const BitmapRepRef& rep = (*reps)[index];
    restoreGeometry(info, caller);
    if (!rep || !rep->image()) continue;
    if (reps->size() >= 2 && info.resizeAndConvertOnlyMaxRep && std::int64_t(index) != indexMaxPixels)
      continue;
    verifyPSDOriginalColorSpaceForBmpRep(rep, info, psdList);
    const std::int64_t width = rep->pixelsWide(), height = rep->pixelsHigh();
    if (width == 0 || height == 0) continue;
    const raster::Size pixelSize =
        fullPixelSize.width > 0 ? fullPixelSize : raster::Size{double(width), double(height)};
    verifyIconsetSizeForImageInfo(info, pixelSize);
    // Points per pixel of the source; a representation without a size in
    // points counts as 72 dpi.
    double pointsPerPixel = rep->size().width / pixelSize.width;
    if (!(pointsPerPixel > 0 && std::isfinite(pointsPerPixel))) pointsPerPixel = 1.0;

    BitmapRepRef produced;
    raster::Size target = pixelSize;
    if (info.onlySetDpi || !info.doImageResize) {
      produced = info.colorSpace == 0
                     ? rep
                     : convertColorSpaceForBitmapRep(rep, info.colorSpaceModel, info.colorSpace,
                                                     info.preserveCMYKAlpha, false, pixelSize, info);
    } else {
      auto resizeTarget = [&](raster::Size source, double sourcePointsPerPixel) {
        return resizeTargetFor(source, sourcePointsPerPixel, info);
      };
      if (convertsPSDLayers && scalesWithCanvas(info.resizeScaleType)) {
        const raster::Size canvasTarget = resizeTarget(psdCanvasSize, canvasPointsPerPixel);
        const double factorX = renderedSide(canvasTarget.width) / psdCanvasSize.width;
        const double factorY = renderedSide(canvasTarget.height) / psdCanvasSize.height;
        target = {std::max(1.0, std::round(pixelSize.width * factorX)),
                  std::max(1.0, std::round(pixelSize.height * factorY))};
      } else {
        target = resizeTarget(pixelSize, pointsPerPixel);
      }
      if (info.colorSpace != 0) {
        produced = convertColorSpaceForBitmapRep(rep, info.colorSpaceModel, info.colorSpace,
                                                 info.preserveCMYKAlpha, true, target, info);
      } else if (isModel(rep, raster::ColorModel::CMYK) && rep->hasAlpha() && info.preserveCMYKAlpha) {
        produced = drawInCGContextCMYKWithAlphaFromRep(rep, target, info);
      } else if (isModel(rep, raster::ColorModel::Gray) && rep->hasAlpha()) {
        produced = drawInCGContextGrayWithAlphaFromRep(rep, target, 0, info);
      } else {
        produced = drawInCGContextFromBmpRep(rep, depthImage, target, info);
      }
    }
    if (!produced) continue;
    converted[index] = true;

    const double scale = (info.modifyImageDpi && info.dpi > 0) ? 72.0 / info.dpi : pointsPerPixel;
    produced->setSize({target.width * scale, target.height * scale});
    keepFloatPixelsFinite(produced);
    result->addRepresentation(produced);
    if (info.preserveMetadata) updateMetadataDictionaryForSource(metadataSource, std::int64_t(index));
  }

  // A layer left out takes its record with it.
  if (readsPSDLayers && psdInfoArray.size() == converted.size()) {
    foundation::Array records;
    for (std::size_t index = 0; index < converted.size(); ++index) {
      if (converted[index]) records.push_back(std::move(psdInfoArray[index]));
    }
    psdInfoArray = std::move(records);
  }

  if (info.preserveMetadata)
    releaseMetadataSource(std::move(metadataSource));
  else
    releasePropertiesAndMetadata();

  if (result->isEmpty()) return noResult();
  verifyImagePixelSizeForResultedImage(*result);
  verifyIndexForPSDFlattenedRepWithOriginalExt(loaderKind, info, *result);

  if (indexMaxPixels < 0 || std::size_t(indexMaxPixels) >= result->representations().size())
    indexMaxPixels = 0;
  const BitmapRepRef& maxRep = result->representations()[std::size_t(indexMaxPixels)];
  result->setSize({double(maxRep->pixelsWide()), double(maxRep->pixelsHigh())});
  filteredColorSpace = info.colorSpace;
  if (!psdInfoArray.empty())
    psdInfoRepresentations.assign(result->representations().begin(), result->representations().end());
  return result;
}

void ImportedImage::verifyIndexForPSDFlattenedRepWithOriginalExt(LoaderKind loaderKind,
                                                                 const ImageModifyInfo& info,
                                                                 const raster::ImageSet& image) {
  if (loaderKind != LoaderKind::PSD || !isLayeredOutput(info.conversionType) || psdInfoArray.empty()) return;
  const foundation::Value& last = psdInfoArray.back();
  if (!last.get(kHasFlattenedImageKey)) return;
  const std::int64_t lastIndex = std::int64_t(image.representations().size()) - 1;
  if (lastIndex > 0 && indexMaxPixels == lastIndex) verifyImagePixelSizeForResultedImage(image, lastIndex);
}

}  // namespace velumar
