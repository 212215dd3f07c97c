#include "preview/preview_geometry.h"

#include <algorithm>
#include <cmath>

namespace velumar {
namespace {

// Halves away from zero, in single precision.
double roundedFloat(double value) {
  return double(std::round(float(value)));
}

bool positive(raster::Size size) {
  return std::isfinite(size.width) && std::isfinite(size.height) && size.width > 0 && size.height > 0;
}

}  // namespace

raster::Rect drawingRectForImage(raster::Size bounds, raster::Size imagePixels, double backingScale,
                                 double* ratio) {
  if (ratio) *ratio = 0;
  const double scale = backingScale > 0 && std::isfinite(backingScale) ? backingScale : 1.0;
  const raster::Size image{imagePixels.width / scale, imagePixels.height / scale};
  if (!positive(bounds) || !positive(image)) return {};
  const double r = std::min(bounds.width / image.width, bounds.height / image.height);
  const double width = image.width * r, height = image.height * r;
  if (ratio) *ratio = r;
  return {roundedFloat((bounds.width - width) / 2), roundedFloat((bounds.height - height) / 2), width,
          height};
}

raster::Size cappedPreviewPixelSize(raster::Size pixels) {
  const double area = pixels.width * pixels.height;
  if (!(area > kPreviewPixelCap)) return pixels;
  const float s = std::sqrt(float(kPreviewPixelCap / area));
  return {std::floor(double(float(pixels.width * s))), std::floor(double(float(pixels.height * s)))};
}

double representationDpi(double pixelsWide, double pointsWide) {
  if (!(pointsWide > 0) || !std::isfinite(pixelsWide / pointsWide)) return 72;
  return roundedFloat(pixelsWide / pointsWide * 72);
}

raster::Point cropPointForLocation(raster::Point location, const raster::Rect& drawingRect) {
  if (!(drawingRect.size.width > 0 && drawingRect.size.height > 0)) return {};
  return {(location.x - drawingRect.origin.x) / drawingRect.size.width * 100,
          (location.y - drawingRect.origin.y) / drawingRect.size.height * 100};
}

std::optional<raster::Rect> cropFrameRect(const raster::Rect& drawingRect, double ratio,
                                          raster::Point cropPointPercent, raster::Size cropOriginalSize,
                                          double backingScale) {
  const double scale = backingScale > 0 && std::isfinite(backingScale) ? backingScale : 1.0;
  const double cw = cropOriginalSize.width / scale * ratio;
  const double ch = cropOriginalSize.height / scale * ratio;
  const double cx = cropPointPercent.x / 100, cy = cropPointPercent.y / 100;
  if (!std::isfinite(cw) || !std::isfinite(ch) || !std::isfinite(cx) || !std::isfinite(cy)) return {};
  const raster::Rect crop(drawingRect.origin.x + roundedFloat(drawingRect.size.width * cx - cw / 2),
                          drawingRect.origin.y + roundedFloat(drawingRect.size.height * cy - ch / 2), cw, ch);
  const raster::Rect visible = crop.intersection(drawingRect);
  if (visible.size.width <= 0 || visible.size.height <= 0) return {};
  return visible;
}

double cropLineScale(const raster::Rect& drawingRect) {
  return double(std::sqrt(float(drawingRect.size.width * drawingRect.size.height / 1000000.0)));
}

std::optional<raster::Rect> fittedWindowFrame(const WindowFitting& fitting) {
  const double s =
      fitting.backingScale > 0 && std::isfinite(fitting.backingScale) ? fitting.backingScale : 1.0;
  if (!positive(fitting.imageSize)) return {};
  const double largestArea = s <= 1 ? 1920000 * s * s : 786432 * s * s;
  const double w = fitting.imageSize.width, h = fitting.imageSize.height;
  double f = 1;
  if (w * h > largestArea) f = double(std::sqrt(float(largestArea / (w * h))));
  raster::Size frame{roundedFloat(w * f / s) + 6 + fitting.decoration.width,
                     roundedFloat(h * f / s) + 6 + fitting.decoration.height};

  const raster::Size screen = fitting.visibleScreen.size;
  const double widthRatio = screen.width / frame.width, heightRatio = screen.height / frame.height;
  if (positive(screen) && (widthRatio < 1 || heightRatio < 1)) {
    const double shrink = widthRatio <= heightRatio ? widthRatio : heightRatio;
    frame = {roundedFloat(frame.width * shrink), roundedFloat(frame.height * shrink)};
  }
  if (fitting.minimumSize.width > frame.width || fitting.minimumSize.height > frame.height)
    frame = fitting.minimumSize;
  if ((fitting.fittedOnce && fitting.remainsSameSize) || fitting.zoomed) return {};

  const raster::Point centre{fitting.frame.origin.x + fitting.frame.size.width / 2,
                             fitting.frame.origin.y + fitting.frame.size.height / 2};
  const raster::Point low = fitting.visibleScreen.origin;
  const raster::Point high{low.x + screen.width, low.y + screen.height};
  raster::Point origin{std::max(low.x, centre.x - frame.width / 2),
                       std::max(low.y, centre.y - frame.height / 2)};
  if (origin.x + frame.width > high.x) origin.x -= origin.x + frame.width - high.x;
  if (origin.y + frame.height > high.y) origin.y -= origin.y + frame.height - high.y;
  return raster::Rect(origin.x, origin.y, frame.width, frame.height);
}

}  // namespace velumar
