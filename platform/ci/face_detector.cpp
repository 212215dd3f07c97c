#include "platform/ci/face_detector.h"

#include <algorithm>
#include <cmath>

#include "platform/ci/context.h"
#include "platform/raster/bitmap_context.h"

namespace ci {

namespace {

// Between the gray copy's pixels and the image's coordinates.
raster::AffineTransform copyToImage(double scale, raster::Point origin) {
  return {1 / scale, 0, 0, 1 / scale, origin.x, origin.y};
}

void mapFeature(FaceFeature& feature, const raster::AffineTransform& transform) {
  feature.bounds = transform.applyToRect(feature.bounds);
  for (std::optional<faces::Eye>* eye : {&feature.leftEye, &feature.rightEye}) {
    if (!*eye) continue;
    (*eye)->centre = transform.apply((*eye)->centre);
    (*eye)->width = transform.applyToSize({(*eye)->width, 0}).width;
  }
}

}  // namespace

bool FaceDetector::render(const ImageRef& image, GrayCopy& copy) {
  if (!image || isInfinite(image->extent())) return false;
  const raster::Rect extent = image->extent().standardized();
  const double longer = std::max(extent.width(), extent.height());
  if (!(longer >= 1)) return false;
  copy.scale = std::min(1.0, double(kDetectionSide) / longer);
  copy.origin = extent.origin;
  const auto width = std::max<std::int64_t>(1, std::int64_t(std::round(extent.width() * copy.scale)));
  const auto height = std::max<std::int64_t>(1, std::int64_t(std::round(extent.height() * copy.scale)));
  ImageRef placed =
      image->transformed(raster::AffineTransform::translation(-extent.origin.x, -extent.origin.y));
  if (copy.scale < 1) placed = Image::scaled(placed, copy.scale, copy.scale, ResamplingKernel::Bilinear);
  auto target = raster::BitmapContext::create(
      width, height, raster::PixelFormat{8, 1, raster::AlphaInfo::None}, raster::ColorSpace::genericGray());
  if (!target || !placed) return false;
  // Transparent parts read as white paper, not black.
  target->setFillColor(raster::Color::gray(1.0));
  target->fillRect(raster::Rect(0, 0, double(width), double(height)));
  const raster::Rect whole(0, 0, double(width), double(height));
  Context::withBitmapContext(*target)->drawImage(placed, whole, whole);
  copy.gray.width = width;
  copy.gray.height = height;
  copy.gray.pixels.resize(std::size_t(width * height));
  for (std::int64_t row = 0; row < height; ++row)
    std::copy_n(target->data() + std::size_t(row) * target->bytesPerRow(), width,
                copy.gray.pixels.begin() + std::ptrdiff_t(row * width));
  return true;
}

std::vector<FaceFeature> FaceDetector::featuresInImage(const ImageRef& image, bool eyes) {
  GrayCopy copy;
  if (!render(image, copy)) return {};
  std::vector<FaceFeature> features =
      detector_.detect(copy.gray, faces::DetectionOptions{kHighAccuracyScore, eyes});
  const raster::AffineTransform toImage = copyToImage(copy.scale, copy.origin);
  for (FaceFeature& feature : features) mapFeature(feature, toImage);
  return features;
}

bool FaceDetector::locateEyes(const ImageRef& image, std::vector<FaceFeature>& features) {
  GrayCopy copy;
  if (!render(image, copy)) return false;
  const raster::AffineTransform toImage = copyToImage(copy.scale, copy.origin);
  std::vector<FaceFeature> inCopy = features;
  const std::optional<raster::AffineTransform> toCopy = toImage.inverted();
  if (!toCopy) return false;
  for (FaceFeature& feature : inCopy) mapFeature(feature, *toCopy);
  if (!detector_.locateEyes(copy.gray, inCopy)) return false;
  for (FaceFeature& feature : inCopy) mapFeature(feature, toImage);
  features = std::move(inCopy);
  return true;
}

}  // namespace ci
