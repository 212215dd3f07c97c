#pragma once
// Internal: the exact conversion between two RGB matrix/shaper profiles
// whenever 16-bit or float samples are involved, by tables instead of
// lcms2's resampled grid (which bends colours near the gamut boundary) or
// its per-pixel pipeline (which is slow). Values: curve to linear light, one 3x3 matrix, inverse
// curve; float samples outside 0..1 are evaluated exactly, unclamped.

#include <lcms2.h>

#include <array>
#include <memory>
#include <vector>

#include "platform/color/icc_profile.h"
#include "platform/color/transform.h"

namespace color {

class MatrixShaperPath {
 public:
  // nullptr unless both profiles are RGB matrix/shaper profiles whose curves
  // start at black (so black-point compensation changes nothing), the
  // intent is not absolute colorimetric and not both layouts are 8-bit.
  static std::unique_ptr<MatrixShaperPath> make(const IccProfile& source, const BufferLayout& sourceLayout,
                                                const IccProfile& destination,
                                                const BufferLayout& destinationLayout, Intent intent);
  ~MatrixShaperPath();
  MatrixShaperPath(const MatrixShaperPath&) = delete;
  MatrixShaperPath& operator=(const MatrixShaperPath&) = delete;

  // Converts the colour samples of pixels, leaving extra samples alone.
  void convert(const std::uint8_t* source, const BufferLayout& sourceLayout, std::uint8_t* destination,
               const BufferLayout& destinationLayout, int pixels) const;

 private:
  MatrixShaperPath() = default;
  float toLinear(int channel, float encoded) const;
  float fromLinear(int channel, float linear) const;

  static constexpr int kInverseSteps = 16384;        // table over sqrt(linear)
  std::array<std::vector<float>, 3> linearOf16Bit_;  // 65536 entries each
  std::array<std::vector<float>, 3> encodedOfRoot_;  // kInverseSteps + 1 entries each
  std::array<cmsToneCurve*, 3> curves_{};
  std::array<cmsToneCurve*, 3> inverseCurves_{};
  std::array<float, 9> matrix_{};  // source linear RGB -> destination linear RGB
};

}  // namespace color
