#include "platform/ui/shadow_helper.h"

#include <QHash>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <tuple>
#include <vector>

#include "platform/raster/gaussian_blur.h"

namespace ui {
namespace {

constexpr int kMaxCacheEntries = 64;
constexpr double kMaxBlurRadius = 200.0;
constexpr double kMaxShapeSide = 4096.0;

// Shape relative to its bounds' origin, blur, frame, colour, ratio, inner.
using CacheKey = std::tuple<std::size_t, qint64, qint64, QRgb, qint64, bool>;

std::map<CacheKey, QImage>& cache() {
  static std::map<CacheKey, QImage> entries;
  return entries;
}

qint64 quantised(double value) {
  return qint64(std::llround(value * 64.0));
}

double saneBlur(double blurRadius) {
  return std::isfinite(blurRadius) ? std::clamp(blurRadius, 0.0, kMaxBlurRadius) : 0.0;
}

double deviceRatio(const QPainter& painter) {
  const QPaintDevice* device = painter.device();
  const double ratio = device ? device->devicePixelRatioF() : 1.0;
  return std::isfinite(ratio) ? std::clamp(ratio, 0.25, 8.0) : 1.0;
}

// Margin of a shadow image in points: whole device pixels.
double marginPoints(double blurRadius, double ratio) {
  return std::ceil(shadowMargin(blurRadius) * ratio) / ratio;
}

std::size_t shapeHash(const QPainterPath& shape, QPointF origin) {
  std::size_t hash = std::size_t(shape.fillRule());
  for (int i = 0; i < shape.elementCount(); ++i) {
    const QPainterPath::Element element = shape.elementAt(i);
    hash = qHashMulti(hash, int(element.type), quantised(element.x - origin.x()),
                      quantised(element.y - origin.y()));
  }
  return hash;
}

// The shape's coverage at its bounds' origin; inverted for inner shadows,
// over a frame wide enough for the blur and the offset to pull in.
QImage shapeMask(const QPainterPath& shape, double ratio, double frame, bool inverted) {
  const QRectF bounds = shape.boundingRect().adjusted(-frame, -frame, frame, frame);
  QImage mask(int(std::ceil(bounds.width() * ratio)), int(std::ceil(bounds.height() * ratio)),
              QImage::Format_Alpha8);
  mask.fill(inverted ? 255 : 0);
  mask.setDevicePixelRatio(ratio);
  QPainter painter(&mask);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.fillPath(shape.translated(-bounds.topLeft()), inverted ? Qt::transparent : Qt::black);
  return mask;
}

bool drawableShape(const QPainterPath& shape) {
  const QRectF bounds = shape.boundingRect();
  return !shape.isEmpty() && bounds.width() > 0 && bounds.height() > 0 && bounds.width() <= kMaxShapeSide &&
         bounds.height() <= kMaxShapeSide;
}

QImage cachedShadow(const QPainterPath& shape, const ShadowStyle& style, double ratio, bool inner,
                    double frame) {
  const CacheKey key{shapeHash(shape, shape.boundingRect().topLeft()),
                     quantised(saneBlur(style.blurRadius)),
                     quantised(frame),
                     style.color.toRgb().rgba(),
                     quantised(ratio),
                     inner};
  auto& entries = cache();
  if (auto found = entries.find(key); found != entries.end()) return found->second;
  QImage shadow = shadowOfMask(shapeMask(shape, ratio, frame, inner), style.blurRadius, style.color);
  if (entries.size() >= kMaxCacheEntries) entries.clear();
  entries.emplace(key, shadow);
  return shadow;
}

}  // namespace

double shadowMargin(double blurRadius) {
  return std::ceil(1.5 * saneBlur(blurRadius));
}

QImage shadowOfMask(const QImage& mask, double blurRadius, const QColor& color) {
  if (mask.isNull() || mask.width() <= 0 || mask.height() <= 0) return {};
  const double ratio = mask.devicePixelRatio();
  const QImage alpha = mask.format() == QImage::Format_Alpha8
                           ? mask
                           : mask.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  const int margin = int(std::ceil(shadowMargin(blurRadius) * ratio));
  const std::int64_t width = std::int64_t(mask.width()) + 2 * margin;
  const std::int64_t height = std::int64_t(mask.height()) + 2 * margin;

  std::vector<float> plane(std::size_t(width * height), 0.0f);
  for (int y = 0; y < alpha.height(); ++y) {
    float* out = plane.data() + (y + margin) * width + margin;
    if (alpha.format() == QImage::Format_Alpha8) {
      const uchar* in = alpha.constScanLine(y);
      for (int x = 0; x < alpha.width(); ++x) out[x] = float(in[x]) / 255.0f;
    } else {
      const QRgb* in = reinterpret_cast<const QRgb*>(alpha.constScanLine(y));
      for (int x = 0; x < alpha.width(); ++x) out[x] = float(qAlpha(in[x])) / 255.0f;
    }
  }
  raster::gaussianBlurPlane(plane, width, height, saneBlur(blurRadius) * ratio / 2.0);

  QImage shadow(int(width), int(height), QImage::Format_ARGB32_Premultiplied);
  const QColor rgb = color.toRgb();
  const float alphaScale = float(rgb.alphaF());
  const float red = float(rgb.redF()), green = float(rgb.greenF()), blue = float(rgb.blueF());
  for (int y = 0; y < shadow.height(); ++y) {
    const float* in = plane.data() + y * width;
    QRgb* out = reinterpret_cast<QRgb*>(shadow.scanLine(y));
    for (int x = 0; x < shadow.width(); ++x) {
      const float a = std::clamp(in[x] * alphaScale, 0.0f, 1.0f);
      out[x] = qRgba(int(std::lround(red * a * 255.0f)), int(std::lround(green * a * 255.0f)),
                     int(std::lround(blue * a * 255.0f)), int(std::lround(a * 255.0f)));
    }
  }
  shadow.setDevicePixelRatio(ratio);
  return shadow;
}

void drawShadow(QPainter& painter, const QPainterPath& shape, const ShadowStyle& style) {
  if (!drawableShape(shape)) return;
  const double ratio = deviceRatio(painter);
  const QImage shadow = cachedShadow(shape, style, ratio, false, 0.0);
  const double margin = marginPoints(style.blurRadius, ratio);
  painter.drawImage(shape.boundingRect().topLeft() + style.offset - QPointF(margin, margin), shadow);
}

void drawInnerShadow(QPainter& painter, const QPainterPath& shape, const ShadowStyle& style) {
  if (!drawableShape(shape)) return;
  const double ratio = deviceRatio(painter);
  // The plane around the hole must reach as far as the blur and the offset
  // can carry its shadow into the shape.
  const double frame = std::ceil(shadowMargin(style.blurRadius) + std::abs(style.offset.x()) +
                                 std::abs(style.offset.y()) + 1.0);
  const QImage shadow = cachedShadow(shape, style, ratio, true, frame);
  const double margin = marginPoints(style.blurRadius, ratio);
  painter.save();
  painter.setClipPath(shape, Qt::IntersectClip);
  painter.drawImage(shape.boundingRect().topLeft() + style.offset - QPointF(margin + frame, margin + frame),
                    shadow);
  painter.restore();
}

int shadowCacheSize() {
  return int(cache().size());
}

void clearShadowCache() {
  cache().clear();
}

}  // namespace ui
