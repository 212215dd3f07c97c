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

// Straight colour of one premultiplied pixel into s: colour over alpha,
// colour 0 where alpha is not positive, alpha kept.
inline void unpremultiplied(const float* p, float* s) {
  if (p[3] > 0) {
    const float inv = 1.0f / p[3];
    s[0] = p[0] * inv, s[1] = p[1] * inv, s[2] = p[2] * inv;
  } else {
    s[0] = s[1] = s[2] = 0;
  }
  s[3] = p[3];
}

// A kernel over extent that hands pixel(in, out) each pixel of input in
// straight colour and premultiplies what it writes, in one pass per row.
template <typename PixelFunction>
ImageRef straightPixels(const ImageRef& input, const raster::Rect& extent, PixelFunction pixel) {
  if (!input) return nullptr;
  return Image::kernel({input}, extent, [pixel](const KernelRow& row) {
    const float* in = row.inputs[0];
    float* out = row.output;
    for (std::int64_t i = 0; i < row.count; ++i, in += 4, out += 4) {
      float s[4];
      unpremultiplied(in, s);
      pixel(s, out);
      out[0] *= out[3], out[1] *= out[3], out[2] *= out[3];
    }
  });
}

// Applies pixel(in, out) (straight RGBA, 4 floats each) to every pixel of
// input over its extent. Colour comes out finite and alpha within 0..1.
template <typename PixelFunction>
ImageRef straightColor(const ImageRef& input, PixelFunction pixel) {
  if (!input) return nullptr;
  return straightPixels(input, input->extent(), [pixel](const float* in, float* out) {
    pixel(in, out);
    out[0] = finite(out[0]), out[1] = finite(out[1]), out[2] = finite(out[2]);
    out[3] = out[3] > 0.0f ? std::min(out[3], 1.0f) : 0.0f;
  });
}

// Odd extension of a power, so that values below 0 survive unchanged in sign.
inline float signedPower(float v, float power) {
  return std::copysign(std::pow(std::fabs(v), power), v);
}

}  // namespace ci::colorkernel
