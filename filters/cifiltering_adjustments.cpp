// Colour and tone adjustments of the filter catalogue. Scalars reach the
// filters in single precision.

#include <cmath>

#include "filters/catalogue_steps.h"

namespace velumar {

namespace {

constexpr double kPi = 3.141592653589793;

// The hue shift that types 103 and 104 make before their own filter; a
// hue of 0 or below (or not a number) makes none.
void huePreStep(CIFiltering& engine, raster::BitmapContext* context, double hueDegrees) {
  if (!(hueDegrees > 0)) return;
  applyNamedFilter(engine, context, "CIHueAdjust", {{"inputAngle", float(hueDegrees * kPi / 180.0)}});
}

}  // namespace

void CIFiltering::sbcFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  applyNamedFilter(*this, context, "CIColorControls",
                   {{"inputSaturation", float(info.saturationLevel)},
                    {"inputBrightness", float(info.brightnessLevel)},
                    {"inputContrast", float(info.contrastLevel)}});
}

void CIFiltering::blackWhiteFilterWithCGContext(raster::BitmapContext* context) {
  applyNamedFilter(*this, context, "CIColorControls", {{"inputSaturation", 0.0f}});
}

void CIFiltering::lowSaturationFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  applyNamedFilter(*this, context, "CIColorControls", {{"inputSaturation", float(info.saturationLevel)}});
}

void CIFiltering::highSaturationFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  lowSaturationFilterWithCGContext(context, info);
}

void CIFiltering::lowContrastFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  applyNamedFilter(*this, context, "CIColorControls", {{"inputContrast", float(info.contrastLevel)}});
}

void CIFiltering::highContrastFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  lowContrastFilterWithCGContext(context, info);
}

void CIFiltering::lowExposureFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  applyNamedFilter(*this, context, "CIExposureAdjust", {{"inputEV", float(info.exposureLevel)}});
}

void CIFiltering::highExposureFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  lowExposureFilterWithCGContext(context, info);
}

void CIFiltering::gammaFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  // A gamma level above 2 would give a negative power and infinities at
  // black: the power stops at 0.
  const double power = 2.0 - info.gammaLevel;
  applyNamedFilter(*this, context, "CIGammaAdjust", {{"inputPower", float(power > 0 ? power : 0.0)}});
}

void CIFiltering::hueAdjustFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  applyNamedFilter(*this, context, "CIHueAdjust", {{"inputAngle", float(info.hueAngle)}});
}

void CIFiltering::highShadowsFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  applyNamedFilter(*this, context, "CIHighlightShadowAdjust",
                   {{"inputHighlightAmount", float(info.HSHighLightAmount)},
                    {"inputShadowAmount", float(info.HSShadowAmount)}});
}

void CIFiltering::highHighlightsFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  highShadowsFilterWithCGContext(context, info);
}

void CIFiltering::vibranceFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  applyNamedFilter(*this, context, "CIVibrance", {{"inputAmount", float(info.vibranceLevel)}});
}

void CIFiltering::sepiaFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  applyNamedFilter(*this, context, "CISepiaTone", {{"inputIntensity", float(info.sepiaLevel)}});
}

void CIFiltering::warmTemperatureFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  applyNamedFilter(*this, context, "CITemperatureAndTint",
                   {{"inputNeutral", ci::Vector{info.temperatureLevel, 0}},
                    {"inputTargetNeutral", ci::Vector{info.tintLevel, 0}}});
}

void CIFiltering::coldTemperatureFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  warmTemperatureFilterWithCGContext(context, info);
}

void CIFiltering::colorInvertFilterWithCGContext(raster::BitmapContext* context) {
  applyNamedFilter(*this, context, "CIColorInvert", {});
}

void CIFiltering::hslFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  huePreStep(*this, context, info.hslHueLevel);
  applyNamedFilter(*this, context, "HSLFilter",
                   {{"inputSaturation", float(info.hslSaturationLevel)},
                    {"inputLuminosity", float(info.hslLuminosityLevel)}});
}

void CIFiltering::hsvFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  huePreStep(*this, context, info.hsvHueLevel);
  applyNamedFilter(*this, context, "HSVFilter",
                   {{"inputSaturation", float(info.hsvSaturationLevel)},
                    {"inputValue", float(info.hsvValueLevel)},
                    {"inputContrast", 1.0f}});
}

void CIFiltering::labFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  applyNamedFilter(*this, context, "LabFilter",
                   {{"inputSaturation", float(info.labSaturationLevel)},
                    {"inputLuminosity", float(info.labLuminosityLevel)}});
}

void CIFiltering::hsvContrastFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  applyNamedFilter(*this, context, "HSVFilter",
                   {{"inputSaturation", float(info.hsvSaturationLevel)},
                    {"inputValue", float(info.hsvValueLevel)},
                    {"inputContrast", float(info.hsvContrastLevel)}});
}

void CIFiltering::colorMatrixFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  applyNamedFilter(*this, context, "CIColorMatrix",
                   {{"inputRVector", ci::Vector{info.cMatrixRed, 0, 0, 0}},
                    {"inputGVector", ci::Vector{0, info.cMatrixGreen, 0, 0}},
                    {"inputBVector", ci::Vector{0, 0, info.cMatrixBlue, 0}},
                    {"inputBiasVector", ci::Vector{0, 0, 0, 0}},
                    {"inputAVector", ci::Vector{0, 0, 0, 1}}});
}

void CIFiltering::shadowHighlightFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  applyNamedFilter(*this, context, "CIHighlightShadowAdjust",
                   {{"inputHighlightAmount", float(info.PSHighLightAmount)},
                    {"inputShadowAmount", float(info.PSShadowAmount)},
                    {"inputRadius", float(info.PSRadiusAmount)}});
}

void CIFiltering::levelSaturationFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  applyNamedFilter(*this, context, "LevelSaturation",
                   {{"inputSaturationShadows", float(info.lSaturationShadows)},
                    {"inputSaturationMidtones", float(info.lSaturationMidtones)},
                    {"inputSaturationHighlights", float(info.lSaturationHighlights)}});
}

void CIFiltering::levelExposureFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  applyNamedFilter(*this, context, "LevelExposure",
                   {{"inputExposureShadows", float(info.lExposureShadows)},
                    {"inputExposureMidtones", float(info.lExposureMidtones)},
                    {"inputExposureHighlights", float(info.lExposureHighlights)}});
}

}  // namespace velumar
