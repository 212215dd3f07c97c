#pragma once
// A vector path in user space (y up): move, line, cubic curve and close
// elements, plus the shapes the engine draws. Contexts transform it with
// their current transform when it is filled, stroked or clipped to.

#include <vector>

#include "platform/raster/geometry.h"

namespace raster {

class Path {
 public:
  enum class Verb { Move, Line, Curve, Close };
  struct Element {
    Verb verb;
    Point points[3];
  };

  void moveTo(Point p) { elements_.push_back({Verb::Move, {p, {}, {}}}); }
  void lineTo(Point p) { elements_.push_back({Verb::Line, {p, {}, {}}}); }
  void curveTo(Point c1, Point c2, Point end) { elements_.push_back({Verb::Curve, {c1, c2, end}}); }
  void closeSubpath() { elements_.push_back({Verb::Close, {}}); }

  void addRect(const Rect& r);
  // Corner radii are clamped to half the width and height.
  void addRoundedRect(const Rect& r, double radiusX, double radiusY);
  void addEllipse(const Rect& r);

  bool isEmpty() const { return elements_.empty(); }
  const std::vector<Element>& elements() const { return elements_; }
  // Bounding box of all points (control points included).
  Rect bounds() const;

 private:
  std::vector<Element> elements_;
};

}  // namespace raster
