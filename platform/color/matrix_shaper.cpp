#include "platform/color/matrix_shaper.h"

#include <lcms2.h>

#include <cmath>

namespace color {

Matrix3x3 inverse(const Matrix3x3& m) {
  const double a = m[0], b = m[1], c = m[2], d = m[3], e = m[4], f = m[5], g = m[6], h = m[7], i = m[8];
  const double det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
  return {(e * i - f * h) / det, (c * h - b * i) / det, (b * f - c * e) / det,
          (f * g - d * i) / det, (a * i - c * g) / det, (c * d - a * f) / det,
          (d * h - e * g) / det, (b * g - a * h) / det, (a * e - b * d) / det};
}

Matrix3x3 product(const Matrix3x3& a, const Matrix3x3& b) {
  Matrix3x3 r{};
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t j = 0; j < 3; ++j)
      for (std::size_t k = 0; k < 3; ++k) r[i * 3 + j] += a[i * 3 + k] * b[k * 3 + j];
  return r;
}

std::optional<MatrixShaper> matrixShaperOf(const IccProfile& profile) {
  if (profile.model() != Model::RGB || !profile.handle()) return std::nullopt;
  cmsHPROFILE handle = profile.handle();
  const cmsTagSignature colorants[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag};
  const cmsTagSignature curves[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
  MatrixShaper result;
  double gammaSum = 0;
  for (int c = 0; c < 3; ++c) {
    const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(handle, colorants[c]));
    const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(handle, curves[c]));
    if (!xyz || !curve) return std::nullopt;
    result.rgbToXYZ[std::size_t(c)] = xyz->X;
    result.rgbToXYZ[std::size_t(3 + c)] = xyz->Y;
    result.rgbToXYZ[std::size_t(6 + c)] = xyz->Z;
    double gamma = cmsEstimateGamma(curve, 0.01);
    if (!(gamma > 0) || !std::isfinite(gamma)) return std::nullopt;
    gammaSum += gamma;
  }
  result.gamma = gammaSum / 3.0;
  return result;
}

}  // namespace color
