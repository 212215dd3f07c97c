// Generator built-in filters: linear, smooth linear and radial gradients
// and a deterministic random image. Gradients are evaluated at pixel
// centres and interpolate premultiplied colour; where the two points (or
// radii) coincide there is no direction to go along, and the whole plane
// takes the first colour.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/ci/builtin_filters.h"

namespace ci {

namespace {

// Finite components, alpha in [0, 1], premultiplied.
struct Premultiplied {
  float c[4];
  explicit Premultiplied(const Color& color) {
    auto finite = [](double v) { return std::isfinite(v) ? v : 0.0; };
    const double alpha = std::clamp(finite(color.alpha), 0.0, 1.0);
    c[0] = float(finite(color.red) * alpha), c[1] = float(finite(color.green) * alpha);
    c[2] = float(finite(color.blue) * alpha), c[3] = float(alpha);
  }
};

// The gradient image: t(px, py) in [0, 1] mixes colour 0 into colour 1.
template <typename Parameter>
ImageRef gradientImage(const Color& color0, const Color& color1, Parameter parameter) {
  const Premultiplied c0(color0), c1(color1);
  return Image::generated(infiniteRect(),
                          [=](std::int64_t x, std::int64_t y, std::int64_t count, float* out) {
                            const double py = double(y) + 0.5;
                            for (std::int64_t i = 0; i < count; ++i, out += 4) {
                              const float t = float(parameter(double(x + i) + 0.5, py));
                              for (int c = 0; c < 4; ++c) out[c] = c0.c[c] + (c1.c[c] - c0.c[c]) * t;
                            }
                          });
}

double unitClamp(double t) {
  return t > 0 ? std::min(t, 1.0) : 0.0;  // NaN gives 0
}

ImageRef linearGradient(const Filter& f, bool smooth) {
  const Vector p0 = f.vector("inputPoint0"), p1 = f.vector("inputPoint1");
  const double x0 = p0.at(0), y0 = p0.at(1), dx = p1.at(0) - x0, dy = p1.at(1) - y0;
  const double length2 = dx * dx + dy * dy;
  const bool degenerate =
      !(length2 > 0) || !std::isfinite(length2) || !std::isfinite(x0) || !std::isfinite(y0);
  const double ux = degenerate ? 0 : dx / length2, uy = degenerate ? 0 : dy / length2;
  const Color c0 = f.color("inputColor0", Color::white()), c1 = f.color("inputColor1", Color::black());
  return gradientImage(c0, c1, [=](double px, double py) {
    if (degenerate) return 0.0;
    const double t = unitClamp((px - x0) * ux + (py - y0) * uy);
    return smooth ? t * t * (3 - 2 * t) : t;
  });
}

ImageRef radialGradient(const Filter& f) {
  const Vector centre = f.vector("inputCenter");
  const double cx = centre.at(0), cy = centre.at(1);
  const double r0 = f.number("inputRadius0"), r1 = f.number("inputRadius1");
  const double span = r1 - r0;
  const bool degenerate =
      !(std::abs(span) > 0) || !std::isfinite(span) || !std::isfinite(cx) || !std::isfinite(cy);
  const Color c0 = f.color("inputColor0", Color::white()), c1 = f.color("inputColor1", Color::black());
  return gradientImage(c0, c1, [=](double px, double py) {
    if (degenerate) return 0.0;
    return unitClamp((std::hypot(px - cx, py - cy) - r0) / span);
  });
}

// A well-mixed 64-bit hash of a pixel position.
std::uint64_t positionHash(std::int64_t x, std::int64_t y) {
  std::uint64_t h = std::uint64_t(x) * 0x9E3779B97F4A7C15ull ^ (std::uint64_t(y) + 0x632BE59BD9B4E019ull);
  h ^= h >> 30, h *= 0xBF58476D1CE4E5B9ull;
  h ^= h >> 27, h *= 0x94D049BB133111EBull;
  h ^= h >> 31;
  h += std::uint64_t(y) * 0xD6E8FEB86659FD93ull;
  h ^= h >> 32, h *= 0x9E3779B97F4A7C15ull;
  return h ^ (h >> 29);
}

}  // namespace

void addGeneratorFilters(BuiltinFilterTable& table) {
  const std::vector<std::pair<std::string, FilterValue>> linearDefaults = {{"inputPoint0", Vector{0, 0}},
                                                                           {"inputPoint1", Vector{200, 200}},
                                                                           {"inputColor0", Color::white()},
                                                                           {"inputColor1", Color::black()}};
  table["CILinearGradient"] = {linearDefaults, [](const Filter& f) { return linearGradient(f, false); }};
  table["CISmoothLinearGradient"] = {linearDefaults, [](const Filter& f) { return linearGradient(f, true); }};
  table["CIRadialGradient"] = {{{"inputCenter", Vector{150, 150}},
                                {"inputRadius0", 5.0},
                                {"inputRadius1", 100.0},
                                {"inputColor0", Color::white()},
                                {"inputColor1", Color::black()}},
                               radialGradient};
  // Four independent uniform numbers in [0, 1) per pixel: straight red,
  // green, blue and alpha, a function of the position alone.
  table["CIRandomGenerator"] = {{}, [](const Filter&) {
                                  return Image::generated(infiniteRect(), [](std::int64_t x, std::int64_t y,
                                                                             std::int64_t count, float* out) {
                                    for (std::int64_t i = 0; i < count; ++i, out += 4) {
                                      const std::uint64_t h = positionHash(x + i, y);
                                      const float scale = 1.0f / 65536.0f;
                                      const float a = float(h & 0xFFFF) * scale;
                                      out[0] = float((h >> 16) & 0xFFFF) * scale * a;
                                      out[1] = float((h >> 32) & 0xFFFF) * scale * a;
                                      out[2] = float(h >> 48) * scale * a;
                                      out[3] = a;
                                    }
                                  });
                                }};
}

}  // namespace ci
