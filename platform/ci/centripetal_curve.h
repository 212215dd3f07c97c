#pragma once
// The tone curve shared by the tone-curve filter and the curve editor: a
// centripetal Catmull-Rom spline (alpha 0.5) through five points, drawn as
// cubic Bézier segments, and read as output level y of input level x.

#include <array>
#include <cstddef>
#include <vector>

namespace ci {

struct CurvePoint {
  double x = 0, y = 0;
  bool operator==(const CurvePoint&) const = default;
};

using ToneCurvePoints = std::array<CurvePoint, 5>;

// The keys of the five points of a tone-curve filter.
inline constexpr std::array<const char*, 5> kToneCurvePointKeys = {
    "inputPoint0", "inputPoint1", "inputPoint2", "inputPoint3", "inputPoint4"};

// (0, 0), (0.25, 0.25), (0.5, 0.5), (0.75, 0.75), (1, 1).
ToneCurvePoints diagonalToneCurve();

// Five points made safe: any non-finite value gives the diagonal; else
// sorted by x (stable) and each coordinate clamped to 0..1.
ToneCurvePoints normalizedToneCurve(const ToneCurvePoints& points);

// The Bézier control points of the Catmull-Rom segment from p1 to p2 with
// outer neighbours p0 and p3: chord lengths and their powers in single
// precision, points in double. Where a denominator is 0 (p0 = p1 or
// p2 = p3 with alpha above 0) the end point itself is the control point.
void catmullRomControls(const CurvePoint& p0, const CurvePoint& p1, const CurvePoint& p2,
                        const CurvePoint& p3, float alpha, CurvePoint& control1, CurvePoint& control2);

// The curve through (-0.25, -0.25), the five (normalized) points and
// (1.25, 1.25), from the first point to the last, sampled densely; flat
// beyond the end points; x kept non-decreasing; outputs clamped to 0..1.
// Entry i is the output for input i / (entries - 1).
std::vector<float> toneCurveTable(const ToneCurvePoints& points, std::size_t entries);

}  // namespace ci
