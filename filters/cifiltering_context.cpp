// The filter engine's context, the deferred chain, the draw and the
// immediate draws.

#include "filters/cifiltering.h"

namespace velumar {

namespace {

raster::Rect wholeContext(const raster::BitmapContext& context) {
  return raster::Rect(0, 0, double(context.width()), double(context.height()));
}

}  // namespace

ci::ContextRef CIFiltering::makeContext(raster::BitmapContext* context, bool createRGBContext) const {
  if (!context) return nullptr;
  // The hardware renderer is asked for first; the one CPU renderer answers
  // it, so the software fallback is never needed.
  return ci::Context::withBitmapContext(*context, ci::Context::Options{false, createRGBContext});
}

void CIFiltering::createNewCIContextWithCGContext(raster::BitmapContext* context, bool createRGBContext) {
  ciContext_ = makeContext(context, createRGBContext);
  ciImage_ = nullptr;
  facesRectArray_.reset();
}

ci::ContextRef CIFiltering::ciContextWithCGContext(raster::BitmapContext* context, bool createRGBContext) {
  ciImage_ = nullptr;
  facesRectArray_.reset();
  return makeContext(context, createRGBContext);
}

void CIFiltering::resetCIContext() {
  ciContext_ = nullptr;
  ciImage_ = nullptr;
  facesRectArray_.reset();
}

ci::ImageRef CIFiltering::chainInput(raster::BitmapContext* context) const {
  if (ciImage_) return ciImage_;
  if (!context) return nullptr;
  return ci::Image::withBitmap(context->makeImage());
}

void CIFiltering::applyCIFilter(const ci::FilterRef& filter, raster::BitmapContext* context) {
  if (!ciContext_ || !filter) return;
  ci::ImageRef input = chainInput(context);
  if (!input) return;
  filter->setValue(ci::kInputImageKey, input);
  ciImage_ = filter->outputImage();
}

void CIFiltering::applyCIFilterFiniteExtent(const ci::FilterRef& filter, raster::BitmapContext* context) {
  if (!ciContext_ || !filter) return;
  ci::ImageRef input;
  if (ciImage_) {
    if (!context) return;
    input = ciImage_->cropped(wholeContext(*context));
  } else {
    input = chainInput(context);
  }
  if (!input) return;
  filter->setValue(ci::kInputImageKey, input);
  ciImage_ = filter->outputImage();
}

ci::ImageRef CIFiltering::ciImageWithFilter(const ci::FilterRef& filter, const ci::ImageRef& image) {
  if (!filter) return nullptr;
  filter->setValue(ci::kInputImageKey, image);
  return filter->outputImage();
}

void CIFiltering::drawCIImageWithCGContext(raster::BitmapContext* context, bool clearContext) {
  if (!ciImage_) return;
  if (context) {
    const raster::Rect r = wholeContext(*context);
    if (clearContext) context->clearRect(r);
    if (ciContext_) {
      if (filterUsesGPUForRendering()) {
        ciContext_->drawImage(ciImage_, r, r);
      } else if (raster::ImageRef rendered = ciContext_->createImage(ciImage_, r)) {
        context->drawImage(rendered, r);
      }
    }
  }
  ciImage_ = nullptr;
}

void CIFiltering::drawFilterOutput(raster::BitmapContext* context, const ci::ImageRef& image,
                                   const ci::FilterRef& filter, bool fill) {
  if (!ciContext_ || !context || !filter) return;
  filter->setValue(ci::kInputImageKey, image);
  ci::ImageRef output = filter->outputImage();
  if (!output) return;
  const raster::Rect extent = output->extent();
  const raster::Rect target =
      fill ? wholeContext(*context) : raster::Rect(0, 0, extent.width(), extent.height());
  ciContext_->drawImage(output, target, extent);
}

void CIFiltering::drawResizedCIImageWithSizeControlInCGContext(raster::BitmapContext* context,
                                                               const ci::ImageRef& image,
                                                               const ci::FilterRef& filter) {
  drawFilterOutput(context, image, filter, true);
}

void CIFiltering::drawResizedCIImageWithSizeControlInCGContext(raster::BitmapContext* context,
                                                               const raster::ImageRef& image,
                                                               const ci::FilterRef& filter) {
  if (!ciContext_) return;
  drawFilterOutput(context, ci::Image::withBitmap(image), filter, true);
}

void CIFiltering::drawResizedCIImageInCGContext(raster::BitmapContext* context, const ci::ImageRef& image,
                                                const ci::FilterRef& filter) {
  drawFilterOutput(context, image, filter, false);
}

void CIFiltering::drawResizedCIImageInCGContext(raster::BitmapContext* context, const raster::ImageRef& image,
                                                const ci::FilterRef& filter) {
  if (!ciContext_) return;
  drawFilterOutput(context, ci::Image::withBitmap(image), filter, false);
}

}  // namespace velumar
