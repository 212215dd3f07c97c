// Face frames and face crops of the filter engine.

#include <cmath>

#include "filters/cifiltering.h"
#include "platform/raster/path.h"

namespace velumar {

namespace {

// Faces are framed 3 pixels wide on a 1,320,000-pixel image.
constexpr float kFramePixelArea = 1320000.0f;
constexpr float kFrameWidth = 3.0f;

bool finite(const raster::Rect& rect) {
  return std::isfinite(rect.origin.x) && std::isfinite(rect.origin.y) && std::isfinite(rect.size.width) &&
         std::isfinite(rect.size.height);
}

}  // namespace

void CIFiltering::framingFacesWithContext(raster::BitmapContext* context,
                                          const std::optional<std::vector<raster::Rect>>& faces) {
  if (!context || !faces || faces->empty()) return;
  const float width =
      kFrameWidth * std::sqrt(float(context->width()) * float(context->height()) / kFramePixelArea);
  raster::Path path;
  for (const raster::Rect& face : *faces)
    if (finite(face)) path.addRect(face);
  context->saveGState();
  context->setBlendMode(raster::BlendMode::Normal);
  context->setInterpolationQuality(raster::InterpolationQuality::High);
  context->setStrokeColor(raster::Color::gray(1.0));
  context->setLineWidth(width);
  context->setLineCap(raster::LineCap::Round);
  context->setLineJoin(raster::LineJoin::Round);
  context->strokePath(path);
  context->restoreGState();
}

void CIFiltering::facesBitmapRepsWithCIImage(const ci::ImageRef& image, const raster::Rect& extent,
                                             const std::vector<raster::Rect>& faces) {
  if (!image || !ciContext_ || faces.empty()) return;
  for (const raster::Rect& face : faces) {
    if (!finite(face)) continue;
    const raster::Rect inside = face.standardized().intersection(extent.standardized());
    const raster::Rect pixels(std::round(inside.origin.x), std::round(inside.origin.y),
                              std::round(inside.size.width), std::round(inside.size.height));
    if (!(pixels.size.width >= 1 && pixels.size.height >= 1)) continue;
    const raster::ImageRef rendered = ciContext_->createImage(image, pixels);
    if (!rendered) continue;
    // 8-bit sRGB whatever the context renders in.
    auto crop = raster::BitmapImageRep::create(rendered->width(), rendered->height(),
                                               raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB());
    auto context = crop ? crop->makeContext() : nullptr;
    if (!context) continue;
    context->setBlendMode(raster::BlendMode::Copy);
    context->drawImage(rendered, raster::Rect(0, 0, double(rendered->width()), double(rendered->height())));
    crop->setImage(context->makeImage());
    cropFacesArray.push_back(std::move(crop));
  }
}

}  // namespace velumar
