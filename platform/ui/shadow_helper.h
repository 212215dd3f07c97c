#pragma once
// Soft shadows for custom-drawn controls: an alpha mask of the shape,
// blurred with a Gaussian and tinted. Shadows of shapes are cached per
// shape, size, blur, colour and device pixel ratio, so repainting a control
// costs one image draw. Main thread only (the cache is not locked).
//
// The blur radius follows the usual convention of drawing APIs: the
// Gaussian's standard deviation is half the blur radius, and the shadow
// reaches about 1.5 blur radii beyond the shape.
//
// Typical use in a paintEvent, before drawing the body itself:
//   ui::drawShadow(painter, bodyPath, {5.0, {0.1, 1.1}, Qt::black});

#include <QColor>
#include <QImage>
#include <QPointF>

class QPainter;
class QPainterPath;

namespace ui {

struct ShadowStyle {
  double blurRadius = 4.0;     // points; 0 gives a hard shadow
  QPointF offset{0.0, 1.0};    // points, in the painter's y-down coordinates
  QColor color{0, 0, 0, 128};  // its alpha scales the whole shadow
};

// How far a shadow of this blur reaches beyond its shape, in points.
double shadowMargin(double blurRadius);

// The shadow of an alpha mask (any format with alpha; Format_Alpha8 is
// used directly): a premultiplied ARGB image larger than the mask by
// ceil(shadowMargin × the mask's device pixel ratio) pixels on every side,
// in the mask's device pixel ratio. A null mask gives a null image. Not
// cached; for shadows of text and pictures.
QImage shadowOfMask(const QImage& mask, double blurRadius, const QColor& color);

// Draws the shadow that the filled shape (painter coordinates) casts, to be
// drawn under the shape. Shapes larger than 4096 points or empty are
// skipped.
void drawShadow(QPainter& painter, const QPainterPath& shape, const ShadowStyle& style);

// Draws a shadow inside the shape, as if the shape were a hole in a plane
// that casts it: darkest along the edges the offset points away from.
void drawInnerShadow(QPainter& painter, const QPainterPath& shape, const ShadowStyle& style);

// Entries in the cache (for tests) and emptying it.
int shadowCacheSize();
void clearShadowCache();

}  // namespace ui
