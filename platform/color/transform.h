#pragma once
// Colour transforms between ICC profiles over pixel buffers, cached per
// (source profile, source layout, destination profile, destination layout,
// intent). Alpha is carried through unchanged.

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

  Transform(void* handle, BufferLayout source, BufferLayout destination)
      : handle_(handle), sourceLayout_(source), destinationLayout_(destination) {}
  Transform(const Transform&) = delete;
  Transform& operator=(const Transform&) = delete;

private:
  void* handle_;  // cmsHTRANSFORM
  BufferLayout sourceLayout_;
  BufferLayout destinationLayout_;
};

}  // namespace color
