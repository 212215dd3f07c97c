#pragma once
// An 8-bit coverage mask over a rectangle of a surface (memory
// coordinates, rows top-down), and the rasteriser that makes one from a
// path with cairo.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/raster/drawing_types.h"
#include "platform/raster/geometry.h"
#include "platform/raster/path.h"

namespace raster {

// Pixel rectangle in memory coordinates.
struct PixelBounds {
  std::int64_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool isEmpty() const { return x1 <= x0 || y1 <= y0; }
  std::int64_t width() const { return x1 - x0; }
  std::int64_t height() const { return y1 - y0; }
  PixelBounds intersection(const PixelBounds& o) const {
    PixelBounds r{std::max(x0, o.x0), std::max(y0, o.y0), std::min(x1, o.x1), std::min(y1, o.y1)};
    if (r.isEmpty()) return {};
    return r;
  }
};

struct CoverageMask {
  PixelBounds bounds;
  std::vector<std::uint8_t> coverage;  // bounds.width() per row, no padding

  std::uint8_t at(std::int64_t x, std::int64_t y) const {
    if (x < bounds.x0 || x >= bounds.x1 || y < bounds.y0 || y >= bounds.y1) return 0;
    return coverage[std::size_t(y - bounds.y0) * std::size_t(bounds.width()) + std::size_t(x - bounds.x0)];
  }
  // Row y's coverage starting at column x (inside bounds).
  const std::uint8_t* row(std::int64_t y) const {
    return coverage.data() + std::size_t(y - bounds.y0) * std::size_t(bounds.width());
  }
};
using CoverageMaskRef = std::shared_ptr<const CoverageMask>;

struct StrokeStyle {
  double width = 1;
  LineCap cap = LineCap::Butt;
  LineJoin join = LineJoin::Miter;
  double miterLimit = 10;
};

// Rasterises path under the device transform (user space → top-down device
// pixels) into a mask limited to limit. With a stroke style the outline is
// stroked, else filled with the rule. Empty mask when nothing is covered.
CoverageMaskRef rasterizePath(const Path& path, const AffineTransform& userToDevice, const PixelBounds& limit,
                              FillRule rule, const StrokeStyle* stroke, bool antialias, double tolerance);

// Pixel-by-pixel product of two masks (their intersection).
CoverageMaskRef intersectMasks(const CoverageMask& a, const CoverageMask& b);

}  // namespace raster
