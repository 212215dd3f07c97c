#pragma once
// Premultiplied float RGBA pixels of one region of the graph, rows in y-up
// order (row 0 is the region's lowest row).

#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <memory>

#include "platform/ci/pixel_region.h"

namespace ci {

class TileBuffer {
 public:
  TileBuffer() = default;
  explicit TileBuffer(const PixelRegion& region) { reset(region); }

  // Resizes to region and zeroes every pixel (reusing the memory held).
  void reset(const PixelRegion& region) {
    resetUninitialized(region);
    std::fill_n(pixels_.get(), size_, 0.0f);
  }
  // Resizes to region leaving the pixels undefined, for a node that writes
  // every one of them.
  void resetUninitialized(const PixelRegion& region) {
    region_ = region.isEmpty() ? PixelRegion{} : region;
    size_ = std::size_t(region_.area()) * 4;
    if (size_ > capacity_) {
      pixels_.reset();
      pixels_ = std::make_unique_for_overwrite<float[]>(size_);
      capacity_ = size_;
    }
  }
  // Empties the buffer; keepMemory holds on to the allocation for reuse.
  void release(bool keepMemory = false) {
    region_ = {};
    size_ = 0;
    if (!keepMemory) pixels_.reset(), capacity_ = 0;
  }

  const PixelRegion& region() const { return region_; }
  std::size_t capacityInFloats() const { return capacity_; }
  std::size_t floatsPerRow() const { return std::size_t(region_.width) * 4; }
  // Pixel (x, y) in graph coordinates; must lie inside region().
  float* at(std::int64_t x, std::int64_t y) {
    return pixels_.get() +
           (std::size_t(y - region_.y) * std::size_t(region_.width) + std::size_t(x - region_.x)) * 4;
  }
  const float* at(std::int64_t x, std::int64_t y) const {
    return pixels_.get() +
           (std::size_t(y - region_.y) * std::size_t(region_.width) + std::size_t(x - region_.x)) * 4;
  }
  float* row(std::int64_t y) { return at(region_.x, y); }
  const float* row(std::int64_t y) const { return at(region_.x, y); }
  float* data() { return pixels_.get(); }
  const float* data() const { return pixels_.get(); }

 private:
  PixelRegion region_;
  std::unique_ptr<float[]> pixels_;
  std::size_t size_ = 0, capacity_ = 0;
};

}  // namespace ci
