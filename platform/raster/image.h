#pragma once
// An immutable, shared bitmap: pixels in memory rows top-down, a pixel
// format and a colour space. Contexts hand out snapshots of themselves as
// Images; codecs produce and consume them.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/raster/color_space.h"
#include "platform/raster/pixel_format.h"

namespace raster {

class Image;
using ImageRef = std::shared_ptr<const Image>;

class Image {
 public:
  // Takes the pixels; rows are bytesPerRow apart (at least width *
  // bytesPerPixel). nullptr when the sizes are inconsistent, the buffer is
  // too small, or the format does not fit the colour space's model.
  static ImageRef make(std::int64_t width, std::int64_t height, PixelFormat format, ColorSpaceRef space,
                       std::vector<std::uint8_t> pixels, std::size_t bytesPerRow = 0);
  // Shares an existing buffer (no copy); keepAlive owns the memory.
  static ImageRef wrap(std::int64_t width, std::int64_t height, PixelFormat format, ColorSpaceRef space,
                       std::shared_ptr<const void> keepAlive, const std::uint8_t* pixels,
                       std::size_t bytesPerRow);

  std::int64_t width() const { return width_; }
  std::int64_t height() const { return height_; }
  const PixelFormat& format() const { return format_; }
  const ColorSpaceRef& colorSpace() const { return space_; }
  std::size_t bytesPerRow() const { return bytesPerRow_; }
  const std::uint8_t* data() const { return pixels_; }
  // Row y counted from the top.
  const std::uint8_t* row(std::int64_t y) const { return pixels_ + std::size_t(y) * bytesPerRow_; }

  // The same pixels tagged with another colour space of the same model
  // (nullptr when the models differ).
  ImageRef retagged(ColorSpaceRef space) const;

 private:
  Image() = default;
  std::int64_t width_ = 0, height_ = 0;
  PixelFormat format_;
  ColorSpaceRef space_;
  std::size_t bytesPerRow_ = 0;
  std::shared_ptr<const void> storage_;
  const std::uint8_t* pixels_ = nullptr;
};

}  // namespace raster
