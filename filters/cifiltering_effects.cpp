// Stylising effects of the filter catalogue that read neighbourhoods:
// zoom blur, edges, crystallize, gloom and pixellate, and the effects
// built from several filters: the HDR look, tilt shift, noise and old
// photo.

#include <algorithm>

#include "filters/catalogue_steps.h"

namespace velumar {

namespace {

// The filter's output for one input image; the input is cleared after.
ci::ImageRef outputOf(const ci::FilterRef& filter, const ci::ImageRef& input) {
  if (!filter || !input) return nullptr;
  filter->setValue(ci::kInputImageKey, input);
  ci::ImageRef output = filter->outputImage();
  filter->setValue(ci::kInputImageKey, ci::FilterValue());
  return output;
}

// Two images through a compositing or blend filter.
ci::ImageRef composited(const char* name, const ci::ImageRef& foreground, const ci::ImageRef& background) {
  ci::FilterRef filter = namedFilter(name, {});
  if (!filter || !background) return nullptr;
  filter->setValue(ci::kInputBackgroundImageKey, background);
  return outputOf(filter, foreground);
}

// The random image's green in every colour channel, at alpha × amount.
// The amount becomes alpha, so a setting outside [0, 1] is held to it.
ci::ImageRef grain(const ci::ImageRef& random, double amount) {
  amount = amount > 0 ? std::min(amount, 1.0) : 0.0;  // NaN gives 0
  return outputOf(namedFilter("CIColorMatrix", {{"inputRVector", ci::Vector{0, 1, 0, 0}},
                                                {"inputGVector", ci::Vector{0, 1, 0, 0}},
                                                {"inputBVector", ci::Vector{0, 1, 0, 0}},
                                                {"inputBiasVector", ci::Vector{0, 0, 0, 0}},
                                                {"inputAVector", ci::Vector{0, 0, 0, amount}}}),
                  random);
}

ci::ImageRef randomImage() {
  ci::FilterRef random = namedFilter("CIRandomGenerator", {});
  return random ? random->outputImage() : nullptr;
}

}  // namespace

void CIFiltering::zoomBlurWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  if (!context) return;
  clampStep(*this, context);
  applyNamedFilter(
      *this, context, "CIZoomBlur",
      {{"inputAmount", float(info.zoomBlurLevel)},
       {"inputCenter", ci::Vector{0.5 * double(context->width()), 0.5 * double(context->height())}}});
}

void CIFiltering::edgesFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  clampStep(*this, context);
  applyNamedFilter(*this, context, "CIEdges", {{"inputIntensity", float(info.edgesLevel)}});
}

void CIFiltering::crystallizeFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  clampStep(*this, context);
  applyNamedFilter(*this, context, "CICrystallize", {{"inputRadius", float(info.crystallizeRadius)}});
}

void CIFiltering::gloomFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  clampStep(*this, context);
  applyNamedFilter(
      *this, context, "CIGloom",
      {{"inputRadius", float(info.gloomRadius)}, {"inputIntensity", float(info.gloomIntensity)}});
}

void CIFiltering::pixellateFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  applyNamedFilter(*this, context, "CIPixellate", {{"inputScale", float(info.pixellateScale)}});
}

void CIFiltering::hdrFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  const ci::ImageRef base = chainInput(context);
  if (!base) return;
  // The inverted grey, blurred, laid over the image in Overlay mode: the
  // shadows open and the highlights close; then sharpened.
  ci::ImageRef soft = outputOf(namedFilter("CIColorControls", {{"inputSaturation", 0.0f}}), base);
  soft = outputOf(namedFilter("CIColorInvert", {}), soft);
  const ci::FilterRef clamp = identityClamp();
  soft = outputOf(clamp, soft);
  soft = outputOf(namedFilter("CIGaussianBlur", {{"inputRadius", float(info.hdrGaussRadius)}}), soft);
  ci::ImageRef overlay = composited("CIOverlayBlendMode", soft, base);
  // The overlay reaches as far as the endless blur; cut back to the image,
  // the clamp repeats the image's own edge for the sharpening (beyond the
  // edge there is only the inverted grey, which would ring at the border).
  if (overlay && !ci::isInfinite(base->extent())) overlay = overlay->cropped(base->extent());
  overlay = outputOf(clamp, overlay);
  ci::ImageRef sharpened =
      outputOf(namedFilter("CIUnsharpMask", {{"inputRadius", float(info.hdrUnsharpMaskRadius)},
                                             {"inputIntensity", float(info.hdrUnsharpMaskIntensity)}}),
               overlay);
  if (sharpened) setCiImage(std::move(sharpened));
}

