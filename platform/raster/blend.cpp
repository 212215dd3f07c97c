#include "platform/raster/blend.h"

#include <algorithm>
#include <cmath>

#include "platform/raster/nonseparable_color.h"
#include "platform/raster/separable_blend.h"

namespace raster {

namespace {

constexpr int kMaxChannels = 5;

// Calls op(d, s, r) for every pixel that has coverage, then mixes r into d.
template <typename Op>
void forEachPixel(int colors, float* dst, const float* src, const float* constantSource,
                  const float* coverage, float alpha, std::int64_t count, Op op) {
  const int channels = colors + 1;
  float s[kMaxChannels], r[kMaxChannels];
  for (std::int64_t i = 0; i < count; ++i) {
    float cov = coverage ? coverage[i] : 1.0f;
    if (cov <= 0.0f) continue;
    const float* sp = src ? src + i * channels : constantSource;
    for (int c = 0; c < channels; ++c) s[c] = sp[c] * alpha;
    float* d = dst + i * channels;
    op(d, s, r);
    if (cov >= 1.0f) {
      for (int c = 0; c < channels; ++c) d[c] = r[c];
    } else {
      for (int c = 0; c < channels; ++c) d[c] += (r[c] - d[c]) * cov;
    }
  }
}

using separable::hardLight;

inline float softLight(float cb, float cs) {
  if (cs <= 0.5f) return cb - (1.0f - 2.0f * cs) * cb * (1.0f - cb);
  float dcb = cb <= 0.25f ? ((16.0f * cb - 12.0f) * cb + 4.0f) * cb : std::sqrt(std::max(cb, 0.0f));
  return cb + (2.0f * cs - 1.0f) * (dcb - cb);
}

inline float separableBlend(BlendMode mode, float cb, float cs) {
  switch (mode) {
    case BlendMode::Multiply:
      return cb * cs;
    case BlendMode::Screen:
      return cb + cs - cb * cs;
    case BlendMode::Overlay:
      return hardLight(cs, cb);
    case BlendMode::Darken:
      return std::min(cb, cs);
    case BlendMode::Lighten:
      return std::max(cb, cs);
    case BlendMode::ColorDodge:
      return separable::colorDodge(cb, cs);
    case BlendMode::ColorBurn:
      return separable::colorBurn(cb, cs);
    case BlendMode::HardLight:
      return hardLight(cb, cs);
    case BlendMode::SoftLight:
      return softLight(cb, cs);
    case BlendMode::Difference:
      return std::abs(cb - cs);
    case BlendMode::Exclusion:
      return cb + cs - 2.0f * cb * cs;
    case BlendMode::LinearBurn:
      return separable::linearBurn(cb, cs);
    case BlendMode::LinearDodge:
      return separable::linearDodge(cb, cs);
    case BlendMode::PinLight:
      return separable::pinLight(cb, cs);
    case BlendMode::Subtract:
      return separable::subtract(cb, cs);
    case BlendMode::Divide:
      return separable::divide(cb, cs);
    default:
      return cs;
  }
}

using nonseparable::lum;
using nonseparable::sat;
using nonseparable::setLum;
using nonseparable::setSat;

// B(cb, cs) of the non-separable modes on unpremultiplied RGB.
inline void nonSeparable(BlendMode mode, const float* cb, const float* cs, float* out) {
  float t[3] = {cs[0], cs[1], cs[2]};
  switch (mode) {
    case BlendMode::Hue:
      setSat(t, sat(cb));
      setLum(t, lum(cb));
      break;
    case BlendMode::Saturation:
      t[0] = cb[0], t[1] = cb[1], t[2] = cb[2];
      setSat(t, sat(cs));
      setLum(t, lum(cb));
      break;
    case BlendMode::Color:
      setLum(t, lum(cb));
      break;
    default:  // Luminosity
      t[0] = cb[0], t[1] = cb[1], t[2] = cb[2];
      setLum(t, lum(cs));
      break;
  }
  out[0] = t[0], out[1] = t[1], out[2] = t[2];
}

bool isSeparableBlend(BlendMode mode) {
  return (mode >= BlendMode::Multiply && mode <= BlendMode::Exclusion) ||
         (mode >= BlendMode::LinearBurn && mode <= BlendMode::Divide);
}
bool isNonSeparableBlend(BlendMode mode) {
  return mode >= BlendMode::Hue && mode <= BlendMode::Luminosity;
}

}  // namespace

void blendRow(BlendMode mode, int colors, float* dst, const float* src, const float* constantSource,
              const float* coverage, float alpha, std::int64_t count) {
  const int n = colors;
  auto run = [&](auto op) { forEachPixel(n, dst, src, constantSource, coverage, alpha, count, op); };

  // Gray and CMYK have no hue: Luminosity takes the source as Normal does;
  // Hue, Saturation and Color keep the backdrop's value.
  if (isNonSeparableBlend(mode) && n != 3) {
    if (mode == BlendMode::Luminosity) {
      mode = BlendMode::Normal;
    } else {
      run([n](const float* d, const float* s, float* r) {
        float sa = s[n], da = d[n];
        for (int c = 0; c < n; ++c) r[c] = d[c] + s[c] * (1.0f - da);
        r[n] = sa + da - sa * da;
      });
      return;
    }
  }

  switch (mode) {
    case BlendMode::Normal:
      run([n](const float* d, const float* s, float* r) {
        float k = 1.0f - s[n];
        for (int c = 0; c <= n; ++c) r[c] = s[c] + d[c] * k;
      });
      return;
    case BlendMode::Clear:
      run([n](const float*, const float*, float* r) {
        for (int c = 0; c <= n; ++c) r[c] = 0.0f;
      });
      return;
    case BlendMode::Copy:
      run([n](const float*, const float* s, float* r) {
        for (int c = 0; c <= n; ++c) r[c] = s[c];
      });
      return;
    case BlendMode::SourceIn:
      run([n](const float* d, const float* s, float* r) {
        for (int c = 0; c <= n; ++c) r[c] = s[c] * d[n];
      });
      return;
    case BlendMode::SourceOut:
      run([n](const float* d, const float* s, float* r) {
        for (int c = 0; c <= n; ++c) r[c] = s[c] * (1.0f - d[n]);
      });
      return;
    case BlendMode::SourceAtop:
      run([n](const float* d, const float* s, float* r) {
        for (int c = 0; c <= n; ++c) r[c] = s[c] * d[n] + d[c] * (1.0f - s[n]);
      });
      return;
    case BlendMode::DestinationOver:
      run([n](const float* d, const float* s, float* r) {
        for (int c = 0; c <= n; ++c) r[c] = s[c] * (1.0f - d[n]) + d[c];
      });
      return;
    case BlendMode::DestinationIn:
      run([n](const float* d, const float* s, float* r) {
        for (int c = 0; c <= n; ++c) r[c] = d[c] * s[n];
      });
      return;
    case BlendMode::DestinationOut:
      run([n](const float* d, const float* s, float* r) {
        for (int c = 0; c <= n; ++c) r[c] = d[c] * (1.0f - s[n]);
      });
      return;
    case BlendMode::DestinationAtop:
      run([n](const float* d, const float* s, float* r) {
        for (int c = 0; c <= n; ++c) r[c] = s[c] * (1.0f - d[n]) + d[c] * s[n];
      });
      return;
    case BlendMode::XOR:
      run([n](const float* d, const float* s, float* r) {
        for (int c = 0; c <= n; ++c) r[c] = s[c] * (1.0f - d[n]) + d[c] * (1.0f - s[n]);
      });
      return;
    case BlendMode::PlusLighter:
      run([n](const float* d, const float* s, float* r) {
        for (int c = 0; c <= n; ++c) r[c] = std::min(1.0f, s[c] + d[c]);
      });
      return;
    case BlendMode::PlusDarker:
      run([n](const float* d, const float* s, float* r) {
        float ra = std::min(1.0f, s[n] + d[n]);
        for (int c = 0; c < n; ++c) r[c] = std::max(0.0f, ra - ((d[n] - d[c]) + (s[n] - s[c])));
        r[n] = ra;
      });
      return;
    default:
      break;
  }

  if (isSeparableBlend(mode)) {
    // CMYK is subtractive: the modes work on the complements (the amounts of
    // light), so that Multiply darkens and Screen lightens as in RGB.
    const bool subtractive = n == 4;
    run([n, mode, subtractive](const float* d, const float* s, float* r) {
      float sa = s[n], da = d[n];
      float is = sa > 0.0f ? 1.0f / sa : 0.0f, id = da > 0.0f ? 1.0f / da : 0.0f;
      for (int c = 0; c < n; ++c) {
        float b = subtractive ? 1.0f - separableBlend(mode, 1.0f - d[c] * id, 1.0f - s[c] * is)
                              : separableBlend(mode, d[c] * id, s[c] * is);
        r[c] = (1.0f - da) * s[c] + (1.0f - sa) * d[c] + sa * da * b;
      }
      r[n] = sa + da - sa * da;
    });
    return;
  }

  // Non-separable on RGB.
  run([mode](const float* d, const float* s, float* r) {
    float sa = s[3], da = d[3];
    float is = sa > 0.0f ? 1.0f / sa : 0.0f, id = da > 0.0f ? 1.0f / da : 0.0f;
    float cb[3] = {d[0] * id, d[1] * id, d[2] * id}, cs[3] = {s[0] * is, s[1] * is, s[2] * is}, b[3];
    nonSeparable(mode, cb, cs, b);
    for (int c = 0; c < 3; ++c) r[c] = (1.0f - da) * s[c] + (1.0f - sa) * d[c] + sa * da * b[c];
    r[3] = sa + da - sa * da;
  });
}

}  // namespace raster
