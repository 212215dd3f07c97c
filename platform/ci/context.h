#pragma once
// A render context bound to a bitmap context: renders regions of filter
// graphs into it (honouring its graphics state: blend mode, clip,
// transform) or into new images. Rendering is tiled and parallel; a draw
// of any size holds only its tiles in flight (each drawn as soon as it is
// rendered), or, where the context's state keeps draws from running at
// once, a band of rows of output at a time.

#include <cstdint>
#include <memory>

#include "platform/ci/image.h"
#include "platform/raster/bitmap_context.h"

namespace ci {

class Context;
using ContextRef = std::shared_ptr<Context>;

class Context {
 public:
  struct Options {
    // Asked-for renderer; there is one CPU renderer, so this is recorded only.
    bool softwareRenderer = false;
    // Whether the caller named the working space (generic RGB either way).
    bool workingColorSpaceGiven = true;
  };

  // The target must outlive the context.
  static ContextRef withBitmapContext(raster::BitmapContext& target, Options options);
  static ContextRef withBitmapContext(raster::BitmapContext& target) {
    return withBitmapContext(target, Options{});
  }

  raster::BitmapContext& bitmapContext() const { return *target_; }
  const Options& options() const { return options_; }

  // Draws the fromRect part of image stretched over inRect of the bitmap
  // context, with the context's blend mode. Empty or infinite rectangles
  // draw nothing.
  void drawImage(const ImageRef& image, const raster::Rect& inRect, const raster::Rect& fromRect);
  // The pixels of rect as a new premultiplied RGBA image with the bitmap
  // context's depth (8, 16 or float components): float ones in the working
  // space, integer ones in the context's colour space when that is RGB (so
  // that no colour the context can hold is clamped away), else in the
  // working space.
  // nullptr for an empty or infinite rectangle or a missing image.
  raster::ImageRef createImage(const ImageRef& image, const raster::Rect& rect) const;
  // Nothing is cached between draws; kept for callers that ask.
  void clearCaches() {}

  // A draw that cannot draw its tiles at once renders bands of whole rows
  // of tiles of about kCachedBandFloats (8 MB, so that a band is still
  // cached when it is stored), of at most kBandFloats (32 MB) and at least
  // kMinimumBandHeight rows.
  static constexpr std::int64_t kCachedBandFloats = std::int64_t(2) << 20;
  static constexpr std::int64_t kBandFloats = std::int64_t(8) << 20;
  static constexpr std::int64_t kMinimumBandHeight = 64;

 private:
  Context(raster::BitmapContext& target, Options options) : target_(&target), options_(options) {}
  raster::BitmapContext* target_;
  Options options_;
};

}  // namespace ci
