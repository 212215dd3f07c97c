// The watermark step: a picture and, over it, a text or date mark, sized
// against a 1600 × 1200 reference output and placed in percent of the
// output's width and height, y up.

#include <algorithm>
#include <cmath>

#include "engine/imported_image.h"
#include "platform/foundation/date_format.h"

namespace velumar {

namespace {

constexpr double kReferenceWidth = 1600;
constexpr double kReferenceHeight = 1200;

double clampedOpacity(double opacity) {
  return std::isfinite(opacity) ? std::clamp(opacity, 0.0, 1.0) : 0.0;
}

// Moves the origin to the mark's centre and turns by angle degrees
// clockwise on the output. false when the centre is not a finite point.
bool placeMark(raster::BitmapContext& context, raster::Point originPercent, double angle) {
  const double cx = originPercent.x / 100 * double(context.width());
  const double cy = originPercent.y / 100 * double(context.height());
  if (!std::isfinite(cx) || !std::isfinite(cy)) return false;
  context.translate(cx, cy);
  if (angle != 0 && std::isfinite(angle)) context.rotate(-angle * M_PI / 180);
  return true;
}

}  // namespace

void ImportedImage::drawTextAndImageWithContext(raster::BitmapContext* context, ImageModifyInfo info) {
  if (!context || (!info.addWatermarkText && !info.addWatermarkImage)) return;
  const double f =
      std::min(double(context->width()) / kReferenceWidth, double(context->height()) / kReferenceHeight);
  context->saveGState();
  context->setInterpolationQuality(raster::InterpolationQuality::High);
  context->setBlendMode(raster::BlendMode::Normal);

  const raster::BitmapImageRepRef picture =
      watermarkImage ? watermarkImage->largestRepresentation() : nullptr;
  if (info.addWatermarkImage && picture) {
    const raster::Size size = watermarkImage->size();
    const double s = f * info.imageSizePercent;
    const double sw = size.width * s, sh = size.height * s;
    if (size.width > 0 && size.height > 0 && s > 0 && std::isfinite(sw) && std::isfinite(sh)) {
      context->saveGState();
      if (placeMark(*context, info.imageOrigin, info.imageAngle)) {
        context->setAlpha(clampedOpacity(info.imageOpacity));
        context->drawImage(picture->image(), raster::Rect(-sw / 2, -sh / 2, sw, sh));
      }
      context->restoreGState();
    }
  }

  if (info.addWatermarkText) {
    if (info.addWatermarkDate && watermarkMetadataDate)
      watermarkDrawDate = foundation::localizedDateString(*watermarkMetadataDate, (long long)info.dateStyle);
    raster::AttributedText text{info.addWatermarkDate ? watermarkDrawDate : watermarkDrawString,
                                textAttributes};
    if (!text.text.empty()) {
      text.attributes.obliqueness = double(float(info.textObliqueness));
      text.attributes.fontFamily = textFont.family;
      text.attributes.bold = textFont.bold;
      text.attributes.italic = textFont.italic;
      text.attributes.pointSize = textFont.pointSize * f;
      const raster::Size box = raster::BitmapContext::measureText(text);
      context->saveGState();
      if (placeMark(*context, info.textOrigin, info.textAngle)) {
        context->setAlpha(clampedOpacity(info.textOpacity));
        context->drawText(text, {-box.width / 2, -box.height / 2});
      }
      context->restoreGState();
    }
  }
  context->restoreGState();
}

}  // namespace velumar
