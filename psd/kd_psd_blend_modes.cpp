#include "psd/kd_psd_blend_modes.h"

#include <algorithm>
#include <cmath>

#include "platform/raster/nonseparable_color.h"
#include "platform/raster/separable_blend.h"
#include "psd/kd_psd_byte_order.h"

namespace velumar {
namespace {

inline float clamp01(float v) {
  return std::clamp(v, 0.0f, 1.0f);
}

using raster::separable::colorBurn;
using raster::separable::colorDodge;
using raster::separable::hardLight;

struct Normal {
  float operator()(float, float s) const { return s; }
};
struct Darken {
  float operator()(float b, float s) const { return std::min(b, s); }
};
struct Multiply {
  float operator()(float b, float s) const { return b * s; }
};
struct ColorBurn {
  float operator()(float b, float s) const { return colorBurn(b, s); }
};
struct LinearBurn {
  float operator()(float b, float s) const { return raster::separable::linearBurn(b, s); }
};
struct Lighten {
  float operator()(float b, float s) const { return std::max(b, s); }
};
struct Screen {
  float operator()(float b, float s) const { return b + s - b * s; }
};
struct ColorDodge {
  float operator()(float b, float s) const { return colorDodge(b, s); }
};
struct LinearDodge {
  float operator()(float b, float s) const { return raster::separable::linearDodge(b, s); }
};
struct Overlay {
  float operator()(float b, float s) const { return hardLight(s, b); }
};
struct SoftLight {
  float operator()(float b, float s) const {
    if (s <= 0.5f) return 2.0f * b * s + b * b * (1.0f - 2.0f * s);
    return 2.0f * b * (1.0f - s) + std::sqrt(b) * (2.0f * s - 1.0f);
  }
};
struct HardLight {
  float operator()(float b, float s) const { return hardLight(b, s); }
};
struct VividLight {
  float operator()(float b, float s) const {
    return s <= 0.5f ? colorBurn(b, 2.0f * s) : colorDodge(b, 2.0f * (s - 0.5f));
  }
};
struct LinearLight {
  float operator()(float b, float s) const { return clamp01(b + 2.0f * s - 1.0f); }
};
struct PinLight {
  float operator()(float b, float s) const { return raster::separable::pinLight(b, s); }
};
struct HardMix {
  float operator()(float b, float s) const { return b + s >= 1.0f ? 1.0f : 0.0f; }
};
struct Difference {
  float operator()(float b, float s) const { return std::fabs(b - s); }
};
struct Exclusion {
  float operator()(float b, float s) const { return b + s - 2.0f * b * s; }
};
struct Subtract {
  float operator()(float b, float s) const { return raster::separable::subtract(b, s); }
};
struct Divide {
  float operator()(float b, float s) const { return raster::separable::divide(b, s); }
};

// Non-separable modes work on the whole colour.
using raster::nonseparable::lum;
using raster::nonseparable::sat;
using raster::nonseparable::setLum;
using raster::nonseparable::setSat;

enum class Whole { Hue, Saturation, Color, Luminosity, DarkerColor, LighterColor };

inline void blendWhole(Whole mode, const float* b, const float* s, float* out) {
  out[0] = s[0], out[1] = s[1], out[2] = s[2];
  switch (mode) {
    case Whole::Hue:
      setSat(out, sat(b));
      setLum(out, lum(b));
      break;
    case Whole::Saturation:
      out[0] = b[0], out[1] = b[1], out[2] = b[2];
      setSat(out, sat(s));
      setLum(out, lum(b));
      break;
    case Whole::Color:
      setLum(out, lum(b));
      break;
    case Whole::Luminosity:
      out[0] = b[0], out[1] = b[1], out[2] = b[2];
      setLum(out, lum(s));
      break;
    case Whole::DarkerColor:
      if (lum(b) < lum(s)) out[0] = b[0], out[1] = b[1], out[2] = b[2];
      break;
    case Whole::LighterColor:
      if (lum(b) > lum(s)) out[0] = b[0], out[1] = b[1], out[2] = b[2];
      break;
  }
}

// Source-atop-style mixing of the blended colour with source and backdrop,
// then source-over coverage.
inline void mix(float* b, const float* s, const float* blended) {
  const float as = s[3];
  if (as <= 0.0f) return;
  const float ab = b[3];
  const float ao = as + ab * (1.0f - as);
  for (int i = 0; i < 3; ++i) {
    const float premultiplied = (1.0f - ab) * as * s[i] + as * ab * blended[i] + (1.0f - as) * ab * b[i];
    b[i] = clamp01(premultiplied / ao);
  }
  b[3] = ao;
}

template <typename F>
void blendSeparable(F f, float* backdrop, const float* source, std::size_t pixels) {
  for (std::size_t p = 0; p < pixels; ++p) {
    float* b = backdrop + p * 4;
    const float* s = source + p * 4;
    const float blended[3] = {f(b[0], s[0]), f(b[1], s[1]), f(b[2], s[2])};
    mix(b, s, blended);
  }
}

void blendNonSeparable(Whole mode, float* backdrop, const float* source, std::size_t pixels) {
  for (std::size_t p = 0; p < pixels; ++p) {
    float* b = backdrop + p * 4;
    const float* s = source + p * 4;
    float blended[3];
    blendWhole(mode, b, s, blended);
    mix(b, s, blended);
  }
}

}  // namespace

bool isKnownPSDBlendMode(std::uint32_t key) {
  switch (key) {
    case fourCharCode("norm"):
    case fourCharCode("dark"):
    case fourCharCode("mul "):
    case fourCharCode("idiv"):
    case fourCharCode("lbrn"):
    case fourCharCode("dkCl"):
    case fourCharCode("lite"):
    case fourCharCode("scrn"):
    case fourCharCode("div "):
    case fourCharCode("lddg"):
    case fourCharCode("lgCl"):
    case fourCharCode("over"):
    case fourCharCode("sLit"):
    case fourCharCode("hLit"):
    case fourCharCode("vLit"):
    case fourCharCode("lLit"):
    case fourCharCode("pLit"):
    case fourCharCode("hMix"):
    case fourCharCode("diff"):
    case fourCharCode("smud"):
    case fourCharCode("fsub"):
    case fourCharCode("fdiv"):
    case fourCharCode("hue "):
    case fourCharCode("sat "):
    case fourCharCode("colr"):
    case fourCharCode("lum "):
      return true;
    default:
      return false;
  }
}

void blendPSDRow(std::uint32_t key, float* b, const float* s, std::size_t n) {
  switch (key) {
    case fourCharCode("dark"):
      return blendSeparable(Darken{}, b, s, n);
    case fourCharCode("mul "):
      return blendSeparable(Multiply{}, b, s, n);
    case fourCharCode("idiv"):
      return blendSeparable(ColorBurn{}, b, s, n);
    case fourCharCode("lbrn"):
      return blendSeparable(LinearBurn{}, b, s, n);
    case fourCharCode("dkCl"):
      return blendNonSeparable(Whole::DarkerColor, b, s, n);
    case fourCharCode("lite"):
      return blendSeparable(Lighten{}, b, s, n);
    case fourCharCode("scrn"):
      return blendSeparable(Screen{}, b, s, n);
    case fourCharCode("div "):
      return blendSeparable(ColorDodge{}, b, s, n);
    case fourCharCode("lddg"):
      return blendSeparable(LinearDodge{}, b, s, n);
    case fourCharCode("lgCl"):
      return blendNonSeparable(Whole::LighterColor, b, s, n);
    case fourCharCode("over"):
      return blendSeparable(Overlay{}, b, s, n);
    case fourCharCode("sLit"):
      return blendSeparable(SoftLight{}, b, s, n);
    case fourCharCode("hLit"):
      return blendSeparable(HardLight{}, b, s, n);
    case fourCharCode("vLit"):
      return blendSeparable(VividLight{}, b, s, n);
    case fourCharCode("lLit"):
      return blendSeparable(LinearLight{}, b, s, n);
    case fourCharCode("pLit"):
      return blendSeparable(PinLight{}, b, s, n);
    case fourCharCode("hMix"):
      return blendSeparable(HardMix{}, b, s, n);
    case fourCharCode("diff"):
      return blendSeparable(Difference{}, b, s, n);
    case fourCharCode("smud"):
      return blendSeparable(Exclusion{}, b, s, n);
    case fourCharCode("fsub"):
      return blendSeparable(Subtract{}, b, s, n);
    case fourCharCode("fdiv"):
      return blendSeparable(Divide{}, b, s, n);
    case fourCharCode("hue "):
      return blendNonSeparable(Whole::Hue, b, s, n);
    case fourCharCode("sat "):
      return blendNonSeparable(Whole::Saturation, b, s, n);
    case fourCharCode("colr"):
      return blendNonSeparable(Whole::Color, b, s, n);
    case fourCharCode("lum "):
      return blendNonSeparable(Whole::Luminosity, b, s, n);
    default:
      return blendSeparable(Normal{}, b, s, n);
  }
}

}  // namespace velumar
