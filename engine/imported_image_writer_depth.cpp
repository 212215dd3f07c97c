// The exported depth image as the disparity map written with an image:
// rendered at half scale from the origin into one float per pixel.

#include <cmath>

#include "engine/imported_image.h"
#include "platform/foundation/log.h"
#include "platform/foundation/parallel.h"

namespace velumar {

namespace {

// A depth map is never larger than the pictures the engine writes.
constexpr std::int64_t kMaxDepthPixels = 10000LL * 10000LL;
constexpr std::int64_t kRowGrain = 32;

}  // namespace

std::optional<imageio::DepthData> ImportedImage::exportDepthImageToDestination() const {
  if (!exportedDepthImage) return std::nullopt;
  const ci::ImageRef half = translateToZeroOriginCIImage(
      exportedDepthImage->transformed(raster::AffineTransform::scaling(0.5, 0.5)));
  if (!half || ci::isInfinite(half->extent())) return std::nullopt;
  const std::int64_t width = std::int64_t(half->extent().width());
  const std::int64_t height = std::int64_t(half->extent().height());
  if (width < 1 || height < 1 || width > kMaxDepthPixels / height) {
    foundation::log("writers: a depth image of {} x {} pixels is not written", width, height);
    return std::nullopt;
  }

  // The render context only lends its float depth to the rendered image.
  auto target =
      raster::BitmapContext::create(1, 1, raster::PixelFormat::rgbaFloat(), raster::ColorSpace::genericRGB());
  if (!target) return std::nullopt;
  const ci::ContextRef context = ci::Context::withBitmapContext(*target);
  const raster::ImageRef rendered =
      context->createImage(half, raster::Rect(0, 0, double(width), double(height)));
  if (!rendered || !rendered->format().isFloat() || rendered->format().componentsPerPixel() != 4 ||
      rendered->width() != width || rendered->height() != height)
    return std::nullopt;

  imageio::DepthData depth;
  depth.kind = imageio::DepthData::Kind::Disparity;
  depth.width = width;
  depth.height = height;
  depth.values.resize(std::size_t(width) * std::size_t(height));
  // The map is the red component, unpremultiplied; non-finite values become 0.
  foundation::parallelForRange(
      0, height,
      [&](std::int64_t begin, std::int64_t end) {
        for (std::int64_t y = begin; y < end; ++y) {
          const float* row = reinterpret_cast<const float*>(rendered->row(y));
          float* out = depth.values.data() + std::size_t(y) * std::size_t(width);
          for (std::int64_t x = 0; x < width; ++x) {
            const float red = row[4 * x];
            const float alpha = row[4 * x + 3];
            const float value = alpha > 0.0f && alpha < 1.0f ? red / alpha : red;
            out[x] = std::isfinite(value) ? value : 0.0f;
          }
        }
      },
      kRowGrain);
  return depth;
}

}  // namespace velumar
