// PDF input: every page rendered at the size of page 1, raised to the pixel
// size of the largest image embedded in it so that scanned or photographic
// pages keep their full resolution.

#include <algorithm>
#include <cmath>

#include "engine/document_raster_size.h"
#include "engine/imported_image.h"
#include "platform/foundation/log.h"
#include "platform/imageio/pdf_document.h"

namespace velumar {

namespace {

// A page dimension truncated to whole points; 0 for values no whole number
// of 64 bits holds.
std::int64_t truncatedSide(double value) {
  if (!std::isfinite(value) || value <= -9.2e18 || value >= 9.2e18) return 0;
  return std::int64_t(value);
}

raster::Size pageSize(const imageio::PdfPageInfo& page) {
  return {page.shownWidth(), page.shownHeight()};
}

}  // namespace

raster::Size ImportedImage::verifyPDFSizeForURL(const std::string& path, raster::Rect pdfRect) {
  const std::int64_t pageWidth = truncatedSide(pdfRect.size.width);
  const std::int64_t pageHeight = truncatedSide(pdfRect.size.height);
  const raster::Size pageOnly{double(pageWidth), double(pageHeight)};
  pdfInfo_ = PdfInfo{};
  const std::optional<imageio::PdfXObjectSize> largest = imageio::largestImageXObjectSize(path);
  if (!largest) return pageOnly;
  pdfInfo_.pdfWidth = largest->width;
  pdfInfo_.pdfHeight = largest->height;
  if (pdfInfo_.pdfWidth < 1 || pdfInfo_.pdfHeight < 1) return pageOnly;
  return {double(std::max(pdfInfo_.pdfWidth, pageWidth)), double(std::max(pdfInfo_.pdfHeight, pageHeight))};
}

raster::Size ImportedImage::PDFSizeWithURL(const std::string& path, raster::Size size) {
  const raster::Size renderSize = verifyPDFSizeForURL(path, raster::Rect(0, 0, size.width, size.height));
  const raster::Size corrected = aspectCorrectedPDFSize(size, renderSize);
  const std::optional<DocumentPixelSize> capped = cappedDocumentPixelSize(corrected.width, corrected.height);
  if (!capped) return {0, 0};
  return {double(capped->width), double(capped->height)};
}

std::optional<BitmapRepList> ImportedImage::setPdfBmpImageRepWithURL(const std::string& path) {
  if (path.empty()) return std::nullopt;
  const std::unique_ptr<imageio::PdfDocument> document = imageio::PdfDocument::open(path);
  if (!document || document->pageCount() == 0) return std::nullopt;
  const std::optional<imageio::PdfPageInfo> firstPage = document->page(0);
  if (!firstPage) return std::nullopt;
  const raster::Size bounds = pageSize(*firstPage);
  if (!(bounds.width > 0 && bounds.height > 0)) return std::nullopt;

  const raster::Size renderSize = verifyPDFSizeForURL(path, raster::Rect(0, 0, bounds.width, bounds.height));
  if (renderSize.width == 0 || renderSize.height == 0) return std::nullopt;
  const raster::Size corrected = aspectCorrectedPDFSize(bounds, renderSize);
  const std::optional<DocumentPixelSize> pixels = cappedDocumentPixelSize(corrected.width, corrected.height);
  if (!pixels) {
    foundation::log("pdf: {} asks for an unusable page size {} x {}", path, corrected.width,
                    corrected.height);
    return std::nullopt;
  }

  BitmapRepList reps;
  for (std::size_t index = 0; index < document->pageCount(); ++index) {
    // Pages of other sizes are stretched into page 1's rectangle.
    raster::ImageRef page =
        document->render(index, pixels->width, pixels->height, imageio::kDefaultPixelLimit);
    BitmapRepRef rep = raster::BitmapImageRep::withImage(std::move(page));
    if (!rep) continue;
    rep->setSize(bounds);
    reps.push_back(std::move(rep));
  }
  if (reps.empty()) return std::nullopt;
  return reps;
}

}  // namespace velumar
