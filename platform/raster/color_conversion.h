#pragma once
// Conversion of working-form rows (premultiplied floats, colour then alpha)
// between colour spaces: through an ICC transform when both spaces have a
// profile, else by plain device formulas (gray ↔ RGB ↔ CMYK). Alpha is
// carried through.

#include <cstdint>
#include <memory>

#include "platform/color/transform.h"
#include "platform/raster/color_space.h"

namespace raster {

class ColorConversion {
 public:
  // nullptr when no conversion is needed (same space or same profile) or
  // either side has no colour (alpha-only).
  static std::shared_ptr<const ColorConversion> between(const ColorSpace* from, const ColorSpace* to);
  // True when pixels of from need no conversion to land in to.
  static bool isIdentity(const ColorSpace* from, const ColorSpace* to);

  int sourceColors() const { return sourceColors_; }
  int destinationColors() const { return destinationColors_; }
  // in: count · (sourceColors + 1) floats; out: count · (destinationColors + 1).
  // in and out must not overlap. scratch holds count · (sourceColors + 1)
  // floats.
  void convertRow(const float* in, float* out, std::int64_t count, float* scratch) const;

  ColorConversion(int sourceColors, int destinationColors, std::shared_ptr<const color::Transform> transform)
      : sourceColors_(sourceColors),
        destinationColors_(destinationColors),
        transform_(std::move(transform)) {}

 private:
  int sourceColors_;
  int destinationColors_;
  std::shared_ptr<const color::Transform> transform_;  // null: device formulas
};

}  // namespace raster
