// Colour looks of the filter catalogue: cross polynomial, white point,
// monochrome, false colour, maximum and minimum component, colour overlay.
// Colours from records are clamped to 0..1.

#include "filters/catalogue_steps.h"

namespace velumar {

namespace {

// The coefficients of the cross-polynomial look, each the single-precision
// number nearest the decimal; the tenth (constant) term is 0.
ci::Vector crossCoefficients(std::initializer_list<float> values) {
  std::vector<double> v;
  for (float f : values) v.push_back(double(f));
  return ci::Vector(std::move(v));
}

}  // namespace

void CIFiltering::crossPolynomialFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  applyNamedFilter(*this, context, "CIColorCrossPolynomial",
                   {{"inputRedCoefficients",
                     crossCoefficients({0.05f, -0.15f, 0.05f, -0.2f, 0.1f, 0.3f, -0.1f, 0.25f, 0.1f})},
                    {"inputGreenCoefficients",
                     crossCoefficients({-0.1f, -0.1f, 0.5f, 0.05f, 0.05f, 0.05f, -0.1f, 0.3f, 0.15f})},
                    {"inputBlueCoefficients",
                     crossCoefficients({0.0f, 0.0f, 0.5f, 0.0f, -0.15f, 0.0f, 0.0f, 0.0f, 0.2f})}});
  applyNamedFilter(*this, context, "CIExposureAdjust", {{"inputEV", 1.0f}});
  applyNamedFilter(*this, context, "CIHighlightShadowAdjust",
                   {{"inputHighlightAmount", float(info.colorCubeLevel0)},
                    {"inputShadowAmount", float(info.colorCubeLevel1)}});
  applyNamedFilter(*this, context, "CIVibrance", {{"inputAmount", float(info.colorCubeLevel2)}});
}

void CIFiltering::whitePointAdjustFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  applyNamedFilter(
      *this, context, "CIWhitePointAdjust",
      {{"inputColor", clampedColor(info.cColorRed, info.cColorGreen, info.cColorBlue, info.cColorAlpha)}});
}

void CIFiltering::colorMonochromeFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  applyNamedFilter(
      *this, context, "CIColorMonochrome",
      {{"inputColor", clampedColor(info.cColorRed, info.cColorGreen, info.cColorBlue, info.cColorAlpha)},
       {"inputIntensity", float(info.colorMonochromeIntensity)}});
}

void CIFiltering::falseColorFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  applyNamedFilter(
      *this, context, "CIFalseColor",
      {{"inputColor0", clampedColor(info.cColorRed, info.cColorGreen, info.cColorBlue, info.cColorAlpha)},
       {"inputColor1",
        clampedColor(info.cColorRedFC, info.cColorGreenFC, info.cColorBlueFC, info.cColorAlphaFC)}});
}

void CIFiltering::maximumComponentFilterWithCGContext(raster::BitmapContext* context) {
  applyNamedFilter(*this, context, "CIMaximumComponent", {});
}

void CIFiltering::minimumComponentFilterWithCGContext(raster::BitmapContext* context) {
  applyNamedFilter(*this, context, "CIMinimumComponent", {});
}

void CIFiltering::colorAllFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  if (!ciContext()) return;
  ci::ImageRef background = chainInput(context);
  if (!background) return;
  ci::FilterRef over = ci::Filter::withName("CISourceOverCompositing");
  if (!over) return;
  const ci::Color color =
      clampedColor(info.cColorRed, info.cColorGreen, info.cColorBlue, info.colorAllIntensity);
  over->setValue(ci::kInputBackgroundImageKey, background);
  over->setValue(ci::kInputImageKey, ci::Image::constantColor(color));
  setCiImage(over->outputImage());
  over->setValue(ci::kInputBackgroundImageKey, ci::ImageRef());
  over->setValue(ci::kInputImageKey, ci::ImageRef());
}

}  // namespace velumar
