#include "platform/ci/image.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "platform/ci/image_nodes.h"

namespace ci {

namespace {

// Transform entries this close to a whole number are taken as that number,
// so that turns built from sines and cosines stay exact.
double snapped(double v) {
  double r = std::round(v);
  return std::abs(v - r) < 1e-9 ? r : v;
}

int signOf(double v) {
  return v < 0 ? -1 : 1;
}

}  // namespace

raster::Rect infiniteRect() {
  const double far = std::numeric_limits<double>::max() / 4;
  return raster::Rect(-far, -far, 2 * far, 2 * far);
}

bool isInfinite(const raster::Rect& rect) {
  return rect.width() >= 1e300 || rect.height() >= 1e300 || !std::isfinite(rect.width()) ||
         !std::isfinite(rect.height());
}

Image::Image(const raster::Rect& extent, std::vector<ImageRef> inputs)
    : extent_(extent.standardized()), domain_(pixelsCentredIn(extent_)), inputs_(std::move(inputs)) {}

void Image::inputRegions(const PixelRegion& region, std::vector<PixelRegion>& out) const {
  out.assign(inputs_.size(), region);
  for (std::size_t i = 0; i < inputs_.size(); ++i) out[i] = region.intersection(inputs_[i]->domain());
}

ImageRef Image::transformed(const raster::AffineTransform& transform) const {
  raster::AffineTransform t = transform;
  t.a = snapped(t.a), t.b = snapped(t.b), t.c = snapped(t.c), t.d = snapped(t.d);
  if (t.isIdentity()) return self();
  if (t.b == 0 && t.c == 0 && t.a != 0 && t.d != 0) {
    ImageRef turned = self();
    if (t.a < 0 || t.d < 0) turned = nodes::permute(turned, signOf(t.a), 0, 0, signOf(t.d));
    return nodes::axisScale(turned, std::abs(t.a), std::abs(t.d), t.tx, t.ty, ResamplingKernel::Bilinear);
  }
  if (t.a == 0 && t.d == 0 && t.b != 0 && t.c != 0) {
    // (x, y) → (c·y, b·x): a quarter turn or transpose, then a scale.
    ImageRef turned = nodes::permute(self(), 0, signOf(t.c), signOf(t.b), 0);
    return nodes::axisScale(turned, std::abs(t.c), std::abs(t.b), t.tx, t.ty, ResamplingKernel::Bilinear);
  }
  if (!transform.inverted()) return nullptr;
  return nodes::affineBilinear(self(), transform);
}

ImageRef Image::cropped(const raster::Rect& rect) const {
  return nodes::crop(self(), rect);
}

ImageRef Image::clampedToExtent() const {
  return nodes::clamp(self());
}

ImageRef Image::compositedOver(const ImageRef& background) const {
  if (!background) return self();
  return nodes::sourceOver(self(), background);
}

ImageRef Image::scaled(const ImageRef& input, double sx, double sy, ResamplingKernel kernel) {
  if (!input || !(sx > 0) || !(sy > 0) || !std::isfinite(sx) || !std::isfinite(sy)) return nullptr;
  if (sx == 1 && sy == 1) return input;
  return nodes::axisScale(input, sx, sy, 0, 0, kernel);
}

namespace nodes {

void copyOverlap(const TileBuffer& in, TileBuffer& out) {
  PixelRegion overlap = in.region().intersection(out.region());
  if (overlap.isEmpty()) return;
  for (std::int64_t y = overlap.y; y < overlap.maxY(); ++y) {
    std::memcpy(out.at(overlap.x, y), in.at(overlap.x, y), std::size_t(overlap.width) * 4 * sizeof(float));
  }
}

}  // namespace nodes

}  // namespace ci
