#pragma once
// A live-preview target without a window: holds the images and sizes the
// preview view would, and counts what the renderer did to it. Drives tests
// and the benchmark.

#include <cstdint>

#include "converter/live_preview_target.h"

namespace velumar {

class HeadlessLivePreviewTarget : public LivePreviewTarget {
 public:
  bool originalImage = false;
  std::shared_ptr<raster::ImageSet> source;
  ci::ImageRef depth;
  raster::Size urlSize;
  double dpi = 72;
  std::shared_ptr<raster::ImageSet> shown;
  std::shared_ptr<raster::ImageSet> raw;
  raster::Size previewSize;
  raster::Size cropSize;
  bool drawImageOnly = true;

  int imageSets = 0;
  int rawImageSets = 0;
  int displays = 0;

  // Shows source as a newly loaded file of pixel size urlSize.
  void show(std::shared_ptr<raster::ImageSet> image, raster::Size fileSize) {
    originalImage = false;
    source = std::move(image);
    urlSize = fileSize;
  }

  bool isOriginalImage() const override { return originalImage; }
  std::shared_ptr<raster::ImageSet> rawImageBackup() const override { return source; }
  ci::ImageRef rawDepthImage() const override { return depth; }
  raster::Size imageURLSize() const override { return urlSize; }
  double currentImageDpi() const override { return dpi; }
  std::shared_ptr<raster::ImageSet> image() const override { return shown; }
  void setImage(std::shared_ptr<raster::ImageSet> image) override {
    shown = std::move(image);
    ++imageSets;
  }
  std::shared_ptr<raster::ImageSet> rawImage() const override { return raw; }
  void setRawImage(std::shared_ptr<raster::ImageSet> image) override {
    raw = std::move(image);
    ++rawImageSets;
  }
  void setImageURLPreviewSize(raster::Size size) override { previewSize = size; }
  void setCropOriginalSize(raster::Size size) override { cropSize = size; }
  void setDrawImageOnly(bool value) override { drawImageOnly = value; }
  void setNeedsDisplay() override { ++displays; }
};

}  // namespace velumar
