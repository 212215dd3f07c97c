#pragma once
// The representations the platform's image reader finds in a file, as the
// loaders and the conversion driver see them: one per page of a TIFF, one
// per size of an icon file, one per image of a HEIF, the first frame of an
// animation (GIF, WebP), and one document representation (its first page)
// for PDF, PostScript and Illustrator files.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/imported_image.h"
#include "platform/imageio/image_source.h"
#include "platform/raster/geometry.h"

namespace velumar {

struct ImageRepEntry {
  std::size_t index = 0;  // the image in the source
  raster::Size size;      // in points
  double pixelsWide = 0;  // as the file declares them (before any turn)
  double pixelsHigh = 0;
  bool isDocument = false;  // a vector page, rasterised at one pixel per point
};

struct ImageRepReading {
  std::shared_ptr<imageio::ImageSource> source;
  std::vector<ImageRepEntry> entries;
};

// nullopt when no decoder reads the file.
std::optional<ImageRepReading> imageRepsWithContentsOfURL(const std::string& path);

// The entry decoded upright, its size in points following a turn of the
// pixels; nullptr when decoding fails. With maxPixelSize the longer side is
// decoded at most that long, the size in points staying the full image's.
BitmapRepRef bitmapRepForEntry(const ImageRepReading& reading, const ImageRepEntry& entry,
                               std::int64_t maxPixelSize = 0);
// The entry's pixel size once decoded upright (its sides swapped when the
// EXIF orientation turns it by a quarter).
raster::Size uprightPixelSize(const ImageRepReading& reading, const ImageRepEntry& entry);

// Every bitmap (not document) representation of a reading, decoded;
// nullopt when it holds only a document or none decodes.
std::optional<BitmapRepList> bitmapRepsOfReading(const ImageRepReading& reading);

// Every bitmap (not document) representation of the file, decoded; nullopt
// when the file is a document or none decodes.
std::optional<BitmapRepList> bitmapImageRepsWithContentsOfURL(const std::string& path);

}  // namespace velumar
