#include "engine/finite_float_pixels.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/foundation/log.h"
#include "platform/foundation/parallel.h"

namespace velumar {

namespace {

constexpr std::int64_t kRowGrain = 16;

float finiteValue(float value) {
  if (std::isnan(value)) return 0.0f;
  return value > 0 ? 1.0f : 0.0f;
}

// Rows in [begin, end) that hold a non-finite component.
bool rowsHaveNonFinite(const std::uint8_t* pixels, std::int64_t begin, std::int64_t end,
                       std::size_t bytesPerRow, std::size_t floatsPerRow) {
  std::vector<float> row(floatsPerRow);
  for (std::int64_t y = begin; y < end; ++y) {
    std::memcpy(row.data(), pixels + std::size_t(y) * bytesPerRow, floatsPerRow * sizeof(float));
    for (float value : row)
      if (!std::isfinite(value)) return true;
  }
  return false;
}

std::size_t floatsPerRowOf(const raster::Image& image) {
  return std::size_t(image.width()) * std::size_t(image.format().componentsPerPixel());
}

}  // namespace

std::int64_t replaceNonFiniteFloats(std::uint8_t* pixels, std::int64_t rows, std::size_t bytesPerRow,
                                    std::size_t floatsPerRow) {
  if (!pixels || rows <= 0 || floatsPerRow == 0) return 0;
  std::atomic<std::int64_t> replaced{0};
  foundation::parallelForRange(
      0, rows,
      [&](std::int64_t begin, std::int64_t end) {
        std::int64_t count = 0;
        for (std::int64_t y = begin; y < end; ++y) {
          // Rows of a context buffer are float-aligned; memcpy keeps this
          // safe for any buffer.
          std::uint8_t* rowBytes = pixels + std::size_t(y) * bytesPerRow;
          for (std::size_t i = 0; i < floatsPerRow; ++i) {
            float value;
            std::memcpy(&value, rowBytes + i * sizeof(float), sizeof(float));
            if (std::isfinite(value)) continue;
            value = finiteValue(value);
            std::memcpy(rowBytes + i * sizeof(float), &value, sizeof(float));
            ++count;
          }
        }
        replaced += count;
      },
      kRowGrain);
  return replaced.load();
}

raster::ImageRef finiteFloatImage(const raster::ImageRef& image) {
  if (!image || !image->format().isFloat()) return image;
  const std::size_t floatsPerRow = floatsPerRowOf(*image);
  std::atomic<bool> dirty{false};
  foundation::parallelForRange(
      0, image->height(),
      [&](std::int64_t begin, std::int64_t end) {
        if (dirty.load(std::memory_order_relaxed)) return;
        if (rowsHaveNonFinite(image->data(), begin, end, image->bytesPerRow(), floatsPerRow)) dirty = true;
      },
      kRowGrain);
  if (!dirty.load()) return image;

  const std::size_t bytesPerRow = floatsPerRow * sizeof(float);
  std::vector<std::uint8_t> pixels(bytesPerRow * std::size_t(image->height()));
  for (std::int64_t y = 0; y < image->height(); ++y)
    std::memcpy(pixels.data() + std::size_t(y) * bytesPerRow, image->row(y), bytesPerRow);
  replaceNonFiniteFloats(pixels.data(), image->height(), bytesPerRow, floatsPerRow);
  raster::ImageRef clean = raster::Image::make(image->width(), image->height(), image->format(),
                                               image->colorSpace(), std::move(pixels), bytesPerRow);
  return clean ? clean : image;
}

void keepContextPixelsFinite(raster::BitmapContext& context, const char* stage) {
  if (!context.format().isFloat()) return;
  const std::size_t floatsPerRow =
      std::size_t(context.width()) * std::size_t(context.format().componentsPerPixel());
  const std::int64_t replaced =
      replaceNonFiniteFloats(context.mutableData(), context.height(), context.bytesPerRow(), floatsPerRow);
  if (replaced > 0) foundation::log("{}: {} non-finite float components replaced", stage, replaced);
}

}  // namespace velumar
