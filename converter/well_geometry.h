#pragma once
// The arithmetic of the drop wells and the example-image well: thumbnail
// pixel sizes, the rectangle a scaled picture covers, and the limits a
// dropped picture must keep. No widgets.

#include <cstdint>

#include "platform/raster/geometry.h"

namespace velumar {

struct PixelSize {
  std::int64_t width = 0, height = 0;
  bool operator==(const PixelSize&) const = default;
};

// A well's thumbnail: the well's area in points with the picture's
// proportions (picture size in points). Empty for an empty picture.
PixelSize wellThumbnailSize(raster::Size bounds, raster::Size picture);

// The example well's thumbnail: four times the well's area in pixels with
// the picture's proportions (picture size in pixels).
PixelSize exampleThumbnailSize(raster::Size bounds, PixelSize picture);

// The centred, proportionally scaled picture's rectangle inside bounds, in
// whole points; pixelScaling is the display's pixels per point.
raster::Rect exampleImageRect(raster::Size bounds, raster::Size image, double pixelScaling);

// Whether a well keeps a full-size copy of a picture: its first
// representation above 0 and at most 10,000 points a side, and at most
// 100 megapixels.
bool acceptsWellPicture(raster::Size points, PixelSize pixels);

}  // namespace velumar
