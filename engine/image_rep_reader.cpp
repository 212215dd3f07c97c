#include "engine/image_rep_reader.h"

#include <cmath>
#include <string_view>
#include <utility>

namespace velumar {

namespace {

constexpr double kPointsPerInch = 72.0;

bool isDocumentType(std::string_view type) {
  return type == "com.adobe.pdf" || type == "com.adobe.postscript" ||
         type == "com.adobe.illustrator.ai-image";
}

// Animations show as one representation: their first frame.
bool isAnimationType(std::string_view type) {
  return type == "com.compuserve.gif" || type == "org.webmproject.webp";
}

double numberFor(const foundation::Value& properties, std::string_view key, double fallback) {
  const foundation::Value* value = properties.get(key);
  return value ? value->doubleOr(fallback) : fallback;
}

// Points per pixel from a resolution in dots per inch; 72 dpi when absent.
double pointsPerPixel(double dpi) {
  return dpi > 0 && std::isfinite(dpi) ? kPointsPerInch / dpi : 1.0;
}

ImageRepEntry entryFor(const imageio::ImageSource& source, std::size_t index, bool isDocument) {
  const foundation::Value properties = source.properties(index);
  const double pixelsWide = numberFor(properties, "PixelWidth", 0);
  const double pixelsHigh = numberFor(properties, "PixelHeight", 0);
  const double dpiWidth = numberFor(properties, "DPIWidth", 0);
  const double dpiHeight = numberFor(properties, "DPIHeight", dpiWidth);
  ImageRepEntry entry;
  entry.index = index;
  entry.isDocument = isDocument;
  entry.pixelsWide = pixelsWide;
  entry.pixelsHigh = pixelsHigh;
  entry.size = {pixelsWide * pointsPerPixel(dpiWidth), pixelsHigh * pointsPerPixel(dpiHeight)};
  return entry;
}

// EXIF orientations 5 to 8 turn the picture by a quarter.
bool orientationTurns(const imageio::ImageSource& source, std::size_t index) {
  const double orientation = numberFor(source.properties(index), "Orientation", 1);
  return orientation >= 5 && orientation <= 8;
}

}  // namespace

raster::Size uprightPixelSize(const ImageRepReading& reading, const ImageRepEntry& entry) {
  const bool turned = reading.source && orientationTurns(*reading.source, entry.index);
  return turned ? raster::Size{entry.pixelsHigh, entry.pixelsWide}
                : raster::Size{entry.pixelsWide, entry.pixelsHigh};
}

std::optional<ImageRepReading> imageRepsWithContentsOfURL(const std::string& path) {
  if (path.empty()) return std::nullopt;
  ImageRepReading reading;
  reading.source = imageio::ImageSource::open(path);
  if (!reading.source) return std::nullopt;
  const std::string& type = reading.source->type();
  const bool isDocument = isDocumentType(type);
  const std::size_t count = isDocument || isAnimationType(type) ? 1 : reading.source->count();
  for (std::size_t index = 0; index < count; ++index)
    reading.entries.push_back(entryFor(*reading.source, index, isDocument));
  if (reading.entries.empty()) return std::nullopt;
  return reading;
}

BitmapRepRef bitmapRepForEntry(const ImageRepReading& reading, const ImageRepEntry& entry,
                               std::int64_t maxPixelSize) {
  if (!reading.source) return nullptr;
  imageio::DecodeOptions options;
  options.maxPixelSize = maxPixelSize;
  raster::ImageRef image = reading.source->createImage(entry.index, options);
  BitmapRepRef rep = raster::BitmapImageRep::withImage(std::move(image));
  if (!rep) return nullptr;
  if (!(entry.pixelsWide > 0 && entry.pixelsHigh > 0 && entry.size.width > 0 && entry.size.height > 0))
    return rep;
  if (maxPixelSize > 0) {
    // Fewer pixels, the same picture: the size in points is the full one's.
    const bool turned = orientationTurns(*reading.source, entry.index);
    rep->setSize(turned ? raster::Size{entry.size.height, entry.size.width} : entry.size);
    return rep;
  }
  double pointsPerPixelX = entry.size.width / entry.pixelsWide;
  double pointsPerPixelY = entry.size.height / entry.pixelsHigh;
  // Upright decoding may have turned the pixels by a quarter.
  const bool turned = entry.pixelsWide != entry.pixelsHigh && double(rep->pixelsWide()) == entry.pixelsHigh &&
                      double(rep->pixelsHigh()) == entry.pixelsWide;
  if (turned) std::swap(pointsPerPixelX, pointsPerPixelY);
  rep->setSize({double(rep->pixelsWide()) * pointsPerPixelX, double(rep->pixelsHigh()) * pointsPerPixelY});
  return rep;
}

std::optional<BitmapRepList> bitmapRepsOfReading(const ImageRepReading& reading) {
  BitmapRepList reps;
  for (const ImageRepEntry& entry : reading.entries) {
    if (entry.isDocument) continue;
    if (BitmapRepRef rep = bitmapRepForEntry(reading, entry)) reps.push_back(std::move(rep));
  }
  if (reps.empty()) return std::nullopt;
  return reps;
}

std::optional<BitmapRepList> bitmapImageRepsWithContentsOfURL(const std::string& path) {
  std::optional<ImageRepReading> reading = imageRepsWithContentsOfURL(path);
  if (!reading) return std::nullopt;
  return bitmapRepsOfReading(*reading);
}

}  // namespace velumar
