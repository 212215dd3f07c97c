#pragma once
// Conversion between stored pixel rows of any supported format and the
// working form of the drawing code: floats, colour components premultiplied
// by alpha, then alpha (colour components + 1 floats per pixel; one for
// alpha-only). Integer premultiplied colour is read as at most its alpha;
// integer formats clamp on the way back, float formats keep values as they
// are both ways.

#include <cstddef>
#include <cstdint>

#include "platform/raster/pixel_format.h"

namespace raster {

// Upper bound on either side of a bitmap, and on the bytes of one.
inline constexpr std::int64_t kMaxDimension = 1 << 20;
inline constexpr std::uint64_t kMaxBytes = std::uint64_t(1) << 34;

// Floats per pixel in the working form.
inline int workingChannels(const PixelFormat& format) {
  return format.alpha == AlphaInfo::Only ? 1 : format.colorComponents + 1;
}
// Number of colour components in the working form (0 for alpha-only).
inline int workingColors(const PixelFormat& format) {
  return format.alpha == AlphaInfo::Only ? 0 : format.colorComponents;
}

// Formats an Image may have (a superset of the contexts' formats: gray and
// CMYK with alpha, any alpha position).
bool isValidImageFormat(const PixelFormat& format);

// Reads count pixels into the working form (count · workingChannels floats).
// Integer premultiplied colour enters limited to its alpha; float samples
// keep values above 1.
void loadRow(const std::uint8_t* source, const PixelFormat& format, std::int64_t count, float* out);
// Writes count pixels from the working form.
void storeRow(const float* in, const PixelFormat& format, std::int64_t count, std::uint8_t* destination);

}  // namespace raster
