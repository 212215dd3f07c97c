#pragma once
// ci::Image: an immutable node of a lazy image-filter graph. Nothing is
// computed when a node is made; a ci::Context renders a region of a graph
// on demand, tile by tile, asking each node only for the pixels its
// consumers need.
//
// Coordinates are y up with the origin at the lower left; pixel (x, y)
// covers [x, x + 1) × [y, y + 1). Pixels are premultiplied float RGBA in
// the working space (generic RGB, gamma 1.8). Extents may be infinite.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "platform/ci/pixel_region.h"
#include "platform/ci/tile_buffer.h"
#include "platform/raster/geometry.h"
#include "platform/raster/image.h"

namespace ci {

class Image;
using ImageRef = std::shared_ptr<const Image>;

// A colour in the working space, straight (not premultiplied) components.
struct Color {
  double red = 0, green = 0, blue = 0, alpha = 1;
  static Color white() { return {1, 1, 1, 1}; }
  static Color black() { return {0, 0, 0, 1}; }
  static Color clear() { return {0, 0, 0, 0}; }
  bool operator==(const Color&) const = default;
};

// One row of a per-pixel kernel: count pixels starting at (x, y); inputs[i]
// holds 4 floats per pixel of input i (zero outside its extent), output
// receives 4 floats per pixel. Premultiplied unless the kernel asks for
// straight colour.
struct KernelRow {
  std::int64_t x = 0, y = 0, count = 0;
  const float* const* inputs = nullptr;
  float* output = nullptr;
};
using KernelFunction = std::function<void(const KernelRow& row)>;

// Fills count pixels (4 floats each) of row y starting at column x.
using GeneratorFunction = std::function<void(std::int64_t x, std::int64_t y, std::int64_t count, float* out)>;

// For count output pixels of row y starting at column x, writes the source
// point (x, y pairs, continuous coordinates) each one samples.
using WarpFunction =
    std::function<void(std::int64_t x, std::int64_t y, std::int64_t count, double* sourcePoints)>;
// The rectangle of the input a warp needs to produce an output rectangle.
using RegionOfInterestFunction = std::function<raster::Rect(const raster::Rect& outputRect)>;

// Read access to one input of a sampling kernel: whole pixels and bilinear
// samples, transparent outside the input's extent and outside the region of
// interest that was asked for.
class Sampler {
 public:
  Sampler(const TileBuffer& buffer, const PixelRegion& domain)
      : buffer_(&buffer), area_(buffer.region().intersection(domain)) {}
  // Pixel (x, y) into out (4 floats).
  void pixel(std::int64_t x, std::int64_t y, float* out) const {
    if (x < area_.x || x >= area_.maxX() || y < area_.y || y >= area_.maxY()) {
      out[0] = out[1] = out[2] = out[3] = 0;
      return;
    }
    const float* p = buffer_->at(x, y);
    out[0] = p[0], out[1] = p[1], out[2] = p[2], out[3] = p[3];
  }
  // Bilinear sample at continuous (u, v); pixel centres are at +0.5.
  void sample(double u, double v, float* out) const;

 private:
  const TileBuffer* buffer_;
  PixelRegion area_;
};

// One row of a sampling kernel: count output pixels from (x, y); inputs[i]
// samples input i anywhere inside the region of interest.
struct SamplerRow {
  std::int64_t x = 0, y = 0, count = 0;
  const Sampler* inputs = nullptr;
  float* output = nullptr;
};
using SamplerKernelFunction = std::function<void(const SamplerRow& row)>;

enum class ResamplingKernel { Bilinear, Lanczos3 };

// Infinite extent, as an image without bounds reports it.
raster::Rect infiniteRect();
bool isInfinite(const raster::Rect& rect);

class Image : public std::enable_shared_from_this<Image> {
 public:
  virtual ~Image() = default;
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  // --- Sources ---
  // The bitmap converted into the working space; extent (0, 0, w, h).
  // nullptr for a null image or one whose colour cannot be converted.
  static ImageRef withBitmap(const raster::ImageRef& bitmap);
  // Premultiplied RGBA floats in the working space, rows top-down as in
  // memory; extent (0, 0, width, height). nullptr when sizes disagree.
  static ImageRef withPremultipliedPixels(std::int64_t width, std::int64_t height, std::vector<float> pixels);
  // An infinite image of one colour.
  static ImageRef constantColor(const Color& color);
  // Pixels computed row by row over extent (which may be infinite).
  static ImageRef generated(const raster::Rect& extent, GeneratorFunction generator);

