// FilterInfo defaults: the single-precision ones widened exactly, the unusual
// non-zero ones and the first and last fields, restored over any other values.

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
    {"gammaLevel", &FilterInfo::gammaLevel, 1.25},
    {"vibranceLevel", &FilterInfo::vibranceLevel, double(0.8f)},
    {"blurLevel", &FilterInfo::blurLevel, 2.0},
    {"sharpenLuminanceLevel", &FilterInfo::sharpenLuminanceLevel, double(0.4f)},
    {"unsharpMaskRadius", &FilterInfo::unsharpMaskRadius, 2.5},
    {"noiseReductionLevel", &FilterInfo::noiseReductionLevel, double(0.02f)},
    {"noiseReductionSharpness", &FilterInfo::noiseReductionSharpness, double(0.4f)},
    {"temperatureLevel", &FilterInfo::temperatureLevel, 6500.0},
    {"tintLevel", &FilterInfo::tintLevel, 6500.0},
    {"colorCubeLevel0", &FilterInfo::colorCubeLevel0, 1.0},
    {"colorCubeLevel2", &FilterInfo::colorCubeLevel2, 0.0},
    {"hdrGaussRadius", &FilterInfo::hdrGaussRadius, 31.0},
    {"hdrUnsharpMaskIntensity", &FilterInfo::hdrUnsharpMaskIntensity, double(0.55f)},
    {"tiltShiftDistance", &FilterInfo::tiltShiftDistance, 0.75},
    {"oldPhotoNoise", &FilterInfo::oldPhotoNoise, double(0.3f)},
    {"noiseIntensity", &FilterInfo::noiseIntensity, double(0.1f)},
    {"hdrBins", &FilterInfo::hdrBins, 320.0},
    {"hdrClipLimit", &FilterInfo::hdrClipLimit, 3.0},
    {"hsvContrastLevel", &FilterInfo::hsvContrastLevel, 1.0},
    {"lutIntensity", &FilterInfo::lutIntensity, 1.0},
};

TEST(FilterInfo, InitialValuesRestoreAllDefaultsOverOtherValues) {
  FilterInfo info;
  std::memset(static_cast<void*>(&info), 0x5a, sizeof info);
  velumar::CIFiltering::initialValuesForFilterInfo(&info);
  for (const Field& f : kDefaults) EXPECT_EQ(info.*(f.member), f.expected) << f.name;
  EXPECT_EQ(info, FilterInfo{});  // every other field restored too
  // The single-precision values are the float's value, not the decimal's.
  EXPECT_NE(info.vibranceLevel, 0.8);
  velumar::CIFiltering::initialValuesForFilterInfo(nullptr);  // ignored
}

TEST(FilterInfo, EngineStartsWithDefaultSlotsAndGpuOn) {
  velumar::CIFiltering engine;
  EXPECT_EQ(engine.filterInfo2(), FilterInfo{});
  EXPECT_TRUE(engine.filterUsesGPUForRendering());
  FilterInfo changed;
  changed.blurLevel = 7;
  engine.setFilterInfo1(changed);
  EXPECT_EQ(engine.filterInfo1().blurLevel, 7);
  EXPECT_EQ(engine.filterInfo0().blurLevel, 2);
}

}  // namespace