void CIFiltering::tiltShiftFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  if (!context) return;
  const ci::ImageRef input = chainInput(context);
  if (!input) return;
  const ci::ImageRef sharp = outputOf(identityClamp(), input);
  const ci::ImageRef blurred =
      outputOf(namedFilter("CIGaussianBlur", {{"inputRadius", float(info.tiltShiftRadius)}}), sharp);
  // Full mask below d·H and above (1 − d)·H, fading to nothing at the
  // middle line. At d = 0.5 both gradients have no length: each is its
  // first colour everywhere, and the whole image is blurred.
  const double height = double(context->height()), d = info.tiltShiftDistance;
  const ci::Color green{0, 1, 0, 1}, clearGreen{0, 1, 0, 0};
  ci::FilterRef gradient =
      namedFilter("CILinearGradient", {{"inputColor0", green}, {"inputColor1", clearGreen}});
  if (!gradient) return;
  gradient->setValue("inputPoint0", ci::Vector{0, d * height});
  gradient->setValue("inputPoint1", ci::Vector{0, 0.5 * height});
  const ci::ImageRef lower = gradient->outputImage();
  gradient->setValue("inputPoint0", ci::Vector{0, (1 - d) * height});
  const ci::ImageRef upper = gradient->outputImage();
  const ci::ImageRef mask = composited("CIAdditionCompositing", lower, upper);
  ci::FilterRef blend = namedFilter("CIBlendWithMask", {});
  if (!blend || !mask) return;
  blend->setValue(ci::kInputBackgroundImageKey, sharp);
  blend->setValue("inputMaskImage", mask);
  if (ci::ImageRef output = outputOf(blend, blurred)) setCiImage(std::move(output));
}

void CIFiltering::noiseFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  const ci::ImageRef background = chainInput(context);
  if (!background) return;
  if (ci::ImageRef output =
          composited("CISourceOverCompositing", grain(randomImage(), info.noiseIntensity), background))
    setCiImage(std::move(output));
}

void CIFiltering::oldPhotoFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  // Without a context or an input there is nothing to age: the pending
  // image stays as it is, as with the other members.
  if (!ciContext() || !chainInput(context)) return;
  applyNamedFilter(*this, context, "CISepiaTone", {{"inputIntensity", float(info.oldPhotoIntensity)}});
  const ci::ImageRef random = randomImage();
  ci::ImageRef aged = composited("CISourceOverCompositing", grain(random, info.oldPhotoNoise), ciImage());
  // Scratches: the noise stretched into vertical streaks, dark where its
  // red is below a quarter.
  const ci::ImageRef streaks =
      random ? random->transformed(raster::AffineTransform::scaling(1.5, 25.0)) : nullptr;
  ci::ImageRef scratches =
      outputOf(namedFilter("CIColorMatrix", {{"inputRVector", ci::Vector{4, 0, 0, 0}},
                                             {"inputGVector", ci::Vector{0, 0, 0, 0}},
                                             {"inputBVector", ci::Vector{0, 0, 0, 0}},
                                             {"inputAVector", ci::Vector{0, 0, 0, 0}},
                                             {"inputBiasVector", ci::Vector{0, 1, 1, 1}}}),
               streaks);
  scratches = outputOf(namedFilter("CIMinimumComponent", {}), scratches);
  if (ci::ImageRef output = composited("CIMultiplyCompositing", scratches, aged))
    setCiImage(std::move(output));
}

}  // namespace velumar