  // --- Operators ---
  // Per-pixel kernel over 1..n inputs; the output extent is given.
  static ImageRef kernel(std::vector<ImageRef> inputs, const raster::Rect& extent, KernelFunction function,
                         bool straightColor = false);
  // Separable convolution: horizontal and vertical weights of odd length,
  // centred. The extent grows by the radii.
  static ImageRef convolved(const ImageRef& input, std::vector<float> horizontal,
                            std::vector<float> vertical);
  // A kernel that samples its inputs anywhere within regionOfInterest of
  // the output rectangle (neighbourhoods, rays, cells). Without a region of
  // interest the inputs' whole extents are read (they must be finite).
  static ImageRef sampling(std::vector<ImageRef> inputs, const raster::Rect& extent,
                           SamplerKernelFunction function, RegionOfInterestFunction regionOfInterest = {});
  // Inverse-mapped warp with bilinear sampling of the input.
  static ImageRef warped(const ImageRef& input, const raster::Rect& extent, WarpFunction function,
                         RegionOfInterestFunction regionOfInterest = {});
  // Axis-aligned scaling by (sx, sy) about the origin with a resampling
  // kernel widened when shrinking (Lanczos scaling when asked for).
  static ImageRef scaled(const ImageRef& input, double sx, double sy, ResamplingKernel kernel);

  // --- Image operations ---
  const raster::Rect& extent() const { return extent_; }
  // Flips and quarter turns are exact; scaling is separable with a filter
  // widened when shrinking; any other transform samples bilinearly.
  ImageRef transformed(const raster::AffineTransform& transform) const;
  ImageRef cropped(const raster::Rect& rect) const;
  // Infinite: the edge pixels repeat outwards.
  ImageRef clampedToExtent() const;
  // This image over the background (source over).
  ImageRef compositedOver(const ImageRef& background) const;

  // --- Evaluation (used by the renderer) ---
  const std::vector<ImageRef>& inputs() const { return inputs_; }
  // The pixels this node can make non-transparent.
  PixelRegion domain() const { return domain_; }
  // Regions of each input needed to render region (empty when none).
  virtual void inputRegions(const PixelRegion& region, std::vector<PixelRegion>& out) const;
  // Renders region into out (already sized to region, and zeroed unless
  // writesWholeDomain); inputs[i] covers at least the region asked of input i.
  virtual void render(std::span<const TileBuffer* const> inputs, TileBuffer& out) const = 0;
  // True when render writes every pixel of its region inside domain(): the
  // renderer then leaves such regions uncleared.
  virtual bool writesWholeDomain() const { return false; }
  // For a bitmap source, the bitmap it shows: a draw of it alone needs no
  // trip through the working space and back.
  virtual raster::ImageRef sourceBitmap() const { return nullptr; }
  // Called once per render, before any tile, inputs before consumers and
  // outside the parallel tile work: nodes that keep a whole rendered image
  // make it here.
  virtual void prepare() const {}

 protected:
  Image(const raster::Rect& extent, std::vector<ImageRef> inputs);
  ImageRef self() const { return shared_from_this(); }

 private:
  raster::Rect extent_;
  PixelRegion domain_;
  std::vector<ImageRef> inputs_;
};

}  // namespace ci
