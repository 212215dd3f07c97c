// Fills, strokes and clears of BitmapContext: shapes are rasterised into a
// coverage mask and blended with the fill or stroke colour.

#include <cmath>

#include "platform/raster/context_internals.h"

namespace raster {

namespace {

bool nearInteger(double v) {
  return std::abs(v - std::round(v)) < 1e-6;
}

// The device pixels of a rectangle when the transform keeps it axis-aligned
// with whole-pixel edges, so no coverage mask is needed.
bool pixelAlignedBounds(const Rect& rect, const AffineTransform& userToDevice, PixelBounds& out) {
  if (userToDevice.b != 0 || userToDevice.c != 0) return false;
  Rect r = userToDevice.applyToRect(rect);
  if (!nearInteger(r.minX()) || !nearInteger(r.maxX()) || !nearInteger(r.minY()) || !nearInteger(r.maxY()))
    return false;
  if (std::abs(r.minX()) > 4e9 || std::abs(r.maxX()) > 4e9 || std::abs(r.minY()) > 4e9 ||
      std::abs(r.maxY()) > 4e9)
    return false;
  out = {std::int64_t(std::round(r.minX())), std::int64_t(std::round(r.minY())),
         std::int64_t(std::round(r.maxX())), std::int64_t(std::round(r.maxY()))};
  return true;
}

void fillShape(BitmapContext& c, const Path& path, FillRule rule, const StrokeStyle* stroke,
               const float* color) {
  const ContextState& state = ContextAccess::state(c);
  PixelBounds limit = ContextAccess::clipBounds(c);
  if (limit.isEmpty()) return;
  CoverageMaskRef mask = rasterizePath(path, ContextAccess::userToDevice(c), limit, rule, stroke,
                                       state.antialias, state.flatness);
  if (mask->bounds.isEmpty()) return;
  ContextAccess::drawCoverage(c, mask.get(), mask->bounds, color, nullptr);
}

}  // namespace

void BitmapContext::fillRect(const Rect& rect) {
  if (rect.isEmpty()) return;
  PixelBounds area;
  if (pixelAlignedBounds(rect, ContextAccess::userToDevice(*this), area)) {
    ContextAccess::drawCoverage(*this, nullptr, area, states_.back()->fill, nullptr);
    return;
  }
  Path path;
  path.addRect(rect);
  fillShape(*this, path, FillRule::NonZero, nullptr, states_.back()->fill);
}

void BitmapContext::clearRect(const Rect& rect) {
  if (rect.isEmpty()) return;
  const ContextState& state = *states_.back();
  PixelBounds limit = ContextAccess::clipBounds(*this);
  PixelBounds area;
  CoverageMaskRef mask;
  if (!pixelAlignedBounds(rect, ContextAccess::userToDevice(*this), area)) {
    Path path;
    path.addRect(rect);
    mask = rasterizePath(path, ContextAccess::userToDevice(*this), limit, FillRule::NonZero, nullptr,
                         state.antialias, state.flatness);
    area = mask->bounds;
  }
  Surface target = ContextAccess::target(*this);
  area = area.intersection(limit).intersection(target.bounds());
  const float none[5] = {0, 0, 0, 0, 0};
  compositeRows(target, area, mask.get(), state.clip.get(), none, nullptr, BlendMode::Clear, 1.0f);
  if (ContextLayer* layer = ContextAccess::topLayer(*this)) layer->markDirty(area);
}

void BitmapContext::fillRects(const std::vector<Rect>& rects) {
  Path path;
  for (const Rect& r : rects) {
    if (!r.isEmpty()) path.addRect(r.standardized());
  }
  if (!path.isEmpty()) fillShape(*this, path, FillRule::NonZero, nullptr, states_.back()->fill);
}

void BitmapContext::strokeRect(const Rect& rect) {
  Path path;
  path.addRect(rect);
  strokePath(path);
}

void BitmapContext::fillPath(const Path& path, FillRule rule) {
  fillShape(*this, path, rule, nullptr, states_.back()->fill);
}

void BitmapContext::strokePath(const Path& path) {
  const ContextState& state = *states_.back();
  if (state.strokeStyle.width <= 0) return;
  StrokeStyle style = state.strokeStyle;
  fillShape(*this, path, FillRule::NonZero, &style, state.stroke);
}

void BitmapContext::fillEllipse(const Rect& rect) {
  Path path;
  path.addEllipse(rect);
  fillPath(path);
}

}  // namespace raster
