#pragma once
// FilterInfo: the parameters of one filter slot, every filter type's fields
// in one plain record copied by value. A default-constructed record holds
// the defaults; values marked "single" are the single-precision constant
// widened to double.

namespace velumar {

struct FilterInfo {
  double saturationLevel = 1.0;
  double brightnessLevel = 0.0;
  double contrastLevel = 1.0;
  double exposureLevel = 0.0;
  double gammaLevel = 1.25;
  double hueAngle = 0.0;
  double vibranceLevel = double(0.8f);  // single
  double sepiaLevel = 1.0;
  double blurLevel = 2.0;
  double zoomBlurLevel = 4.0;
  double edgesLevel = 1.0;
  double crystallizeRadius = 10.0;
  double gloomRadius = 10.0;
  double gloomIntensity = 1.0;
  double straightenAngle = 0.0;
  double sharpenLuminanceLevel = double(0.4f);  // single
  double unsharpMaskRadius = 2.5;
  double unsharpMaskIntensity = 0.5;
  double noiseReductionLevel = double(0.02f);     // single
  double noiseReductionSharpness = double(0.4f);  // single
  double HSHighLightAmount = 1.0;
  double HSShadowAmount = 0.0;
  double PSHighLightAmount = 1.0;
  double PSShadowAmount = 0.0;
  double PSRadiusAmount = 0.0;
  double vignetteRadius = 1.0;
  double vignetteIntensity = 2.0;
  double temperatureLevel = 6500.0;
  double tintLevel = 6500.0;
  double colorCubeLevel0 = 1.0;
  double colorCubeLevel1 = 0.0;
  double colorCubeLevel2 = 0.0;
  double colorMonochromeIntensity = 1.0;
  double colorAllIntensity = 1.0;
  double pixellateScale = 8.0;
  double cColorRed = 1.0;
  double cColorGreen = 1.0;
  double cColorBlue = 1.0;
  double cColorAlpha = 1.0;
  double cColorRedFC = 1.0;
  double cColorGreenFC = 1.0;
  double cColorBlueFC = 1.0;
  double cColorAlphaFC = 1.0;
  double hdrGaussRadius = 31.0;
  double hdrUnsharpMaskRadius = 8.0;
  double hdrUnsharpMaskIntensity = double(0.55f);  // single
  double tiltShiftRadius = 10.0;
  double tiltShiftDistance = 0.75;
  double oldPhotoIntensity = 1.0;
  double oldPhotoNoise = double(0.3f);   // single
  double noiseIntensity = double(0.1f);  // single
  double hdrRadius = 16.0;
  double hdrBins = 320.0;
  double hdrClipLimit = 3.0;
  double hdrSaturation = 0.0;
  double hslHueLevel = 0.0;
  double hslSaturationLevel = 1.0;
  double hslLuminosityLevel = 1.0;
  double hsvHueLevel = 0.0;
  double hsvSaturationLevel = 1.0;
  double hsvValueLevel = 1.0;
  double hsvContrastLevel = 1.0;
  double labSaturationLevel = 1.0;
  double labLuminosityLevel = 1.0;
  double cMatrixRed = 1.0;
  double cMatrixGreen = 1.0;
  double cMatrixBlue = 1.0;
  double lSaturationShadows = 1.0;
  double lSaturationMidtones = 1.0;
  double lSaturationHighlights = 1.0;
  double lExposureShadows = 1.0;
  double lExposureMidtones = 1.0;
  double lExposureHighlights = 1.0;
  double lutIntensity = 1.0;

  bool operator==(const FilterInfo&) const = default;
};

static_assert(sizeof(FilterInfo) == 74 * sizeof(double), "FilterInfo holds exactly 74 doubles");

}  // namespace velumar
