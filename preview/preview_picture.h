#pragma once
// The picture the preview keeps of a file: read the header first (refusing
// sides above 10,000 points before any decode), decode reduced to just above
// the preview cap, then draw to the exact capped size as premultiplied
// RGBA8888 in sRGB, one pixel per point.

#include <QImage>
#include <optional>
#include <string>

#include "platform/raster/geometry.h"
#include "platform/raster/image.h"

namespace velumar {

struct PreviewPicture {
  QImage image;            // at most the preview cap, RGBA8888 premultiplied
  raster::Size pixelSize;  // of the file's first image, upright, before the cap
  double dpi = 72;
  int bitsPerSample = 0;  // of the decoded image; 0 when unknown
  std::string type;       // the file's type identifier, e.g. "public.jpeg"
};

class ImportedImage;

// Nothing, with a log line, when the file cannot be read, its first image is
// empty or too large, or it does not decode. With an engine, a PDF's first
// page is drawn at the size a conversion would give it (raised to the
// largest image on the page); without, at one pixel per point.
std::optional<PreviewPicture> loadPreviewPicture(const std::string& path, ImportedImage* engine = nullptr);

// A picture already in memory (the placeholder, a converter's render) kept
// the same way: capped, converted, 72 dpi.
PreviewPicture previewPictureFromImage(const QImage& image);

// image drawn with high-quality resampling and colour conversion into a new
// premultiplied RGBA8888 sRGB picture of width × height pixels; null when
// it cannot be made.
QImage drawnPreviewImage(const raster::ImageRef& image, int width, int height);

}  // namespace velumar
