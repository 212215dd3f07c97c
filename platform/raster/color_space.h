#pragma once
// A colour space: its model, its ICC profile and a non-empty name. Spaces
// are compared by name, as the engine does.

#include <memory>
#include <string>

#include "platform/color/icc_profile.h"

namespace raster {

enum class ColorModel : int {
  Unknown = -1,
  Gray = 0,
  RGB = 1,
  CMYK = 2,
  Lab = 3,
  DeviceN = 4,
  Indexed = 5,
  Pattern = 6,
};

class ColorSpace;
using ColorSpaceRef = std::shared_ptr<const ColorSpace>;

class ColorSpace {
 public:
  // nullptr when the profile is null or of an unusable model.
  static ColorSpaceRef withProfile(color::ProfileRef profile);
  static ColorSpaceRef named(color::NamedProfile which);
  // Shorthands for the working spaces.
  static ColorSpaceRef sRGB() { return named(color::NamedProfile::SRGB); }
  static ColorSpaceRef genericRGB() { return named(color::NamedProfile::GenericRGB); }
  static ColorSpaceRef genericGray() { return named(color::NamedProfile::GenericGray); }
  // Gray on the sRGB tone curve: the space of gray without a profile.
  static ColorSpaceRef untaggedGray() { return named(color::NamedProfile::GraySRGB); }
  static ColorSpaceRef genericCMYK() { return named(color::NamedProfile::GenericCMYK); }

  ColorModel model() const { return model_; }
  int components() const;
  const color::ProfileRef& profile() const { return profile_; }
  const std::string& name() const { return name_; }

  bool sameNameAs(const ColorSpace& other) const { return name_ == other.name_; }

  ColorSpace(ColorModel model, color::ProfileRef profile, std::string name)
      : model_(model), profile_(std::move(profile)), name_(std::move(name)) {}

 private:
  ColorModel model_;
  color::ProfileRef profile_;
  std::string name_;
};

}  // namespace raster
