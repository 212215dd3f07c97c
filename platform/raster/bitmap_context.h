#pragma once
// A mutable bitmap in any supported pixel format with a graphics-state
// stack, the drawing target of the engine, the filter graph and the PSD
// code. Coordinates are y up with the origin at the lower-left corner of the
// bitmap, one unit per pixel before the current transform; memory rows run
// top-down.
//
// Supported formats: RGB 8/16/32f with alpha premultiplied first or last,
// straight first or last, skipped first or last, or none; RGB 5-bit
// none-skip-first; gray and CMYK 8/16/32f without alpha; alpha-only 8-bit
// (without a colour space, or with a gray one, which is dropped). Every
// other combination is refused.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/raster/attributed_text.h"
#include "platform/raster/color_space.h"
#include "platform/raster/drawing_types.h"
#include "platform/raster/geometry.h"
#include "platform/raster/image.h"
#include "platform/raster/path.h"
#include "platform/raster/pixel_format.h"

namespace raster {

struct ContextState;
struct ContextLayer;

class BitmapContext {
 public:
  // A cleared (all-zero) bitmap; nullptr for refused formats, sizes below 1
  // or above the limits, or when memory cannot be had.
  static std::unique_ptr<BitmapContext> create(std::int64_t width, std::int64_t height, PixelFormat format,
                                               ColorSpaceRef space);
  // Draws into the caller's buffer, which must outlive the context; rows are
  // bytesPerRow apart. The buffer is not cleared.
  static std::unique_ptr<BitmapContext> createWithData(void* data, std::int64_t width, std::int64_t height,
                                                       std::size_t bytesPerRow, PixelFormat format,
                                                       ColorSpaceRef space);
  // Whether create() accepts this format in this colour space.
  static bool supports(const PixelFormat& format, const ColorSpace* space);

  ~BitmapContext();
  BitmapContext(const BitmapContext&) = delete;
  BitmapContext& operator=(const BitmapContext&) = delete;

  std::int64_t width() const { return width_; }
  std::int64_t height() const { return height_; }
  const PixelFormat& format() const { return format_; }
  // nullptr for alpha-only contexts.
  const ColorSpaceRef& colorSpace() const { return space_; }
  std::size_t bytesPerRow() const { return bytesPerRow_; }
  const std::uint8_t* data() const { return pixels_; }
  // For writing pixels directly; detaches the buffer from earlier snapshots.
  std::uint8_t* mutableData();

  // A snapshot of the pixels as they are now; later drawing does not change
  // it (the buffer is shared until the next change, then copied).
  ImageRef makeImage() const;

  // Graphics state.
  void saveGState();
  void restoreGState();  // no-op on an empty stack
  const AffineTransform& ctm() const;
  void concatCTM(const AffineTransform& transform);
  void translate(double x, double y);
  void scale(double sx, double sy);
  void rotate(double radians);  // counter-clockwise (y up)
  void clipToRect(const Rect& rect);
  void clipToRoundedRect(const Rect& rect, double radiusX, double radiusY);
  void clipToPath(const Path& path, FillRule rule = FillRule::NonZero);
  // The current clip's bounding box in user space.
  Rect clipBoundingBox() const;
  void setAlpha(double alpha);
  void setBlendMode(BlendMode mode);
  BlendMode blendMode() const;
  // High and Default: box prefilter to within 2× then Lanczos-3; Medium:
  // the same with Catmull-Rom; Low: bilinear; None: nearest.
  void setInterpolationQuality(InterpolationQuality quality);
  InterpolationQuality interpolationQuality() const;
  void setShouldAntialias(bool antialias);
  void setFlatness(double flatness);
  // Components in the context's colour space, then alpha (count = colour
  // components + 1; a missing alpha means opaque).
  void setFillColor(const double* components, int count);
  void setStrokeColor(const double* components, int count);
  // A colour of any space, converted into the context's.
  void setFillColor(const Color& color);
  void setStrokeColor(const Color& color);
  void setLineWidth(double width);
  void setLineCap(LineCap cap);
  void setLineJoin(LineJoin join);
  void setMiterLimit(double limit);
  // Offset in device pixels (y up, not affected by the transform), blur
  // radius in pixels (Gaussian, sigma = blur / 2); the default colour is
  // black at one third alpha. A colour with zero alpha turns the shadow off.
  void setShadow(Size offset, double blur);
  void setShadow(Size offset, double blur, const Color& color);
  void clearShadow();

  // Drawing into the layer then composited as one with the state at the
  // time of the call (alpha, blend mode, clip, shadow).
  void beginTransparencyLayer();
  void endTransparencyLayer();

  void fillRect(const Rect& rect);
  // Makes the rectangle transparent (zero), whatever the blend mode.
  void clearRect(const Rect& rect);
  // One path of all rectangles, non-zero winding: overlaps are covered once.
  void fillRects(const std::vector<Rect>& rects);
  void strokeRect(const Rect& rect);
  void fillPath(const Path& path, FillRule rule = FillRule::NonZero);
  void strokePath(const Path& path);
  void fillEllipse(const Rect& rect);
  // Draws the image stretched into rect, converting its colour into the
  // context's space and resampling with the interpolation quality.
  void drawImage(const ImageRef& image, const Rect& rect);
  // Whether drawImage may now be called from several threads at once, each
  // drawing an image at whole pixels and scale 1 onto pixels of its own,
  // with what drawing the images one after the other gives: with no shadow,
  // no transparency layer (their draws share a layer) and an identity
  // transform. Detaches the pixels from snapshots first, so that those
  // draws write to pixels of the context's own.
  bool prepareConcurrentDraws();

  // Draws text with its lower-left bounding-box corner at point.
  void drawText(const AttributedText& text, Point point);
  // Width and height of the text's bounding box in user units (points).
  static Size measureText(const AttributedText& text);

 private:
  BitmapContext() = default;
  friend struct ContextAccess;

  std::int64_t width_ = 0, height_ = 0;
  PixelFormat format_;
  ColorSpaceRef space_;
  std::size_t bytesPerRow_ = 0;
  std::uint8_t* pixels_ = nullptr;
  // Owned storage, shared with snapshots until the next change; null when
  // drawing into a caller's buffer.
  mutable std::shared_ptr<std::vector<std::uint8_t>> storage_;
  std::vector<std::unique_ptr<ContextState>> states_;  // back() is current
  std::vector<std::unique_ptr<ContextLayer>> layers_;
};

}  // namespace raster
