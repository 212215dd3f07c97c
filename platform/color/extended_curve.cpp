#include "platform/color/extended_curve.h"

#include <cmath>

namespace color {

namespace {
// Below this a parameter counts as 0, as lcms2 treats it.
constexpr double kTolerance = 0.0001;
}  // namespace

ExtendedCurve::ExtendedCurve(const cmsToneCurve* curve) : curve_(curve) {
  if (!curve_) return;
  type_ = cmsGetToneCurveParametricType(curve_);
  const cmsFloat64Number* p = type_ != 0 ? cmsGetToneCurveParams(curve_) : nullptr;
  if (p && (type_ == 1 || type_ == -1)) {
    direct_ = type_ == 1 || std::abs(p[0]) >= kTolerance;
    gamma_ = float(type_ == 1 ? p[0] : 1.0 / p[0]);
  } else if (p && type_ == 4) {
    direct_ = true;
    gamma_ = float(p[0]), a_ = float(p[1]), b_ = float(p[2]), c_ = float(p[3]), d_ = float(p[4]);
  } else if (p && type_ == -4) {
    // The formula's inverse wherever lcms2 evaluates one.
    direct_ = std::abs(p[0]) >= kTolerance && std::abs(p[1]) >= kTolerance && std::abs(p[3]) >= kTolerance;
    const double e = p[1] * p[4] + p[2];
    threshold_ = float(e < 0 ? 0.0 : std::pow(e, p[0]));
    gamma_ = float(1.0 / p[0]), a_ = float(p[1]), b_ = float(p[2]), c_ = float(p[3]);
  } else if (type_ == 0) {
    constexpr float kStep = 1.0f / 256.0f;
    top_ = cmsEvalToneCurveFloat(curve_, 1.0f);
    slope_ = (top_ - cmsEvalToneCurveFloat(curve_, 1.0f - kStep)) / kStep;
  }
}

float ExtendedCurve::magnitudeValue(float m) const {
  if (type_ == 0) return m <= 1.0f ? cmsEvalToneCurveFloat(curve_, m) : top_ + (m - 1.0f) * slope_;
  if (!direct_) return cmsEvalToneCurveFloat(curve_, m);
  switch (type_) {
    case 1:
    case -1:
      return std::pow(m, gamma_);
    case 4: {
      if (m < d_) return c_ * m;
      const float e = a_ * m + b_;
      return e > 0 ? std::pow(e, gamma_) : 0.0f;
    }
    default:  // -4
      return m >= threshold_ ? (std::pow(m, gamma_) - b_) / a_ : m / c_;
  }
}

float ExtendedCurve::operator()(float x) const {
  if (std::isnan(x)) return 0.0f;
  const float value = magnitudeValue(std::abs(x));
  return x < 0.0f ? -value : value;
}

}  // namespace color
