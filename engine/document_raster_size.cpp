#include "engine/document_raster_size.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velumar {

namespace {

// The value rounded up in single precision; infinity when single precision
// cannot hold it.
double ceilInSinglePrecision(double value) {
  if (!(value <= double(std::numeric_limits<float>::max()))) return std::numeric_limits<double>::infinity();
  return double(std::ceil(float(value)));
}

}  // namespace

raster::Size aspectCorrectedPDFSize(raster::Size pageSize, raster::Size renderSize) {
  const double w = pageSize.width, h = pageSize.height;
  const double W = renderSize.width, H = renderSize.height;
  if (W == 0 || H == 0) return renderSize;
  if (!(w > 0 && h > 0 && std::isfinite(w) && std::isfinite(h))) return renderSize;
  if (!(W > 0 && H > 0 && std::isfinite(W) && std::isfinite(H))) return renderSize;
  // Ratios to two decimals, truncated; both are finite and positive here.
  const double pageRatio = std::trunc(w / h * 100.0);
  const double renderRatio = std::trunc(W / H * 100.0);
  if (pageRatio == renderRatio) return renderSize;
  const double scale = std::max(W / w, H / h);
  return {ceilInSinglePrecision(w * scale), ceilInSinglePrecision(h * scale)};
}

std::optional<DocumentPixelSize> cappedDocumentPixelSize(double width, double height) {
  if (!std::isfinite(width) || !std::isfinite(height)) return std::nullopt;
  width = std::trunc(width);
  height = std::trunc(height);
  if (width < 1 || height < 1) return std::nullopt;
  const double longer = std::max(width, height);
  if (longer > double(kMaxDocumentRasterSide)) {
    const double factor = double(kMaxDocumentRasterSide) / longer;
    width = width == longer ? double(kMaxDocumentRasterSide) : std::round(width * factor);
    height = height == longer ? double(kMaxDocumentRasterSide) : std::round(height * factor);
    if (width < 1 || height < 1) return std::nullopt;
  }
  return DocumentPixelSize{std::int64_t(width), std::int64_t(height)};
}

}  // namespace velumar
