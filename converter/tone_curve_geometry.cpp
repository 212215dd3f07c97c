#include "converter/tone_curve_geometry.h"

namespace velumar {

CurvePoints curveViewPoints(const std::vector<raster::Point>& points) {
  std::vector<CurvePoint> given;
  for (const raster::Point& point : points) given.push_back({point.x, point.y});
  const std::array<CurvePoint, 5> normal = normalizeCurvePoints(given);
  CurvePoints out;
  for (std::size_t i = 0; i < 5; ++i) out[i] = {normal[i].x, normal[i].y};
  return out;
}

std::optional<std::size_t> curvePointHit(const CurvePoints& points, raster::Point c, raster::Size view,
                                         double r) {
  for (std::size_t i = 0; i < points.size(); ++i) {
    const double x = view.width * points[i].x, y = view.height * points[i].y;
    if (c.x >= x - 2 * r && c.x < x + 2 * r && c.y >= y - 2 * r && c.y < y + 2 * r) return i;
  }
  return std::nullopt;
}

bool acceptsCurveMove(const CurvePoints& p, std::size_t i, raster::Point q, raster::Size view, double r) {
  const double W = view.width, H = view.height;
  const double left = W * q.x - r, bottom = H * q.y - r;
  if (!(bottom >= 0 && bottom + 2 * r <= H)) return false;
  const std::size_t last = p.size() - 1;
  const bool clearOfPrevious = i == 0 ? left >= 0 : left >= W * p[i - 1].x + r;
  const bool clearOfNext = i == last ? left + 2 * r <= W : left + 2 * r <= W * p[i + 1].x - r;
  return clearOfPrevious && clearOfNext;
}

raster::Point curveKnobCentre(const CurvePoints& p, std::size_t i, raster::Size view, double r) {
  double d = 0;
  if (i == 0 && (p[0].x == 0 || p[0].y == 0)) d = r;
  if (i == p.size() - 1 && (p[i].x == 1 || p[i].y == 1)) d = -r;
  return {view.width * p[i].x + d, view.height * p[i].y + d};
}

CurveDrawing curveDrawing(const CurvePoints& p, raster::Size view) {
  const double W = view.width, H = view.height;
  std::vector<CurvePoint> through{{-0.25 * W, -0.25 * H}};
  for (const raster::Point& point : p) through.push_back({W * point.x, H * point.y});
  through.push_back({1.25 * W, 1.25 * H});
  return {{-100, H * p.front().y},
          {W + 100, H * p.back().y},
          interpolateCGPointsWithCatmullRom(through, false, 0.5f)};
}

}  // namespace velumar
