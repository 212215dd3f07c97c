#include "platform/raster/bitmap_image_rep.h"

#include <algorithm>
#include <cstring>

namespace raster {

BitmapImageRepRef BitmapImageRep::withImage(ImageRef image) {
  if (!image) return nullptr;
  auto rep = BitmapImageRepRef(new BitmapImageRep());
  rep->size_ = {double(image->width()), double(image->height())};
  rep->image_ = std::move(image);
  return rep;
}

BitmapImageRepRef BitmapImageRep::create(std::int64_t pixelsWide, std::int64_t pixelsHigh, PixelFormat format,
                                         ColorSpaceRef space) {
  auto context = BitmapContext::create(pixelsWide, pixelsHigh, format, std::move(space));
  if (!context) return nullptr;
  return withImage(context->makeImage());
}

int BitmapImageRep::samplesPerPixel() const {
  const PixelFormat& f = image_->format();
  if (f.alpha == AlphaInfo::Only) return 1;
  return f.colorComponents + (f.hasAlpha() ? 1 : 0);
}

unsigned BitmapImageRep::bitmapFormat() const {
  const PixelFormat& f = image_->format();
  unsigned flags = 0;
  if (f.alphaFirst()) flags |= BitmapFormatAlphaFirst;
  if (f.alpha == AlphaInfo::First || f.alpha == AlphaInfo::Last) flags |= BitmapFormatAlphaNonpremultiplied;
  if (f.isFloat()) flags |= BitmapFormatFloatingPointSamples;
  return flags;
}

void BitmapImageRep::setImage(ImageRef image) {
  if (image) image_ = std::move(image);
}

std::unique_ptr<BitmapContext> BitmapImageRep::makeContext() const {
  auto context =
      BitmapContext::create(image_->width(), image_->height(), image_->format(), image_->colorSpace());
  if (!context) return nullptr;
  const std::size_t packed = std::size_t(image_->width()) * std::size_t(image_->format().bytesPerPixel());
  std::uint8_t* out = context->mutableData();
  for (std::int64_t y = 0; y < image_->height(); ++y)
    std::memcpy(out + std::size_t(y) * context->bytesPerRow(), image_->row(y), packed);
  return context;
}

BitmapImageRepRef BitmapImageRep::retagged(ColorSpaceRef space) const {
  ImageRef image = image_->retagged(std::move(space));
  if (!image) return nullptr;
  auto rep = withImage(std::move(image));
  rep->size_ = size_;
  return rep;
}

}  // namespace raster
