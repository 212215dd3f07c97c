#pragma once
// One live-preview render as values taken on the main thread: the source
// and depth images, the view's sizes, the settings record and every engine
// input the preview draw reads (filter-slot records, lookup table, curves,
// composite, output profile). The worker installs it in an engine of its
// own, so nothing the main thread changes afterwards reaches the render.

#include <array>
#include <cstdint>
#include <memory>

#include "engine/image_modify_info.h"
#include "filters/filter_info.h"
#include "platform/ci/filter.h"
#include "platform/ci/image.h"
#include "platform/color/icc_profile.h"
#include "platform/raster/geometry.h"
#include "platform/raster/image_set.h"

namespace velumar {

class ImportedImage;

struct LivePreviewJob {
  std::uint64_t generation = 0;
  std::shared_ptr<raster::ImageSet> source;
  ci::ImageRef depthImage;
  raster::Size imageURLSize;
  double imageDpi = 72;
  ImageModifyInfo info;
  // A new image is shown: the engine forgets its cached preview context.
  bool clearPreviewContext = false;

  std::array<FilterInfo, 3> filterInfos{};
  ci::FilterRef lutFilter;
  double lutIntensity = 1.0;
  // Master, red, green, blue; null when a curve is off.
  std::array<ci::FilterRef, 4> curveFilters{};
  ci::ImageRef compositeImage;
  double compositeOpacity = 1.0;
  double compositeSize = 1.0;
  raster::Point compositeOrigin{50, 50};
  color::ProfileRef outputProfile;

  // Copies engine's render inputs (filters are copied, not shared, since
  // the window keeps changing its own).
  void takeEngineInputs(const ImportedImage& engine);
  // Hands the inputs to a worker's engine before it renders. The engine
  // keeps only weak links to the filters: the job must outlive the render.
  void installIn(ImportedImage& engine) const;
};

// The render as the preview does it, on engine: the sizes set, the settings
// drawn into contextImage when its size fits. The answer and the engine's
// imagePreviewSize and cropOriginalSize are what the view receives.
std::shared_ptr<raster::ImageSet> renderLivePreviewJob(ImportedImage& engine, const LivePreviewJob& job,
                                                       const std::shared_ptr<raster::ImageSet>& contextImage);

}  // namespace velumar
