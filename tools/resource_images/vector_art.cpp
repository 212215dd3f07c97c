#include "tools/resource_images/vector_art.h"

#include <fmt/format.h>

#include <algorithm>

namespace resourceimages {
namespace {

// Short, exact decimal text for coordinates in the unit square.
std::string number(double value) {
  std::string text = fmt::format("{:.4f}", value);
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

std::string fillAttributes(const Rgba& fill) {
  std::string text = fmt::format("fill=\"#{:02x}{:02x}{:02x}\"", fill.r, fill.g, fill.b);
  if (fill.alpha < 1.0) text += fmt::format(" fill-opacity=\"{}\"", number(fill.alpha));
  return text;
}

std::string svgElement(const Shape& shape) {
  const auto& v = shape.values;
  switch (shape.kind) {
    case Shape::Kind::RoundedRect:
      return fmt::format("<rect x=\"{}\" y=\"{}\" width=\"{}\" height=\"{}\" rx=\"{}\" {}/>", number(v[0]),
                         number(v[1]), number(v[2]), number(v[3]), number(v[4]), fillAttributes(shape.fill));
    case Shape::Kind::Ellipse:
      return fmt::format("<ellipse cx=\"{}\" cy=\"{}\" rx=\"{}\" ry=\"{}\" {}/>", number(v[0]), number(v[1]),
                         number(v[2]), number(v[3]), fillAttributes(shape.fill));
    case Shape::Kind::Polygon: {
      std::string points;
      for (std::size_t i = 0; i + 1 < v.size(); i += 2)
        points += (i ? " " : "") + number(v[i]) + "," + number(v[i + 1]);
      return fmt::format("<polygon points=\"{}\" {}/>", points, fillAttributes(shape.fill));
    }
  }
  return {};
}

raster::Path rasterPath(const Shape& shape) {
  const auto& v = shape.values;
  raster::Path path;
  switch (shape.kind) {
    case Shape::Kind::RoundedRect:
      path.addRoundedRect(raster::Rect(v[0], v[1], v[2], v[3]), v[4], v[4]);
      break;
    case Shape::Kind::Ellipse:
      path.addEllipse(raster::Rect(v[0] - v[2], v[1] - v[3], 2 * v[2], 2 * v[3]));
      break;
    case Shape::Kind::Polygon:
      for (std::size_t i = 0; i + 1 < v.size(); i += 2) {
        const raster::Point p{v[i], v[i + 1]};
        i == 0 ? path.moveTo(p) : path.lineTo(p);
      }
      path.closeSubpath();
      break;
  }
  return path;
}

}  // namespace

Shape roundedRect(double x, double y, double w, double h, double radius, Rgba fill) {
  return {Shape::Kind::RoundedRect, {x, y, w, h, radius}, fill};
}
Shape ellipse(double cx, double cy, double rx, double ry, Rgba fill) {
  return {Shape::Kind::Ellipse, {cx, cy, rx, ry}, fill};
}
Shape polygon(std::vector<double> points, Rgba fill) {
  return {Shape::Kind::Polygon, std::move(points), fill};
}

std::string svgDocument(const Picture& picture, int size) {
  std::string svg = fmt::format(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"{0}\" "
      "height=\"{0}\" viewBox=\"0 0 1 1\">\n",
      size);
  for (const auto& shape : picture) svg += "  " + svgElement(shape) + "\n";
  return svg + "</svg>\n";
}

void drawPicture(raster::BitmapContext& context, const Picture& picture) {
  context.saveGState();
  // Unit square, y down, onto the context's y-up pixels.
  context.translate(0, double(context.height()));
  context.scale(double(context.width()), -double(context.height()));
  for (const auto& shape : picture) {
    context.setFillColor(raster::Color::rgb(shape.fill.r / 255.0, shape.fill.g / 255.0, shape.fill.b / 255.0,
                                            shape.fill.alpha));
    context.fillPath(rasterPath(shape));
  }
  context.restoreGState();
}

}  // namespace resourceimages
