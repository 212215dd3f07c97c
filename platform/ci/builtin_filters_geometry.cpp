// Geometric built-in filters: affine transform and clamp, crop, Lanczos
// scaling and stretch-and-crop.

#include <algorithm>
#include <cmath>

#include "platform/ci/builtin_filters.h"
#include "platform/ci/pixel_region.h"

namespace ci {

namespace {

// Crops by cropAmount towards the target's proportions, scales the crop to
// the target size, and with centerStretch > 0 moves the remaining
// distortion towards the centre, keeping the edges at natural proportions.
ImageRef stretchCrop(const ImageRef& input, double targetWidth, double targetHeight, double cropAmount,
                     double centerStretch) {
  if (!input || isInfinite(input->extent())) return nullptr;
  const raster::Rect e = input->extent();
  const double W = std::round(targetWidth), H = std::round(targetHeight);
  if (e.width() <= 0 || e.height() <= 0 || !(W >= 1) || !(H >= 1)) return nullptr;
  cropAmount = std::clamp(cropAmount, 0.0, 1.0);
  centerStretch = std::clamp(centerStretch, 0.0, 1.0);
  const double sourceAspect = e.width() / e.height(), targetAspect = W / H;
  double cw = e.width(), ch = e.height();
  const bool horizontal = sourceAspect > targetAspect;
  if (horizontal) {
    cw = e.width() + (e.height() * targetAspect - e.width()) * cropAmount;
  } else {
    ch = e.height() + (e.width() / targetAspect - e.height()) * cropAmount;
  }
  const double cx = e.minX() + (e.width() - cw) / 2, cy = e.minY() + (e.height() - ch) / 2;
  const double sx = W / cw, sy = H / ch;
  ImageRef fitted = Image::scaled(input->transformed(raster::AffineTransform::translation(-cx, -cy)), sx, sy,
                                  ResamplingKernel::Bilinear);
  if (!fitted) return nullptr;
  fitted = fitted->cropped(raster::Rect(0, 0, W, H));
  // ρ: the stretched axis's scale relative to the other; at most 2.9 keeps
  // the centre-weighted map monotone.
  double rho = horizontal ? sx / sy : sy / sx;
  if (centerStretch == 0 || std::abs(rho - 1) < 1e-9) return fitted;
  rho = std::clamp(rho, 0.05, 2.9);
  const double length = horizontal ? W : H;
  auto map = [=](double t) {
    double h = t - 3 * t * t + 2 * t * t * t;
    return (1 - centerStretch) * t + centerStretch * (t + (rho - 1) * h);
  };
  WarpFunction warp = [=](std::int64_t x, std::int64_t y, std::int64_t count, double* points) {
    for (std::int64_t i = 0; i < count; ++i) {
      double px = double(x + i) + 0.5, py = double(y) + 0.5;
      if (horizontal) {
        px = length * map(std::clamp(px / length, 0.0, 1.0));
      } else {
        py = length * map(std::clamp(py / length, 0.0, 1.0));
      }
      points[i * 2] = px, points[i * 2 + 1] = py;
    }
  };
  RegionOfInterestFunction roi = [=](const raster::Rect& r) {
    if (horizontal) {
      double a = length * map(std::clamp(r.minX() / length, 0.0, 1.0));
      double b = length * map(std::clamp(r.maxX() / length, 0.0, 1.0));
      return raster::Rect(a, r.minY(), b - a, r.height());
    }
    double a = length * map(std::clamp(r.minY() / length, 0.0, 1.0));
    double b = length * map(std::clamp(r.maxY() / length, 0.0, 1.0));
    return raster::Rect(r.minX(), a, r.width(), b - a);
  };
  // Clamped, so that samples near the edges do not mix in transparency.
  return Image::warped(fitted->clampedToExtent(), raster::Rect(0, 0, W, H), warp, roi);
}

}  // namespace

void addGeometryFilters(BuiltinFilterTable& table) {
  table["CIAffineTransform"] = {{{"inputTransform", raster::AffineTransform{}}},
                                [](const Filter& f) -> ImageRef {
                                  ImageRef in = f.image(kInputImageKey);
                                  return in ? in->transformed(f.transform("inputTransform")) : nullptr;
                                }};
  table["CIAffineClamp"] = {{{"inputTransform", raster::AffineTransform{}}}, [](const Filter& f) -> ImageRef {
                              ImageRef in = f.image(kInputImageKey);
                              if (!in) return nullptr;
                              ImageRef moved = in->transformed(f.transform("inputTransform"));
                              return moved ? moved->clampedToExtent() : nullptr;
                            }};
  const raster::Rect infinite = infiniteRect();
  table["CICrop"] = {
      {{"inputRectangle", Vector{infinite.minX(), infinite.minY(), infinite.width(), infinite.height()}}},
      [](const Filter& f) -> ImageRef {
        ImageRef in = f.image(kInputImageKey);
        if (!in) return nullptr;
        Vector r = f.vector("inputRectangle");
        return in->cropped(raster::Rect(r.at(0), r.at(1), r.at(2), r.at(3)));
      }};
  table["CILanczosScaleTransform"] = {
      {{"inputScale", 1.0}, {"inputAspectRatio", 1.0}}, [](const Filter& f) -> ImageRef {
        ImageRef in = f.image(kInputImageKey);
        if (!in) return nullptr;
        double scale = f.number("inputScale", 1), aspect = f.number("inputAspectRatio", 1);
        return Image::scaled(in, scale * aspect, scale, ResamplingKernel::Lanczos3);
      }};
  table["CIStretchCrop"] = {
      {{"inputSize", Vector{1280, 720}}, {"inputCropAmount", 0.25}, {"inputCenterStretchAmount", 0.25}},
      [](const Filter& f) -> ImageRef {
        Vector size = f.vector("inputSize");
        return stretchCrop(f.image(kInputImageKey), size.at(0), size.at(1), f.number("inputCropAmount"),
                           f.number("inputCenterStretchAmount"));
      }};
}

}  // namespace ci
