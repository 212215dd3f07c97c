#pragma once
// Colour transforms between ICC profiles over pixel buffers, cached per
// (source profile, source layout, destination profile, destination layout,
// intent, black-point compensation). Alpha is carried through unchanged
// (converted to the destination's sample type); a destination with alpha
// and a source without gets opaque alpha. Premultiplied colour is
// unpremultiplied before and premultiplied after the conversion. Float
// samples are 0..1 for gray, RGB and CMYK (Lab as lcms2 has it: L 0..100)
// and are not clamped where the profiles allow it: between RGB or gray
// matrix/shaper profiles curves are odd below 0 and continue past 1. A
// transform may be used from several threads at once. Between the same
// profile and the same layout (without padding) pixels are copied as they are.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/color/icc_profile.h"

namespace color {

enum class SampleType { UInt8, UInt16, Float32 };

enum class Intent { Perceptual = 0, RelativeColorimetric = 1, Saturation = 2, AbsoluteColorimetric = 3 };

// How one pixel sits in memory. 16-bit and float samples are native-endian.
struct BufferLayout {
  int colorChannels = 3;  // 1 gray, 3 RGB/Lab, 4 CMYK
  SampleType type = SampleType::UInt8;
  bool hasAlpha = false;
  bool alphaFirst = false;     // alpha (or padding) before colour
  bool premultiplied = false;  // colour premultiplied by alpha
  bool padding = false;        // an unused component in the alpha position
  int samplesPerPixel() const { return colorChannels + (hasAlpha || padding ? 1 : 0); }
  int bytesPerSample() const { return type == SampleType::UInt8 ? 1 : type == SampleType::UInt16 ? 2 : 4; }
  int bytesPerPixel() const { return samplesPerPixel() * bytesPerSample(); }
  bool operator==(const BufferLayout&) const = default;
};

class MatrixShaperPath;

class Transform {
 public:
  // nullptr when lcms2 cannot build the transform (e.g. channel counts that
  // do not match the profiles).
  static std::shared_ptr<const Transform> get(const ProfileRef& source, const BufferLayout& sourceLayout,
                                              const ProfileRef& destination,
                                              const BufferLayout& destinationLayout,
                                              Intent intent = Intent::RelativeColorimetric,
                                              bool blackPointCompensation = true);
  ~Transform();

  // Converts one run of pixels.
  void convertRow(const void* source, void* destination, std::int64_t pixels) const;
  // Converts a rectangle of rows, row-parallel for large buffers.
  void convert(const void* source, std::size_t sourceBytesPerRow, void* destination,
               std::size_t destinationBytesPerRow, std::int64_t width, std::int64_t height) const;

  const BufferLayout& sourceLayout() const { return sourceLayout_; }
  const BufferLayout& destinationLayout() const { return destinationLayout_; }

  // Takes ownership of handle, an lcms2 transform built for these layouts
  // with the alpha or padding component as an extra channel lcms2 skips.
  Transform(void* handle, BufferLayout source, BufferLayout destination);
  Transform(const Transform&) = delete;
  Transform& operator=(const Transform&) = delete;

 private:
  void convertChunk(const std::uint8_t* source, std::uint8_t* destination, int pixels) const;

  friend struct TransformFactory;

  void* handle_;  // cmsHTRANSFORM
  // Exact tables between RGB matrix/shaper profiles, used instead of handle_.
  std::shared_ptr<const MatrixShaperPath> exact_;
  // The same profile and layout on both sides: rows are copied.
  bool copies_ = false;
  // handle_ works on 16-bit samples where the layouts have float ones.
  bool floatViaSixteenBit_ = false;
  BufferLayout sourceLayout_;
  BufferLayout destinationLayout_;
  // Whether a row needs work besides the lcms2 call.
  bool sourceNeedsStaging_ = false;  // premultiplied or float CMYK input
  bool destinationNeedsAlpha_ = false;
};

}  // namespace color
