#include "converter/preview_live_preview_target.h"

#include "preview/preview_image_view.h"
#include "preview/preview_picture.h"

namespace velumar {

bool PreviewLivePreviewTarget::isOriginalImage() const {
  return view_.isOriginalImage();
}

std::shared_ptr<raster::ImageSet> PreviewLivePreviewTarget::rawImageBackup() const {
  const QImage& picture = view_.rawImageBackup();
  if (picture.isNull()) return nullptr;
  if (!source_ || picture.cacheKey() != sourceKey_) {
    sourceKey_ = picture.cacheKey();
    source_ = imageSetOf(picture);
  }
  return source_;
}

ci::ImageRef PreviewLivePreviewTarget::rawDepthImage() const {
  return view_.rawDepthImage();
}

raster::Size PreviewLivePreviewTarget::imageURLSize() const {
  return view_.imageURLSize();
}

double PreviewLivePreviewTarget::currentImageDpi() const {
  return view_.currentImageDpi();
}

std::shared_ptr<raster::ImageSet> PreviewLivePreviewTarget::image() const {
  const QImage& shown = view_.shownImage();
  return std::make_shared<raster::ImageSet>(raster::Size{double(shown.width()), double(shown.height())});
}

void PreviewLivePreviewTarget::setRawImage(std::shared_ptr<raster::ImageSet> image) {
  rawImage_ = std::move(image);
  rawImageChanged_ = true;
}

void PreviewLivePreviewTarget::setCropOriginalSize(raster::Size size) {
  view_.setCropOriginalSize(size);
}

void PreviewLivePreviewTarget::setDrawImageOnly(bool drawImageOnly) {
  view_.setDrawImageOnly(drawImageOnly);
}

void PreviewLivePreviewTarget::setNeedsDisplay() {
  if (rawImageChanged_ && rawImage_) {
    const QImage picture = pictureOf(*rawImage_);
    if (!picture.isNull()) view_.setProcessedImage(picture, previewSize_);
  }
  rawImageChanged_ = false;
  view_.update();
}

void PreviewLivePreviewTarget::setShowOriginalImage(bool show) {
  view_.setShowOriginalImage(show);
}

std::shared_ptr<raster::ImageSet> PreviewLivePreviewTarget::imageSetOf(const QImage& picture) {
  if (picture.isNull()) return std::make_shared<raster::ImageSet>();
  auto keeper = std::make_shared<QImage>(picture.convertToFormat(QImage::Format_RGBA8888_Premultiplied));
  const raster::ImageRef pixels = raster::Image::wrap(
      keeper->width(), keeper->height(), raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB(), keeper,
      keeper->constBits(), std::size_t(keeper->bytesPerLine()));
  return std::make_shared<raster::ImageSet>(
      raster::ImageSet::withRepresentation(raster::BitmapImageRep::withImage(pixels)));
}

QImage PreviewLivePreviewTarget::pictureOf(const raster::ImageSet& image) {
  if (image.isEmpty()) return {};
  const raster::ImageRef pixels = image.representations().front()->image();
  if (!pixels) return {};
  if (pixels->format() == raster::PixelFormat::rgba8() &&
      pixels->colorSpace() == raster::ColorSpace::sRGB()) {
    // The picture reads the immutable pixels in place and keeps them alive.
    auto* keeper = new raster::ImageRef(pixels);
    return QImage(
        pixels->data(), int(pixels->width()), int(pixels->height()), qsizetype(pixels->bytesPerRow()),
        QImage::Format_RGBA8888_Premultiplied,
        [](void* kept) { delete static_cast<raster::ImageRef*>(kept); }, keeper);
  }
  return drawnPreviewImage(pixels, int(pixels->width()), int(pixels->height()));
}

}  // namespace velumar
