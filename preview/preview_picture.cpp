#include "preview/preview_picture.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <memory>

#include "engine/image_rep_reader.h"
#include "engine/imported_image.h"
#include "engine/shrink_on_load.h"
#include "platform/foundation/failure_cause.h"
#include "platform/foundation/log.h"
#include "platform/imageio/pdf_document.h"
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

namespace {

constexpr const char* kPdfType = "com.adobe.pdf";

// The first page of a PDF drawn at the capped size of pixels.
raster::ImageRef renderedPdfPage(const std::string& path, raster::Size kept) {
  const std::unique_ptr<imageio::PdfDocument> document = imageio::PdfDocument::open(path);
  if (!document || document->pageCount() == 0) return nullptr;
  return document->render(0, std::int64_t(kept.width), std::int64_t(kept.height),
                          std::int64_t(kPreviewPixelCap));
}

}  // namespace

std::optional<PreviewPicture> loadPreviewPicture(const std::string& path, ImportedImage* engine) {
  const std::optional<ImageRepReading> reading = imageRepsWithContentsOfURL(path);
  if (!reading || reading->entries.empty()) {
    foundation::log("Preview: {} cannot be read as an image", path);
    // The decoders' own cause first; else what the file itself tells.
    if (::access(path.c_str(), R_OK) != 0) foundation::noteErrnoFailure(errno, false);
    foundation::noteFailure(foundation::FailureCause::FormatNotSupported);
    return std::nullopt;
  }
  const ImageRepEntry& entry = reading->entries.front();
  const raster::Size points = entry.size;
  if (!(points.width > 0 && points.height > 0) || points.width > kLargestPreviewSide ||
      points.height > kLargestPreviewSide) {
    foundation::log("Preview: {} is {} x {} points; not shown", path, points.width, points.height);
    foundation::noteFailure(points.width > 0 && points.height > 0 ? foundation::FailureCause::ImageTooLarge
                                                                  : foundation::FailureCause::SourceDamaged);
    return std::nullopt;
  }
  PreviewPicture picture;
  picture.pixelSize = entry.isDocument ? points : uprightPixelSize(*reading, entry);
  if (!(picture.pixelSize.width >= 1 && picture.pixelSize.height >= 1)) {
    foundation::log("Preview: {} has no pixels", path);
    foundation::noteFailure(foundation::FailureCause::SourceDamaged);
    return std::nullopt;
  }
  picture.dpi = representationDpi(entry.isDocument ? points.width : entry.pixelsWide, points.width);
  picture.type = reading->source ? reading->source->type() : std::string();
  const bool sizedPdf = engine && entry.isDocument && picture.type == kPdfType;
  if (sizedPdf) {
    const raster::Size drawn = engine->PDFSizeWithURL(path, points);
    if (drawn.width > 0 && drawn.height > 0) picture.pixelSize = drawn;
    picture.dpi = representationDpi(picture.pixelSize.width, points.width);
  }

  // Decode just above the kept size (JPEG scales while decoding), then draw
  // to the exact size with a proper resampling.
  const raster::Size kept = cappedPreviewPixelSize(picture.pixelSize);
  raster::ImageRef decoded;
  if (sizedPdf) {
    decoded = renderedPdfPage(path, kept);
  } else {
    const std::int64_t decodeSide = entry.isDocument ? 0 : reducedDecodeLongSide(picture.pixelSize, kept);
    if (const BitmapRepRef rep = bitmapRepForEntry(*reading, entry, decodeSide)) decoded = rep->image();
  }
  if (!decoded) {
    foundation::log("Preview: {} does not decode", path);
    foundation::noteFailure(foundation::FailureCause::SourceDamaged);
    return std::nullopt;
  }
  picture.bitsPerSample = decoded->format().bitsPerComponent;
  picture.image = drawnPreviewImage(decoded, int(kept.width), int(kept.height));
  if (picture.image.isNull()) {
    foundation::log("Preview: {} could not be drawn at {} x {}", path, kept.width, kept.height);
    foundation::noteFailure(foundation::FailureCause::Other);
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
