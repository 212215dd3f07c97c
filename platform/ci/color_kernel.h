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

// CIVibrance's colour of straight rgb into out: with the chroma
// m = clamp(max - min, 0, 1), c' = l + max(0, 1 + amount (1 - m)) (c - l).
inline void vibrant(const float* rgb, float amount, float* out) {
  const float chroma =
      std::clamp(std::max({rgb[0], rgb[1], rgb[2]}) - std::min({rgb[0], rgb[1], rgb[2]}), 0.0f, 1.0f);
  const float gain = std::max(0.0f, 1.0f + amount * (1.0f - chroma));
  const float l = luma(rgb);
  for (int c = 0; c < 3; ++c) out[c] = l + gain * (rgb[c] - l);
}

// NaN becomes 0 and infinities the largest finite float, so that no
// parameter turns finite pixels into values a context cannot hold.
inline float finite(float v) {
  // Selects rather than branches, so that pixel loops vectorise.
  const float low = v < -FLT_MAX ? -FLT_MAX : v;
  const float clamped = low > FLT_MAX ? FLT_MAX : low;
  return v == v ? clamped : 0.0f;
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
    // Runs of pixels in planar arrays, so that the compiler runs a
    // branch-free pixel function on several pixels at once.
    constexpr std::int64_t kRun = 16;
    for (std::int64_t first = 0; first < row.count; first += kRun) {
      const std::int64_t n = std::min(kRun, row.count - first);
      const float* in = row.inputs[0] + first * 4;
      float* out = row.output + first * 4;
      alignas(64) float planes[4][kRun] = {}, results[4][kRun];
      for (std::int64_t i = 0; i < n; ++i) {
        float s[4];
        unpremultiplied(in + i * 4, s);
        for (int c = 0; c < 4; ++c) planes[c][i] = s[c];
      }
      for (std::int64_t i = 0; i < kRun; ++i) {
        const float s[4] = {planes[0][i], planes[1][i], planes[2][i], planes[3][i]};
        float o[4];
        pixel(s, o);
        for (int c = 0; c < 4; ++c) results[c][i] = o[c];
      }
      for (std::int64_t i = 0; i < n; ++i) {
        const float alpha = results[3][i];
        out[i * 4] = results[0][i] * alpha, out[i * 4 + 1] = results[1][i] * alpha;
        out[i * 4 + 2] = results[2][i] * alpha, out[i * 4 + 3] = alpha;
      }
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
