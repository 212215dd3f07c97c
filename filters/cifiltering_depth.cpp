// Depth-map effects: a band of depths around a focal point keeps the
// unprocessed photograph; the rest shows the processed image, optionally
// blurred and darkened.

#include <algorithm>
#include <cmath>

#include "filters/cifiltering.h"

namespace velumar {

namespace {

// Keeps every ramp and bias within single precision.
constexpr double kLargestDepthParameter = 1e6;

ci::ImageRef blendWithMask(const ci::ImageRef& input, const ci::ImageRef& background,
                           const ci::ImageRef& mask) {
  ci::FilterRef blend = ci::Filter::withName("CIBlendWithMask");
  if (!blend || !input || !background || !mask) return nullptr;
  blend->setDefaults();
  blend->setValue(ci::kInputImageKey, input);
  blend->setValue(ci::kInputBackgroundImageKey, background);
  blend->setValue("inputMaskImage", mask);
  return blend->outputImage();
}

}  // namespace

ci::ImageRef CIFiltering::scaleDepthImage(const ci::ImageRef& depthImage,
                                          const raster::ImageRef& originalImage) {
  if (!depthImage) return nullptr;
  ci::FilterRef upsample = ci::Filter::withName("CIEdgePreserveUpsampleFilter");
  if (!upsample) return nullptr;
  upsample->setDefaults();
  upsample->setValue("inputSmallImage", depthImage);
  upsample->setValue(ci::kInputImageKey, ci::Image::withBitmap(originalImage));
  ci::ImageRef output = upsample->outputImage();
  upsample->setValue("inputSmallImage", ci::FilterValue());
  upsample->setValue(ci::kInputImageKey, ci::FilterValue());
  return output;
}

ci::ImageRef CIFiltering::combinedMaskForDepthImage(const ci::ImageRef& depthImage, double slope,
                                                    double width, double focalPoint) {
  // A slope of zero or below, or infinite, has no ramp to draw; values beyond single
  // precision would turn the ramps into infinities.
  if (!depthImage || !(slope > 0) || !std::isfinite(slope) || !std::isfinite(width) ||
      !std::isfinite(focalPoint))
    return nullptr;
  slope = std::min(slope, kLargestDepthParameter);
  width = std::clamp(width, -kLargestDepthParameter, kLargestDepthParameter);
  focalPoint = std::clamp(focalPoint, -kLargestDepthParameter, kLargestDepthParameter);
  const double halfExtent = (2.0 / slope + width) * 0.5;
  // The rising ramp clamp(s·d + b₁), the falling one clamp(−s·d + b₂) and
  // the smaller of the two, per colour component of the straight depth, in
  // one pass (the colour-matrix, clamp and darken steps fused).
  const auto gain = float(slope), rise = float((focalPoint - halfExtent) * -slope),
             fall = float((halfExtent + focalPoint) * slope);
  return ci::Image::kernel(
      {depthImage}, depthImage->extent(),
      [gain, rise, fall](const ci::KernelRow& row) {
        const float* d = row.inputs[0];
        for (std::int64_t i = 0; i < row.count * 4; i += 4) {
          for (int c = 0; c < 3; ++c) {
            const float up = std::clamp(gain * d[i + c] + rise, 0.0f, 1.0f);
            const float down = std::clamp(fall - gain * d[i + c], 0.0f, 1.0f);
            row.output[i + c] = std::min(up, down);
          }
          row.output[i + 3] = d[i + 3];
        }
      },
      true);
}

void CIFiltering::depthFilterWithCGContext(raster::BitmapContext* context,
                                           const raster::ImageRef& originalImage,
                                           const ci::ImageRef& depthImage, double slope, double width,
                                           double focalPoint, double /*intensity*/, double blurBackground,
                                           double blackBackground, bool invertDepth) {
  if (!depthImage || !context) return;
  const ci::ImageRef processed = chainInput(context);
  const ci::ImageRef mask = combinedMaskForDepthImage(depthImage, slope, width, focalPoint);
  const ci::ImageRef original = ci::Image::withBitmap(originalImage);
  if (!processed || !mask || !original) return;

  ci::ImageRef pending =
      invertDepth ? blendWithMask(processed, original, mask) : blendWithMask(original, processed, mask);
  if (!pending) return;
  const raster::Rect extent(0, 0, double(context->width()), double(context->height()));
  pending = pending->cropped(extent);

  // Blur and darkening act where the mask is 0, with or without inversion.
  if (blurBackground > 0) {
    ci::FilterRef blur = ci::Filter::withName("CIGaussianBlur");
    if (blur) {
      blur->setDefaults();
      blur->setValue("inputRadius", blurBackground);
      blur->setValue(ci::kInputImageKey, pending->clampedToExtent());
      ci::ImageRef blurred = blur->outputImage();
      if (blurred) pending = blendWithMask(pending, blurred->cropped(extent), mask);
    }
  }
  if (pending && blackBackground > 0) {
    ci::FilterRef darken = ci::Filter::withName("CIBlendWithAlphaMask");
    if (darken) {
      const double amount = std::min(blackBackground, 1.0);
      darken->setDefaults();
      darken->setValue(ci::kInputImageKey, ci::Image::constantColor(ci::Color::black())->cropped(extent));
      darken->setValue(ci::kInputBackgroundImageKey, pending);
      darken->setValue("inputMaskImage", ci::Image::constantColor({0, 0, 0, amount})->cropped(extent));
      ci::ImageRef darkened = darken->outputImage();
      if (darkened) pending = blendWithMask(pending, darkened, mask);
    }
  }
  if (pending) ciImage_ = std::move(pending);
}

}  // namespace velumar
