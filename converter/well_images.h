#pragma once
// Pictures for the drop wells and the example well, without widgets: the
// type test and loading of a dropped file through the engine's readers,
// the full-size copy the engine blends, the thumbnails the wells show, and
// the example image filtered through the three filter slots.

#include <memory>
#include <optional>
#include <string>

#include "converter/well_geometry.h"
#include "engine/imported_image.h"
#include "platform/raster/image_set.h"

namespace velumar {

struct WellPicture {
  std::shared_ptr<raster::ImageSet> fullSizeImage;  // 8-bit sRGB RGBA, points = pixels
  bool originalImageHasAlpha = false;
};

// Whether a file is an image the engine converts.
bool isWellImageFile(const ImportedImage& engine, const std::string& path);

// The file's first representation as a full-size copy; nullopt (with a
// log line) when it cannot be read, is empty, or is too large to keep.
std::optional<WellPicture> loadWellPicture(const std::string& path);

// The picture's first representation drawn into a new 8-bit RGBA bitmap of
// that many pixels (size in points = pixels); nullptr for an empty size.
raster::BitmapImageRepRef redrawnRepresentation(const raster::BitmapImageRepRef& rep, PixelSize pixels);

// The thumbnail a LUT, composite or watermark well shows of a picture: the
// well's area at twice and at once the pixel density.
std::shared_ptr<raster::ImageSet> wellThumbnail(const raster::ImageSet& picture, raster::Size bounds);

// The example well's unfiltered thumbnail of a picture.
std::shared_ptr<raster::ImageSet> exampleThumbnail(const raster::ImageSet& picture, raster::Size bounds);

// A copy of the thumbnail run through the three filter slots with the
// records stored in the engine; a plain copy when every type is 0 or the
// thumbnail cannot be drawn.
std::shared_ptr<raster::ImageSet> filteredExample(const raster::ImageSet& thumbnail, CIFiltering& filters,
                                                  std::int64_t type0, std::int64_t type1, std::int64_t type2);

}  // namespace velumar
