#pragma once
// Internal pieces of BitmapContext shared by its source files: the graphics
// state, transparency layers, drawing surfaces and the compositor that
// blends a source through coverage and clip into a surface.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/raster/bitmap_context.h"
#include "platform/raster/coverage_mask.h"

namespace raster {

struct ShadowState {
  bool active = false;
  Size offset;
  double blur = 0;
  float color[5] = {0, 0, 0, 0, 0};  // working form (premultiplied)
};

struct ContextState {
  AffineTransform ctm;
  CoverageMaskRef clip;  // null: no clip
  float alpha = 1;
  BlendMode blend = BlendMode::Normal;
  InterpolationQuality interpolation = InterpolationQuality::Default;
  bool antialias = true;
  double flatness = 0.5;
  float fill[5] = {0, 0, 0, 0, 1};  // working form, set up for the format at creation
  float stroke[5] = {0, 0, 0, 0, 1};
  StrokeStyle strokeStyle;
  ShadowState shadow;
};

// A pixel buffer drawn into: the context's own or a layer's. A layer may
// cover only part of the context; originX/Y place its first pixel in the
// context's memory coordinates.
struct Surface {
  std::uint8_t* data = nullptr;
  std::size_t bytesPerRow = 0;
  PixelFormat format;
  std::int64_t width = 0, height = 0;
  std::int64_t originX = 0, originY = 0;
  PixelBounds bounds() const { return {originX, originY, originX + width, originY + height}; }
  std::uint8_t* pixel(std::int64_t x, std::int64_t y) const {
    return data + std::size_t(y - originY) * bytesPerRow +
           std::size_t(x - originX) * std::size_t(format.bytesPerPixel());
  }
};

// A float, premultiplied-alpha buffer with the context's colour components
// over part of the context; drawing goes here between begin and end.
struct ContextLayer {
  std::vector<float> pixels;
  Surface surface;
  ContextState stateAtBegin;
  std::size_t stackDepthAtBegin = 0;
  PixelBounds dirty;  // what was drawn so far
  // nullptr when memory cannot be had.
  static std::unique_ptr<ContextLayer> make(const PixelBounds& area, int colors);
  void markDirty(const PixelBounds& area);
};

// Fills out[0 .. (x1-x0)·channels) with the source for memory row y.
using RowSource = std::function<void(std::int64_t y, std::int64_t x0, std::int64_t x1, float* out)>;

// Blends a source (constant working-form colour, or a row source) weighted by
// shape × clip coverage into area of target. Row-parallel. sourceOpaque
// promises that every pixel the row source gives has alpha exactly 1.
// rowsPerTask (0: chosen from the width) suits a row source whose rows are
// costly.
void compositeRows(const Surface& target, PixelBounds area, const CoverageMask* shape,
                   const CoverageMask* clip, const float* constantSource, const RowSource* source,
                   BlendMode mode, float alpha, bool sourceOpaque = false, std::int64_t rowsPerTask = 0);

// Working-form colour (premultiplied) of a context format from components
// in the context's space and alpha.
void workingColor(const PixelFormat& format, const double* components, int count, float* out);
// Opaque black in the working form of a format.
void opaqueBlack(const PixelFormat& format, float* out);

// A colour of any space in the working form of the context's format and
// space.
void convertColorForContext(const BitmapContext& context, const Color& color, float* out);

struct ContextAccess {
  static ContextState& state(BitmapContext& c) { return *c.states_.back(); }
  static const ContextState& state(const BitmapContext& c) { return *c.states_.back(); }
  // The surface drawing goes to now (top layer or the bitmap, detached from
  // snapshots).
  static Surface target(BitmapContext& c);
  static ContextLayer* topLayer(BitmapContext& c) {
    return c.layers_.empty() ? nullptr : c.layers_.back().get();
  }
  static std::vector<std::unique_ptr<ContextLayer>>& layers(BitmapContext& c) { return c.layers_; }
  // user space → top-down device pixels.
  static AffineTransform userToDevice(const BitmapContext& c);
  // Area the clip allows (the whole surface without a clip).
  static PixelBounds clipBounds(const BitmapContext& c);
  // Draws a shape's coverage with a source under the state: shadow (through a
  // temporary layer), clip, alpha, blend mode.
  static void drawCoverage(BitmapContext& c, const CoverageMask* shape, PixelBounds area,
                           const float* constantSource, const RowSource* source);
  // Composites a finished layer onto the current target with state.
  static void compositeLayer(BitmapContext& c, const ContextLayer& layer, const ContextState& state);
  static void detach(BitmapContext& c);
};

}  // namespace raster
