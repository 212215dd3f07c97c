#include "platform/ci/context.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "platform/ci/renderer.h"
#include "platform/ci/working_space.h"
#include "platform/foundation/log.h"
#include "platform/foundation/parallel.h"
#include "platform/raster/color_conversion.h"

namespace ci {

namespace {

bool drawable(const raster::Rect& rect) {
  return !rect.isEmpty() && !isInfinite(rect) && std::isfinite(rect.minX()) && std::isfinite(rect.minY());
}

bool isWholePixels(const raster::Rect& rect) {
  return rect.minX() == std::round(rect.minX()) && rect.minY() == std::round(rect.minY()) &&
         rect.maxX() == std::round(rect.maxX()) && rect.maxY() == std::round(rect.maxY());
}

// image's fromRect stretched over inRect, cut to inRect.
ImageRef placed(const ImageRef& image, const raster::Rect& inRect, const raster::Rect& fromRect) {
  const raster::Rect from = fromRect.standardized(), in = inRect.standardized();
  const double sx = in.width() / from.width(), sy = in.height() / from.height();
  raster::AffineTransform map{sx, 0, 0, sy, in.minX() - from.minX() * sx, in.minY() - from.minY() * sy};
  ImageRef moved = image->cropped(from);
  moved = moved ? moved->transformed(map) : nullptr;
  return moved ? moved->cropped(in) : nullptr;
}

raster::ImageRef floatImage(std::int64_t width, std::int64_t height, std::vector<std::uint8_t> bytes) {
  return raster::Image::make(width, height, raster::PixelFormat::rgbaFloat(), workingColorSpace(),
                             std::move(bytes));
}

// Premultiplied floats to premultiplied 8- or 16-bit components.
template <typename T>
std::vector<std::uint8_t> quantized(const std::vector<std::uint8_t>& floats, double maximum) {
  const std::size_t n = floats.size() / sizeof(float);
  std::vector<std::uint8_t> bytes(n * sizeof(T));
  const float* in = reinterpret_cast<const float*>(floats.data());
  T* out = reinterpret_cast<T*>(bytes.data());
  foundation::parallelForRange(
      0, std::int64_t(n / 4),
      [&](std::int64_t begin, std::int64_t end) {
        for (std::size_t i = std::size_t(begin) * 4; i < std::size_t(end) * 4; i += 4) {
          float a = std::clamp(in[i + 3], 0.0f, 1.0f);
          for (int c = 0; c < 3; ++c) out[i + c] = T(std::lround(std::clamp(in[i + c], 0.0f, a) * maximum));
          out[i + 3] = T(std::lround(a * maximum));
        }
      },
      4096);
  return bytes;
}

// Working-space floats converted in place into space (an RGB space with a
// profile), so that quantising them keeps colours outside the working
// space's gamut.
void convertFromWorkingSpace(std::vector<std::uint8_t>& floats, const raster::ColorSpace& space,
                             std::int64_t width, std::int64_t height) {
  auto conversion = raster::ColorConversion::between(workingColorSpace().get(), &space);
  if (!conversion) return;
  float* pixels = reinterpret_cast<float*>(floats.data());
  const std::size_t rowFloats = std::size_t(width) * 4;
  foundation::parallelForRange(
      0, height,
      [&](std::int64_t begin, std::int64_t end) {
        std::vector<float> row(rowFloats), scratch(rowFloats);
        for (std::int64_t y = begin; y < end; ++y) {
          float* line = pixels + std::size_t(y) * rowFloats;
          std::copy_n(line, rowFloats, row.data());
          conversion->convertRow(row.data(), line, width, scratch.data());
        }
      },
      std::max<std::int64_t>(1, 4096 / width));
}

// Uninitialised floats, or nullptr (logged) when memory cannot be had.
std::shared_ptr<float[]> floatBuffer(std::size_t count) {
  try {
    return std::shared_ptr<float[]>(new float[count]);
  } catch (const std::bad_alloc&) {
    foundation::log("ci: no memory for {} floats of rendering", count);
    return nullptr;
  }
}

// Rows per band for a draw width pixels wide: whole rows of tiles that
// stay in the processor's cache while they are rendered and then stored
// (at least one row of tiles), or, where one row of tiles would pass the
// memory bound, as many rows as that bound allows.
std::int64_t bandRows(std::int64_t width, std::int64_t tileSize) {
  const std::int64_t floatsPerRow = width * 4;
  std::int64_t rows = Context::kCachedBandFloats / floatsPerRow;
  rows = std::max(tileSize, rows - rows % tileSize);
  if (rows * floatsPerRow <= Context::kBandFloats) return rows;
  return std::max(Context::kMinimumBandHeight, Context::kBandFloats / floatsPerRow);
}

// A buffer of count floats for the tile the calling thread renders: the
// thread's own, reused from tile to tile while no image keeps it (a tile
// drawn inside another on the same thread gets a new one), so that a batch
// drawing on every thread does not take the allocator's lock per tile.
std::shared_ptr<float[]> tileBuffer(std::size_t count) {
  constexpr std::size_t kKeptFloats = std::size_t(1) << 20;  // 4 MB
  thread_local std::shared_ptr<float[]> kept;
  thread_local std::size_t keptCount = 0;
  if (kept && kept.use_count() == 1 && keptCount >= count) return kept;
  std::shared_ptr<float[]> fresh = floatBuffer(count);
  if (fresh && count <= kKeptFloats && (!kept || kept.use_count() == 1)) kept = fresh, keptCount = count;
  return fresh;
}

// Draws rendered rows (pixels, the highest row first) of graph region
// rows at an offset of dx, dy; false when they cannot be wrapped.
bool drawFloats(raster::BitmapContext& target, const std::shared_ptr<float[]>& pixels, const PixelRegion& rows,
                std::int64_t dx, std::int64_t dy) {
  const raster::ImageRef image = raster::Image::wrap(
      rows.width, rows.height, raster::PixelFormat::rgbaFloat(), workingColorSpace(), pixels,
      reinterpret_cast<const std::uint8_t*>(pixels.get()), std::size_t(rows.width) * 4 * sizeof(float));
  if (!image) return false;
  target.drawImage(image, rectOf(PixelRegion{rows.x + dx, rows.y + dy, rows.width, rows.height}));
  return true;
}

}  // namespace

ContextRef Context::withBitmapContext(raster::BitmapContext& target, Options options) {
  return ContextRef(new Context(target, options));
}

void Context::drawImage(const ImageRef& image, const raster::Rect& inRect, const raster::Rect& fromRect) {
  if (!image || !drawable(inRect) || !drawable(fromRect)) return;
  const raster::Rect from = fromRect.standardized(), in = inRect.standardized();
  PixelRegion region = pixelsCentredIn(in);
  if (target_->ctm().isIdentity()) region = region.intersection(pixelsTouching(target_->clipBoundingBox()));
  if (region.isEmpty()) return;
  // A move by whole pixels renders the image's own pixels at an offset
  // rather than through a copying node.
  std::int64_t dx = 0, dy = 0;
  ImageRef graph;
  const double moveX = in.minX() - from.minX(), moveY = in.minY() - from.minY();
  if (in.width() == from.width() && in.height() == from.height() && moveX == std::round(moveX) &&
      moveY == std::round(moveY)) {
    // A bitmap moved by whole pixels, within its own bounds, into whole
    // pixels: the bitmap context draws it itself, converting its colour
    // once (or copying it) instead of into the working space and back.
    const raster::ImageRef bitmap = image->sourceBitmap();
    if (bitmap && target_->ctm().isIdentity() && isWholePixels(in) &&
        image->extent().intersection(from) == from) {
      target_->saveGState();
      target_->clipToRect(in);
      const raster::Rect& extent = image->extent();
      target_->drawImage(bitmap, raster::Rect(extent.minX() + moveX, extent.minY() + moveY, extent.width(),
                                              extent.height()));
      target_->restoreGState();
      return;
    }
    dx = std::int64_t(moveX), dy = std::int64_t(moveY);
    graph = image->cropped(from);
  } else {
    graph = placed(image, in, from);
  }
  if (!graph) return;
  const std::int64_t tileSize = std::max<std::int64_t>(16, currentTileSize());
  const PixelRegion source{region.x - dx, region.y - dy, region.width, region.height};
  RenderPlan plan(graph);
  plan.prepare();
  // Where draws of separate pixels may run at once, each tile is drawn as
  // soon as it is rendered, while it is in cache: one parallel loop, no
  // band to wait for.
  if (target_->prepareConcurrentDraws()) {
    foundation::parallelFor(0, tileCount(source, tileSize), [&](std::int64_t t) {
      const PixelRegion tile = tileOf(source, tileSize, t);
      const std::size_t floatsPerRow = std::size_t(tile.width) * 4;
      const std::shared_ptr<float[]> pixels = tileBuffer(std::size_t(tile.height) * floatsPerRow);
      if (!pixels) return;
      plan.renderTileInto(tile, tile, pixels.get(), floatsPerRow);
      drawFloats(*target_, pixels, tile, dx, dy);
    });
    return;
  }
  const std::int64_t bandHeight = std::min(region.height, bandRows(region.width, tileSize));
  const std::size_t floatsPerRow = std::size_t(region.width) * 4;
  // One band buffer for the whole draw; every pixel of it is rendered, so
  // it needs no clearing.
  std::shared_ptr<float[]> band = floatBuffer(std::size_t(bandHeight) * floatsPerRow);
  if (!band) return;
  // Bands from the top down, each drawn as one image.
  for (std::int64_t top = source.maxY(); top > source.y; top -= bandHeight) {
    const std::int64_t bottom = std::max(source.y, top - bandHeight);
    const PixelRegion rows{source.x, bottom, source.width, top - bottom};
    foundation::parallelFor(0, tileCount(rows, tileSize), [&](std::int64_t t) {
      plan.renderTileInto(tileOf(rows, tileSize, t), rows, band.get(), floatsPerRow);
    });
    if (!drawFloats(*target_, band, rows, dx, dy)) return;
    // Should the context have kept the image, the next band gets new memory.
    if (band.use_count() > 1 && !(band = floatBuffer(std::size_t(bandHeight) * floatsPerRow))) return;
  }
}

raster::ImageRef Context::createImage(const ImageRef& image, const raster::Rect& rect) const {
  if (!image || !drawable(rect)) return nullptr;
  PixelRegion region = pixelsTouching(rect.standardized());
  if (region.isEmpty() || region.width > kFarPixel / region.height) return nullptr;
  std::vector<std::uint8_t> bytes;
  try {
    bytes.resize(std::size_t(region.area()) * 4 * sizeof(float));
  } catch (const std::bad_alloc&) {
    foundation::log("ci: no memory to render a {}x{} image", region.width, region.height);
    return nullptr;
  }
  renderRegion(image, region, reinterpret_cast<float*>(bytes.data()), std::size_t(region.width) * 4);
  const int bits = target_->format().bitsPerComponent;
  if (bits == 32) return floatImage(region.width, region.height, std::move(bytes));
  // Integer components clamp: they hold the context's own RGB space, whose
  // gamut the working space need not contain.
  raster::ColorSpaceRef space = workingColorSpace();
  const raster::ColorSpaceRef& own = target_->colorSpace();
  if (own && own->model() == raster::ColorModel::RGB && own->profile()) {
    convertFromWorkingSpace(bytes, *own, region.width, region.height);
    space = own;
  }
  if (bits == 16) {
    return raster::Image::make(region.width, region.height, {16, 3, raster::AlphaInfo::PremultipliedLast},
                               space, quantized<std::uint16_t>(bytes, 65535.0));
  }
  return raster::Image::make(region.width, region.height, raster::PixelFormat::rgba8(), space,
                             quantized<std::uint8_t>(bytes, 255.0));
}

}  // namespace ci
