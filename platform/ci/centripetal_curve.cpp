#include "platform/ci/centripetal_curve.h"

#include <algorithm>
#include <cmath>

namespace ci {

namespace {

float chord(const CurvePoint& a, const CurvePoint& b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  return std::sqrt(float(dx * dx + dy * dy));
}

CurvePoint bezier(const CurvePoint& p0, const CurvePoint& c1, const CurvePoint& c2, const CurvePoint& p3,
                  double t) {
  const double u = 1 - t;
  const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
  return {a * p0.x + b * c1.x + c * c2.x + d * p3.x, a * p0.y + b * c1.y + c * c2.y + d * p3.y};
}

constexpr int kSamplesPerSegment = 512;

}  // namespace

ToneCurvePoints diagonalToneCurve() {
  return {{{0, 0}, {0.25, 0.25}, {0.5, 0.5}, {0.75, 0.75}, {1, 1}}};
}

ToneCurvePoints normalizedToneCurve(const ToneCurvePoints& points) {
  for (const CurvePoint& p : points)
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return diagonalToneCurve();
  ToneCurvePoints sorted = points;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const CurvePoint& a, const CurvePoint& b) { return a.x < b.x; });
  for (CurvePoint& p : sorted) p = {std::clamp(p.x, 0.0, 1.0), std::clamp(p.y, 0.0, 1.0)};
  return sorted;
}

void catmullRomControls(const CurvePoint& p0, const CurvePoint& p1, const CurvePoint& p2,
                        const CurvePoint& p3, float alpha, CurvePoint& control1, CurvePoint& control2) {
  const float d1 = chord(p0, p1), d2 = chord(p1, p2), d3 = chord(p2, p3);
  const float a1 = std::pow(d1, alpha), a2 = std::pow(d2, alpha), a3 = std::pow(d3, alpha);
  const float q1 = std::pow(d1, 2 * alpha), q2 = std::pow(d2, 2 * alpha), q3 = std::pow(d3, 2 * alpha);
  const double w1 = double(2 * q1 + 3 * a1 * a2 + q2), den1 = double(3 * a1 * (a1 + a2));
  const double w2 = double(2 * q3 + 3 * a3 * a2 + q2), den2 = double(3 * a3 * (a3 + a2));
  if (den1 != 0 && std::isfinite(den1)) {
    const double k = 1.0 / den1;
    control1 = {(p2.x * double(q1) - p0.x * double(q2) + p1.x * w1) * k,
                (p2.y * double(q1) - p0.y * double(q2) + p1.y * w1) * k};
  } else {
    control1 = p1;
  }
  if (den2 != 0 && std::isfinite(den2)) {
    const double k = 1.0 / den2;
    control2 = {(p1.x * double(q3) - p3.x * double(q2) + p2.x * w2) * k,
                (p1.y * double(q3) - p3.y * double(q2) + p2.y * w2) * k};
  } else {
    control2 = p2;
  }
}

std::vector<float> toneCurveTable(const ToneCurvePoints& points, std::size_t entries) {
  std::vector<CurvePoint> path = {{-0.25, -0.25}};
  path.insert(path.end(), points.begin(), points.end());
  path.push_back({1.25, 1.25});
  // Dense samples of the four segments from the first point to the last.
  std::vector<CurvePoint> samples;
  samples.reserve(4 * kSamplesPerSegment + 1);
  samples.push_back(path[1]);
  for (std::size_t i = 1; i + 2 < path.size(); ++i) {
    CurvePoint c1, c2;
    catmullRomControls(path[i - 1], path[i], path[i + 1], path[i + 2], 0.5f, c1, c2);
    for (int s = 1; s <= kSamplesPerSegment; ++s)
      samples.push_back(bezier(path[i], c1, c2, path[i + 1], double(s) / kSamplesPerSegment));
  }
  for (std::size_t i = 1; i < samples.size(); ++i) samples[i].x = std::max(samples[i].x, samples[i - 1].x);
  std::vector<float> table(entries);
  std::size_t at = 0;
  for (std::size_t i = 0; i < entries; ++i) {
    const double x = entries > 1 ? double(i) / double(entries - 1) : 0.0;
    double y;
    if (x <= samples.front().x) {
      y = samples.front().y;
    } else if (x >= samples.back().x) {
      y = samples.back().y;
    } else {
      while (at + 1 < samples.size() && samples[at + 1].x < x) ++at;
      const CurvePoint& a = samples[at];
      const CurvePoint& b = samples[at + 1];
      y = b.x > a.x ? a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x) : b.y;
    }
    table[i] = float(std::clamp(y, 0.0, 1.0));
  }
  return table;
}

}  // namespace ci
