// CIToneCurve (inputPoint0 to inputPoint4, vectors (x, y), default the
// diagonal): the centripetal curve through the five points (see
// centripetal_curve.h), baked into a table of 4096 entries read with linear
// interpolation, applied to each colour channel of the straight colour
// clamped to 0..1. Alpha is kept.

#include "platform/ci/builtin_filters.h"
#include "platform/ci/centripetal_curve.h"
#include "platform/ci/color_kernel.h"

namespace ci {

namespace {

constexpr std::size_t kTableEntries = 4096;

ImageRef toneCurve(const Filter& f) {
  ImageRef in = f.image(kInputImageKey);
  if (!in) return nullptr;
  ToneCurvePoints points{};
  const ToneCurvePoints diagonal = diagonalToneCurve();
  for (std::size_t i = 0; i < 5; ++i) {
    const Vector v = f.vector(kToneCurvePointKeys[i], Vector{diagonal[i].x, diagonal[i].y});
    points[i] = {v.at(0), v.at(1)};
  }
  points = normalizedToneCurve(points);
  if (points == diagonal) return in;
  auto table = std::make_shared<const std::vector<float>>(toneCurveTable(points, kTableEntries));
  return colorkernel::straightColor(in, [table](const float* p, float* o) {
    const float* t = table->data();
    constexpr float top = float(kTableEntries - 1);
    for (int c = 0; c < 3; ++c) {
      const float position = p[c] >= 0.0f ? (p[c] <= 1.0f ? p[c] * top : top) : 0.0f;
      const std::size_t i = std::min(std::size_t(position), kTableEntries - 2);
      const float w = position - float(i);
      o[c] = t[i] + (t[i + 1] - t[i]) * w;
    }
    o[3] = p[3];
  });
}

}  // namespace

void addToneCurveFilters(BuiltinFilterTable& table) {
  BuiltinFilterDefinition definition{{}, toneCurve};
  const ToneCurvePoints diagonal = diagonalToneCurve();
  for (std::size_t i = 0; i < 5; ++i)
    definition.defaults.push_back({kToneCurvePointKeys[i], Vector{diagonal[i].x, diagonal[i].y}});
  table["CIToneCurve"] = std::move(definition);
}

}  // namespace ci
