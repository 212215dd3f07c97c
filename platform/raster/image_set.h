#pragma once
// A picture as an ordered list of bitmap representations and a size in
// points.

#include <vector>

#include "platform/raster/bitmap_image_rep.h"
#include "platform/raster/geometry.h"

namespace raster {

class ImageSet {
 public:
  ImageSet() = default;
  explicit ImageSet(Size size) : size_(size) {}
  // One representation; the size is the representation's.
  static ImageSet withRepresentation(BitmapImageRepRef rep);

  Size size() const { return size_; }
  void setSize(Size size) { size_ = size; }
  const std::vector<BitmapImageRepRef>& representations() const { return reps_; }
  // Null representations are ignored.
  void addRepresentation(BitmapImageRepRef rep);
  void removeRepresentation(const BitmapImageRepRef& rep);
  bool isEmpty() const { return reps_.empty(); }
  // The representation with the most pixels (the first of equals), or null.
  BitmapImageRepRef largestRepresentation() const;

 private:
  Size size_;
  std::vector<BitmapImageRepRef> reps_;
};

}  // namespace raster
