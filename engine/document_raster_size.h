#pragma once
// Pixel sizes of rasterised documents (PDF pages, PostScript boxes). They
// come from numbers in the file, so they are computed in 64 bits and kept
// within a bound before anything is allocated.

#include <cstdint>
#include <optional>

#include "platform/raster/geometry.h"

namespace velumar {

// The longest side a document page is rendered at.
inline constexpr std::int64_t kMaxDocumentRasterSide = 10000;

struct DocumentPixelSize {
  std::int64_t width = 0;
  std::int64_t height = 0;
  bool operator==(const DocumentPixelSize&) const = default;
};

// A PDF render size brought back to the page's aspect ratio: unchanged when
// a side is 0, when the page has no usable size, or when the two ratios
// agree to two decimals (by truncation); otherwise the page scaled by the
// larger of the two side ratios, each side rounded up in single precision.
raster::Size aspectCorrectedPDFSize(raster::Size pageSize, raster::Size renderSize);

// Each side truncated to whole pixels, then scaled down together so that
// neither exceeds kMaxDocumentRasterSide. nullopt when a side is not a
// finite number or comes out below one pixel.
std::optional<DocumentPixelSize> cappedDocumentPixelSize(double width, double height);

}  // namespace velumar
