#pragma once
// Flat vector pictures in a unit square (x right, y down, as in SVG): filled
// rounded rectangles, ellipses and polygons. One description renders both
// as SVG text and into a bitmap, so the scalable and the pixel icons agree.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/raster/bitmap_context.h"

namespace resourceimages {

struct Rgba {
  std::uint8_t r, g, b;
  double alpha = 1.0;
};

struct Shape {
  enum class Kind { RoundedRect, Ellipse, Polygon };
  Kind kind;
  std::vector<double> values;  // x y w h radius | cx cy rx ry | x0 y0 x1 y1 ...
  Rgba fill;
};

using Picture = std::vector<Shape>;

Shape roundedRect(double x, double y, double w, double h, double radius, Rgba fill);
Shape ellipse(double cx, double cy, double rx, double ry, Rgba fill);
Shape polygon(std::vector<double> points, Rgba fill);

// An SVG document of the given pixel size.
std::string svgDocument(const Picture& picture, int size);
// Fills the picture into the context, scaled to its width and height.
void drawPicture(raster::BitmapContext& context, const Picture& picture);

}  // namespace resourceimages
