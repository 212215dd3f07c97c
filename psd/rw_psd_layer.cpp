#include "psd/rw_psd_layer.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "psd/rw_psd_copy_image_region.h"

namespace velumar {

namespace {

// Keeps offsets and sizes within what 64-bit pixel arithmetic can hold.
double boundedCoordinate(double value) {
  if (std::isnan(value)) return 0;
  return std::clamp(value, -1e15, 1e15);
}

}  // namespace

std::uint8_t rwOpacityByte(float opacity) {
  if (std::isnan(opacity)) return 255;
  const float scaled = std::ceil(opacity * 255.0f);
  return std::uint8_t(std::clamp(scaled, 0.0f, 255.0f));
}

RWPSDLayer::RWPSDLayer() : RWPSDLayer(4, 1.0f, false, false, "norm") {}

RWPSDLayer::RWPSDLayer(std::int64_t numberOfChannels, float opacity, bool shouldFlipLayerData,
                       bool shouldUnpremultiplyLayerData, std::string blendMode) {
  setNumberOfChannels(numberOfChannels);
  setOpacity(opacity);
  setShouldFlipLayerData(shouldFlipLayerData);
  setShouldUnpremultiplyLayerData(shouldUnpremultiplyLayerData);
  setBlendMode(std::move(blendMode));
}

RWPSDLayer::~RWPSDLayer() = default;

void RWPSDLayer::setDocumentSize(raster::Size size) {
  if (size.width != documentSize_.width || size.height != documentSize_.height) documentSize_ = size;
  visibleImageData_.reset();
  visibleImageDataBuilt_ = false;
}

void RWPSDLayer::setImage(raster::ImageRef image) {
  if (image == image_) return;
  image_ = std::move(image);
  visibleImageData_.reset();
  visibleImageDataBuilt_ = false;
}

void RWPSDLayer::setTargetColorSpace(raster::ColorSpaceRef space) {
  if (space == targetColorSpace_) return;
  targetColorSpace_ = std::move(space);
  visibleImageData_.reset();
  visibleImageDataBuilt_ = false;
}

void RWPSDLayer::setNumberOfChannels(std::int64_t channels) {
  numberOfChannels_ = channels < 4 ? 3 : 4;
}

void RWPSDLayer::setBlendMode(std::string blendMode) {
  blendMode.resize(4, ' ');
  blendMode_ = std::move(blendMode);
}

raster::Rect RWPSDLayer::imageCropRegion() const {
  const double x = boundedCoordinate(offset_.x), y = boundedCoordinate(offset_.y);
  const double W = image_ ? double(image_->width()) : 0, H = image_ ? double(image_->height()) : 0;
  const double DW = boundedCoordinate(documentSize_.width), DH = boundedCoordinate(documentSize_.height);
  return raster::Rect(x < 0 ? -x : 0, y < 0 ? -y : 0, std::min(x + W, DW) - std::max(x, 0.0),
                      std::min(y + H, DH) - std::max(y, 0.0));
}

raster::Rect RWPSDLayer::imageInDocumentRegion() const {
  const double x = boundedCoordinate(offset_.x), y = boundedCoordinate(offset_.y);
  const raster::Rect crop = imageCropRegion();
  return raster::Rect(std::min(std::max(x, 0.0), boundedCoordinate(documentSize_.width)),
                      std::min(std::max(y, 0.0), boundedCoordinate(documentSize_.height)), crop.size.width,
                      crop.size.height);
}

bool RWPSDLayer::hasValidSize() const {
  const raster::Rect crop = imageCropRegion();
  return crop.size.width > 0 && crop.size.height > 0;
}

std::int64_t RWPSDLayer::documentWidth() const {
  return std::int64_t(std::clamp(std::trunc(boundedCoordinate(documentSize_.width)), 0.0, 1e15));
}

std::int64_t RWPSDLayer::documentHeight() const {
  return std::int64_t(std::clamp(std::trunc(boundedCoordinate(documentSize_.height)), 0.0, 1e15));
}

RWPSDLayer::PixelRegion RWPSDLayer::pixelRegion() const {
  PixelRegion region;
  if (!image_) return region;
  const std::int64_t x = std::int64_t(std::floor(boundedCoordinate(offset_.x)));
  const std::int64_t y = std::int64_t(std::floor(boundedCoordinate(offset_.y)));
  const std::int64_t DW = documentWidth(), DH = documentHeight();
  const std::int64_t width = std::min(x + image_->width(), DW) - std::max<std::int64_t>(x, 0);
  const std::int64_t height = std::min(y + image_->height(), DH) - std::max<std::int64_t>(y, 0);
  if (width <= 0 || height <= 0) return region;
  region.documentX = std::max<std::int64_t>(x, 0);
  region.documentY = std::max<std::int64_t>(y, 0);
  region.imageX = x < 0 ? -x : 0;
  region.imageY = y < 0 ? -y : 0;
  region.width = width;
  region.height = height;
  return region;
}

const std::vector<std::uint8_t>* RWPSDLayer::visibleImageData() {
  if (!visibleImageDataBuilt_) {
    visibleImageDataBuilt_ = true;
    const PixelRegion region = pixelRegion();
    if (region.width > 0 && region.height > 0) {
      visibleImageData_ = RWPSDCopyImageRegion(image_,
                                               raster::Rect(double(region.imageX), double(region.imageY),
                                                            double(region.width), double(region.height)),
                                               targetColorSpace_);
    }
  }
  return visibleImageData_ ? &*visibleImageData_ : nullptr;
}

void RWPSDLayer::prepareVisibleImageData() {
  if (!shouldUnpremultiplyLayerData_ && !shouldFlipLayerData_) return;
  visibleImageData();
  if (!visibleImageData_) return;
  std::vector<std::uint8_t>& data = *visibleImageData_;
  const PixelRegion region = pixelRegion();
  if (shouldUnpremultiplyLayerData_) {
    for (std::size_t i = 0; i + 3 < data.size(); i += 4) {
      const std::uint8_t alpha = data[i + 3];
      if (alpha == 0) {
        data[i] = data[i + 1] = data[i + 2] = 255;
        continue;
      }
      const float a = float(alpha) / 255.0f;
      for (std::size_t c = 0; c < 3; ++c)
        data[i + c] = std::uint8_t(std::min(255.0f, float(data[i + c]) / a));
    }
  }
  if (shouldFlipLayerData_) {
    const std::size_t stride = std::size_t(region.width) * 4;
    const std::size_t rows = stride ? data.size() / stride : 0;
    for (std::size_t i = 0; i < rows / 2; ++i) {
      std::swap_ranges(data.begin() + std::ptrdiff_t(i * stride),
                       data.begin() + std::ptrdiff_t((i + 1) * stride),
                       data.begin() + std::ptrdiff_t((rows - 1 - i) * stride));
    }
  }
}

raster::Rect RWPSDLayer::recordBounds() const {
  return raster::Rect(0, 0, double(documentWidth()), double(documentHeight()));
}

void RWPSDLayer::writeLayerInformationOn(RWByteBuffer& buffer, const std::vector<RWByteBuffer>& channels) {
  willWriteRecord();
  const raster::Rect bounds = recordBounds();
  rwAppendValue(buffer, std::uint64_t(bounds.origin.y), 4);                       // top
  rwAppendValue(buffer, std::uint64_t(bounds.origin.x), 4);                       // left
  rwAppendValue(buffer, std::uint64_t(bounds.origin.y + bounds.size.height), 4);  // bottom
  rwAppendValue(buffer, std::uint64_t(bounds.origin.x + bounds.size.width), 4);   // right
  rwAppendValue(buffer, std::uint64_t(channels.size()), 2);
  for (std::size_t c = 0; c < channels.size(); ++c) {
    const std::uint64_t id = c < 3 ? c : 0xFFFF;  // -1 is the transparency channel
    rwAppendValue(buffer, id, 2);
    rwAppendValue(buffer, channels[c].size(), 4);
  }
  rwAppendUTF8String(buffer, "8BIM");
  rwAppendUTF8String(buffer, recordBlendMode());
  rwAppendValue(buffer, rwOpacityByte(opacity_), 1);
  rwAppendValue(buffer, 0, 1);  // clipping
  rwAppendValue(buffer, 0, 1);  // flags
  rwAppendValue(buffer, 0, 1);  // filler
  const RWByteBuffer extra = extraLayerInformation();
  rwAppendValue(buffer, extra.size(), 4);
  buffer.insert(buffer.end(), extra.begin(), extra.end());
}

void RWPSDLayer::writeLayerChannelsOn(RWByteBuffer& buffer, const std::vector<RWByteBuffer>& channels) {
  for (const RWByteBuffer& channel : channels) buffer.insert(buffer.end(), channel.begin(), channel.end());
}

RWByteBuffer RWPSDLayer::extraLayerInformation() {
  RWByteBuffer extra;
  rwAppendValue(extra, 0, 4);  // layer mask data
  rwAppendValue(extra, 0, 4);  // blending ranges
  writeNameOn(extra, 4);
  writeUnicodeNameOn(extra);
  return extra;
}

void RWPSDLayer::writeNameOn(RWByteBuffer& buffer, int /*padding*/) const {
  const std::string_view legacy = rwUTF8PrefixWithin(name_, 255);
  // The length byte takes the place of the appended space, so byte, text and
  // padding together fill a multiple of 4.
  const std::string padded = rwPascalStringPaddedTo(std::string(legacy) + " ", 4);
  buffer.push_back(std::uint8_t(legacy.size()));
  buffer.insert(buffer.end(), padded.begin(), padded.end() - 1);
}

void RWPSDLayer::writeUnicodeNameOn(RWByteBuffer& buffer) const {
  const std::u16string units = rwUTF16FromUTF8(name_);
  rwAppendUTF8String(buffer, "8BIM");
  rwAppendUTF8String(buffer, "luni");
  rwAppendValue(buffer, 4 + 2 * std::uint64_t(units.size()), 4);
  rwAppendValue(buffer, units.size(), 4);
  for (char16_t unit : units) rwAppendValue(buffer, unit, 2);
}

std::string RWPSDLayer::description() const {
  const raster::Rect crop = imageCropRegion(), placed = imageInDocumentRegion();
  return fmt::format(
      "(super: <RWPSDLayer: {}>): Layer named '{}' (opacity: {:f}). Image Crop Region: ({:f}, {:f}, {:f}, "
      "{:f}). "
      "Image In Document Region ({:f}, {:f}, {:f}, {:f})",
      static_cast<const void*>(this), name_, opacity_, crop.origin.x, crop.origin.y, crop.size.width,
      crop.size.height, placed.origin.x, placed.origin.y, placed.size.width, placed.size.height);
}

}  // namespace velumar
