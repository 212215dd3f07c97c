#include "platform/raster/image_set.h"

#include <algorithm>

namespace raster {

ImageSet ImageSet::withRepresentation(BitmapImageRepRef rep) {
  ImageSet set;
  if (rep) {
    set.size_ = rep->size();
    set.reps_.push_back(std::move(rep));
  }
  return set;
}

void ImageSet::addRepresentation(BitmapImageRepRef rep) {
  if (rep) reps_.push_back(std::move(rep));
}

void ImageSet::removeRepresentation(const BitmapImageRepRef& rep) {
  reps_.erase(std::remove(reps_.begin(), reps_.end(), rep), reps_.end());
}

BitmapImageRepRef ImageSet::largestRepresentation() const {
  BitmapImageRepRef best;
  for (const auto& rep : reps_) {
    if (!best || rep->pixelsWide() * rep->pixelsHigh() > best->pixelsWide() * best->pixelsHigh()) best = rep;
  }
  return best;
}

}  // namespace raster
