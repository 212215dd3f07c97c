#pragma once
// Shared pieces of the per-pixel colour filters: a kernel that hands each
// pixel's straight colour to a function and keeps the result finite, the
// Rec. 709 luma they weigh channels by, and the working space's linear
// light.

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "platform/ci/image.h"

namespace ci::colorkernel {

inline constexpr float kLumaRed = 0.2126f, kLumaGreen = 0.7152f, kLumaBlue = 0.0722f;

inline float luma(const float* rgb) {
  return kLumaRed * rgb[0] + kLumaGreen * rgb[1] + kLumaBlue * rgb[2];
}

// NaN becomes 0 and infinities the largest finite float, so that no
// parameter turns finite pixels into values a context cannot hold.
inline float finite(float v) {
  if (v != v) return 0.0f;
  return std::clamp(v, -FLT_MAX, FLT_MAX);
}

// A single-precision parameter; NaN gives fallback.
inline float parameter(double v, float fallback) {
  if (v != v) return fallback;
  return float(std::clamp(v, -double(FLT_MAX), double(FLT_MAX)));
}

// Applies pixel(in, out) (straight RGBA, 4 floats each) to every pixel of
// input over its extent. Colour comes out finite and alpha within 0..1.
template <typename PixelFunction>
ImageRef straightColor(const ImageRef& input, PixelFunction pixel) {
  if (!input) return nullptr;
  return Image::kernel(
      {input}, input->extent(),
      [pixel](const KernelRow& row) {
        const float* in = row.inputs[0];
        float* out = row.output;
        for (std::int64_t i = 0; i < row.count; ++i, in += 4, out += 4) {
          pixel(in, out);
          out[0] = finite(out[0]), out[1] = finite(out[1]), out[2] = finite(out[2]);
          out[3] = out[3] > 0.0f ? std::min(out[3], 1.0f) : 0.0f;
        }
      },
      true);
}

// Odd extension of a power, so that values below 0 survive unchanged in sign.
inline float signedPower(float v, float power) {
  return std::copysign(std::pow(std::fabs(v), power), v);
}

}  // namespace ci::colorkernel
