// Colour and tone adjustments. Each works per pixel on straight colour and
// returns its input unchanged at its identity values. Formulas (c is each
// colour channel, l = 0.2126 r + 0.7152 g + 0.0722 b, alpha is kept):
//
// CIColorControls (inputSaturation s = 1, inputBrightness b = 0,
//   inputContrast k = 1): c' = ((l + s (c - l)) + b - 0.5) k + 0.5.
// CIExposureAdjust (inputEV e = 0): c' = c · 2^e.
// CIGammaAdjust (inputPower p = 1): c' = sign(c) |c|^p.
// CIHueAdjust (inputAngle a = 0, radians): rotation of (r, g, b) by a about
//   the gray axis; a = 2π/3 turns red into green.
// CIVibrance (inputAmount v = 0): with the chroma m = clamp(max - min, 0, 1),
//   c' = l + max(0, 1 + v (1 - m)) (c - l): dull colours gain most.
// CISepiaTone (inputIntensity i = 1): c' = c + i (S·c - c) with the sepia
//   matrix S = [0.393 0.769 0.189; 0.349 0.686 0.168; 0.272 0.534 0.131].
// CIColorInvert: c' = 1 - c.

#include <array>
#include <cmath>

#include "platform/ci/builtin_filters.h"
#include "platform/ci/color_kernel.h"
#include "platform/ci/fast_power.h"

namespace ci {

namespace {

using colorkernel::luma;
using colorkernel::parameter;

// A 3×3 matrix applied to the colour channels.
ImageRef matrixKernel(const ImageRef& in, const std::array<float, 9>& m) {
  return colorkernel::straightColor(in, [m](const float* p, float* o) {
    o[0] = m[0] * p[0] + m[1] * p[1] + m[2] * p[2];
    o[1] = m[3] * p[0] + m[4] * p[1] + m[5] * p[2];
    o[2] = m[6] * p[0] + m[7] * p[1] + m[8] * p[2];
    o[3] = p[3];
  });
}

ImageRef colorControls(const Filter& f) {
  ImageRef in = f.image(kInputImageKey);
  if (!in) return nullptr;
  const float s = parameter(f.number("inputSaturation", 1), 1);
  const float b = parameter(f.number("inputBrightness", 0), 0);
  const float k = parameter(f.number("inputContrast", 1), 1);
  if (s == 1 && b == 0 && k == 1) return in;
  return colorkernel::straightColor(in, [s, b, k](const float* p, float* o) {
    const float l = luma(p);
    for (int c = 0; c < 3; ++c) o[c] = ((l + s * (p[c] - l)) + b - 0.5f) * k + 0.5f;
    o[3] = p[3];
  });
}

ImageRef exposureAdjust(const Filter& f) {
  ImageRef in = f.image(kInputImageKey);
  if (!in) return nullptr;
  const float ev = std::clamp(parameter(f.number("inputEV", 0), 0), -200.0f, 200.0f);
  if (ev == 0) return in;
  const float gain = float(std::exp2(double(ev)));
  return colorkernel::straightColor(in, [gain](const float* p, float* o) {
    o[0] = p[0] * gain, o[1] = p[1] * gain, o[2] = p[2] * gain, o[3] = p[3];
  });
}

ImageRef gammaAdjust(const Filter& f) {
  ImageRef in = f.image(kInputImageKey);
  if (!in) return nullptr;
  const float power = parameter(f.number("inputPower", 1), 1);
  if (power == 1) return in;
  if (colorkernel::fastPowerApplies(power)) {
    return Image::kernel({in}, in->extent(), [power](const KernelRow& row) {
      colorkernel::signedPowerRow(row.inputs[0], row.output, row.count, power);
    });
  }
  return colorkernel::straightColor(in, [power](const float* p, float* o) {
    for (int c = 0; c < 3; ++c) o[c] = colorkernel::signedPower(p[c], power);
    o[3] = p[3];
  });
}

ImageRef hueAdjust(const Filter& f) {
  ImageRef in = f.image(kInputImageKey);
  if (!in) return nullptr;
  const double angle = f.number("inputAngle", 0);
  if (angle == 0 || !std::isfinite(angle)) return in;
  // Rodrigues' rotation about the unit vector (1, 1, 1)/√3.
  const double cosA = std::cos(angle), sinA = std::sin(angle);
  const double t = (1 - cosA) / 3, s = sinA / std::sqrt(3.0);
  const float diagonal = float(cosA + t), plus = float(t + s), minus = float(t - s);
  return matrixKernel(in, {diagonal, minus, plus, plus, diagonal, minus, minus, plus, diagonal});
}

ImageRef vibrance(const Filter& f) {
  ImageRef in = f.image(kInputImageKey);
  if (!in) return nullptr;
  const float amount = parameter(f.number("inputAmount", 0), 0);
  if (amount == 0) return in;
  return colorkernel::straightColor(in, [amount](const float* p, float* o) {
    colorkernel::vibrant(p, amount, o);
    o[3] = p[3];
  });
}

ImageRef sepiaTone(const Filter& f) {
  ImageRef in = f.image(kInputImageKey);
  if (!in) return nullptr;
  const float i = parameter(f.number("inputIntensity", 1), 1);
  if (i == 0) return in;
  static constexpr std::array<float, 9> kSepia = {0.393f, 0.769f, 0.189f, 0.349f, 0.686f,
                                                  0.168f, 0.272f, 0.534f, 0.131f};
  std::array<float, 9> m{};
  for (std::size_t k = 0; k < 9; ++k) m[k] = i * kSepia[k] + (k % 4 == 0 ? 1.0f - i : 0.0f);
  return matrixKernel(in, m);
}

ImageRef colorInvert(const Filter& f) {
  return colorkernel::straightColor(f.image(kInputImageKey), [](const float* p, float* o) {
    o[0] = 1.0f - p[0], o[1] = 1.0f - p[1], o[2] = 1.0f - p[2], o[3] = p[3];
  });
}

}  // namespace

void addColorAdjustmentFilters(BuiltinFilterTable& table) {
  table["CIColorControls"] = {{{"inputSaturation", 1.0}, {"inputBrightness", 0.0}, {"inputContrast", 1.0}},
                              colorControls};
  table["CIExposureAdjust"] = {{{"inputEV", 0.0}}, exposureAdjust};
  table["CIGammaAdjust"] = {{{"inputPower", 1.0}}, gammaAdjust};
  table["CIHueAdjust"] = {{{"inputAngle", 0.0}}, hueAdjust};
  table["CIVibrance"] = {{{"inputAmount", 0.0}}, vibrance};
  table["CISepiaTone"] = {{{"inputIntensity", 1.0}}, sepiaTone};
  table["CIColorInvert"] = {{}, colorInvert};
}

}  // namespace ci
