// The eight photo effects. Each is a fixed 3×4 colour matrix (rows give
// r', g', b' from r, g, b and an offset) followed by one fixed cubic tone
// curve y = a3 x³ + a2 x² + a1 x + a0 on every channel, monotone on 0..1
// and continued outside it along its end tangents. Mono, Noir and Tonal
// have three equal rows, so they give gray. Alpha is kept.
//
// Matrices derive from saturation s about the Rec. 709 luma, per-channel
// gains and offsets; curves from a contrast k: y = x + k x (1 - x)(2x - 1),
// i.e. (a3, a2, a1, a0) = (-2k, 3k, 1 - k, 0), or a straight lift.
//
//   effect     s     gains (r, g, b)      offsets (r, g, b)     curve
//   Chrome     1.2   1, 1, 1              0, 0, 0               k = 0.25
//   Fade       0.6   1, 1, 1              0, 0, 0               0.1 + 0.8 x
//   Instant    0.85  1, 0.95, 0.85        0.04, 0.03, 0.06      k = 0.1
//   Mono       gray  (0.2126, 0.7152, 0.0722)                   k = 0.15
//   Noir       gray  (0.3, 0.6, 0.1)                            k = 0.6
//   Process    0.9   0.92, 1, 1.05        0, 0.02, 0.04         k = 0.2
//   Tonal      gray  (0.2126, 0.7152, 0.0722)                   0.05 + 0.9 x
//   Transfer   1.1   1.05, 1, 0.88        0.02, 0, 0            k = 0.15

#include <array>
#include <string>

#include "platform/ci/builtin_filters.h"
#include "platform/ci/color_kernel.h"
#include "platform/ci/photo_effects.h"

namespace ci {

namespace {

PhotoEffect colorEffect(double saturation, std::array<double, 3> gains, std::array<double, 3> offsets,
                        std::array<double, 4> curve) {
  const double luma[3] = {colorkernel::kLumaRed, colorkernel::kLumaGreen, colorkernel::kLumaBlue};
  PhotoEffect e;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      e.matrix[std::size_t(r * 4 + c)] =
          gains[std::size_t(r)] * ((1 - saturation) * luma[c] + (r == c ? saturation : 0));
    }
    e.matrix[std::size_t(r * 4 + 3)] = offsets[std::size_t(r)];
  }
  e.curve = curve;
  return e;
}

PhotoEffect grayEffect(std::array<double, 3> weights, std::array<double, 4> curve) {
  PhotoEffect e;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) e.matrix[std::size_t(r * 4 + c)] = weights[std::size_t(c)];
    e.matrix[std::size_t(r * 4 + 3)] = 0;
  }
  e.curve = curve;
  return e;
}

std::array<double, 4> contrast(double k) {
  return {-2 * k, 3 * k, 1 - k, 0};
}

ImageRef applyEffect(const ImageRef& in, const PhotoEffect& effect) {
  std::array<float, 12> m{};
  for (std::size_t i = 0; i < 12; ++i) m[i] = float(effect.matrix[i]);
  const float a3 = float(effect.curve[0]), a2 = float(effect.curve[1]), a1 = float(effect.curve[2]),
              a0 = float(effect.curve[3]);
  const float slope0 = a1, slope1 = 3 * a3 + 2 * a2 + a1, end1 = a3 + a2 + a1 + a0;
  return colorkernel::straightColor(in, [=](const float* p, float* o) {
    for (int r = 0; r < 3; ++r) {
      const float x = m[std::size_t(r * 4)] * p[0] + m[std::size_t(r * 4 + 1)] * p[1] +
                      m[std::size_t(r * 4 + 2)] * p[2] + m[std::size_t(r * 4 + 3)];
      if (x < 0) {
        o[r] = a0 + slope0 * x;
      } else if (x > 1) {
        o[r] = end1 + slope1 * (x - 1);
      } else {
        o[r] = ((a3 * x + a2) * x + a1) * x + a0;
      }
    }
    o[3] = p[3];
  });
}

}  // namespace

const std::vector<std::pair<std::string, PhotoEffect>>& photoEffects() {
  static const std::vector<std::pair<std::string, PhotoEffect>> effects = {
      {"CIPhotoEffectChrome", colorEffect(1.2, {1, 1, 1}, {0, 0, 0}, contrast(0.25))},
      {"CIPhotoEffectFade", colorEffect(0.6, {1, 1, 1}, {0, 0, 0}, {0, 0, 0.8, 0.1})},
      {"CIPhotoEffectInstant", colorEffect(0.85, {1, 0.95, 0.85}, {0.04, 0.03, 0.06}, contrast(0.1))},
      {"CIPhotoEffectMono", grayEffect({0.2126, 0.7152, 0.0722}, contrast(0.15))},
      {"CIPhotoEffectNoir", grayEffect({0.3, 0.6, 0.1}, contrast(0.6))},
      {"CIPhotoEffectProcess", colorEffect(0.9, {0.92, 1, 1.05}, {0, 0.02, 0.04}, contrast(0.2))},
      {"CIPhotoEffectTonal", grayEffect({0.2126, 0.7152, 0.0722}, {0, 0, 0.9, 0.05})},
      {"CIPhotoEffectTransfer", colorEffect(1.1, {1.05, 1, 0.88}, {0.02, 0, 0}, contrast(0.15))},
  };
  return effects;
}

void addPhotoEffectFilters(BuiltinFilterTable& table) {
  // A named reference, not a structured binding: clang 14 cannot capture those.
  for (const auto& entry : photoEffects()) {
    const PhotoEffect& effect = entry.second;
    table[entry.first] = {{}, [&effect](const Filter& f) { return applyEffect(f.image(kInputImageKey), effect); }};
  }
}

}  // namespace ci
