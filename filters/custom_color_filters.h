#pragma once
// The application's own colour filters, created by name once registered:
// "HSVFilter", "HSLFilter", "LabFilter", "LevelSaturation" and
// "LevelExposure". Each works per pixel on straight colour, keeps alpha
// and returns its input unchanged when every parameter is 1. Formulas:
//
// HSVFilter (inputSaturation S, inputValue V, inputContrast K): in HSV
//   (v = max, s = (max - min)/max), s' = clamp(s S, 0, 1),
//   v' = (v V - 0.5) K + 0.5, hue kept.
// HSLFilter (inputSaturation S, inputLuminosity L): in HLS (l = (max + min)/2,
//   s = (max - min)/(max + min) up to l = 0.5, else (max - min)/(2 - max -
//   min)), s' = clamp(s S, 0, 1), l' = clamp(l L, 0, 1), hue kept.
// LabFilter (inputSaturation S, inputLuminosity L): the working space's
//   linear RGB to XYZ, CIE Lab relative to the working white (its threshold
//   0.008856 and slope 7.787), L* L, a* S, b* S, and back.
// LevelSaturation (inputSaturationShadows s, ...Midtones m, ...Highlights h)
//   and LevelExposure (inputExposureShadows s, ...Midtones m, ...Highlights
//   h): with the luma l clamped to 0..1 the weights are (1 - l)² for
//   shadows, 2 l (1 - l) for midtones and l² for highlights, summing to 1.
//   LevelSaturation moves each channel from the luma by the weighted factor
//   f = max(0, weights · (s, m, h)): c' = l + f (c - l). LevelExposure
//   scales each channel by 2^(weights · (s - 1, m - 1, h - 1)): each level
//   is one stop darker at 0 and one stop brighter at 2.

#include <string>

#include "platform/ci/filter.h"
#include "platform/foundation/value.h"

namespace velumar {

// A filter of one colour kernel whose parameters are scalars with an
// attribute table.
class CustomColorFilter : public ci::Filter {
 public:
  void setDefaults() override;
  // The parameter attributes by input name, as registered.
  foundation::Dictionary customAttributes() const;

 protected:
  using ci::Filter::Filter;
  // The parameter as a float; its default when unset or not a number.
  float input(const char* key) const;
};

class HSVFilter final : public CustomColorFilter {
 public:
  HSVFilter() : CustomColorFilter("HSVFilter") {}
  ci::ImageRef outputImage() const override;
};

class HSLFilter final : public CustomColorFilter {
 public:
  HSLFilter() : CustomColorFilter("HSLFilter") {}
  ci::ImageRef outputImage() const override;
};

class LabFilter final : public CustomColorFilter {
 public:
  LabFilter() : CustomColorFilter("LabFilter") {}
  ci::ImageRef outputImage() const override;
};

class LevelSaturation final : public CustomColorFilter {
 public:
  LevelSaturation() : CustomColorFilter("LevelSaturation") {}
  ci::ImageRef outputImage() const override;
};

class LevelExposure final : public CustomColorFilter {
 public:
  LevelExposure() : CustomColorFilter("LevelExposure") {}
  ci::ImageRef outputImage() const override;
};

// Registers the five under their names with their attributes.
void registerCustomColorFilters();

}  // namespace velumar
