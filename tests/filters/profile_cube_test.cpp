// The output-profile cube: the same grid points through lcms2 directly,
// its size and alpha, a CMYK profile's smaller gamut, and clearing.

#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstring>

#include "reference_tools.h"

using velumar::CIFiltering;

namespace {

std::vector<float> cubeOf(const CIFiltering& engine) {
  const ci::Data* bytes = engine.currentColorSpaceFilter()->valueForKey("inputCubeData").data();
  std::vector<float> floats(bytes ? bytes->size() / sizeof(float) : 0);
  if (bytes) std::memcpy(floats.data(), bytes->data(), bytes->size());
  return floats;
}

TEST(ProfileCube, MatchesAFloatSoftProofOfTheSameGridPoints) {
  CIFiltering engine;
  const color::ProfileRef srgb = color::IccProfile::named(color::NamedProfile::SRGB);
  engine.setProfile(srgb);
  ASSERT_EQ(engine.currentProfile(), srgb);
  ASSERT_TRUE(engine.currentColorSpaceFilter());
  EXPECT_EQ(engine.currentColorSpaceFilter()->number("inputCubeDimension"), 32.0);
  const std::vector<float> cube = cubeOf(engine);
  ASSERT_EQ(cube.size(), 32u * 32 * 32 * 4);

  auto* generic =
      static_cast<cmsHPROFILE>(color::IccProfile::named(color::NamedProfile::GenericRGB)->handle());
  auto* proof = static_cast<cmsHPROFILE>(srgb->handle());
  cmsHTRANSFORM direct = cmsCreateProofingTransform(
      generic, TYPE_RGB_FLT, generic, TYPE_RGB_FLT, proof, INTENT_RELATIVE_COLORIMETRIC,
      cmsGetHeaderRenderingIntent(proof), cmsFLAGS_SOFTPROOFING);
  ASSERT_TRUE(direct);
  float worst = 0;
  for (int b = 0; b < 32; ++b)
    for (int g = 0; g < 32; ++g)
      for (int r = 0; r < 32; ++r) {
        const float in[3] = {r / 31.0f, g / 31.0f, b / 31.0f};
        float out[3];
        cmsDoTransform(direct, in, out, 1);
        const float* entry = cube.data() + ((b * 32 + g) * 32 + r) * 4;
        for (int c = 0; c < 3; ++c) worst = std::max(worst, std::fabs(entry[c] - std::min(out[c], 1.0f)));
        EXPECT_EQ(entry[3], 1.0f);
      }
  cmsDeleteTransform(direct);
  EXPECT_LE(worst, 1e-4f);
}

TEST(ProfileCube, CMYKLowersTheChromaOfSaturatedPrimariesAndNilClears) {
  const color::ProfileRef cmyk = color::IccProfile::named(color::NamedProfile::GenericCMYK);
  if (!cmyk) GTEST_SKIP() << "no CMYK profile installed";
  CIFiltering engine;
  engine.setProfile(cmyk);
  ASSERT_TRUE(engine.currentColorSpaceFilter());
  const std::vector<float> cube = cubeOf(engine);
  for (int primary : {31, 31 * 32, 31 * 32 * 32}) {
    const float* e = cube.data() + primary * 4;
    EXPECT_LT(std::max({e[0], e[1], e[2]}) - std::min({e[0], e[1], e[2]}), 0.95f) << primary;
  }
  // Applied to the pending image when there is a context.
  auto context =
      raster::BitmapContext::create(2, 2, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB());
  engine.createNewCIContextWithCGContext(context.get(), true);
  engine.colorSpaceFilterWithCGContext(context.get());
  EXPECT_TRUE(engine.ciImage());

  engine.setProfile(nullptr);
  EXPECT_FALSE(engine.currentProfile());
  EXPECT_FALSE(engine.currentColorSpaceFilter());
  engine.setCiImage(nullptr);
  engine.colorSpaceFilterWithCGContext(context.get());
  EXPECT_FALSE(engine.ciImage());
  EXPECT_FALSE(engine.setColorCubeFilterDataForGridPoints(32));
}

}  // namespace
