#pragma once
// A tone curve over the whole real line, for float colour that filters and
// wide-gamut conversions put outside 0..1: odd below 0; past 1 by its
// formula, or along the slope of its last stretch when it is sampled
// (lcms2 clamps sampled curves to 0..1 and sends gamma curves' negative
// inputs to 0). The gamma and sRGB-like formulas and their inverses, which
// working spaces and most profiles use, are evaluated here in float; other
// formulas through lcms2.

#include <lcms2.h>

namespace color {

class ExtendedCurve {
 public:
  ExtendedCurve() = default;
  // curve must outlive this object.
  explicit ExtendedCurve(const cmsToneCurve* curve);
  float operator()(float x) const;

 private:
  float magnitudeValue(float magnitude) const;

  const cmsToneCurve* curve_ = nullptr;
  int type_ = 0;         // lcms2's parametric type; 0 for a sampled curve
  bool direct_ = false;  // evaluated here rather than by lcms2
  float gamma_ = 1, a_ = 1, b_ = 0, c_ = 0, d_ = 0;
  float threshold_ = 0;        // the inverse's input where its formula starts
  float top_ = 0, slope_ = 0;  // a sampled curve's value at 1 and slope there
};

}  // namespace color
