#pragma once
// One bitmap representation of a picture: pixels, their layout described in
// samples, a size in points (pixels at 72 dpi unless set otherwise) and a
// colour space. The pixels are an immutable Image; drawing into a
// representation goes through a context made from it and replaces the image.

#include <cstdint>
#include <memory>

#include "platform/raster/bitmap_context.h"
#include "platform/raster/geometry.h"
#include "platform/raster/image.h"

namespace raster {

// Layout flags of a representation's samples.
enum BitmapFormatFlag : unsigned {
  BitmapFormatAlphaFirst = 1,             // alpha (or padding) before colour
  BitmapFormatAlphaNonpremultiplied = 2,  // straight alpha
  BitmapFormatFloatingPointSamples = 4,   // 32-bit float samples
};

class BitmapImageRep;
using BitmapImageRepRef = std::shared_ptr<BitmapImageRep>;

class BitmapImageRep {
 public:
  // nullptr without an image. The size starts as the pixel size.
  static BitmapImageRepRef withImage(ImageRef image);
  // A cleared representation; nullptr for layouts no context can hold.
  static BitmapImageRepRef create(std::int64_t pixelsWide, std::int64_t pixelsHigh, PixelFormat format,
                                  ColorSpaceRef space);

  std::int64_t pixelsWide() const { return image_->width(); }
  std::int64_t pixelsHigh() const { return image_->height(); }
  Size size() const { return size_; }
  void setSize(Size size) { size_ = size; }

  // 5 for 5-bit RGB, else the component depth.
  int bitsPerSample() const { return image_->format().bitsPerComponent; }
  // Colour samples plus alpha (padding does not count).
  int samplesPerPixel() const;
  bool hasAlpha() const { return image_->format().hasAlpha(); }
  int bitsPerPixel() const { return image_->format().bitsPerPixel(); }
  std::size_t bytesPerRow() const { return image_->bytesPerRow(); }
  unsigned bitmapFormat() const;
  const PixelFormat& pixelFormat() const { return image_->format(); }
  const ColorSpaceRef& colorSpace() const { return image_->colorSpace(); }

  const ImageRef& image() const { return image_; }
  // Replaces the pixels (e.g. with a context's snapshot after drawing).
  // Ignored when null.
  void setImage(ImageRef image);
  // A context holding a copy of the pixels in the same format, for drawing
  // in place; nullptr when contexts do not support the format (gray or CMYK
  // with alpha).
  std::unique_ptr<BitmapContext> makeContext() const;

  // The same pixels and size tagged with another space of the same model;
  // nullptr when the models differ.
  BitmapImageRepRef retagged(ColorSpaceRef space) const;

 private:
  BitmapImageRep() = default;
  ImageRef image_;
  Size size_;
};

}  // namespace raster
