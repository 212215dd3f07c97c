// The gamma kernel's power against double-precision pow: within one float
// rounding, never decreasing, and the premultiplied handling (sign, zero
// and negative alpha, non-finite colour) of the straight-colour kernels.

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/ci/fast_power.h"

namespace {

std::vector<float> powered(const std::vector<float>& values, float power, float alpha) {
  std::vector<float> in, out(values.size() * 4);
  for (float v : values) in.insert(in.end(), {v * alpha, -v * alpha, v * alpha, alpha});
  ci::colorkernel::signedPowerRow(in.data(), out.data(), std::int64_t(values.size()), power);
  return out;
}

TEST(FastPower, MatchesPowAndNeverDecreases) {
  std::vector<float> values;
  // Every float from 2^-20 to 16 in steps of 97 ulps, plus denormals and huge values.
  for (std::uint32_t b = 0x35800000u; b < 0x41800000u; b += 97) {
    float x;
    std::memcpy(&x, &b, sizeof x);
    values.push_back(x);
  }
  for (float p : {0.75f, 0.01f, 0.4545f, 1.25f, 2.2f, 10.0f, 64.0f}) {
    const std::vector<float> out = powered(values, p, 1.0f);
    for (std::size_t i = 0; i < values.size(); ++i) {
      const double expected = std::min(std::pow(double(values[i]), double(p)), double(FLT_MAX));
      ASSERT_NEAR(out[i * 4], expected, expected * 1.2e-7 + 1e-44) << "x " << values[i] << " p " << p;
      ASSERT_EQ(out[i * 4 + 1], -out[i * 4]);
      if (i > 0) {
        ASSERT_GE(out[i * 4], out[i * 4 - 4]) << "x " << values[i] << " p " << p;
      }
    }
  }
  const std::vector<float> edges = powered({0.0f, 1e-40f, 1e30f, INFINITY, NAN}, 0.5f, 1.0f);
  EXPECT_EQ(edges[0], 0.0f);
  EXPECT_NEAR(edges[4], std::sqrt(double(1e-40f)), 1e-27);  // a denormal
  EXPECT_NEAR(edges[8], 1e15f, 1e8f);
  EXPECT_EQ(edges[12], FLT_MAX);  // made finite
  EXPECT_EQ(edges[16], 0.0f);
}

TEST(FastPower, KeepsPremultipliedAlphaHandling) {
  // Straight 0.25 under alpha 0.5 gives 0.5 straight, 0.25 premultiplied.
  std::vector<float> out = powered({0.25f}, 0.5f, 0.5f);
  EXPECT_FLOAT_EQ(out[0], 0.25f);
  EXPECT_FLOAT_EQ(out[3], 0.5f);
  for (float alpha : {0.0f, -1.0f, NAN}) {
    out = powered({0.25f}, 0.5f, alpha);
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_EQ(out[3], 0.0f);
  }
  out = powered({0.25f}, 0.5f, 2.0f);  // alpha above 1 is clamped
  EXPECT_EQ(out[3], 1.0f);
}

}  // namespace
