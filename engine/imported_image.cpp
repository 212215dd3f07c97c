#include "engine/imported_image.h"

#include "filters/cifiltering.h"

namespace velumar {

ImportedImage::ImportedImage()
    : ciPhotoFilters(std::make_shared<CIFiltering>()),
      textAttributes(textAttributesWithFont(textFont)),
      imageModifyInfo_(ImageModifyInfo::zeroed()) {}

ImportedImage::~ImportedImage() = default;

void ImportedImage::resetTextAttributes() {
  watermarkDrawString.clear();
  textFont = TextFont::systemFont(kDefaultWatermarkFontSize);
  textAttributes = textAttributesWithFont(textFont);
}

// ---- Atomic properties: whole copies under the property lock -------------

ImageModifyInfo ImportedImage::imageModifyInfo() const {
  std::lock_guard lock(propertyLock_);
  return imageModifyInfo_;
}

void ImportedImage::setImageModifyInfo(const ImageModifyInfo& info) {
  std::lock_guard lock(propertyLock_);
  imageModifyInfo_ = info;
}

std::optional<std::vector<std::string>> ImportedImage::actFileTags() const {
  std::lock_guard lock(propertyLock_);
  return actFileTags_;
}

void ImportedImage::setActFileTags(std::optional<std::vector<std::string>> tags) {
  std::lock_guard lock(propertyLock_);
  actFileTags_ = std::move(tags);
}

raster::Point ImportedImage::compositeImageOrigin() const {
  std::lock_guard lock(propertyLock_);
  return compositeImageOrigin_;
}

void ImportedImage::setCompositeImageOrigin(raster::Point origin) {
  std::lock_guard lock(propertyLock_);
  compositeImageOrigin_ = origin;
}

ci::FilterRef ImportedImage::lutFilter() const {
  std::lock_guard lock(propertyLock_);
  return lutFilter_.lock();
}

void ImportedImage::setLutFilter(const ci::FilterRef& filter) {
  std::lock_guard lock(propertyLock_);
  lutFilter_ = filter;
}

ci::FilterRef ImportedImage::toneCurveFilter() const {
  std::lock_guard lock(propertyLock_);
  return toneCurveFilter_.lock();
}

void ImportedImage::setToneCurveFilter(const ci::FilterRef& filter) {
  std::lock_guard lock(propertyLock_);
  toneCurveFilter_ = filter;
}

ci::FilterRef ImportedImage::redCurveFilter() const {
  std::lock_guard lock(propertyLock_);
  return redCurveFilter_.lock();
}

void ImportedImage::setRedCurveFilter(const ci::FilterRef& filter) {
  std::lock_guard lock(propertyLock_);
  redCurveFilter_ = filter;
}

ci::FilterRef ImportedImage::greenCurveFilter() const {
  std::lock_guard lock(propertyLock_);
  return greenCurveFilter_.lock();
}

void ImportedImage::setGreenCurveFilter(const ci::FilterRef& filter) {
  std::lock_guard lock(propertyLock_);
  greenCurveFilter_ = filter;
}

ci::FilterRef ImportedImage::blueCurveFilter() const {
  std::lock_guard lock(propertyLock_);
  return blueCurveFilter_.lock();
}

void ImportedImage::setBlueCurveFilter(const ci::FilterRef& filter) {
  std::lock_guard lock(propertyLock_);
  blueCurveFilter_ = filter;
}

raster::Size ImportedImage::imagePreviewOriginalSize() const {
  std::lock_guard lock(propertyLock_);
  return imagePreviewOriginalSize_;
}

void ImportedImage::setImagePreviewOriginalSize(raster::Size size) {
  std::lock_guard lock(propertyLock_);
  imagePreviewOriginalSize_ = size;
}

raster::Size ImportedImage::imagePreviewSize() const {
  std::lock_guard lock(propertyLock_);
  return imagePreviewSize_;
}

void ImportedImage::setImagePreviewSize(raster::Size size) {
  std::lock_guard lock(propertyLock_);
  imagePreviewSize_ = size;
}

raster::Size ImportedImage::cropOriginalSize() const {
  std::lock_guard lock(propertyLock_);
  return cropOriginalSize_;
}

void ImportedImage::setCropOriginalSize(raster::Size size) {
  std::lock_guard lock(propertyLock_);
  cropOriginalSize_ = size;
}

}  // namespace velumar
