#include "platform/raster/coverage_mask.h"

#include <cairo.h>

#include <cmath>
#include <cstring>

#include "platform/foundation/log.h"
#include "platform/foundation/parallel.h"

namespace raster {

namespace {

PixelBounds deviceBounds(const Rect& userBounds, const AffineTransform& userToDevice) {
  Rect r = userToDevice.applyToRect(userBounds);
  if (!std::isfinite(r.minX()) || !std::isfinite(r.maxX()) || !std::isfinite(r.minY()) ||
      !std::isfinite(r.maxY()))
    return {};
  auto clampToRange = [](double v) { return std::clamp(v, -4.0e9, 4.0e9); };
  return {std::int64_t(std::floor(clampToRange(r.minX()))) - 1,
          std::int64_t(std::floor(clampToRange(r.minY()))) - 1,
          std::int64_t(std::ceil(clampToRange(r.maxX()))) + 1,
          std::int64_t(std::ceil(clampToRange(r.maxY()))) + 1};
}

void addPath(cairo_t* cr, const Path& path) {
  for (const Path::Element& e : path.elements()) {
    switch (e.verb) {
      case Path::Verb::Move:
        cairo_move_to(cr, e.points[0].x, e.points[0].y);
        break;
      case Path::Verb::Line:
        cairo_line_to(cr, e.points[0].x, e.points[0].y);
        break;
      case Path::Verb::Curve:
        cairo_curve_to(cr, e.points[0].x, e.points[0].y, e.points[1].x, e.points[1].y, e.points[2].x,
                       e.points[2].y);
        break;
      case Path::Verb::Close:
        cairo_close_path(cr);
        break;
    }
  }
}

// Shrinks a mask's bounds to the pixels it covers.
void trim(CoverageMask& mask) {
  const PixelBounds& b = mask.bounds;
  const std::int64_t w = b.width();
  std::int64_t x0 = b.x1, x1 = b.x0, y0 = b.y1, y1 = b.y0;
  for (std::int64_t y = b.y0; y < b.y1; ++y) {
    const std::uint8_t* row = mask.row(y);
    std::int64_t first = 0;
    while (first < w && row[first] == 0) ++first;
    if (first == w) continue;
    std::int64_t last = w - 1;
    while (row[last] == 0) --last;
    x0 = std::min(x0, b.x0 + first), x1 = std::max(x1, b.x0 + last + 1);
    y0 = std::min(y0, y), y1 = std::max(y1, y + 1);
  }
  if (x1 <= x0 || y1 <= y0) {
    mask = CoverageMask{};
    return;
  }
  if (x0 == b.x0 && x1 == b.x1 && y0 == b.y0 && y1 == b.y1) return;
  CoverageMask tight;
  tight.bounds = {x0, y0, x1, y1};
  tight.coverage.resize(std::size_t(x1 - x0) * std::size_t(y1 - y0));
  for (std::int64_t y = y0; y < y1; ++y)
    std::memcpy(tight.coverage.data() + std::size_t(y - y0) * std::size_t(x1 - x0), mask.row(y) + (x0 - b.x0),
                std::size_t(x1 - x0));
  mask = std::move(tight);
}

}  // namespace

CoverageMaskRef rasterizePath(const Path& path, const AffineTransform& userToDevice, const PixelBounds& limit,
                              FillRule rule, const StrokeStyle* stroke, bool antialias, double tolerance) {
  auto mask = std::make_shared<CoverageMask>();
  if (path.isEmpty() || limit.isEmpty()) return mask;
  Rect userBounds = path.bounds();
  if (stroke) {
    double grow = stroke->width / 2;
    if (stroke->join == LineJoin::Miter) grow *= std::max(1.0, stroke->miterLimit);
    if (stroke->cap == LineCap::Square) grow *= std::sqrt(2.0);
    userBounds = Rect(userBounds.minX() - grow, userBounds.minY() - grow, userBounds.width() + 2 * grow,
                      userBounds.height() + 2 * grow);
  }
  PixelBounds bounds = deviceBounds(userBounds, userToDevice).intersection(limit);
  if (bounds.isEmpty()) return mask;
  if (bounds.width() > 32767 || bounds.height() > 32767) {
    // cairo's image surfaces stop at 32767 pixels a side; tile rows.
    auto result = std::make_shared<CoverageMask>();
    result->bounds = bounds;
    result->coverage.assign(std::size_t(bounds.width()) * std::size_t(bounds.height()), 0);
    for (std::int64_t ty = bounds.y0; ty < bounds.y1; ty += 16384) {
      for (std::int64_t tx = bounds.x0; tx < bounds.x1; tx += 16384) {
        PixelBounds tile{tx, ty, std::min(tx + 16384, bounds.x1), std::min(ty + 16384, bounds.y1)};
        CoverageMaskRef part = rasterizePath(path, userToDevice, tile, rule, stroke, antialias, tolerance);
        if (part->bounds.isEmpty()) continue;
        for (std::int64_t y = part->bounds.y0; y < part->bounds.y1; ++y) {
          std::memcpy(result->coverage.data() + std::size_t(y - bounds.y0) * std::size_t(bounds.width()) +
                          std::size_t(part->bounds.x0 - bounds.x0),
                      part->row(y), std::size_t(part->bounds.width()));
        }
      }
    }
    return result;
  }

  int w = int(bounds.width()), h = int(bounds.height());
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    foundation::log("raster: cannot make a {}x{} coverage surface", w, h);
    cairo_surface_destroy(surface);
    return mask;
  }
  cairo_t* cr = cairo_create(surface);
  cairo_matrix_t m;
  cairo_matrix_init(&m, userToDevice.a, userToDevice.b, userToDevice.c, userToDevice.d,
                    userToDevice.tx - double(bounds.x0), userToDevice.ty - double(bounds.y0));
  cairo_set_matrix(cr, &m);
  cairo_set_antialias(cr, antialias ? CAIRO_ANTIALIAS_GOOD : CAIRO_ANTIALIAS_NONE);
  cairo_set_tolerance(cr, std::clamp(tolerance, 0.01, 1.0));
  cairo_set_source_rgba(cr, 0, 0, 0, 1);
  addPath(cr, path);
  if (stroke) {
    cairo_set_line_width(cr, stroke->width);
    cairo_set_line_cap(cr, stroke->cap == LineCap::Round    ? CAIRO_LINE_CAP_ROUND
                           : stroke->cap == LineCap::Square ? CAIRO_LINE_CAP_SQUARE
                                                            : CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr, stroke->join == LineJoin::Round   ? CAIRO_LINE_JOIN_ROUND
                            : stroke->join == LineJoin::Bevel ? CAIRO_LINE_JOIN_BEVEL
                                                              : CAIRO_LINE_JOIN_MITER);
    cairo_set_miter_limit(cr, stroke->miterLimit);
    cairo_stroke(cr);
  } else {
    cairo_set_fill_rule(cr, rule == FillRule::EvenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    cairo_fill(cr);
  }
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  int stride = cairo_image_surface_get_stride(surface);
  mask->bounds = bounds;
  mask->coverage.resize(std::size_t(w) * std::size_t(h));
  for (int y = 0; y < h; ++y)
    std::memcpy(mask->coverage.data() + std::size_t(y) * w, data + std::size_t(y) * stride, w);
  cairo_surface_destroy(surface);
  trim(*mask);
  return mask;
}

CoverageMaskRef intersectMasks(const CoverageMask& a, const CoverageMask& b) {
  auto mask = std::make_shared<CoverageMask>();
  PixelBounds bounds = a.bounds.intersection(b.bounds);
  if (bounds.isEmpty()) return mask;
  mask->bounds = bounds;
  mask->coverage.resize(std::size_t(bounds.width()) * std::size_t(bounds.height()));
  foundation::parallelForRange(
      bounds.y0, bounds.y1,
      [&](std::int64_t begin, std::int64_t end) {
        for (std::int64_t y = begin; y < end; ++y) {
          const std::uint8_t* ra = a.row(y) + (bounds.x0 - a.bounds.x0);
          const std::uint8_t* rb = b.row(y) + (bounds.x0 - b.bounds.x0);
          std::uint8_t* out =
              mask->coverage.data() + std::size_t(y - bounds.y0) * std::size_t(bounds.width());
          for (std::int64_t x = 0; x < bounds.width(); ++x)
            out[x] = std::uint8_t((ra[x] * rb[x] + 127) / 255);
        }
      },
      std::max<std::int64_t>(1, 65536 / bounds.width()));
  return mask;
}

}  // namespace raster
