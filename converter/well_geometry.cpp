#include "converter/well_geometry.h"

#include <cmath>

namespace velumar {

namespace {

constexpr double kLargestSide = 10000;
constexpr std::int64_t kLargestPixelCount = 100'000'000;

// The picture scaled to area (w × h cut to integers), each side's ceiling
// taken in single precision.
PixelSize scaledToArea(double area, double width, double height) {
  const double pictureArea = std::trunc(width * height);
  if (!(pictureArea > 0) || !(area > 0)) return {};
  const float scale = std::sqrt(float(area / pictureArea));
  return {std::int64_t(std::ceil(float(width) * scale)), std::int64_t(std::ceil(float(height) * scale))};
}

}  // namespace

PixelSize wellThumbnailSize(raster::Size bounds, raster::Size picture) {
  return scaledToArea(std::trunc(bounds.width * bounds.height), picture.width, picture.height);
}

PixelSize exampleThumbnailSize(raster::Size bounds, PixelSize picture) {
  return scaledToArea(std::trunc(2 * bounds.width * 2 * bounds.height), double(picture.width),
                      double(picture.height));
}

raster::Rect exampleImageRect(raster::Size bounds, raster::Size image, double pixelScaling) {
  if (!(image.width > 0) || !(image.height > 0) || !(pixelScaling > 0)) return {0, 0, 0, 0};
  const float byWidth = float(pixelScaling * bounds.width / image.width);
  const float byHeight = float(pixelScaling * bounds.height / image.height);
  const float scale = std::isnan(byWidth) ? byHeight : std::min(byWidth, byHeight);
  const double width = image.width * double(scale) / pixelScaling;
  const double height = image.height * double(scale) / pixelScaling;
  const auto whole = [](double value) { return double(std::round(float(value))); };
  return {whole((bounds.width - width) / 2), whole((bounds.height - height) / 2), whole(width),
          whole(height)};
}

bool acceptsWellPicture(raster::Size points, PixelSize pixels) {
  const bool sides =
      points.width > 0 && points.width <= kLargestSide && points.height > 0 && points.height <= kLargestSide;
  return sides && pixels.width > 0 && pixels.height > 0 && pixels.width <= kLargestPixelCount / pixels.height;
}

}  // namespace velumar
