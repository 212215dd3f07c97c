#include "filters/curve_interpolation.h"

namespace velumar {

namespace {

CurvePoint operator+(CurvePoint a, CurvePoint b) {
  return {a.x + b.x, a.y + b.y};
}
CurvePoint operator-(CurvePoint a, CurvePoint b) {
  return {a.x - b.x, a.y - b.y};
}
CurvePoint half(CurvePoint a) {
  return {a.x / 2, a.y / 2};
}
// A third of a tangent, each component rounded to single precision first.
CurvePoint thirdOf(CurvePoint m) {
  return {double(float(m.x)) / 3, double(float(m.y)) / 3};
}

}  // namespace

std::optional<BezierPath> interpolateCGPointsWithCatmullRom(const std::vector<CurvePoint>& points,
                                                            bool closed, float alpha) {
  const std::size_t n = points.size();
  if (n < 4) return std::nullopt;
  BezierPath path;
  path.closed = closed;
  const std::size_t first = closed ? 0 : 1, last = closed ? n : n - 2;
  for (std::size_t i = first; i < last; ++i) {
    const std::size_t next = (i + 1) % n, after = (next + 1) % n, previous = i == 0 ? n - 1 : i - 1;
    CubicSegment segment;
    ci::catmullRomControls(points[previous], points[i], points[next], points[after], alpha, segment.control1,
                           segment.control2);
    segment.end = points[next];
    if (i == first) path.start = points[i];
    path.segments.push_back(segment);
  }
  return path;
}

std::optional<BezierPath> interpolateCGPointsWithHermite(const std::vector<CurvePoint>& points, bool closed) {
  const std::size_t n = points.size();
  if (n < 2) return std::nullopt;
  BezierPath path;
  path.closed = closed;
  path.start = points[0];
  const std::size_t count = closed ? n : n - 1;
  for (std::size_t i = 0; i < count; ++i) {
    const CurvePoint c = points[i];
    const std::size_t next = (i + 1) % n, previous = i == 0 ? n - 1 : i - 1;
    CurvePoint m = half(points[next] - c);
    if (closed || i > 0) m = m + half(c - points[previous]);
    const CurvePoint d = points[next], e = points[(next + 1) % n];
    CurvePoint mNext = half(d - c);
    if (closed || i < count - 1) mNext = mNext + half(e - d);
    path.segments.push_back({c + thirdOf(m), d - thirdOf(mNext), d});
  }
  return path;
}

std::array<CurvePoint, 5> normalizeCurvePoints(const std::vector<CurvePoint>& points) {
  if (points.size() != 5) return ci::diagonalToneCurve();
  return ci::normalizedToneCurve({points[0], points[1], points[2], points[3], points[4]});
}

}  // namespace velumar
