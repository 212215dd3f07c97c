#include "platform/raster/image_row_reader.h"

#include <algorithm>

#include "platform/raster/pixel_layout.h"

namespace raster {

ImageRowReader::ImageRowReader(const Image& image, const PixelFormat& targetFormat,
                               const ColorSpace* targetSpace, const float* fillColor)
    : image_(image),
      targetSpace_(targetSpace),
      sourceChannels_(workingChannels(image.format())),
      targetChannels_(workingChannels(targetFormat)),
      sourceIsMask_(image.format().alpha == AlphaInfo::Only),
      targetIsMask_(targetFormat.alpha == AlphaInfo::Only) {
  if (fillColor) std::copy_n(fillColor, targetChannels_, fill_);
  if (!sourceIsMask_ && !targetIsMask_) {
    conversion_ = ColorConversion::between(image.colorSpace().get(), targetSpace);
    if (!conversion_ && sourceChannels_ != targetChannels_) {
      conversion_ =
          std::make_shared<const ColorConversion>(sourceChannels_ - 1, targetChannels_ - 1, nullptr);
    }
  }
}

bool ImageRowReader::storesAsStored(const PixelFormat& targetFormat) const {
  const PixelFormat& format = image_.format();
  if (sourceIsMask_ || targetIsMask_ || conversion_ || !(format == targetFormat)) return false;
  const bool wholeBytes =
      format.bitsPerComponent == 8 || format.bitsPerComponent == 16 || format.bitsPerComponent == 32;
  return wholeBytes && (format.alpha == AlphaInfo::None || format.alpha == AlphaInfo::PremultipliedLast ||
                        format.alpha == AlphaInfo::PremultipliedFirst);
}

std::shared_ptr<const color::Transform> ImageRowReader::storingTransform(const PixelFormat& targetFormat,
                                                                         bool opaque) const {
  if (!conversion_ || !conversion_->byProfiles() || !targetSpace_) return nullptr;
  const PixelFormat& format = image_.format();
  // Colour with alpha stored without alpha would be flattened onto black;
  // into integer samples with alpha, the transform rounds the straight
  // colour to a level before it premultiplies, which the general path,
  // premultiplying in float, does not. Float colour whose alpha is 1
  // throughout has neither trouble.
  const bool alphaIsOne = opaque && format.bitsPerComponent == 32;
  if (format.hasAlpha() && !alphaIsOne && (!targetFormat.hasAlpha() || targetFormat.bitsPerComponent != 32))
    return nullptr;
  // Gray and RGB only: their transforms agree with the float path to a
  // level; CMYK ones are sampled grids that differ by depth.
  if (format.colorComponents > 3 || targetFormat.colorComponents > 3) return nullptr;
  const std::optional<color::BufferLayout> in = bufferLayoutOf(format), out = bufferLayoutOf(targetFormat);
  if (!in || !out) return nullptr;
  return color::Transform::get(image_.colorSpace()->profile(), *in, targetSpace_->profile(), *out);
}

ImageRowReader::Scratch ImageRowReader::makeScratch(std::int64_t maxPixels) const {
  Scratch s;
  const std::size_t size = std::size_t(std::max<std::int64_t>(maxPixels, 1) * sourceChannels_);
  s.raw = std::make_unique_for_overwrite<float[]>(size);
  if (conversion_) s.conversion = std::make_unique_for_overwrite<float[]>(size);
  return s;
}

void ImageRowReader::read(std::int64_t y, std::int64_t x0, std::int64_t x1, float* out,
                          Scratch& scratch) const {
  const std::int64_t n = x1 - x0;
  const PixelFormat& format = image_.format();
  const std::uint8_t* row = image_.row(y) + std::size_t(x0) * std::size_t(format.bytesPerPixel());
  if (!sourceIsMask_ && !targetIsMask_ && !conversion_) {
    loadRow(row, format, n, out);
    return;
  }
  float* raw = scratch.raw.get();
  loadRow(row, format, n, raw);
  const int sc = sourceChannels_, tc = targetChannels_;
  if (targetIsMask_) {
    for (std::int64_t i = 0; i < n; ++i) out[i] = raw[i * sc + sc - 1];
  } else if (sourceIsMask_) {
    for (std::int64_t i = 0; i < n; ++i)
      for (int c = 0; c < tc; ++c) out[i * tc + c] = fill_[c] * raw[i];
  } else {
    conversion_->convertRow(raw, out, n, scratch.conversion.get());
  }
}

}  // namespace raster
