#pragma once
// A colour cube: N³ RGBA entries over the unit cube, red index fastest,
// looked up by trilinear interpolation.

#include <memory>
#include <vector>

#include "platform/ci/filter_value.h"

namespace ci {

class ColorCube {
 public:
  // nullptr unless dimension is a whole number from 2 to 256 and bytes
  // hold exactly dimension³ entries of four floats.
  // The bytes are shared, not copied.
  static std::unique_ptr<ColorCube> fromData(double dimension, std::shared_ptr<const Data> bytes);
  int dimension() const { return n_; }
  // The entry for rgb (clamped to 0..1) into out (4 floats).
  void lookup(const float* rgb, float* out) const;

 private:
  ColorCube() = default;
  int n_ = 0;
  std::shared_ptr<const Data> bytes_;
  const float* entries_ = nullptr;
};

}  // namespace ci
