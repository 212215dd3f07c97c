#include "engine/image_info.h"

#include "engine/text_font.h"

namespace velumar {

ImageInfo::ImageInfo()
    : watermarkTextAttributes(textAttributesWithFont(TextFont::systemFont(kDefaultWatermarkFontSize))),
      imageModifyInfo_(ImageModifyInfo::zeroed()) {
  // A new preset starts zeroed; the fields initialisation leaves alone stay 0.
  initializeImageInfo(imageModifyInfo_);
}

void ImageInfo::initializeImageInfo(ImageModifyInfo& info) {
  const ImageModifyInfo defaults;
  const auto imageDepth = info.imageDepth;
  const auto imageTransparency = info.imageTransparency;
  const auto drawWithAlpha = info.drawWithAlpha;
  info = defaults;
  info.imageDepth = imageDepth;
  info.imageTransparency = imageTransparency;
  info.drawWithAlpha = drawWithAlpha;
}

ImageModifyInfo ImageInfo::imageModifyInfo() const {
  std::lock_guard lock(recordLock_);
  return imageModifyInfo_;
}

void ImageInfo::setImageModifyInfo(const ImageModifyInfo& info) {
  std::lock_guard lock(recordLock_);
  imageModifyInfo_ = info;
}

}  // namespace velumar
