// The compositor of BitmapContext: blending a source through coverage and
// clip into a surface, transparency layers and shadows.

#include <cmath>
#include <memory>
#include <new>

#include "platform/foundation/log.h"
#include "platform/foundation/parallel.h"
#include "platform/raster/blend.h"
#include "platform/raster/context_internals.h"
#include "platform/raster/gaussian_blur.h"
#include "platform/raster/pixel_layout.h"
#include "platform/raster/row_order.h"

namespace raster {

namespace {

constexpr float kInv255 = 1.0f / 255.0f;

std::int64_t rowGrain(std::int64_t width) {
  return std::max<std::int64_t>(1, 32768 / std::max<std::int64_t>(1, width));
}

// A mask of the shadow a layer casts: its alpha blurred, shifted by the
// offset (y up) and limited to limit.
CoverageMaskRef shadowMask(const ContextLayer& layer, const ShadowState& shadow, const PixelBounds& limit) {
  auto mask = std::make_shared<CoverageMask>();
  if (layer.dirty.isEmpty()) return mask;
  const double sigma = shadow.blur / 2.0;
  const std::int64_t margin = std::int64_t(std::ceil(3.0 * sigma)) + 1;
  PixelBounds plane{layer.dirty.x0 - margin, layer.dirty.y0 - margin, layer.dirty.x1 + margin,
                    layer.dirty.y1 + margin};
  const std::int64_t w = plane.width(), h = plane.height();
  std::vector<float> alpha;
  try {
    alpha.assign(std::size_t(w) * std::size_t(h), 0.0f);
  } catch (const std::bad_alloc&) {
    foundation::log("raster: no memory for a {}x{} shadow", w, h);
    return mask;
  }
  const int channels = workingChannels(layer.surface.format);
  const PixelBounds& d = layer.dirty;
  for (std::int64_t y = d.y0; y < d.y1; ++y) {
    const float* in = reinterpret_cast<const float*>(layer.surface.pixel(d.x0, y));
    float* out = alpha.data() + std::size_t(y - plane.y0) * std::size_t(w) + std::size_t(d.x0 - plane.x0);
    for (std::int64_t x = 0; x < d.width(); ++x) out[x] = in[x * channels + channels - 1];
  }
  gaussianBlurPlane(alpha, w, h, sigma);

  // The offset is a y-up vector; in memory rows it points the other way.
  const Size shift = yUpToTopDown(0).applyToSize(shadow.offset);
  const double dx = shift.width, dy = shift.height;
  PixelBounds shifted{plane.x0 + std::int64_t(std::floor(dx)), plane.y0 + std::int64_t(std::floor(dy)),
                      plane.x1 + std::int64_t(std::ceil(dx)) + 1, plane.y1 + std::int64_t(std::ceil(dy)) + 1};
  PixelBounds bounds = shifted.intersection(limit);
  if (bounds.isEmpty()) return mask;
  mask->bounds = bounds;
  mask->coverage.assign(std::size_t(bounds.width()) * std::size_t(bounds.height()), 0);
  auto sample = [&](std::int64_t px, std::int64_t py) -> float {
    if (px < 0 || py < 0 || px >= w || py >= h) return 0.0f;
    return alpha[std::size_t(py) * std::size_t(w) + std::size_t(px)];
  };
  foundation::parallelForRange(
      bounds.y0, bounds.y1,
      [&](std::int64_t begin, std::int64_t end) {
        for (std::int64_t y = begin; y < end; ++y) {
          std::uint8_t* out =
              mask->coverage.data() + std::size_t(y - bounds.y0) * std::size_t(bounds.width());
          double sy = double(y) - dy - double(plane.y0);
          std::int64_t iy = std::int64_t(std::floor(sy));
          float fy = float(sy - double(iy));
          for (std::int64_t x = bounds.x0; x < bounds.x1; ++x) {
            double sx = double(x) - dx - double(plane.x0);
            std::int64_t ix = std::int64_t(std::floor(sx));
            float fx = float(sx - double(ix));
            float v = (sample(ix, iy) * (1 - fx) + sample(ix + 1, iy) * fx) * (1 - fy) +
                      (sample(ix, iy + 1) * (1 - fx) + sample(ix + 1, iy + 1) * fx) * fy;
            out[x - bounds.x0] = std::uint8_t(std::clamp(v * 255.0f + 0.5f, 0.0f, 255.0f));
          }
        }
      },
      rowGrain(bounds.width()));
  return mask;
}

}  // namespace

namespace {

// True when blending the row source over the destination gives the source
// itself: every pixel fully covered, at full strength, and either Copy or a
// fully opaque source under Normal (s + d·(1 − 1) = s).
bool replacesDestination(const RowSource* source, const CoverageMask* shape, const CoverageMask* clip,
                         BlendMode mode, float alpha, bool sourceOpaque) {
  if (source == nullptr || shape != nullptr || clip != nullptr || alpha != 1.0f) return false;
  return mode == BlendMode::Copy || (mode == BlendMode::Normal && sourceOpaque);
}

}  // namespace

void compositeRows(const Surface& target, PixelBounds area, const CoverageMask* shape,
                   const CoverageMask* clip, const float* constantSource, const RowSource* source,
                   BlendMode mode, float alpha, bool sourceOpaque, std::int64_t rowsPerTask) {
  area = area.intersection(target.bounds());
  if (shape) area = area.intersection(shape->bounds);
  if (clip) area = area.intersection(clip->bounds);
  if (area.isEmpty()) return;
  const PixelFormat& format = target.format;
  const int channels = workingChannels(format);
  const int colors = workingColors(format);
  const std::int64_t n = area.width();
  // Every buffer below is written in full before it is read.
  const std::int64_t grain = rowsPerTask > 0 ? rowsPerTask : rowGrain(n);
  auto buffer = [](std::int64_t count) {
    return std::make_unique_for_overwrite<float[]>(std::size_t(std::max<std::int64_t>(count, 1)));
  };
  if (replacesDestination(source, shape, clip, mode, alpha, sourceOpaque)) {
    // The destination is not read: source rows are stored straight into it.
    foundation::parallelForRange(
        area.y0, area.y1,
        [&](std::int64_t begin, std::int64_t end) {
          const std::unique_ptr<float[]> src = buffer(n * channels);
          for (std::int64_t y = begin; y < end; ++y) {
            (*source)(y, area.x0, area.x1, src.get());
            storeRow(src.get(), format, n, target.pixel(area.x0, y));
          }
        },
        grain);
    return;
  }
  foundation::parallelForRange(
      area.y0, area.y1,
      [&](std::int64_t begin, std::int64_t end) {
        const std::unique_ptr<float[]> dst = buffer(n * channels);
        const std::unique_ptr<float[]> src = source ? buffer(n * channels) : nullptr;
        const std::unique_ptr<float[]> coverage = (shape || clip) ? buffer(n) : nullptr;
        for (std::int64_t y = begin; y < end; ++y) {
          if (shape || clip) {
            const std::uint8_t* s = shape ? shape->row(y) + (area.x0 - shape->bounds.x0) : nullptr;
            const std::uint8_t* c = clip ? clip->row(y) + (area.x0 - clip->bounds.x0) : nullptr;
            bool any = false;
            for (std::int64_t x = 0; x < n; ++x) {
              float v = 1.0f;
              if (s) v *= float(s[x]) * kInv255;
              if (c) v *= float(c[x]) * kInv255;
              coverage[std::size_t(x)] = v;
              any |= v > 0.0f;
            }
            if (!any) continue;
          }
          std::uint8_t* row = target.pixel(area.x0, y);
          loadRow(row, format, n, dst.get());
          if (source) (*source)(y, area.x0, area.x1, src.get());
          blendRow(mode, colors, dst.get(), src.get(), constantSource, coverage.get(), alpha, n);
          storeRow(dst.get(), format, n, row);
        }
      },
      grain);
}

std::unique_ptr<ContextLayer> ContextLayer::make(const PixelBounds& area, int colors) {
  auto layer = std::make_unique<ContextLayer>();
  PixelFormat format{32, colors, colors == 0 ? AlphaInfo::Only : AlphaInfo::PremultipliedLast};
  if (colors == 0) format.colorComponents = 0;
  const std::int64_t w = std::max<std::int64_t>(area.width(), 0),
                     h = std::max<std::int64_t>(area.height(), 0);
  try {
    layer->pixels.assign(std::size_t(w) * std::size_t(h) * std::size_t(colors + 1), 0.0f);
  } catch (const std::bad_alloc&) {
    foundation::log("raster: no memory for a {}x{} layer", w, h);
    return nullptr;
  }
  layer->surface = Surface{reinterpret_cast<std::uint8_t*>(layer->pixels.data()),
                           std::size_t(w) * std::size_t(colors + 1) * sizeof(float),
                           format,
                           w,
                           h,
                           area.x0,
                           area.y0};
  return layer;
}

void ContextLayer::markDirty(const PixelBounds& area) {
  PixelBounds a = area.intersection(surface.bounds());
  if (a.isEmpty()) return;
  if (dirty.isEmpty()) {
    dirty = a;
  } else {
    dirty = {std::min(dirty.x0, a.x0), std::min(dirty.y0, a.y0), std::max(dirty.x1, a.x1),
             std::max(dirty.y1, a.y1)};
  }
}

void ContextAccess::compositeLayer(BitmapContext& c, const ContextLayer& layer, const ContextState& state) {
  if (layer.dirty.isEmpty()) return;
  Surface target = ContextAccess::target(c);
  ContextLayer* parent = topLayer(c);
  const CoverageMask* clip = state.clip.get();
  PixelBounds limit = target.bounds();
  if (clip) limit = limit.intersection(clip->bounds);
  const int colors = workingColors(target.format);

  if (state.shadow.active) {
    CoverageMaskRef shadow = shadowMask(layer, state.shadow, limit);
    if (!shadow->bounds.isEmpty()) {
      compositeRows(target, shadow->bounds, shadow.get(), clip, state.shadow.color, nullptr, state.blend,
                    state.alpha);
      if (parent) parent->markDirty(shadow->bounds);
    }
  }
  const int channels = colors + 1;
  RowSource source = [&layer, channels](std::int64_t y, std::int64_t x0, std::int64_t x1, float* out) {
    const float* in = reinterpret_cast<const float*>(layer.surface.pixel(x0, y));
    std::copy_n(in, std::size_t((x1 - x0) * channels), out);
  };
  // Outside the layer's drawn area the source is transparent; bounded
  // operators leave the destination alone there.
  compositeRows(target, layer.dirty, nullptr, clip, nullptr, &source, state.blend, state.alpha);
  if (parent) parent->markDirty(layer.dirty);
}

void ContextAccess::drawCoverage(BitmapContext& c, const CoverageMask* shape, PixelBounds area,
                                 const float* constantSource, const RowSource* source) {
  ContextState& state = ContextAccess::state(c);
  if (shape) area = area.intersection(shape->bounds);
  if (state.shadow.active) {
    // Draw alone into a layer, then composite it with its shadow.
    PixelBounds all{0, 0, c.width(), c.height()};
    auto temp = ContextLayer::make(area.intersection(all), workingColors(c.format()));
    if (!temp) return;
    compositeRows(temp->surface, area, shape, nullptr, constantSource, source, BlendMode::Normal, 1.0f);
    temp->markDirty(area);
    compositeLayer(c, *temp, state);
    return;
  }
  Surface target = ContextAccess::target(c);
  PixelBounds drawn = area.intersection(clipBounds(c)).intersection(target.bounds());
  compositeRows(target, drawn, shape, state.clip.get(), constantSource, source, state.blend, state.alpha);
  if (ContextLayer* layer = topLayer(c)) layer->markDirty(drawn);
}

void BitmapContext::beginTransparencyLayer() {
  auto layer = ContextLayer::make(ContextAccess::clipBounds(*this), workingColors(format_));
  if (!layer) {
    // Without memory for a layer, drawing goes straight to the bitmap.
    saveGState();
    return;
  }
  ContextState& current = *states_.back();
  layer->stateAtBegin = current;
  saveGState();
  layer->stackDepthAtBegin = states_.size();
  ContextState& inside = *states_.back();
  inside.alpha = 1;
  inside.blend = BlendMode::Normal;
  inside.shadow = ShadowState{};
  layers_.push_back(std::move(layer));
}

void BitmapContext::endTransparencyLayer() {
  if (layers_.empty()) {
    restoreGState();
    return;
  }
  std::unique_ptr<ContextLayer> layer = std::move(layers_.back());
  layers_.pop_back();
  states_.resize(layer->stackDepthAtBegin - 1);
  ContextAccess::compositeLayer(*this, *layer, layer->stateAtBegin);
}

}  // namespace raster
