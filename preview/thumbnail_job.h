#pragma once
// Making one grid thumbnail: the file is opened once; a valid entry of the
// shared thumbnail cache is used as it is, else the image is decoded reduced
// (JPEG DCT scaling, the first page of a document), turned upright, shrunk
// with high-quality resampling and stored in the cache. Safe on any thread.

#include <cstdint>
#include <string>

#include "platform/desktop/thumbnail_cache.h"
#include "platform/raster/image.h"

namespace velumar {

struct Thumbnail {
  // 8-bit sRGB RGBA, premultiplied, at most the size's pixels on its longer
  // side; nullptr when the file gives no picture (the grid shows a
  // placeholder then).
  raster::ImageRef image;
  // The source's upright pixel size; 0 when unknown.
  std::int64_t pixelWidth = 0, pixelHeight = 0;
  // For a file named without an extension: its detected type's usual
  // extension ("" when it is not a readable image).
  std::string detectedType;

  std::size_t bytes() const { return image ? image->bytesPerRow() * std::size_t(image->height()) : 0; }
};

// cache may be null (nothing is read from or written to disk then). A file
// that cannot be decoded gets a failure marker, and a file that changes
// while it is read is not cached.
Thumbnail makeThumbnail(const std::string& path, desktop::ThumbnailSize size,
                        const desktop::ThumbnailCache* cache);

// image shrunk to fit a square of the given pixels (never enlarged) as 8-bit
// premultiplied sRGB RGBA, with the highest resampling quality.
raster::ImageRef fitThumbnail(const raster::ImageRef& image, int pixels);

}  // namespace velumar
