#pragma once
// PDF documents: pages rendered by poppler at any pixel size with a
// transparent background, page boxes and document information; the object
// scan the engine sizes pages with (qpdf); and writing image PDFs (qpdf).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/value.h"
#include "platform/imageio/image_destination.h"
#include "platform/raster/image.h"

namespace imageio {

struct PdfBox {
  double x = 0, y = 0, width = 0, height = 0;  // points
};

struct PdfPageInfo {
  PdfBox mediaBox;
  PdfBox cropBox;
  // The page's art box; the crop box when the page has none.
  PdfBox artBox;
  int rotation = 0;  // 0, 90, 180 or 270 degrees, clockwise
  // The crop box as the page is shown: width and height swapped for 90 and
  // 270 degrees.
  double shownWidth() const { return rotation % 180 ? cropBox.height : cropBox.width; }
  double shownHeight() const { return rotation % 180 ? cropBox.width : cropBox.height; }
};

class PdfDocument {
 public:
  // nullptr (logged) when the file is no readable, unlocked PDF.
  static std::unique_ptr<PdfDocument> open(const std::string& path);
  ~PdfDocument();

  std::size_t pageCount() const;
  std::optional<PdfPageInfo> page(std::size_t index) const;
  // Title, Author, Subject, Keywords, Creator, Producer (strings),
  // CreationDate and ModDate (dates) where the document has them, PageCount
  // and Version ("1.7").
  foundation::Dictionary info() const;
  // The page (shown orientation) drawn into exactly width x height pixels,
  // premultiplied RGBA in sRGB, transparent where the page draws nothing.
  // nullptr on failure or when width * height exceeds pixelLimit.
  raster::ImageRef render(std::size_t index, std::int64_t width, std::int64_t height,
                          std::int64_t pixelLimit) const;

 private:
  PdfDocument() = default;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The largest "Width" and the largest "Height" (taken independently) of the
// streams in page 1's XObject resources; (0, 0) when there are none, and
// nullopt when the document or its first page cannot be read.
struct PdfXObjectSize {
  std::int64_t width = 0;
  std::int64_t height = 0;
};
std::optional<PdfXObjectSize> largestImageXObjectSize(const std::string& path);

// One page per frame, each exactly the image's physical size at its DPI
// (72 when none is given); ICC-based gray, RGB or CMYK colour, a soft mask
// for alpha, 8 or 16 bits per component.
bool writeImagePdf(const std::string& path, const std::vector<Frame>& frames);

}  // namespace imageio
