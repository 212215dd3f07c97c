#include "engine/imported_image_writer_support.h"

#include <atomic>
#include <cmath>

#include "engine/finite_float_pixels.h"
#include "engine/imported_image.h"
#include "platform/foundation/files.h"
#include "platform/foundation/log.h"
#include "platform/foundation/parallel.h"
#include "platform/imageio/image_destination.h"
#include "platform/imageio/pixel_convert.h"
#include "platform/imageio/unnamed_file.h"
#include "psd/rw_psd_writer.h"

namespace velumar::writers {

using foundation::Dictionary;
using foundation::Value;

double resolutionOf(const raster::BitmapImageRep& rep) {
  const float pointWidth = float(rep.size().width);
  if (!(pointWidth > 0) || !std::isfinite(pointWidth)) return 72.0;
  const float dpi = std::round(float(rep.pixelsWide()) * 72.0f / pointWidth);
  if (!(dpi >= 1.0f) || !std::isfinite(dpi)) return 72.0;
  return double(dpi);
}

raster::ImageRef imageToWrite(const raster::BitmapImageRepRef& rep) {
  if (!rep) return nullptr;
  return finiteFloatImage(rep->image());
}

Dictionary recordAt(const foundation::Array& records, std::int64_t index) {
  if (index < 0 || std::size_t(index) >= records.size()) return {};
  const Dictionary* record = records[std::size_t(index)].asDictionary();
  return record ? *record : Dictionary{};
}

Dictionary dictionaryAt(const Dictionary& record, std::string_view key) {
  const Value* value = record.find(key);
  const Dictionary* dictionary = value ? value->asDictionary() : nullptr;
  return dictionary ? *dictionary : Dictionary{};
}

void setOrientationAndTIFFDictionary(Dictionary& record, double resolution, std::int64_t tiffCompression) {
  Dictionary tiff = dictionaryAt(record, "{TIFF}");
  tiff.set("Orientation", Value(1));
  ImportedImage::setTIFFResolutionForDictionary(tiff, resolution);
  if (tiffCompression != kNoTIFFCompression)
    ImportedImage::setTIFFCompressionForDictionary(tiff, tiffCompression);
  record.set("{TIFF}", Value(std::move(tiff)));
  record.set("Orientation", Value(1));
}

void updateExifPixelDimensions(Dictionary& record, const raster::BitmapImageRep& rep) {
  if (!record.contains("{Exif}")) return;
  Dictionary exif = dictionaryAt(record, "{Exif}");
  exif.set("PixelXDimension", Value(rep.pixelsWide()));
  exif.set("PixelYDimension", Value(rep.pixelsHigh()));
  record.set("{Exif}", Value(std::move(exif)));
}

void prepareTIFFPageRecord(Dictionary& record, const raster::BitmapImageRep& rep, double resolution,
                           std::int64_t tiffCompression) {
  updateExifPixelDimensions(record, rep);
  record.set("DPIWidth", Value(resolution));
  record.set("DPIHeight", Value(resolution));
  record.set("Depth", Value(rep.bitsPerSample()));
  ImportedImage::setTIFFCompressionForDictionary(record, tiffCompression);
  setOrientationAndTIFFDictionary(record, resolution, tiffCompression);
}

bool writeWithoutMetadata(const std::vector<raster::BitmapImageRepRef>& reps, const std::string& type,
                          const std::string& path, const Dictionary& extra) {
  if (reps.empty()) return false;
  auto destination = imageio::ImageDestination::create(path, type, reps.size());
  if (!destination) return false;
  for (const raster::BitmapImageRepRef& rep : reps) {
    raster::ImageRef image = imageToWrite(rep);
    if (!image) return false;
    Dictionary properties = extra;
    const double resolution = resolutionOf(*rep);
    properties.set("DPIWidth", Value(resolution));
    properties.set("DPIHeight", Value(resolution));
    destination->addImage(std::move(image), Value(std::move(properties)));
  }
  return destination->finalize();
}

bool writePlainPNG(const raster::BitmapImageRepRef& rep, const std::string& path) {
  auto destination = rep ? imageio::ImageDestination::create(path, kTypePNG, 1) : nullptr;
  if (destination) {
    destination->addImage(rep->image(), Value(Dictionary{}));
    if (destination->finalize()) return true;
  }
  foundation::log("png: cannot write {}", path);
  return false;
}

bool writePSDDocument(RWPSDWriter* writer, const std::string& path) {
  if (!writer) return false;
  const std::vector<std::uint8_t> data = writer->createPSDData();
  return !data.empty() && imageio::writeFileCommitted(path, data.data(), data.size());
}

bool hasTransparency(const raster::Image& image) {
  if (!image.format().hasAlpha()) return false;
  const int samples = imageio::exportedColorComponents(image) + 1;
  std::atomic<bool> found{false};
  foundation::parallelForRange(
      0, image.height(),
      [&](std::int64_t begin, std::int64_t end) {
        std::vector<std::uint8_t> row(std::size_t(image.width()) * std::size_t(samples));
        for (std::int64_t y = begin; y < end && !found.load(std::memory_order_relaxed); ++y) {
          imageio::exportRow(image, y, {8, true}, row.data());
          for (std::size_t a = std::size_t(samples) - 1; a < row.size(); a += std::size_t(samples))
            if (row[a] != 255) {
              found.store(true, std::memory_order_relaxed);
              return;
            }
        }
      },
      16);
  return found.load();
}

}  // namespace velumar::writers
