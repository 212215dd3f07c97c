#pragma once
// Smooth paths of cubic Bézier segments through a list of points, as the
// tone-curve editor draws them (no drawing here: the segments as points),
// and the one rule that makes five curve points from presets safe.

#include <array>
#include <optional>
#include <vector>

#include "platform/ci/centripetal_curve.h"

namespace velumar {

using ci::CurvePoint;

struct CubicSegment {
  CurvePoint control1, control2, end;
};

struct BezierPath {
  CurvePoint start;  // the move-to
  std::vector<CubicSegment> segments;
  bool closed = false;
};

// Catmull-Rom through points (alpha 0.5 is the centripetal form the editor
// uses). Open: segments from point 1 to point n - 2, the outer points only
// shape the ends; closed: n segments. Nothing for fewer than 4 points.
std::optional<BezierPath> interpolateCGPointsWithCatmullRom(const std::vector<CurvePoint>& points,
                                                            bool closed, float alpha);

// Hermite with tangents from the neighbouring points: n - 1 segments open,
// n closed. Nothing for fewer than 2 points.
std::optional<BezierPath> interpolateCGPointsWithHermite(const std::vector<CurvePoint>& points, bool closed);

// Five tone-curve points for the filters, the preset loader and the editor:
// a count other than five or a non-finite value gives the diagonal; else
// the points sorted by x and clamped to 0..1.
std::array<CurvePoint, 5> normalizeCurvePoints(const std::vector<CurvePoint>& points);

}  // namespace velumar
