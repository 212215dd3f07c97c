#include "platform/raster/image.h"

#include <limits>

#include "platform/foundation/log.h"
#include "platform/raster/pixel_layout.h"

namespace raster {

namespace {

bool consistent(std::int64_t width, std::int64_t height, const PixelFormat& format, const ColorSpace* space,
                std::size_t bytesPerRow, std::size_t available) {
  if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension) return false;
  if (!isValidImageFormat(format)) return false;
  if (format.alpha == AlphaInfo::Only) {
    if (space) return false;
  } else if (!space || space->components() != format.colorComponents) {
    return false;
  }
  std::size_t packed = std::size_t(width) * std::size_t(format.bytesPerPixel());
  if (bytesPerRow < packed) return false;
  if (bytesPerRow > std::numeric_limits<std::size_t>::max() / std::size_t(height)) return false;
  return available >= bytesPerRow * std::size_t(height - 1) + packed;
}

}  // namespace

ImageRef Image::make(std::int64_t width, std::int64_t height, PixelFormat format, ColorSpaceRef space,
                     std::vector<std::uint8_t> pixels, std::size_t bytesPerRow) {
  if (width > 0 && bytesPerRow == 0) bytesPerRow = std::size_t(width) * std::size_t(format.bytesPerPixel());
  if (!consistent(width, height, format, space.get(), bytesPerRow, pixels.size())) {
    foundation::log("raster: inconsistent image {}x{} ({} bits, {} components)", width, height,
                    format.bitsPerComponent, format.colorComponents);
    return nullptr;
  }
  auto storage = std::make_shared<const std::vector<std::uint8_t>>(std::move(pixels));
  const std::uint8_t* data = storage->data();
  return wrap(width, height, format, std::move(space), std::move(storage), data, bytesPerRow);
}

ImageRef Image::wrap(std::int64_t width, std::int64_t height, PixelFormat format, ColorSpaceRef space,
                     std::shared_ptr<const void> keepAlive, const std::uint8_t* pixels,
                     std::size_t bytesPerRow) {
  if (!pixels || width <= 0 || height <= 0) return nullptr;
  if (!consistent(width, height, format, space.get(), bytesPerRow, std::numeric_limits<std::size_t>::max())) {
    foundation::log("raster: cannot wrap an image {}x{} ({} bits, {} components)", width, height,
                    format.bitsPerComponent, format.colorComponents);
    return nullptr;
  }
  auto image = std::shared_ptr<Image>(new Image());
  image->width_ = width;
  image->height_ = height;
  image->format_ = format;
  image->space_ = std::move(space);
  image->bytesPerRow_ = bytesPerRow;
  image->storage_ = std::move(keepAlive);
  image->pixels_ = pixels;
  return image;
}

ImageRef Image::retagged(ColorSpaceRef space) const {
  if (!space || !space_ || space->model() != space_->model()) return nullptr;
  auto image = std::shared_ptr<Image>(new Image(*this));
  image->space_ = std::move(space);
  return image;
}

}  // namespace raster
