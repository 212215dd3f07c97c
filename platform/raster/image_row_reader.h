#pragma once
// Reads rows of an Image into the working form of a target format and
// colour space: converted colour, or the fill colour through an alpha-only
// image, or alpha alone for an alpha-only target.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/raster/color_conversion.h"
#include "platform/raster/image.h"

namespace raster {

class ImageRowReader {
 public:
  // fillColor: working-form colour used for alpha-only images (target
  // channels floats).
  ImageRowReader(const Image& image, const PixelFormat& targetFormat, const ColorSpace* targetSpace,
                 const float* fillColor);

  int channels() const { return targetChannels_; }
  // True when reading and storing into targetFormat gives back the image's
  // own bytes: same format, no colour conversion, no alpha to divide out
  // and no padding to rewrite.
  bool storesAsStored(const PixelFormat& targetFormat) const;
  // A transform from the image's stored pixels straight into targetFormat's
  // when colour is converted between ICC profiles, for callers that would
  // only store what they read; nullptr when there is none (no conversion,
  // formats it cannot take, or alpha the target would have to flatten).
  // With opaque, the caller knows every pixel it stores has alpha 1, so
  // float colour with alpha may go into any target: there the transform
  // rounds as the general path does.
  std::shared_ptr<const color::Transform> storingTransform(const PixelFormat& targetFormat,
                                                           bool opaque = false) const;
  // Per-task scratch memory, made once per row task. Left uninitialised:
  // every element is written before it is read.
  struct Scratch {
    std::unique_ptr<float[]> raw, conversion;
  };
  Scratch makeScratch(std::int64_t maxPixels) const;
  // Pixels [x0, x1) of row y (top-down) into out ((x1 - x0) · channels()).
  void read(std::int64_t y, std::int64_t x0, std::int64_t x1, float* out, Scratch& scratch) const;

 private:
  const Image& image_;
  const ColorSpace* targetSpace_;
  int sourceChannels_;
  int targetChannels_;
  bool sourceIsMask_;
  bool targetIsMask_;
  std::shared_ptr<const ColorConversion> conversion_;
  float fill_[5] = {0, 0, 0, 0, 1};
};

}  // namespace raster
