#include "preview/thumbnail_job.h"

#include <algorithm>
#include <cmath>

#include <filesystem>

#include "platform/imageio/image_source.h"
#include "platform/imageio/type_detection.h"
#include "platform/raster/bitmap_context.h"

namespace velumar {

namespace {

// Upright pixel size from an image's properties.
void readPixelSize(const foundation::Value& properties, Thumbnail& thumbnail) {
  const foundation::Value* width = properties.get("PixelWidth");
  const foundation::Value* height = properties.get("PixelHeight");
  const foundation::Value* orientation = properties.get("Orientation");
  thumbnail.pixelWidth = width ? std::max<std::int64_t>(0, width->intOr(0)) : 0;
  thumbnail.pixelHeight = height ? std::max<std::int64_t>(0, height->intOr(0)) : 0;
  if (orientation != nullptr && orientation->intOr(0) >= 5)
    std::swap(thumbnail.pixelWidth, thumbnail.pixelHeight);
}

}  // namespace

raster::ImageRef fitThumbnail(const raster::ImageRef& image, int pixels) {
  if (!image || image->width() <= 0 || image->height() <= 0 || pixels <= 0) return nullptr;
  const double longer = double(std::max(image->width(), image->height()));
  const double scale = std::min(1.0, double(pixels) / longer);
  const auto width = std::max<std::int64_t>(1, std::llround(double(image->width()) * scale));
  const auto height = std::max<std::int64_t>(1, std::llround(double(image->height()) * scale));
  auto context =
      raster::BitmapContext::create(width, height, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB());
  if (!context) return nullptr;
  context->setInterpolationQuality(raster::InterpolationQuality::High);
  context->drawImage(image, raster::Rect{0, 0, double(width), double(height)});
  return context->makeImage();
}

Thumbnail makeThumbnail(const std::string& path, desktop::ThumbnailSize size,
                        const desktop::ThumbnailCache* cache) {
  Thumbnail thumbnail;
  if (std::filesystem::path(path).extension().empty()) {
    const std::string type = imageio::typeOfFile(path);
    if (!type.empty()) thumbnail.detectedType = imageio::preferredExtension(type);
  }
  const int pixels = desktop::thumbnailPixels(size);
  const auto stamp = cache ? desktop::thumbnailStampForFile(path) : std::nullopt;
  if (stamp) {
    if (auto entry = cache->lookup(*stamp, size)) {
      thumbnail.image = fitThumbnail(entry->image, pixels);
      thumbnail.pixelWidth = entry->sourceWidth;
      thumbnail.pixelHeight = entry->sourceHeight;
      if (thumbnail.pixelWidth == 0 || thumbnail.pixelHeight == 0) {
        if (const auto source = imageio::ImageSource::open(path))
          readPixelSize(source->properties(0), thumbnail);
      }
      return thumbnail;
    }
    if (cache->hasFailure(*stamp)) return thumbnail;
  }
  const auto source = imageio::ImageSource::open(path);
  if (source) {
    readPixelSize(source->properties(0), thumbnail);
    imageio::DecodeOptions options;
    options.maxPixelSize = pixels;
    options.shrinkToMaxPixelSize = false;
    thumbnail.image = fitThumbnail(source->createImage(0, options), pixels);
  }
  if (!stamp || desktop::thumbnailStampForFile(path) != stamp) return thumbnail;
  if (thumbnail.image) {
    cache->store(*stamp, size, thumbnail.image, thumbnail.pixelWidth, thumbnail.pixelHeight);
  } else {
    cache->storeFailure(*stamp);
  }
  return thumbnail;
}

}  // namespace velumar
