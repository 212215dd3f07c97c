// The render pipeline's choices: the bitmap context for a representation
// and when the filter graph is needed.

#include <gtest/gtest.h>

#include "engine/imported_image.h"
#include "engine_test_images.h"

namespace velumar {
namespace {

using raster::AlphaInfo;
using ContextChoice = ImportedImage::BitmapContextSetup;

struct SetupCase {
  const char* name;
  raster::PixelFormat format;
  std::uint64_t imageDepth = 0;
  std::uint64_t imageTransparency = 0;
  bool drawWithAlpha = false;
  bool valid = true;
  std::uint64_t bits = 8;
  std::uint32_t bitmapInfo = 0;
};

class ContextSetup : public ::testing::TestWithParam<SetupCase> {};

TEST_P(ContextSetup, ChoosesDepthAndAlphaLayout) {
  const SetupCase& c = GetParam();
  auto rep = testimages::quadrantRep(4, 4, c.format);
  ASSERT_TRUE(rep) << c.name;
  ImageModifyInfo info;
  info.imageDepth = c.imageDepth;
  info.imageTransparency = c.imageTransparency;
  info.drawWithAlpha = c.drawWithAlpha;
  const ContextChoice setup = ImportedImage::setupCGContextForValues(rep, info);
  EXPECT_EQ(setup.isValid, c.valid) << c.name;
  EXPECT_FALSE(setup.useGenericRGB) << c.name;
  if (!c.valid) return;
  EXPECT_EQ(setup.bitsPerComponent, c.bits) << c.name;
  EXPECT_EQ(setup.bitmapInfo, c.bitmapInfo) << c.name;
}

constexpr std::uint32_t kFloat = 0x100;

INSTANTIATE_TEST_SUITE_P(
    Formats, ContextSetup,
    ::testing::Values(
        SetupCase{"rgb8 premultiplied last", {8, 3, AlphaInfo::PremultipliedLast}, 0, 0, false, true, 8, 1},
        SetupCase{"rgb8 without alpha", {8, 3, AlphaInfo::NoneSkipLast}, 0, 0, false, true, 8, 5},
        SetupCase{
            "rgb8 alpha first keeps it", {8, 3, AlphaInfo::PremultipliedFirst}, 0, 0, false, true, 8, 2},
        SetupCase{"rgb8 straight alpha first", {8, 3, AlphaInfo::First}, 0, 0, false, true, 8, 2},
        SetupCase{"rgb8 skip first", {8, 3, AlphaInfo::NoneSkipFirst}, 0, 0, false, true, 8, 6},
        SetupCase{"alpha removed", {8, 3, AlphaInfo::PremultipliedLast}, 0, 1, false, true, 8, 5},
        SetupCase{"alpha added", {8, 3, AlphaInfo::NoneSkipLast}, 0, 2, false, true, 8, 1},
        SetupCase{"drawWithAlpha wins", {8, 3, AlphaInfo::NoneSkipLast}, 0, 1, true, true, 8, 1},
        SetupCase{"8 to 16 bits", {8, 3, AlphaInfo::PremultipliedLast}, 2, 0, false, true, 16, 1},
        SetupCase{"8 to float", {8, 3, AlphaInfo::PremultipliedLast}, 3, 0, false, true, 32, kFloat | 1},
        SetupCase{"float without alpha", {8, 3, AlphaInfo::NoneSkipLast}, 3, 0, false, true, 32, kFloat | 5},
        SetupCase{"16 to 8 bits", {16, 3, AlphaInfo::NoneSkipLast}, 1, 0, false, true, 8, 5},
        SetupCase{"rgb16", {16, 3, AlphaInfo::PremultipliedLast}, 0, 0, false, true, 16, 1},
        SetupCase{"rgb float", {32, 3, AlphaInfo::PremultipliedLast}, 0, 0, false, true, 32, kFloat | 1},
        SetupCase{"rgb 5-bit", {5, 3, AlphaInfo::NoneSkipFirst}, 0, 0, false, true, 5, 6},
        SetupCase{"gray8 ignores alpha", {8, 1, AlphaInfo::None}, 0, 2, true, true, 8, 0},
        SetupCase{"gray16", {16, 1, AlphaInfo::None}, 0, 0, false, true, 16, 0},
        SetupCase{"gray float", {32, 1, AlphaInfo::None}, 0, 0, false, true, 32, kFloat},
        SetupCase{"cmyk8 to float", {8, 4, AlphaInfo::None}, 3, 0, false, true, 32, kFloat},
        SetupCase{"cmyk16", {16, 4, AlphaInfo::None}, 0, 0, false, true, 16, 0}),
    [](const auto& info) {
      std::string name = info.param.name;
      for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return name;
    });

TEST(ContextSetupTest, SpacesWithoutDrawingSupportUseGenericRGB) {
  // A Lab picture is drawn into 8-bit generic RGB whatever its depth.
  auto lab = std::make_shared<raster::ColorSpace>(raster::ColorModel::Lab,
                                                  raster::ColorSpace::sRGB()->profile(), "Test Lab");
  std::vector<std::uint8_t> pixels(4 * 4 * 6, 0);
  auto image = raster::Image::make(4, 4, raster::PixelFormat{16, 3, AlphaInfo::None}, lab, std::move(pixels));
  if (!image) GTEST_SKIP() << "the raster layer holds no Lab images";
  auto rep = raster::BitmapImageRep::withImage(image);
  ImageModifyInfo info;
  ContextChoice setup = ImportedImage::setupCGContextForValues(rep, info);
  EXPECT_TRUE(setup.isValid);
  EXPECT_TRUE(setup.useGenericRGB);
  EXPECT_EQ(setup.bitsPerComponent, 8u);
  EXPECT_EQ(setup.bitmapInfo, 5u);
  info.imageTransparency = 2;
  EXPECT_EQ(ImportedImage::setupCGContextForValues(rep, info).bitmapInfo, 1u);

  // The drawing is tagged with the space it was drawn in.
  ImportedImage engine;
  auto drawn = engine.drawInCGContextFromBmpRep(rep, nullptr, {2, 2}, ImageModifyInfo{});
  ASSERT_TRUE(drawn);
  EXPECT_EQ(drawn->bitsPerSample(), 8);
  ASSERT_TRUE(drawn->colorSpace());
  EXPECT_TRUE(drawn->colorSpace()->sameNameAs(*raster::ColorSpace::genericRGB()));
}

TEST(ContextSetupTest, MissingRepresentationIsInvalid) {
  EXPECT_FALSE(ImportedImage::setupCGContextForValues(nullptr, ImageModifyInfo{}).isValid);
}

TEST(FilterGraphNeed, ScaleTypesThatTransformThroughTheGraph) {
  for (std::int64_t type = -1; type <= 18; ++type) {
    ImageModifyInfo info;
    info.resizeScaleType = type;
    const bool expected = type == 1 || (type >= 6 && type <= 16);
    EXPECT_EQ(ImportedImage::needsCIContextTransformForImageInfo(info), expected) << type;
    EXPECT_EQ(ImportedImage::needsCIContextForImageInfo(info), expected) << type;
  }
}

TEST(FilterGraphNeed, EveryStageThatUsesTheGraph) {
  using Setter = void (*)(ImageModifyInfo&);
  const Setter stages[] = {
      [](ImageModifyInfo& i) { i.filterType0 = 3; },
      [](ImageModifyInfo& i) { i.filterType1 = -2; },
      [](ImageModifyInfo& i) { i.filterType2 = 111; },
      [](ImageModifyInfo& i) { i.optionAutoAdjust = true; },
      [](ImageModifyInfo& i) { i.optionFeatures = true; },
      [](ImageModifyInfo& i) { i.wantsTinyPlanet = true; },
      [](ImageModifyInfo& i) { i.wantsMixWithDepthData = true; },
      [](ImageModifyInfo& i) { i.addLUT = true; },
      [](ImageModifyInfo& i) { i.compositeMode = 2; },
      [](ImageModifyInfo& i) { i.addToneCurve = true; },
      [](ImageModifyInfo& i) { i.addToneCurveRed = true; },
      [](ImageModifyInfo& i) { i.addToneCurveGreen = true; },
      [](ImageModifyInfo& i) { i.addToneCurveBlue = true; },
  };
  ImageModifyInfo plain;
  EXPECT_FALSE(ImportedImage::needsCIContextForImageInfo(plain));
  int index = 0;
  for (Setter set : stages) {
    ImageModifyInfo info;
    set(info);
    EXPECT_TRUE(ImportedImage::needsCIContextForImageInfo(info)) << "stage " << index++;
  }
  // Options that do not need the graph.
  ImageModifyInfo other;
  other.optionEnhance = true;
  other.addBorder = true;
  other.addWatermarkText = true;
  EXPECT_FALSE(ImportedImage::needsCIContextForImageInfo(other));
}

}  // namespace
}  // namespace velumar
