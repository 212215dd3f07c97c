#pragma once
// The engine's own preview render of what a preview view shows, as the
// live preview's result is expected to be.

#include <memory>

#include "converter/preview_live_preview_target.h"
#include "engine/imported_image.h"
#include "filters/cifiltering.h"
#include "preview/preview_image_view.h"

namespace velumar::convertertest {

struct DirectPreview {
  std::shared_ptr<raster::ImageSet> image;
  raster::Size imagePreviewSize;
};

// A fresh engine with slot 0's values renders view's picture with info.
inline DirectPreview directPreviewRender(const PreviewImageView& view, const FilterInfo& slot,
                                         const ImageModifyInfo& info) {
  ImportedImage engine;
  engine.ciPhotoFilters->setFilterInfo0(slot);
  engine.setImagePreviewOriginalSize(view.imageURLSize());
  engine.imagePreviewOriginalDpi = view.currentImageDpi();
  DirectPreview direct;
  direct.image = engine.resizePixelSizeForImage(PreviewLivePreviewTarget::imageSetOf(view.rawImageBackup()),
                                                nullptr, nullptr, view.currentImageDpi(), info);
  direct.imagePreviewSize = engine.imagePreviewSize();
  return direct;
}

}  // namespace velumar::convertertest
