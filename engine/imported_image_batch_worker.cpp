// Engines for converting several files of a batch at once: each worker is
// a copy of the converter's engine for conversion, and hands its per-file
// state back to it before the file is written. A worker may also encode
// its file, which the converter's engine then names.

#include "engine/imported_image.h"

#include <algorithm>

#include "filters/cifiltering.h"
#include "platform/imageio/deferred_naming.h"
#include "platform/imageio/unnamed_file.h"

namespace velumar {

std::shared_ptr<ImportedImage> ImportedImage::makeBatchWorker() const {
  auto worker = std::make_shared<ImportedImage>();
  worker->ciPhotoFilters = ciPhotoFilters->copyForWorker();
  {
    std::scoped_lock locks(propertyLock_, worker->propertyLock_);
    worker->imageModifyInfo_ = imageModifyInfo_;
    worker->compositeImageOrigin_ = compositeImageOrigin_;
    // Filters hold their inputs while they render: every worker renders
    // with copies of its own.
    auto ownCopy = [&](const std::weak_ptr<ci::Filter>& filter) -> std::weak_ptr<ci::Filter> {
      const ci::FilterRef original = filter.lock();
      if (!original) return {};
      worker->workerFilters_.push_back(original->copy());
      return worker->workerFilters_.back();
    };
    worker->lutFilter_ = ownCopy(lutFilter_);
    worker->toneCurveFilter_ = ownCopy(toneCurveFilter_);
    worker->redCurveFilter_ = ownCopy(redCurveFilter_);
    worker->greenCurveFilter_ = ownCopy(greenCurveFilter_);
    worker->blueCurveFilter_ = ownCopy(blueCurveFilter_);
    worker->imagePreviewOriginalSize_ = imagePreviewOriginalSize_;
    worker->imagePreviewSize_ = imagePreviewSize_;
    worker->cropOriginalSize_ = cropOriginalSize_;
  }
  worker->profiles = profiles;
  worker->profilesRGB = profilesRGB;
  worker->profilesGray = profilesGray;
  worker->profilesCMYK = profilesCMYK;
  worker->textFont = textFont;
  worker->textAttributes = textAttributes;
  worker->watermarkDrawString = watermarkDrawString;
  worker->watermarkImage = watermarkImage;
  worker->compositeImageOpacity = compositeImageOpacity;
  worker->compositeImageSize = compositeImageSize;
  worker->compositeCIInputImage = compositeCIInputImage;
  worker->lutIntensity = lutIntensity;
  worker->imagePreviewOriginalDpi = imagePreviewOriginalDpi;
  worker->shrinkOnLoad = shrinkOnLoad;
  return worker;
}

void ImportedImage::takeFileResultsFrom(ImportedImage& worker) {
  indexMaxPixels = worker.indexMaxPixels;
  filteredColorSpace = worker.filteredColorSpace;
  imageMetadataArray = std::move(worker.imageMetadataArray);
  worker.imageMetadataArray.reset();
  psdInfoArray = std::move(worker.psdInfoArray);
  worker.psdInfoArray.clear();
  psdCanvasSize = worker.psdCanvasSize;
  psdInfoRepresentations = std::move(worker.psdInfoRepresentations);
  worker.psdInfoRepresentations.clear();
  watermarkDrawDate = worker.watermarkDrawDate;
  watermarkMetadataDate = worker.watermarkMetadataDate;
  exportedDepthImage = worker.exportedDepthImage;
}

namespace {

// The name an encode ahead is made under: only its folder matters, the
// loop names the file.
constexpr const char* kEncodeAheadName = ".velumar-encoding";

bool isPlainRasterOutput(std::int64_t code) {
  return code == ConversionType::JPEG || code == ConversionType::PNG || code == ConversionType::BMP ||
         code == ConversionType::GIF || code == ConversionType::TIFF;
}

}  // namespace

std::optional<imageio::EncodedFile> ImportedImage::encodeForBatch(const raster::ImageSet& image,
                                                                  ImageModifyInfo info,
                                                                  std::int64_t originalFileType,
                                                                  const std::string& folder) {
  verifyKeepOriginalFileTypeForImageInfo(info, std::nullopt, originalFileType);
  const std::int64_t code = info.conversionType;
  if (folder.empty() || !isPlainRasterOutput(code) || image.representations().size() != 1 ||
      !ciPhotoFilters->cropFacesArray.empty())
    return std::nullopt;
  const std::string path = (folder.back() == '/' ? folder : folder + "/") + kEncodeAheadName;
  // The writer drops the per-file records it used; the engine that takes
  // this worker's results still needs them when the file is written anew.
  const std::optional<foundation::Array> metadata = imageMetadataArray;
  const foundation::Array layers = psdInfoArray;
  const raster::Size canvas = psdCanvasSize;
  const auto layerReps = psdInfoRepresentations;
  const std::size_t listed = urlsArray.size();
  std::vector<imageio::EncodedFile> files;
  bool encoded = false;
  {
    imageio::DeferredNaming deferred;
    encoded = saveImage(image, code, path, originalFileType, info.jpegCompressionFactor,
                        info.doTiffCompression, info.preserveMetadata, false, info.roundedCornersICNS,
                        info.shadowICNS);
    files = deferred.take();
  }
  urlsArray.resize(std::min(urlsArray.size(), listed));
  imageMetadataArray = metadata;
  psdInfoArray = layers;
  psdCanvasSize = canvas;
  psdInfoRepresentations = layerReps;
  if (!encoded || files.size() != 1) return std::nullopt;
  return std::move(files.front());
}

bool ImportedImage::claimEncodedFile(imageio::EncodedFile& file, const std::string& path) {
  psdInfoArray.clear();
  psdCanvasSize = {0, 0};
  psdInfoRepresentations.clear();
  const bool written = file.claim(path);
  if (written) {
    // Without overwriting, the claim may have taken the next free name.
    const std::string used = imageio::committedPath(path);
    updateTagsForFileName(used);
    urlsArray.push_back(used);
  }
  releasePropertiesAndMetadata();
  return written;
}

}  // namespace velumar
