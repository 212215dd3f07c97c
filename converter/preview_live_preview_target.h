#pragma once
// The live preview shown in the preview window's view: the view's
// unprocessed picture goes to the renderer as an image set (made once per
// picture, so a result for a picture no longer shown is recognised), and a
// result reaches the view as its processed picture. It is also what the
// hold-down button shows the unprocessed picture through.

#include <QImage>
#include <memory>

#include "converter/live_preview_target.h"
#include "platform/ui/hold_down_button.h"

namespace velumar {

class PreviewImageView;

class PreviewLivePreviewTarget : public LivePreviewTarget, public ui::HoldDownPreview {
 public:
  explicit PreviewLivePreviewTarget(PreviewImageView& view) : view_(view) {}

  bool isOriginalImage() const override;
  std::shared_ptr<raster::ImageSet> rawImageBackup() const override;
  ci::ImageRef rawDepthImage() const override;
  raster::Size imageURLSize() const override;
  double currentImageDpi() const override;
  std::shared_ptr<raster::ImageSet> image() const override;
  // The view makes its shown picture from the processed one itself.
  void setImage(std::shared_ptr<raster::ImageSet>) override {}
  std::shared_ptr<raster::ImageSet> rawImage() const override { return rawImage_; }
  void setRawImage(std::shared_ptr<raster::ImageSet> image) override;
  void setImageURLPreviewSize(raster::Size size) override { previewSize_ = size; }
  void setCropOriginalSize(raster::Size size) override;
  void setDrawImageOnly(bool drawImageOnly) override;
  // Hands a new processed picture to the view, then redraws it.
  void setNeedsDisplay() override;
  void setShowOriginalImage(bool show) override;

  // A set over the pixels of picture (shared, not copied); empty for a
  // null picture.
  static std::shared_ptr<raster::ImageSet> imageSetOf(const QImage& picture);
  // The first representation's pixels as a premultiplied RGBA8888 sRGB
  // picture (shared when already in that form); null when there are none.
  static QImage pictureOf(const raster::ImageSet& image);

 private:
  PreviewImageView& view_;
  mutable qint64 sourceKey_ = 0;
  mutable std::shared_ptr<raster::ImageSet> source_;
  std::shared_ptr<raster::ImageSet> rawImage_;
  bool rawImageChanged_ = false;
  raster::Size previewSize_;
};

}  // namespace velumar
