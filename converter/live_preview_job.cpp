#include "converter/live_preview_job.h"

#include "engine/imported_image.h"
#include "filters/cifiltering.h"

namespace velumar {

namespace {

ci::FilterRef copied(const ci::FilterRef& filter) {
  return filter ? filter->copy() : nullptr;
}

}  // namespace

void LivePreviewJob::takeEngineInputs(const ImportedImage& engine) {
  const CIFiltering& filters = *engine.ciPhotoFilters;
  filterInfos = {filters.filterInfo0(), filters.filterInfo1(), filters.filterInfo2()};
  lutFilter = copied(engine.lutFilter());
  lutIntensity = engine.lutIntensity;
  curveFilters = {copied(engine.toneCurveFilter()), copied(engine.redCurveFilter()),
                  copied(engine.greenCurveFilter()), copied(engine.blueCurveFilter())};
  compositeImage = engine.compositeCIInputImage;
  compositeOpacity = engine.compositeImageOpacity;
  compositeSize = engine.compositeImageSize;
  compositeOrigin = engine.compositeImageOrigin();
  outputProfile = filters.currentProfile();
}

void LivePreviewJob::installIn(ImportedImage& engine) const {
  CIFiltering& filters = *engine.ciPhotoFilters;
  filters.setFilterInfo0(filterInfos[0]);
  filters.setFilterInfo1(filterInfos[1]);
  filters.setFilterInfo2(filterInfos[2]);
  engine.setLutFilter(lutFilter);
  engine.lutIntensity = lutIntensity;
  engine.setToneCurveFilter(curveFilters[0]);
  engine.setRedCurveFilter(curveFilters[1]);
  engine.setGreenCurveFilter(curveFilters[2]);
  engine.setBlueCurveFilter(curveFilters[3]);
  engine.compositeCIInputImage = compositeImage;
  engine.compositeImageOpacity = compositeOpacity;
  engine.compositeImageSize = compositeSize;
  engine.setCompositeImageOrigin(compositeOrigin);
  // Making the profile's cube is costly: only a changed profile is set.
  if (filters.currentProfile() != outputProfile) filters.setProfile(outputProfile);
  engine.watermarkImage = nullptr;
  if (clearPreviewContext) engine.clearCGPreviewContext();
}

std::shared_ptr<raster::ImageSet> renderLivePreviewJob(
    ImportedImage& engine, const LivePreviewJob& job, const std::shared_ptr<raster::ImageSet>& contextImage) {
  job.installIn(engine);
  if (job.source) engine.setCropOriginalSize(job.source->size());
  engine.setImagePreviewOriginalSize(job.imageURLSize);
  engine.imagePreviewOriginalDpi = job.imageDpi;
  engine.setImagePreviewSize(job.imageURLSize);
  engine.updateCropSizeForPreview = true;
  std::shared_ptr<raster::ImageSet> rendered =
      engine.resizePixelSizeForImage(job.source, contextImage, job.depthImage, job.imageDpi, job.info);
  engine.updateCropSizeForPreview = false;
  return rendered;
}

}  // namespace velumar
