// Colour looks, per pixel on straight colour (l is the Rec. 709 luma):
//
// CIWhitePointAdjust (inputColor w = white): c' = c · w_c, so white becomes
//   w; w's alpha is not used.
// CIColorMonochrome (inputColor m = (0.6, 0.45, 0.3), inputIntensity i = 1):
//   c' = c + i (l · m_c - c); m's alpha is not used.
// CIFalseColor (inputColor0 a = (0.3, 0, 0, 1), inputColor1 b = (1, 0.9,
//   0.8, 1)): with t = clamp(l, 0, 1), c' = a_c + t (b_c - a_c) and
//   alpha' = alpha · (a_α + t (b_α - a_α)).
// CIMaximumComponent, CIMinimumComponent: r' = g' = b' = max (min) of r, g, b.
// CIColorCrossPolynomial (inputRed/Green/BlueCoefficients, ten each): each
//   channel is the dot product of its coefficients with (r, g, b, r², g², b²,
//   rg, gb, br, 1); missing coefficients are 0. The defaults are the identity.

#include <array>

#include "platform/ci/builtin_filters.h"
#include "platform/ci/color_kernel.h"

namespace ci {

namespace {

using colorkernel::luma;
using colorkernel::parameter;

std::array<float, 4> componentsOf(const Color& c) {
  return {parameter(c.red, 0), parameter(c.green, 0), parameter(c.blue, 0), parameter(c.alpha, 1)};
}

ImageRef whitePointAdjust(const Filter& f) {
  ImageRef in = f.image(kInputImageKey);
  if (!in) return nullptr;
  const std::array<float, 4> w = componentsOf(f.color("inputColor", Color::white()));
  if (w[0] == 1 && w[1] == 1 && w[2] == 1) return in;
  return colorkernel::straightColor(in, [w](const float* p, float* o) {
    o[0] = p[0] * w[0], o[1] = p[1] * w[1], o[2] = p[2] * w[2], o[3] = p[3];
  });
}

ImageRef colorMonochrome(const Filter& f) {
  ImageRef in = f.image(kInputImageKey);
  if (!in) return nullptr;
  const std::array<float, 4> m = componentsOf(f.color("inputColor", Color{0.6, 0.45, 0.3, 1}));
  const float i = parameter(f.number("inputIntensity", 1), 1);
  if (i == 0) return in;
  return colorkernel::straightColor(in, [m, i](const float* p, float* o) {
    const float l = luma(p);
    for (int c = 0; c < 3; ++c) o[c] = p[c] + i * (l * m[std::size_t(c)] - p[c]);
    o[3] = p[3];
  });
}

ImageRef falseColor(const Filter& f) {
  ImageRef in = f.image(kInputImageKey);
  if (!in) return nullptr;
  const std::array<float, 4> a = componentsOf(f.color("inputColor0", Color{0.3, 0, 0, 1}));
  const std::array<float, 4> b = componentsOf(f.color("inputColor1", Color{1, 0.9, 0.8, 1}));
  return colorkernel::straightColor(in, [a, b](const float* p, float* o) {
    const float t = std::clamp(luma(p), 0.0f, 1.0f);
    for (std::size_t c = 0; c < 3; ++c) o[c] = a[c] + t * (b[c] - a[c]);
    o[3] = p[3] * (a[3] + t * (b[3] - a[3]));
  });
}

ImageRef maximumComponent(const Filter& f) {
  return colorkernel::straightColor(f.image(kInputImageKey), [](const float* p, float* o) {
    o[0] = o[1] = o[2] = std::max({p[0], p[1], p[2]});
    o[3] = p[3];
  });
}

ImageRef minimumComponent(const Filter& f) {
  return colorkernel::straightColor(f.image(kInputImageKey), [](const float* p, float* o) {
    o[0] = o[1] = o[2] = std::min({p[0], p[1], p[2]});
    o[3] = p[3];
  });
}

constexpr int kCrossTerms = 10;

ImageRef colorCrossPolynomial(const Filter& f) {
  ImageRef in = f.image(kInputImageKey);
  if (!in) return nullptr;
  const char* keys[3] = {"inputRedCoefficients", "inputGreenCoefficients", "inputBlueCoefficients"};
  std::array<float, 3 * kCrossTerms> k{};
  for (int c = 0; c < 3; ++c) {
    const Vector v = f.vector(keys[c]);
    for (int t = 0; t < kCrossTerms; ++t)
      k[std::size_t(c * kCrossTerms + t)] = parameter(v.at(std::size_t(t)), 0);
  }
  return colorkernel::straightColor(in, [k](const float* p, float* o) {
    const float r = p[0], g = p[1], b = p[2];
    const float terms[kCrossTerms] = {r, g, b, r * r, g * g, b * b, r * g, g * b, b * r, 1.0f};
    for (int c = 0; c < 3; ++c) {
      float sum = 0;
      for (int t = 0; t < kCrossTerms; ++t) sum += k[std::size_t(c * kCrossTerms + t)] * terms[t];
      o[c] = sum;
    }
    o[3] = p[3];
  });
}

Vector unitRow(int index) {
  std::vector<double> v(kCrossTerms, 0.0);
  v[std::size_t(index)] = 1.0;
  return Vector(std::move(v));
}

}  // namespace

void addColorLookFilters(BuiltinFilterTable& table) {
  table["CIWhitePointAdjust"] = {{{"inputColor", Color::white()}}, whitePointAdjust};
  table["CIColorMonochrome"] = {{{"inputColor", Color{0.6, 0.45, 0.3, 1}}, {"inputIntensity", 1.0}},
                                colorMonochrome};
  table["CIFalseColor"] = {{{"inputColor0", Color{0.3, 0, 0, 1}}, {"inputColor1", Color{1, 0.9, 0.8, 1}}},
                           falseColor};
  table["CIMaximumComponent"] = {{}, maximumComponent};
  table["CIMinimumComponent"] = {{}, minimumComponent};
  table["CIColorCrossPolynomial"] = {{{"inputRedCoefficients", unitRow(0)},
                                      {"inputGreenCoefficients", unitRow(1)},
                                      {"inputBlueCoefficients", unitRow(2)}},
                                     colorCrossPolynomial};
}

}  // namespace ci
