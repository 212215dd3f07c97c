// FilterInfo defaults: all 74 fields, the single-precision ones widened
// exactly, restored over any other values.

#include <gtest/gtest.h>

#include <cstring>

#include "filters/cifiltering.h"

namespace {

using velumar::FilterInfo;

struct Field {
  const char* name;
  double FilterInfo::*member;
  double expected;
};

const Field kDefaults[] = {
    {"saturationLevel", &FilterInfo::saturationLevel, 1.0},
    {"brightnessLevel", &FilterInfo::brightnessLevel, 0.0},
    {"contrastLevel", &FilterInfo::contrastLevel, 1.0},
    {"exposureLevel", &FilterInfo::exposureLevel, 0.0},
    {"gammaLevel", &FilterInfo::gammaLevel, 1.25},
    {"hueAngle", &FilterInfo::hueAngle, 0.0},
    {"vibranceLevel", &FilterInfo::vibranceLevel, double(0.8f)},
    {"sepiaLevel", &FilterInfo::sepiaLevel, 1.0},
    {"blurLevel", &FilterInfo::blurLevel, 2.0},
    {"zoomBlurLevel", &FilterInfo::zoomBlurLevel, 4.0},
    {"edgesLevel", &FilterInfo::edgesLevel, 1.0},
    {"crystallizeRadius", &FilterInfo::crystallizeRadius, 10.0},
    {"gloomRadius", &FilterInfo::gloomRadius, 10.0},
    {"gloomIntensity", &FilterInfo::gloomIntensity, 1.0},
    {"straightenAngle", &FilterInfo::straightenAngle, 0.0},
    {"sharpenLuminanceLevel", &FilterInfo::sharpenLuminanceLevel, double(0.4f)},
    {"unsharpMaskRadius", &FilterInfo::unsharpMaskRadius, 2.5},
    {"unsharpMaskIntensity", &FilterInfo::unsharpMaskIntensity, 0.5},
    {"noiseReductionLevel", &FilterInfo::noiseReductionLevel, double(0.02f)},
    {"noiseReductionSharpness", &FilterInfo::noiseReductionSharpness, double(0.4f)},
    {"HSHighLightAmount", &FilterInfo::HSHighLightAmount, 1.0},
    {"HSShadowAmount", &FilterInfo::HSShadowAmount, 0.0},
    {"PSHighLightAmount", &FilterInfo::PSHighLightAmount, 1.0},
    {"PSShadowAmount", &FilterInfo::PSShadowAmount, 0.0},
    {"PSRadiusAmount", &FilterInfo::PSRadiusAmount, 0.0},
    {"vignetteRadius", &FilterInfo::vignetteRadius, 1.0},
    {"vignetteIntensity", &FilterInfo::vignetteIntensity, 2.0},
    {"temperatureLevel", &FilterInfo::temperatureLevel, 6500.0},
    {"tintLevel", &FilterInfo::tintLevel, 6500.0},
    {"colorCubeLevel0", &FilterInfo::colorCubeLevel0, 1.0},
    {"colorCubeLevel1", &FilterInfo::colorCubeLevel1, 0.0},
    {"colorCubeLevel2", &FilterInfo::colorCubeLevel2, 0.0},
    {"colorMonochromeIntensity", &FilterInfo::colorMonochromeIntensity, 1.0},
    {"colorAllIntensity", &FilterInfo::colorAllIntensity, 1.0},
    {"pixellateScale", &FilterInfo::pixellateScale, 8.0},
    {"cColorRed", &FilterInfo::cColorRed, 1.0},
    {"cColorGreen", &FilterInfo::cColorGreen, 1.0},
    {"cColorBlue", &FilterInfo::cColorBlue, 1.0},
    {"cColorAlpha", &FilterInfo::cColorAlpha, 1.0},
    {"cColorRedFC", &FilterInfo::cColorRedFC, 1.0},
    {"cColorGreenFC", &FilterInfo::cColorGreenFC, 1.0},
    {"cColorBlueFC", &FilterInfo::cColorBlueFC, 1.0},
    {"cColorAlphaFC", &FilterInfo::cColorAlphaFC, 1.0},
    {"hdrGaussRadius", &FilterInfo::hdrGaussRadius, 31.0},
    {"hdrUnsharpMaskRadius", &FilterInfo::hdrUnsharpMaskRadius, 8.0},
    {"hdrUnsharpMaskIntensity", &FilterInfo::hdrUnsharpMaskIntensity, double(0.55f)},
    {"tiltShiftRadius", &FilterInfo::tiltShiftRadius, 10.0},
    {"tiltShiftDistance", &FilterInfo::tiltShiftDistance, 0.75},
    {"oldPhotoIntensity", &FilterInfo::oldPhotoIntensity, 1.0},
    {"oldPhotoNoise", &FilterInfo::oldPhotoNoise, double(0.3f)},
    {"noiseIntensity", &FilterInfo::noiseIntensity, double(0.1f)},
    {"hdrRadius", &FilterInfo::hdrRadius, 16.0},
    {"hdrBins", &FilterInfo::hdrBins, 320.0},
    {"hdrClipLimit", &FilterInfo::hdrClipLimit, 3.0},
    {"hdrSaturation", &FilterInfo::hdrSaturation, 0.0},
    {"hslHueLevel", &FilterInfo::hslHueLevel, 0.0},
    {"hslSaturationLevel", &FilterInfo::hslSaturationLevel, 1.0},
    {"hslLuminosityLevel", &FilterInfo::hslLuminosityLevel, 1.0},
    {"hsvHueLevel", &FilterInfo::hsvHueLevel, 0.0},
    {"hsvSaturationLevel", &FilterInfo::hsvSaturationLevel, 1.0},
    {"hsvValueLevel", &FilterInfo::hsvValueLevel, 1.0},
    {"hsvContrastLevel", &FilterInfo::hsvContrastLevel, 1.0},
    {"labSaturationLevel", &FilterInfo::labSaturationLevel, 1.0},
    {"labLuminosityLevel", &FilterInfo::labLuminosityLevel, 1.0},
    {"cMatrixRed", &FilterInfo::cMatrixRed, 1.0},
    {"cMatrixGreen", &FilterInfo::cMatrixGreen, 1.0},
    {"cMatrixBlue", &FilterInfo::cMatrixBlue, 1.0},
    {"lSaturationShadows", &FilterInfo::lSaturationShadows, 1.0},
    {"lSaturationMidtones", &FilterInfo::lSaturationMidtones, 1.0},
    {"lSaturationHighlights", &FilterInfo::lSaturationHighlights, 1.0},
    {"lExposureShadows", &FilterInfo::lExposureShadows, 1.0},
    {"lExposureMidtones", &FilterInfo::lExposureMidtones, 1.0},
    {"lExposureHighlights", &FilterInfo::lExposureHighlights, 1.0},
    {"lutIntensity", &FilterInfo::lutIntensity, 1.0},
};

static_assert(std::size(kDefaults) == 74);

TEST(FilterInfo, InitialValuesRestoreAllDefaultsOverOtherValues) {
  FilterInfo info;
  std::memset(static_cast<void*>(&info), 0x5a, sizeof info);
  velumar::CIFiltering::initialValuesForFilterInfo(&info);
  for (const Field& f : kDefaults) EXPECT_EQ(info.*(f.member), f.expected) << f.name;
  // The single-precision values are the float's value, not the decimal's.
  EXPECT_NE(info.vibranceLevel, 0.8);
  EXPECT_EQ(info.vibranceLevel, 0.800000011920928955078125);
  EXPECT_NE(info.noiseReductionLevel, 0.02);
  velumar::CIFiltering::initialValuesForFilterInfo(nullptr);  // ignored
}

TEST(FilterInfo, EngineStartsWithDefaultSlotsAndGpuOn) {
  velumar::CIFiltering engine;
  EXPECT_EQ(engine.filterInfo0(), FilterInfo{});
  EXPECT_EQ(engine.filterInfo1(), FilterInfo{});
  EXPECT_EQ(engine.filterInfo2(), FilterInfo{});
  EXPECT_TRUE(engine.filterUsesGPUForRendering());
  EXPECT_EQ(engine.ciContext(), nullptr);
  EXPECT_EQ(engine.ciImage(), nullptr);
  EXPECT_FALSE(engine.facesRectArray().has_value());
  FilterInfo changed;
  changed.blurLevel = 7;
  engine.setFilterInfo1(changed);
  EXPECT_EQ(engine.filterInfo1().blurLevel, 7);
  EXPECT_EQ(engine.filterInfo0().blurLevel, 2);
}

}  // namespace
