// New bitmap representations and redraws of one at another size.

#include <cmath>

#include "engine/imported_image.h"
#include "platform/raster/color_space.h"

namespace velumar {

namespace {

BitmapRepRef newRep(std::int64_t pixelWidth, std::int64_t pixelHeight, raster::PixelFormat format,
                    double dpiScaling, bool doSetSize) {
  auto rep = raster::BitmapImageRep::create(pixelWidth, pixelHeight, format, raster::ColorSpace::sRGB());
  if (!rep) return nullptr;
  if (doSetSize) rep->setSize({double(pixelWidth) * dpiScaling, double(pixelHeight) * dpiScaling});
  return rep;
}

}  // namespace

BitmapRepRef ImportedImage::createNewBmpImageRep(std::int64_t pixelWidth, std::int64_t pixelHeight,
                                                 double dpiScaling, bool doSetSize) {
  return newRep(pixelWidth, pixelHeight, raster::PixelFormat{8, 3, raster::AlphaInfo::PremultipliedLast},
                dpiScaling, doSetSize);
}

BitmapRepRef ImportedImage::createNewBmpImageRepNoAlpha(std::int64_t pixelWidth, std::int64_t pixelHeight,
                                                        double dpiScaling, bool doSetSize) {
  return newRep(pixelWidth, pixelHeight, raster::PixelFormat{8, 3, raster::AlphaInfo::NoneSkipLast},
                dpiScaling, doSetSize);
}

BitmapRepRef ImportedImage::drawInBmpContextFromBmpRep(const BitmapRepRef& rep, raster::Size size) {
  if (!rep || !rep->image()) return nullptr;
  const float pixelWidth = std::ceil(float(size.width));
  const float pixelHeight = std::ceil(float(size.height));
  // Also refuses NaN and sizes beyond what an integer holds.
  if (!(pixelWidth >= 1 && pixelHeight >= 1 && pixelWidth < 1e9f && pixelHeight < 1e9f)) return nullptr;
  auto result = createNewBmpImageRep(std::int64_t(pixelWidth), std::int64_t(pixelHeight), 1.0, false);
  if (!result) return nullptr;
  result->setSize(size);
  auto context = result->makeContext();
  if (!context) return nullptr;
  context->saveGState();
  // The context works in pixels; the drawing is given in points.
  context->scale(pixelWidth / size.width, pixelHeight / size.height);
  context->setInterpolationQuality(raster::InterpolationQuality::High);
  context->drawImage(rep->image(), raster::Rect(0, 0, size.width, size.height));
  context->restoreGState();
  result->setImage(context->makeImage());
  return result;
}

}  // namespace velumar
