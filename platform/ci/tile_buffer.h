#pragma once
// Premultiplied float RGBA pixels of one region of the graph, rows in y-up
// order (row 0 is the region's lowest row).

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/ci/pixel_region.h"

namespace ci {

class TileBuffer {
 public:
  TileBuffer() = default;
  explicit TileBuffer(const PixelRegion& region) { reset(region); }

  // Resizes to region and zeroes every pixel (reusing the memory held).
  void reset(const PixelRegion& region) {
    region_ = region.isEmpty() ? PixelRegion{} : region;
    pixels_.assign(std::size_t(region_.area()) * 4, 0.0f);
  }
  // Empties the buffer; keepMemory holds on to the allocation for reuse.
  void release(bool keepMemory = false) {
    region_ = {};
    if (keepMemory) {
      pixels_.clear();
    } else {
      std::vector<float>().swap(pixels_);
    }
  }

  const PixelRegion& region() const { return region_; }
  std::size_t capacityInFloats() const { return pixels_.capacity(); }
  std::size_t floatsPerRow() const { return std::size_t(region_.width) * 4; }
  // Pixel (x, y) in graph coordinates; must lie inside region().
  float* at(std::int64_t x, std::int64_t y) {
    return pixels_.data() +
           (std::size_t(y - region_.y) * std::size_t(region_.width) + std::size_t(x - region_.x)) * 4;
  }
  const float* at(std::int64_t x, std::int64_t y) const {
    return pixels_.data() +
           (std::size_t(y - region_.y) * std::size_t(region_.width) + std::size_t(x - region_.x)) * 4;
  }
  float* row(std::int64_t y) { return at(region_.x, y); }
  const float* row(std::int64_t y) const { return at(region_.x, y); }
  float* data() { return pixels_.data(); }
  const float* data() const { return pixels_.data(); }

 private:
  PixelRegion region_;
  std::vector<float> pixels_;
};

}  // namespace ci
