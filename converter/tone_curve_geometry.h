#pragma once
// The tone-curve editor's geometry: which knob a click grabs, which moves a
// drag may make, where knobs are drawn and the curve through the points.
// Points are fractions of the view (0 to 1, y up); W and H the view's size
// in points; r the knob radius. No widgets.

#include <array>
#include <optional>
#include <vector>

#include "filters/curve_interpolation.h"
#include "platform/raster/geometry.h"

namespace velumar {

using CurvePoints = std::array<raster::Point, 5>;

inline constexpr double kCurveKnobRadius = 5.0;

// The five points a curve view shows for any stored list (the points the
// conversion applies).
CurvePoints curveViewPoints(const std::vector<raster::Point>& points);

// The first point whose 4r square holds the click (lower edges inside).
std::optional<std::size_t> curvePointHit(const CurvePoints& points, raster::Point click, raster::Size view,
                                         double r);

// Whether point i may move to the fraction q: its knob stays inside the
// view and clear of its neighbours' knobs (touching allowed).
bool acceptsCurveMove(const CurvePoints& points, std::size_t i, raster::Point q, raster::Size view, double r);

// The centre a knob is drawn at in view points: corner knobs move inwards
// by r so they stay inside the frame.
raster::Point curveKnobCentre(const CurvePoints& points, std::size_t i, raster::Size view, double r);

// The curve through the points in view points: the Catmull-Rom path from
// the first to the last point, extended flat beyond both ends.
struct CurveDrawing {
  raster::Point leftEnd, rightEnd;  // the flat extensions' outer ends
  std::optional<BezierPath> path;
};
CurveDrawing curveDrawing(const CurvePoints& points, raster::Size view);

}  // namespace velumar
