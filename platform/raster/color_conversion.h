#pragma once
// Conversion of working-form rows (premultiplied floats, colour then alpha)
// between colour spaces: through an ICC transform when both spaces have a
// profile, else by plain device formulas (gray ↔ RGB ↔ CMYK). Alpha is
// carried through.

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/color/transform.h"
#include "platform/raster/color_space.h"
#include "platform/raster/pixel_format.h"

namespace raster {

// The colour transform's view of a stored pixel format; nothing for formats
// it has no layout for (5-bit, alpha-only).
std::optional<color::BufferLayout> bufferLayoutOf(const PixelFormat& format);

class ColorConversion {
 public:
  // nullptr when no conversion is needed (same space or same profile) or
  // either side has no colour (alpha-only).
  static std::shared_ptr<const ColorConversion> between(const ColorSpace* from, const ColorSpace* to);
  // True when pixels of from need no conversion to land in to.
  static bool isIdentity(const ColorSpace* from, const ColorSpace* to);

  int sourceColors() const { return sourceColors_; }
  // Whether colour goes through an ICC transform (not device formulas).
  bool byProfiles() const { return transform_ != nullptr; }
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
