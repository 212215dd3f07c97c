#include "platform/raster/path.h"

#include <algorithm>

namespace raster {

void Path::addRect(const Rect& r) {
  moveTo({r.origin.x, r.origin.y});
  lineTo({r.origin.x + r.size.width, r.origin.y});
  lineTo({r.origin.x + r.size.width, r.origin.y + r.size.height});
  lineTo({r.origin.x, r.origin.y + r.size.height});
  closeSubpath();
}

void Path::addRoundedRect(const Rect& rect, double radiusX, double radiusY) {
  Rect r = rect.standardized();
  double rx = std::clamp(radiusX, 0.0, r.width() / 2), ry = std::clamp(radiusY, 0.0, r.height() / 2);
  if (rx <= 0 || ry <= 0) {
    addRect(r);
    return;
  }
  constexpr double k = 0.5522847498307936;  // cubic approximation of a quarter circle
  double x0 = r.minX(), y0 = r.minY(), x1 = r.maxX(), y1 = r.maxY();
  moveTo({x0 + rx, y0});
  lineTo({x1 - rx, y0});
  curveTo({x1 - rx + k * rx, y0}, {x1, y0 + ry - k * ry}, {x1, y0 + ry});
  lineTo({x1, y1 - ry});
  curveTo({x1, y1 - ry + k * ry}, {x1 - rx + k * rx, y1}, {x1 - rx, y1});
  lineTo({x0 + rx, y1});
  curveTo({x0 + rx - k * rx, y1}, {x0, y1 - ry + k * ry}, {x0, y1 - ry});
  lineTo({x0, y0 + ry});
  curveTo({x0, y0 + ry - k * ry}, {x0 + rx - k * rx, y0}, {x0 + rx, y0});
  closeSubpath();
}

void Path::addEllipse(const Rect& rect) {
  Rect r = rect.standardized();
  constexpr double k = 0.5522847498307936;
  double cx = r.minX() + r.width() / 2, cy = r.minY() + r.height() / 2, rx = r.width() / 2,
         ry = r.height() / 2;
  moveTo({cx + rx, cy});
  curveTo({cx + rx, cy + k * ry}, {cx + k * rx, cy + ry}, {cx, cy + ry});
  curveTo({cx - k * rx, cy + ry}, {cx - rx, cy + k * ry}, {cx - rx, cy});
  curveTo({cx - rx, cy - k * ry}, {cx - k * rx, cy - ry}, {cx, cy - ry});
  curveTo({cx + k * rx, cy - ry}, {cx + rx, cy - k * ry}, {cx + rx, cy});
  closeSubpath();
}

Rect Path::bounds() const {
  bool first = true;
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  for (const Element& e : elements_) {
    int points = e.verb == Verb::Curve ? 3 : e.verb == Verb::Close ? 0 : 1;
    for (int i = 0; i < points; ++i) {
      const Point& p = e.points[i];
      if (first) {
        x0 = x1 = p.x, y0 = y1 = p.y, first = false;
      } else {
        x0 = std::min(x0, p.x), x1 = std::max(x1, p.x), y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
      }
    }
  }
  return Rect(x0, y0, x1 - x0, y1 - y0);
}

}  // namespace raster
