#include "filters/tiny_planet_filter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/ci/filter_attributes.h"
#include "platform/ci/image.h"

namespace velumar {

namespace {

struct Projection {
  double width, height, radius;  // source size; R
  double scale, factor, angle;   // angle in radians, counter-clockwise
  bool invert;

  // Source point (continuous, y up) of the output point (px, py).
  void sourcePoint(double px, double py, double& u, double& v) const {
    const double dx = px - width / 2, dy = height / 2 - py;  // dy measured downwards
    const double turn = std::atan2(dx, dy) - angle;
    u = width / 2 + width * turn / (2 * std::numbers::pi);
    u = std::fmod(u, width);
    if (u < 0) u += width;
    const double rho = std::hypot(dx, dy) / radius / scale;
    double t = rho;
    if (rho < 1 && factor != 1) t = std::log1p((factor - 1) * rho) / std::log(factor);
    v = height * (invert ? 1 - t : t);
  }
};

double boundedOr(double value, double low, double high, double fallback) {
  return std::isfinite(value) ? std::clamp(value, low, high) : fallback;
}

// The input with its left and right strips of fusion × width blended into
// the opposite edges.
ci::ImageRef fusedEdges(const ci::ImageRef& input, double fusion) {
  const raster::Rect e = input->extent();
  const double w = e.width(), strip = fusion * w;
  auto moved = [&](double dx) {
    ci::ImageRef shifted = input->transformed(raster::AffineTransform::translation(dx, 0));
    return shifted ? shifted->cropped(e) : nullptr;
  };
  ci::ImageRef fromRight = moved(-(w - strip)), fromLeft = moved(w - strip);
  if (!fromRight || !fromLeft) return input;
  ci::ImageRef opposite = fromLeft->compositedOver(fromRight);
  auto ramp = [&](double x0, double a0, double x1, double a1) -> ci::ImageRef {
    ci::FilterRef gradient = ci::Filter::withName("CISmoothLinearGradient");
    if (!gradient) return nullptr;
    gradient->setDefaults();
    gradient->setValue("inputPoint0", ci::Vector{e.minX() + x0, 0});
    gradient->setValue("inputColor0", ci::Color{0, 1, 0, a0});
    gradient->setValue("inputPoint1", ci::Vector{e.minX() + x1, 0});
    gradient->setValue("inputColor1", ci::Color{0, 1, 0, a1});
    ci::ImageRef out = gradient->outputImage();
    return out ? out->cropped(e) : nullptr;
  };
  ci::ImageRef rightRamp = ramp(w - strip, 0, w, 1), leftRamp = ramp(0, 1, strip, 0);
  ci::FilterRef add = ci::Filter::withName("CIAdditionCompositing");
  ci::FilterRef blend = ci::Filter::withName("CIBlendWithAlphaMask");
  if (!rightRamp || !leftRamp || !add || !blend) return input;
  add->setValue(ci::kInputBackgroundImageKey, rightRamp);
  add->setValue(ci::kInputImageKey, leftRamp);
  blend->setValue(ci::kInputBackgroundImageKey, input);
  blend->setValue(ci::kInputImageKey, opposite);
  blend->setValue("inputMaskImage", add->outputImage());
  ci::ImageRef fused = blend->outputImage();
  return fused ? fused->cropped(e) : input;
}

}  // namespace

void TinyPlanet::registerFilter() {
  // The published attributes, with the display name and categories.
  foundation::Dictionary attributes = customAttributes();
  attributes.set(ci::kAttributeFilterDisplayName, foundation::Value(kName));
  attributes.set(ci::kAttributeFilterCategories,
                 foundation::Value(foundation::Array{foundation::Value(ci::kCategoryColorAdjustment),
                                                     foundation::Value(ci::kCategoryVideo),
                                                     foundation::Value(ci::kCategoryStillImage)}));
  ci::registerFilterName(kName, filterWithName, std::move(attributes));
}

ci::FilterRef TinyPlanet::filterWithName(const std::string&) {
  return std::make_shared<TinyPlanet>();
}

foundation::Dictionary TinyPlanet::customAttributes() {
  auto scalar = [](double min, double max, double defaultValue, double identity) {
    return foundation::Dictionary{{ci::kAttributeMin, foundation::Value(min)},
                                  {ci::kAttributeMax, foundation::Value(max)},
                                  {ci::kAttributeSliderMin, foundation::Value(min)},
                                  {ci::kAttributeSliderMax, foundation::Value(max)},
                                  {ci::kAttributeDefault, foundation::Value(defaultValue)},
                                  {ci::kAttributeIdentity, foundation::Value(identity)},
                                  {ci::kAttributeType, foundation::Value(ci::kAttributeTypeScalar)}};
  };
  return foundation::Dictionary{{"inputScale", foundation::Value(scalar(0.01, 1.0, 0.45, 1.0))},
                                {"inputPlanetFactor", foundation::Value(scalar(0.1, 10.0, 4.7, 1.0))},
                                {ci::kAttributeFilterName, foundation::Value(kName)}};
}

ci::ImageRef TinyPlanet::outputImage() const {
  const ci::ImageRef input = image(ci::kInputImageKey);
  if (!input || ci::isInfinite(input->extent()) || input->domain().isEmpty()) return nullptr;
  const raster::Rect e = input->extent();
  // Settings beyond the published ranges are held to them.
  const double fusion = boundedOr(double(float(number("inputFusion", 0))), 0, 0.5, 0);
  const double angle = double(float(number("inputAngle", 0)));
  Projection p{e.width(),
               e.height(),
               std::min(e.width(), e.height()) / 2,
               boundedOr(number("inputScale", 1), 0.01, 1, 1),
               boundedOr(number("inputPlanetFactor", 1), 0.1, 10, 1),
               angle < 0 ? angle * std::numbers::pi / 180 : 0,
               number("inputInvert", 0) != 0};

  ci::ImageRef source = fusion > 0 ? fusedEdges(input, fusion) : input;
  // Work at the origin; the result goes back to the input's place.
  source = source->transformed(raster::AffineTransform::translation(-e.minX(), -e.minY()));
  if (!source) return nullptr;
  ci::WarpFunction warp = [p](std::int64_t x, std::int64_t y, std::int64_t count, double* points) {
    for (std::int64_t i = 0; i < count; ++i) {
      p.sourcePoint(double(x + i) + 0.5, double(y) + 0.5, points[2 * i], points[2 * i + 1]);
    }
  };
  // The source rectangle an output rectangle reads: the mapping's bounds
  // along the rectangle's edges (and at the centre when it lies inside);
  // every column when the rectangle spans the seam or the centre.
  ci::RegionOfInterestFunction roi = [p](const raster::Rect& r) {
    double u0 = p.width, u1 = 0, v0 = 1e300, v1 = -1e300, stepU = 0, stepV = 0;
    // Points along each edge, every two pixels or closer; between two of
    // them the mapping goes at most about as far as from one to the next,
    // which the margin adds.
    const int steps = int(std::clamp(std::max(r.width(), r.height()) / 2, 16.0, 4096.0));
    auto walk = [&](double x0, double y0, double x1, double y1) {
      double lastU = 0, lastV = 0;
      for (int i = 0; i <= steps; ++i) {
        double u, v;
        p.sourcePoint(x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps, u, v);
        u0 = std::min(u0, u), u1 = std::max(u1, u), v0 = std::min(v0, v), v1 = std::max(v1, v);
        if (i > 0) {
          const double du = std::abs(u - lastU);
          if (du < p.width / 2) stepU = std::max(stepU, du);  // not across the seam
          stepV = std::max(stepV, std::abs(v - lastV));
        }
        lastU = u, lastV = v;
      }
    };
    walk(r.minX(), r.minY(), r.maxX(), r.minY());
    walk(r.maxX(), r.minY(), r.maxX(), r.maxY());
    walk(r.maxX(), r.maxY(), r.minX(), r.maxY());
    walk(r.minX(), r.maxY(), r.minX(), r.minY());
    const double cx = p.width / 2, cy = p.height / 2;
    const bool centreInside = r.minX() <= cx && cx <= r.maxX() && r.minY() <= cy && cy <= r.maxY();
    if (centreInside) {
      double u, v;
      p.sourcePoint(cx, cy, u, v);
      v0 = std::min(v0, v), v1 = std::max(v1, v);
    }
    if (centreInside || u1 - u0 > p.width / 2) u0 = 0, u1 = p.width;
    const double marginU = stepU + 2, marginV = stepV + 2;
    return raster::Rect(u0 - marginU, v0 - marginV, u1 - u0 + 2 * marginU, v1 - v0 + 2 * marginV);
  };
  ci::ImageRef planet =
      ci::Image::warped(source->clampedToExtent(), raster::Rect(0, 0, e.width(), e.height()), warp, roi);
  if (!planet) return nullptr;
  if (angle > 0) {
    const double w = e.width(), h = e.height(), turn = angle * std::numbers::pi / -180;
    const raster::AffineTransform aboutCentre =
        raster::AffineTransform::translation(w / 2, h / 2)
            .concat(raster::AffineTransform::rotation(turn).concat(
                raster::AffineTransform::translation(-w / 2, -h / 2)));
    planet = planet->transformed(aboutCentre);
    if (!planet) return nullptr;
  }
  planet = planet->transformed(raster::AffineTransform::translation(e.minX(), e.minY()));
  return planet ? planet->cropped(e) : nullptr;
}

}  // namespace velumar
