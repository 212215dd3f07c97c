#include "preview/preview_picture.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "engine/image_rep_reader.h"
#include "engine/shrink_on_load.h"
#include "platform/foundation/log.h"
#include "platform/raster/bitmap_context.h"
#include "platform/raster/color_space.h"
#include "preview/preview_geometry.h"

namespace velumar {

QImage drawnPreviewImage(const raster::ImageRef& image, int width, int height) {
  if (!image || width < 1 || height < 1) return {};
  QImage drawn(width, height, QImage::Format_RGBA8888_Premultiplied);
  if (drawn.isNull()) return {};
  drawn.fill(Qt::transparent);
  auto context =
      raster::BitmapContext::createWithData(drawn.bits(), width, height, std::size_t(drawn.bytesPerLine()),
                                            raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB());
  if (!context) return {};
  context->setInterpolationQuality(raster::InterpolationQuality::High);
  context->drawImage(image, raster::Rect(0, 0, width, height));
  return drawn;
}

std::optional<PreviewPicture> loadPreviewPicture(const std::string& path) {
  const std::optional<ImageRepReading> reading = imageRepsWithContentsOfURL(path);
  if (!reading || reading->entries.empty()) {
    foundation::log("Preview: {} cannot be read as an image", path);
    return std::nullopt;
  }
  const ImageRepEntry& entry = reading->entries.front();
  const raster::Size points = entry.size;
  if (!(points.width > 0 && points.height > 0) || points.width > kLargestPreviewSide ||
      points.height > kLargestPreviewSide) {
    foundation::log("Preview: {} is {} x {} points; not shown", path, points.width, points.height);
    return std::nullopt;
  }
  PreviewPicture picture;
  picture.pixelSize = entry.isDocument ? points : uprightPixelSize(*reading, entry);
  if (!(picture.pixelSize.width >= 1 && picture.pixelSize.height >= 1)) {
    foundation::log("Preview: {} has no pixels", path);
    return std::nullopt;
  }
  picture.dpi = representationDpi(entry.isDocument ? points.width : entry.pixelsWide, points.width);
  picture.type = reading->source ? reading->source->type() : std::string();

  // Decode just above the kept size (JPEG scales while decoding), then draw
  // to the exact size with a proper resampling.
  const raster::Size kept = cappedPreviewPixelSize(picture.pixelSize);
  const std::int64_t decodeSide = entry.isDocument ? 0 : reducedDecodeLongSide(picture.pixelSize, kept);
  const BitmapRepRef rep = bitmapRepForEntry(*reading, entry, decodeSide);
  if (!rep || !rep->image()) {
    foundation::log("Preview: {} does not decode", path);
    return std::nullopt;
  }
  picture.bitsPerSample = rep->bitsPerSample();
  picture.image = drawnPreviewImage(rep->image(), int(kept.width), int(kept.height));
  if (picture.image.isNull()) {
    foundation::log("Preview: {} could not be drawn at {} x {}", path, kept.width, kept.height);
    return std::nullopt;
  }
  return picture;
}

PreviewPicture previewPictureFromImage(const QImage& image) {
  PreviewPicture picture;
  if (image.isNull()) return picture;
  picture.pixelSize = {double(image.width()), double(image.height())};
  picture.bitsPerSample = 8;
  auto source = std::make_shared<QImage>(image.convertToFormat(QImage::Format_RGBA8888_Premultiplied));
  const raster::ImageRef wrapped = raster::Image::wrap(
      source->width(), source->height(), raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB(), source,
      source->constBits(), std::size_t(source->bytesPerLine()));
  const raster::Size kept = cappedPreviewPixelSize(picture.pixelSize);
  picture.image = kept.width == image.width() && kept.height == image.height()
                      ? *source
                      : drawnPreviewImage(wrapped, int(kept.width), int(kept.height));
  return picture;
}

}  // namespace velumar
