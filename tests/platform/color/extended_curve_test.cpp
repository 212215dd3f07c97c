// The curves past 0..1 that float colour needs: formulas evaluated in float
// agree with lcms2's own evaluation everywhere lcms2 evaluates them, odd
// below 0; sampled curves continue along their last slope.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/color/extended_curve.h"

namespace {

struct Curves {
  cmsToneCurve* forward;
  cmsToneCurve* inverse;
};

TEST(ExtendedCurve, FormulasAgreeWithLcmsAndMirrorBelowZero) {
  struct Row {
    const char* name;
    int type;
    std::vector<double> params;
  };
  const Row rows[] = {
      {"gamma 1.8", 1, {1.8}},
      {"gamma 2.2", 1, {2.2}},
      {"sRGB", 4, {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045}},
      {"Rec. 709", 4, {1 / 0.45, 1 / 1.099, 0.099 / 1.099, 1 / 4.5, 0.081}},
      {"IEC 61966-3", 3, {2.2, 0.9, 0.1, 0.02}},
      {"with offsets", 5, {2.4, 0.95, 0.05, 0.08, 0.04, 0.01, 0.002}},
  };
  for (const Row& row : rows) {
    Curves curves{cmsBuildParametricToneCurve(nullptr, row.type, row.params.data()), nullptr};
    ASSERT_TRUE(curves.forward) << row.name;
    curves.inverse = cmsReverseToneCurve(curves.forward);
    for (const cmsToneCurve* curve : {curves.forward, curves.inverse}) {
      const color::ExtendedCurve extended(curve);
      for (float x = 0.0f; x <= 6.0f; x += 0.00731f) {
        const float expected = cmsEvalToneCurveFloat(curve, x);
        EXPECT_NEAR(extended(x), expected, 2e-6f * std::max(1.0f, std::abs(expected)))
            << row.name << " at " << x;
        if (x > 0) {
          EXPECT_EQ(extended(-x), -extended(x)) << row.name;
        }
      }
    }
    cmsFreeToneCurve(curves.forward);
    cmsFreeToneCurve(curves.inverse);
  }
}

TEST(ExtendedCurve, SampledCurvesContinueAlongTheirLastSlope) {
  std::vector<float> samples(1024);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = std::pow(float(i) / 1023.0f, 2.0f);
  cmsToneCurve* curve =
      cmsBuildTabulatedToneCurveFloat(nullptr, cmsUInt32Number(samples.size()), samples.data());
  ASSERT_TRUE(curve);
  const color::ExtendedCurve extended(curve);
  // x squared leaves 1 with slope 2: at 3 it is about 1 + 2 * 2.
  EXPECT_NEAR(extended(0.5f), 0.25f, 1e-3f);
  EXPECT_NEAR(extended(3.0f), 5.0f, 0.02f);
  EXPECT_NEAR(extended(-3.0f), -extended(3.0f), 1e-6f);
  cmsFreeToneCurve(curve);
}

}  // namespace
