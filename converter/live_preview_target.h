#pragma once
// What the live preview reads from and hands back to the view that shows
// the processed image. The preview window implements it; tests and the
// benchmark use a headless one. Every call is made on the main thread.

#include <memory>

#include "platform/ci/image.h"
#include "platform/raster/geometry.h"
#include "platform/raster/image_set.h"

namespace velumar {

class LivePreviewTarget {
 public:
  virtual ~LivePreviewTarget() = default;

  // YES while the view shows its placeholder instead of a listed image.
  virtual bool isOriginalImage() const = 0;
  // The unprocessed image shown, reduced as the preview loads it.
  virtual std::shared_ptr<raster::ImageSet> rawImageBackup() const = 0;
  virtual ci::ImageRef rawDepthImage() const = 0;
  // Pixel size and resolution of the file shown.
  virtual raster::Size imageURLSize() const = 0;
  virtual double currentImageDpi() const = 0;

  // The image the view draws (the processed preview with its watermarks).
  virtual std::shared_ptr<raster::ImageSet> image() const = 0;
  virtual void setImage(std::shared_ptr<raster::ImageSet> image) = 0;
  // The processed preview without watermarks.
  virtual std::shared_ptr<raster::ImageSet> rawImage() const = 0;
  virtual void setRawImage(std::shared_ptr<raster::ImageSet> image) = 0;
  // The output size the settings give for the file shown.
  virtual void setImageURLPreviewSize(raster::Size size) = 0;
  virtual void setCropOriginalSize(raster::Size size) = 0;
  // NO: the watermarks are drawn again over rawImage on the next pass.
  virtual void setDrawImageOnly(bool drawImageOnly) = 0;
  virtual void setNeedsDisplay() = 0;
};

}  // namespace velumar
