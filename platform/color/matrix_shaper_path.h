#pragma once
// Internal: the exact conversion between two RGB or gray matrix/shaper
// profiles whenever 16-bit or float samples are involved, by tables instead of
// lcms2's resampled grid (which bends colours near the gamut boundary) or
// its per-pixel pipeline (which is slow). Values: curve to linear light, one
// 3x3 matrix, inverse curve. Integer samples are linearised by a lookup
// (256 or 65536 entries per channel), premultiplied ones bound for 16-bit or
// float output like float values (divided by alpha in float); float values
// by a table over each octave of 0..1, interpolated. Float samples are unbounded: the curves are
// odd beyond 0 (sign(x)·f(|x|)) and continue past 1 (by their formula, or
// along their last slope when sampled), so colours outside a destination's
// gamut survive in float and round-trip; only integer output clamps.

#include <lcms2.h>

#include <array>
#include <memory>
#include <vector>

#include "platform/color/extended_curve.h"
#include "platform/color/icc_profile.h"
#include "platform/color/transform.h"

namespace color {

class MatrixShaperPath {
 public:
  // nullptr unless both profiles are RGB or gray matrix/shaper profiles whose curves
  // start at black (so black-point compensation changes nothing), the
  // intent is not absolute colorimetric and not both layouts are 8-bit.
  static std::unique_ptr<MatrixShaperPath> make(const IccProfile& source, const BufferLayout& sourceLayout,
                                                const IccProfile& destination,
                                                const BufferLayout& destinationLayout, Intent intent);
  ~MatrixShaperPath();
  // Whether the eight-pixel AVX2 conversions may run where the processor
  // has them (on by default); tests turn them off to run the blocked path.
  static void allowVectorPath(bool allowed);
  MatrixShaperPath(const MatrixShaperPath&) = delete;
  MatrixShaperPath& operator=(const MatrixShaperPath&) = delete;

  // Converts the colour samples of pixels, leaving extra samples alone.
  // With alpha (0..1 per pixel, the source's), premultiplied source colour
  // is divided by it first and premultiplied destination colour multiplied
  // by it after, as Transform does around a conversion.
  void convert(const std::uint8_t* source, const BufferLayout& sourceLayout, std::uint8_t* destination,
               const BufferLayout& destinationLayout, int pixels, const float* alpha = nullptr) const;

  // A curve sampled at 2^kSegmentBits points per octave of [2^-kOctaves, 1]
  // (and one point past 1), read by the bits of a float and interpolated
  // linearly: the relative error of a power curve stays below 3e-6 from
  // the darkest value to the brightest.
  class OctaveTable {
   public:
    static constexpr int kSegmentBits = 8;
    static constexpr int kOctaves = 32;
    static constexpr float kLowest = 1.0f / float(1ull << kOctaves);

    template <typename Curve>
    void fill(Curve&& curve);
    // x must lie in [kLowest, 1].
    float operator()(float x) const;
    bool operator==(const OctaveTable&) const = default;
    const float* data() const { return values_.data(); }

   private:
    std::vector<float> values_;
  };

 private:
  MatrixShaperPath() = default;
  // Pixels converted together: every pass over a block is a plain loop
  // over planar arrays of this fixed length, which the compiler vectorises.
  static constexpr int kBlockPixels = 64;
  template <typename In, typename Out>
  void convertTyped(const std::uint8_t* source, int inStride, int inFirst, std::uint8_t* destination,
                    int outStride, int outFirst, int pixels, const float* unpremultiplyBy,
                    const float* premultiplyBy) const;
  float toLinear(int channel, float encoded) const;
  float fromLinear(int channel, float linear) const;
  // fromLinear for a value clamped to 0..1, for integer output.
  float fromLinearClamped(int channel, float linear) const;
  // The curves evaluated exactly over the whole real line.
  float extendedCurve(int channel, float encoded) const;
  float extendedInverseCurve(int channel, float linear) const;

  // Linear values of the colour samples of count (<= kBlockPixels) pixels,
  // planar; and the mixed values encoded into the destination's pixels.
  // Premultiplied integer samples are divided by their alpha (factor is its
  // inverse) to the nearest integer level, as staged samples are, or in
  // float when divideInFloat is set (for 16-bit and float output, which
  // keep what lies between 8-bit levels).
  template <typename In>
  void linearise(const std::uint8_t* source, int inStride, int inFirst, int count, const float* factor,
                 bool divideInFloat, float (&linear)[3][kBlockPixels]) const;
  // Encoded values of one channel (count of them, the rest of the block
  // zero) to linear ones.
  void lineariseEncoded(int channel, const float (&encoded)[kBlockPixels], int count, float* out) const;
  template <typename Out>
  void encode(const float (&mixed)[3][kBlockPixels], int count, const float* alpha, std::uint8_t* destination,
              int outStride, int outFirst) const;

  std::array<std::array<float, 256>, 3> linearOf8Bit_{};
  std::array<std::vector<float>, 3> linearOf16Bit_;  // 65536 entries each
  // Per channel; channels with the same curve read the first one's table,
  // so that float input keeps one table, not three, in the cache.
  std::array<const float*, 3> linearOf16BitShared_{};
  // Per channel; channels with the same curve share the first one's.
  std::array<OctaveTable, 3> linearTables_;
  std::array<OctaveTable, 3> encodedTables_;
  std::array<const OctaveTable*, 3> linearOfEncoded_{};
  std::array<const OctaveTable*, 3> encodedOfLinear_{};
  std::array<cmsToneCurve*, 3> curves_{};
  std::array<cmsToneCurve*, 3> inverseCurves_{};
  // The curves over the whole real line.
  std::array<ExtendedCurve, 3> extendedCurves_{};
  std::array<ExtendedCurve, 3> extendedInverseCurves_{};
  // Source linear -> destination linear; gray uses the first row or column.
  std::array<float, 9> matrix_{};
  int inChannels_ = 3, outChannels_ = 3;
};

}  // namespace color
