// Vignettes and straightening: filters that depend on where a pixel lies
// in the frame.

#include <algorithm>
#include <cmath>

#include "platform/ci/neighbourhood_filters.h"

namespace ci {

namespace {

double boundedOr(double value, double low, double high, double fallback) {
  return std::isnan(value) ? fallback : std::clamp(value, low, high);
}

// Colour scaled by factor(px, py) at every pixel centre; alpha kept.
template <typename Factor>
ImageRef scaledColour(const ImageRef& input, Factor factor) {
  return Image::kernel({input}, input->extent(), [factor](const KernelRow& row) {
    const float* in = row.inputs[0];
    const double py = double(row.y) + 0.5;
    for (std::int64_t i = 0; i < row.count; ++i) {
      const auto f = float(factor(double(row.x + i) + 0.5, py));
      for (int c = 0; c < 3; ++c) row.output[i * 4 + c] = in[i * 4 + c] * f;
      row.output[i * 4 + 3] = in[i * 4 + 3];
    }
  });
}

}  // namespace

ImageRef vignetted(const ImageRef& input, double radius, double intensity) {
  if (!input || isInfinite(input->extent())) return nullptr;
  const raster::Rect e = input->extent();
  const double i = boundedOr(intensity, -2, 100, 0);
  const double r = boundedOr(radius, 1e-3, 1e6, 1);
  const double cx = e.minX() + e.width() / 2, cy = e.minY() + e.height() / 2;
  const double halfDiagonal = std::max(1e-9, std::hypot(e.width(), e.height()) / 2);
  if (i == 0) return input;
  return scaledColour(input, [=](double px, double py) {
    const double t = std::hypot(px - cx, py - cy) / halfDiagonal / r;
    return std::exp(-i * t * t);
  });
}

ImageRef vignetteEffect(const ImageRef& input, raster::Point centre, double radius, double intensity,
                        double falloff) {
  if (!input) return nullptr;
  const double i = boundedOr(intensity, -1, 1, 0);
  const double r = boundedOr(radius, 0, 1e6, 0);
  const double width = boundedOr(falloff, 1e-3, 10, 0.5) * std::max(r, 1.0);
  if (i == 0 || !std::isfinite(centre.x) || !std::isfinite(centre.y)) return input;
  return scaledColour(input, [=](double px, double py) {
    const double d = std::hypot(px - centre.x, py - centre.y);
    if (d <= r) return 1.0;
    const double t = std::min(1.0, (d - r) / width);
    return 1 - i * t * t * (3 - 2 * t);
  });
}

ImageRef straightened(const ImageRef& input, double angle) {
  if (!input || isInfinite(input->extent()) || !std::isfinite(angle)) return nullptr;
  const raster::Rect e = input->extent();
  if (!(e.width() > 0 && e.height() > 0)) return nullptr;
  const double c = std::abs(std::cos(angle)), s = std::abs(std::sin(angle));
  const double scale = std::max(c + s * e.height() / e.width(), c + s * e.width() / e.height());
  const double cx = e.minX() + e.width() / 2, cy = e.minY() + e.height() / 2;
  const raster::AffineTransform turn =
      raster::AffineTransform::translation(cx, cy).concat(raster::AffineTransform::rotation(angle).concat(
          raster::AffineTransform::scaling(scale, scale)
              .concat(raster::AffineTransform::translation(-cx, -cy))));
  ImageRef turned = input->transformed(turn);
  return turned ? turned->cropped(e) : nullptr;
}

}  // namespace ci
