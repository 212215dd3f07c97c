// Engines for converting several files of a batch at once: each worker is
// a copy of the converter's engine for conversion, and hands its per-file
// state back to it before the file is written.

#include "engine/imported_image.h"

namespace velumar {

std::shared_ptr<ImportedImage> ImportedImage::makeBatchWorker() const {
  auto worker = std::make_shared<ImportedImage>();
  {
    std::scoped_lock locks(propertyLock_, worker->propertyLock_);
    worker->imageModifyInfo_ = imageModifyInfo_;
    worker->compositeImageOrigin_ = compositeImageOrigin_;
    worker->lutFilter_ = lutFilter_;
    worker->toneCurveFilter_ = toneCurveFilter_;
    worker->redCurveFilter_ = redCurveFilter_;
    worker->greenCurveFilter_ = greenCurveFilter_;
    worker->blueCurveFilter_ = blueCurveFilter_;
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

}  // namespace velumar
