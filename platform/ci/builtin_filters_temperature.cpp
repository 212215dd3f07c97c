// CITemperatureAndTint (inputNeutral = (6500, 0), inputTargetNeutral =
// (6500, 0); each vector is (kelvin, tint)). The white point of each vector
// lies on the CIE daylight locus (Planckian locus below 4000 K; kelvin kept
// within 1667 to 25000), moved by tint/3000 across the locus in CIE 1960 uv
// (positive towards magenta). Linear working values are adapted from the
// neutral's white to the target's by the Bradford transform, through the
// working space's RGB→XYZ matrix: a colour of the neutral's temperature
// becomes the target's, so a high neutral warms and a low one cools.

#include <array>
#include <cmath>

#include "platform/ci/builtin_filters.h"
#include "platform/ci/color_kernel.h"
#include "platform/ci/working_space.h"

namespace ci {

namespace {

using color::inverse;
using Matrix3 = color::Matrix3x3;

struct Chromaticity {
  double x, y;
};

Chromaticity locus(double kelvin) {
  const double t = std::clamp(kelvin, 1667.0, 25000.0);
  const double t2 = t * t, t3 = t2 * t;
  if (t >= 4000) {
    const double x = t <= 7000 ? -4.6070e9 / t3 + 2.9678e6 / t2 + 0.09911e3 / t + 0.244063
                               : -2.0064e9 / t3 + 1.9018e6 / t2 + 0.24748e3 / t + 0.237040;
    return {x, -3.0 * x * x + 2.870 * x - 0.275};
  }
  const double x = -0.2661239e9 / t3 - 0.2343589e6 / t2 + 0.8776956e3 / t + 0.179910;
  const double x2 = x * x, x3 = x2 * x;
  const double y = t <= 2222 ? -1.1063814 * x3 - 1.34811020 * x2 + 2.18555832 * x - 0.20219683
                             : -0.9549476 * x3 - 1.37418593 * x2 + 2.09137015 * x - 0.16748867;
  return {x, y};
}

// XYZ (Y = 1) of the white named by (kelvin, tint).
std::array<double, 3> whiteOf(double kelvin, double tint) {
  if (!std::isfinite(kelvin)) kelvin = 6500;
  if (!std::isfinite(tint)) tint = 0;
  tint = std::clamp(tint, -150.0, 150.0);
  const auto toUV = [](Chromaticity c) {
    const double d = -2 * c.x + 12 * c.y + 3;
    return std::array<double, 2>{4 * c.x / d, 6 * c.y / d};
  };
  std::array<double, 2> uv = toUV(locus(kelvin));
  if (tint != 0) {
    const std::array<double, 2> ahead = toUV(locus(std::clamp(kelvin, 1667.0, 25000.0) + 10));
    double du = ahead[0] - uv[0], dv = ahead[1] - uv[1];
    const double length = std::hypot(du, dv);
    if (length > 0) {
      // Rotated a quarter turn: across the locus, away from green.
      uv[0] += dv / length * tint / 3000.0;
      uv[1] -= du / length * tint / 3000.0;
    }
  }
  const double d = 2 * uv[0] - 8 * uv[1] + 4;
  const double x = 3 * uv[0] / d, y = 2 * uv[1] / d;
  return {x / y, 1.0, (1 - x - y) / y};
}

ImageRef temperatureAndTint(const Filter& f) {
  ImageRef in = f.image(kInputImageKey);
  if (!in) return nullptr;
  const Vector neutral = f.vector("inputNeutral", Vector{6500, 0});
  const Vector target = f.vector("inputTargetNeutral", Vector{6500, 0});
  if (neutral.at(0) == target.at(0) && neutral.at(1) == target.at(1)) return in;
  static constexpr Matrix3 kBradford = {0.8951, 0.2664, -0.1614, -0.7502, 1.7135,
                                        0.0367, 0.0389, -0.0685, 1.0296};
  const std::array<double, 3> source = whiteOf(neutral.at(0), neutral.at(1));
  const std::array<double, 3> destination = whiteOf(target.at(0), target.at(1));
  Matrix3 scale{};
  for (int i = 0; i < 3; ++i) {
    double s = 0, d = 0;
    for (int k = 0; k < 3; ++k) {
      s += kBradford[std::size_t(i * 3 + k)] * source[std::size_t(k)];
      d += kBradford[std::size_t(i * 3 + k)] * destination[std::size_t(k)];
    }
    scale[std::size_t(i * 4)] = d / s;
  }
  const color::MatrixShaper& working = workingMatrixShaper();
  const Matrix3 adaptXYZ = color::product(inverse(kBradford), color::product(scale, kBradford));
  const Matrix3 adaptRGB =
      color::product(inverse(working.rgbToXYZ), color::product(adaptXYZ, working.rgbToXYZ));
  std::array<float, 9> m{};
  for (std::size_t k = 0; k < 9; ++k) m[k] = float(adaptRGB[k]);
  const float gamma = float(working.gamma), inverseGamma = float(1.0 / working.gamma);
  return colorkernel::straightColor(in, [m, gamma, inverseGamma](const float* p, float* o) {
    float linear[3];
    for (int c = 0; c < 3; ++c) linear[c] = colorkernel::signedPower(p[c], gamma);
    for (int c = 0; c < 3; ++c) {
      const float v = m[std::size_t(c * 3)] * linear[0] + m[std::size_t(c * 3 + 1)] * linear[1] +
                      m[std::size_t(c * 3 + 2)] * linear[2];
      o[c] = colorkernel::signedPower(v, inverseGamma);
    }
    o[3] = p[3];
  });
}

}  // namespace

void addTemperatureFilters(BuiltinFilterTable& table) {
  table["CITemperatureAndTint"] = {
      {{"inputNeutral", Vector{6500, 0}}, {"inputTargetNeutral", Vector{6500, 0}}}, temperatureAndTint};
}

}  // namespace ci
