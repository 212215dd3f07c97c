#pragma once
// Plane geometry in the platform's conventions: origin at the lower left,
// y up. An affine transform maps (x, y) to (a·x + c·y + tx, b·x + d·y + ty);
// concatenating T onto M applies T first, then M.

#include <algorithm>
#include <cmath>
#include <optional>

namespace raster {

struct Point {
  double x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

struct Size {
  double width = 0, height = 0;
  bool operator==(const Size&) const = default;
};

struct Rect {
  Point origin;
  Size size;

  Rect() = default;
  Rect(double x, double y, double w, double h) : origin{x, y}, size{w, h} {}

  double minX() const { return std::min(origin.x, origin.x + size.width); }
  double maxX() const { return std::max(origin.x, origin.x + size.width); }
  double minY() const { return std::min(origin.y, origin.y + size.height); }
  double maxY() const { return std::max(origin.y, origin.y + size.height); }
  double width() const { return std::abs(size.width); }
  double height() const { return std::abs(size.height); }
  bool isEmpty() const { return size.width == 0 || size.height == 0; }
  // Same rectangle with non-negative width and height.
  Rect standardized() const { return Rect(minX(), minY(), width(), height()); }
  Rect intersection(const Rect& other) const {
    double x0 = std::max(minX(), other.minX()), y0 = std::max(minY(), other.minY());
    double x1 = std::min(maxX(), other.maxX()), y1 = std::min(maxY(), other.maxY());
    if (x1 <= x0 || y1 <= y0) return Rect(x0, y0, 0, 0);
    return Rect(x0, y0, x1 - x0, y1 - y0);
  }
  bool operator==(const Rect&) const = default;
};

struct AffineTransform {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

  static AffineTransform identity() { return {}; }
  static AffineTransform translation(double x, double y) { return {1, 0, 0, 1, x, y}; }
  static AffineTransform scaling(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
  // Counter-clockwise for positive angles (y up).
  static AffineTransform rotation(double radians) {
    double s = std::sin(radians), co = std::cos(radians);
    return {co, s, -s, co, 0, 0};
  }

  // this ∘ t: applies t first, then this.
  AffineTransform concat(const AffineTransform& t) const {
    return {t.a * a + t.b * c, t.a * b + t.b * d,        t.c * a + t.d * c,
            t.c * b + t.d * d, t.tx * a + t.ty * c + tx, t.tx * b + t.ty * d + ty};
  }
  std::optional<AffineTransform> inverted() const {
    double det = a * d - b * c;
    if (det == 0 || !std::isfinite(det)) return std::nullopt;
    double ia = d / det, ib = -b / det, ic = -c / det, id = a / det;
    return AffineTransform{ia, ib, ic, id, -(tx * ia + ty * ic), -(tx * ib + ty * id)};
  }
  Point apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
  Size applyToSize(Size s) const { return {a * s.width + c * s.height, b * s.width + d * s.height}; }
  // Bounding box of the transformed rectangle.
  Rect applyToRect(const Rect& r) const {
    Point p[4] = {apply({r.minX(), r.minY()}), apply({r.maxX(), r.minY()}), apply({r.minX(), r.maxY()}),
                  apply({r.maxX(), r.maxY()})};
    double x0 = p[0].x, x1 = p[0].x, y0 = p[0].y, y1 = p[0].y;
    for (const Point& q : p) {
      x0 = std::min(x0, q.x), x1 = std::max(x1, q.x), y0 = std::min(y0, q.y), y1 = std::max(y1, q.y);
    }
    return Rect(x0, y0, x1 - x0, y1 - y0);
  }
  bool isIdentity() const { return *this == AffineTransform{}; }
  bool isFinite() const {
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d) &&
           std::isfinite(tx) && std::isfinite(ty);
  }
  bool operator==(const AffineTransform&) const = default;
};

}  // namespace raster
