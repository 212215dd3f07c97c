#pragma once
// One layer of the layered PSD writer: an image placed at an offset in the
// document, with a name, opacity and blend-mode key. It writes its own layer
// record and channel image data; every record spans the whole document, the
// image's pixels placed inside document-sized channels whose area outside the
// image is filled (white without transparency, clear with it).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/raster/geometry.h"
#include "platform/raster/image.h"
#include "psd/rw_psd_byte_encoding.h"

namespace velumar {

class RWPSDLayer {
 public:
  // 4 channels, opacity 1.0, no flipping or unpremultiplying, "norm".
  RWPSDLayer();
  RWPSDLayer(std::int64_t numberOfChannels, float opacity, bool shouldFlipLayerData,
             bool shouldUnpremultiplyLayerData, std::string blendMode);
  virtual ~RWPSDLayer();
  RWPSDLayer(const RWPSDLayer&) = delete;
  RWPSDLayer& operator=(const RWPSDLayer&) = delete;

  const raster::Size& documentSize() const { return documentSize_; }
  // Takes the size when either dimension differs; clears the visible-data
  // cache on every call.
  void setDocumentSize(raster::Size size);

  const std::string& name() const { return name_; }
  void setName(std::string name) { name_ = std::move(name); }

  const raster::ImageRef& image() const { return image_; }
  // Keeps the image and clears the visible-data cache (nothing happens when
  // it is the image already held).
  void setImage(raster::ImageRef image);

  float opacity() const { return opacity_; }
  void setOpacity(float opacity) { opacity_ = opacity; }

  // Top-left pixel of the image in the document, x right and y down.
  const raster::Point& offset() const { return offset_; }
  void setOffset(raster::Point offset) { offset_ = offset; }

  std::int64_t numberOfChannels() const { return numberOfChannels_; }
  void setNumberOfChannels(std::int64_t channels);

  const std::string& blendMode() const { return blendMode_; }
  // A four-character key; other lengths are cut or padded with spaces.
  void setBlendMode(std::string blendMode);

  // The RGB space the pixels are written in (the document's); without one
  // they stay in the image's own space when it is RGB.
  const raster::ColorSpaceRef& targetColorSpace() const { return targetColorSpace_; }
  void setTargetColorSpace(raster::ColorSpaceRef space);

  bool shouldFlipLayerData() const { return shouldFlipLayerData_; }
  void setShouldFlipLayerData(bool flip) { shouldFlipLayerData_ = flip; }
  bool shouldUnpremultiplyLayerData() const { return shouldUnpremultiplyLayerData_; }
  void setShouldUnpremultiplyLayerData(bool unpremultiply) { shouldUnpremultiplyLayerData_ = unpremultiply; }

  // The part of the image inside the document, in the image's own pixel
  // space (first row at the top).
  raster::Rect imageCropRegion() const;
  // The same part placed in the document (first row at the top).
  raster::Rect imageInDocumentRegion() const;
  // Whether part of the layer lies inside the document; groups always do.
  virtual bool hasValidSize() const;
  virtual bool isGroup() const { return false; }

  // Straight RGBA bytes of the image's part inside the document, built on
  // first use; nullptr when they cannot be made.
  const std::vector<std::uint8_t>* visibleImageData();
  // Divides colour by alpha and/or reverses the row order of the visible data,
  // as the two flags ask (for callers that hand in premultiplied or bottom-up
  // pixels).
  void prepareVisibleImageData();

  // One complete channel item per channel (compression, row counts, rows);
  // nullopt when the pixel data cannot be made.
  virtual std::optional<std::vector<RWByteBuffer>> layerChannels();

  // Appends the layer record; the channel lengths come from channels (the
  // result of layerChannels()).
  void writeLayerInformationOn(RWByteBuffer& buffer, const std::vector<RWByteBuffer>& channels);
  // Appends every channel item in order.
  static void writeLayerChannelsOn(RWByteBuffer& buffer, const std::vector<RWByteBuffer>& channels);
  // The layer's additional data: mask and blending-range lengths, names and
  // the blocks of its kind.
  virtual RWByteBuffer extraLayerInformation();
  // The legacy name: the UTF-8 name cut to 255 bytes at a character
  // boundary, its byte count in front, padded to a multiple of 4.
  void writeNameOn(RWByteBuffer& buffer, int padding) const;
  // The 'luni' block with the full name in UTF-16.
  void writeUnicodeNameOn(RWByteBuffer& buffer) const;

  // The blend key written into the record.
  virtual std::string recordBlendMode() const { return blendMode_; }
  // The record's bounds: the document rectangle, zero for groups.
  virtual raster::Rect recordBounds() const;

  std::string description() const;

 protected:
  // Called before the record's first field is written.
  virtual void willWriteRecord() {}

  // Integer geometry of the visible part: document column and row of its
  // top-left pixel, its size, and the image column and row it starts at.
  struct PixelRegion {
    std::int64_t documentX = 0, documentY = 0, width = 0, height = 0, imageX = 0, imageY = 0;
  };
  PixelRegion pixelRegion() const;
  std::int64_t documentWidth() const;
  std::int64_t documentHeight() const;

  raster::Size documentSize_;
  std::string name_;
  raster::ImageRef image_;
  raster::ColorSpaceRef targetColorSpace_;
  float opacity_ = 1.0f;
  raster::Point offset_;
  std::int64_t numberOfChannels_ = 4;
  std::string blendMode_ = "norm";
  bool shouldFlipLayerData_ = false;
  bool shouldUnpremultiplyLayerData_ = false;

 private:
  std::optional<std::vector<std::uint8_t>> visibleImageData_;
  bool visibleImageDataBuilt_ = false;
};

// Record fields of opacity: ceiling(opacity x 255) within 0..255.
std::uint8_t rwOpacityByte(float opacity);

}  // namespace velumar
