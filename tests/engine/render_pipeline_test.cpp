// The main draw: pixel sizes, drawing in place, context layouts, the
// transforms by scale type, the border, depth export and float output.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "engine/imported_image.h"
#include "engine_test_images.h"

namespace velumar {
namespace {

using raster::AlphaInfo;
using testimages::cornerColours;
using testimages::quadrantRep;

BitmapRepRef solidRep(std::int64_t width, std::int64_t height, const raster::Color& colour,
                      raster::PixelFormat format = raster::PixelFormat::rgba8()) {
  auto context = raster::BitmapContext::create(width, height, format, raster::ColorSpace::sRGB());
  if (!context) return nullptr;
  context->setFillColor(colour);
  context->fillRect(raster::Rect(0, 0, double(width), double(height)));
  return raster::BitmapImageRep::withImage(context->makeImage());
}

TEST(MainDraw, PixelSizeIsEachSideRoundedUpAndSizeIsTheTarget) {
  ImportedImage engine;
  auto rep = quadrantRep(40, 30);
  auto drawn = engine.drawInCGContextFromBmpRep(rep, nullptr, {40.2, 30.0}, ImageModifyInfo{});
  ASSERT_TRUE(drawn);
  EXPECT_NE(drawn, rep);
  EXPECT_EQ(drawn->pixelsWide(), 41);
  EXPECT_EQ(drawn->pixelsHigh(), 30);
  EXPECT_EQ(drawn->size(), (raster::Size{40.2, 30.0}));
  EXPECT_EQ(cornerColours(drawn->image()), "RGBW");
}

TEST(MainDraw, SizesNoBitmapCanHaveGiveNothing) {
  ImportedImage engine;
  auto rep = quadrantRep(4, 4);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (raster::Size size :
       {raster::Size{0, 4}, raster::Size{4, -1}, raster::Size{nan, 4}, raster::Size{4, 1e12}})
    EXPECT_FALSE(engine.drawInCGContextFromBmpRep(rep, nullptr, size, ImageModifyInfo{}));
  EXPECT_FALSE(engine.drawInCGContextFromBmpRep(nullptr, nullptr, {4, 4}, ImageModifyInfo{}));
}

TEST(MainDraw, MatchingRepresentationIsDrawnInPlaceForThePlainStretchTypes) {
  for (std::int64_t scaleType : {0, 2, 3, 4, 5}) {
    ImportedImage engine;
    auto rep = quadrantRep(8, 6);
    rep->setSize({4, 3});  // 144 dpi
    ImageModifyInfo info;
    info.resizeScaleType = scaleType;
    auto drawn = engine.drawInCGContextFromBmpRep(rep, nullptr, {8, 6}, info);
    ASSERT_TRUE(drawn) << scaleType;
    EXPECT_EQ(drawn, rep) << scaleType;
    EXPECT_EQ(drawn->size(), (raster::Size{8, 6}));
    EXPECT_EQ(cornerColours(drawn->image()), "RGBW") << scaleType;
  }
}

TEST(MainDraw, ADifferentLayoutDrawsANewRepresentationAndLeavesTheSourceAlone) {
  ImportedImage engine;
  auto rep = quadrantRep(8, 6);
  const raster::ImageRef before = rep->image();
  ImageModifyInfo info;
  info.imageDepth = 2;
  auto drawn = engine.drawInCGContextFromBmpRep(rep, nullptr, {8, 6}, info);
  ASSERT_TRUE(drawn);
  EXPECT_NE(drawn, rep);
  EXPECT_EQ(drawn->bitsPerSample(), 16);
  EXPECT_EQ(rep->image(), before);
  EXPECT_EQ(rep->size(), (raster::Size{8, 6}));
}

struct LayoutCase {
  const char* name;
  raster::PixelFormat source;
  std::uint64_t imageDepth;
  raster::PixelFormat expected;
};

class DrawLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(DrawLayout, ResultHasTheChosenLayoutAndThePicture) {
  const LayoutCase& c = GetParam();
  ImportedImage engine;
  auto rep = quadrantRep(12, 8, c.source);
  ASSERT_TRUE(rep) << c.name;
  ImageModifyInfo info;
  info.imageDepth = c.imageDepth;
  auto drawn = engine.drawInCGContextFromBmpRep(rep, nullptr, {6, 4}, info);
  ASSERT_TRUE(drawn) << c.name;
  EXPECT_EQ(drawn->pixelFormat(), c.expected) << c.name;
  EXPECT_EQ(drawn->pixelsWide(), 6);
  EXPECT_EQ(drawn->pixelsHigh(), 4);
  if (c.expected.colorComponents == 3) {
    EXPECT_EQ(cornerColours(drawn->image()), "RGBW") << c.name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, DrawLayout,
    ::testing::Values(
        LayoutCase{
            "alpha first", {8, 3, AlphaInfo::PremultipliedFirst}, 0, {8, 3, AlphaInfo::PremultipliedFirst}},
        LayoutCase{"16-bit", {16, 3, AlphaInfo::PremultipliedLast}, 0, {16, 3, AlphaInfo::PremultipliedLast}},
        LayoutCase{"to float", {8, 3, AlphaInfo::NoneSkipLast}, 3, {32, 3, AlphaInfo::NoneSkipLast}},
        LayoutCase{"5-bit", {5, 3, AlphaInfo::NoneSkipFirst}, 0, {5, 3, AlphaInfo::NoneSkipFirst}},
        LayoutCase{"gray16", {16, 1, AlphaInfo::None}, 0, {16, 1, AlphaInfo::None}},
        LayoutCase{"cmyk to float", {8, 4, AlphaInfo::None}, 3, {32, 4, AlphaInfo::None}}),
    [](const auto& info) {
      std::string name = info.param.name;
      for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return name;
    });

TEST(MainDraw, WithoutAlphaTransparentPixelsBecomeWhite) {
  ImportedImage engine;
  auto rep = ImportedImage::createNewBmpImageRep(6, 4, 1.0, false);  // fully transparent
  ImageModifyInfo info;
  info.imageTransparency = 1;
  auto drawn = engine.drawInCGContextFromBmpRep(rep, nullptr, {6, 4}, info);
  ASSERT_TRUE(drawn);
  EXPECT_FALSE(drawn->hasAlpha());
  auto c = testimages::rgbaAt(drawn->image(), 3, 2);
  EXPECT_GT(c.r, 0.99);
  EXPECT_GT(c.g, 0.99);
  EXPECT_GT(c.b, 0.99);
}

TEST(MainDraw, WithAlphaTransparencyIsCopiedNotBlended) {
  ImportedImage engine;
  auto rep = ImportedImage::createNewBmpImageRep(6, 4, 1.0, false);
  auto drawn = engine.drawInCGContextFromBmpRep(rep, nullptr, {3, 2}, ImageModifyInfo{});
  ASSERT_TRUE(drawn);
  EXPECT_TRUE(drawn->hasAlpha());
  EXPECT_LT(testimages::rgbaAt(drawn->image(), 1, 1).a, 0.01);
}

// Scale types and the corners they produce from a 6 x 4 quadrant picture
// (top-left, top-right, bottom-left, bottom-right).
struct TransformCase {
  std::int64_t scaleType;
  raster::Size target;
  const char* corners;
};

class DrawTransform : public ::testing::TestWithParam<TransformCase> {};

TEST_P(DrawTransform, TurnsAndFlipsThePicture) {
  const TransformCase& c = GetParam();
  ImportedImage engine;
  auto rep = quadrantRep(6, 4);
  ImageModifyInfo info;
  info.resizeScaleType = c.scaleType;
  auto drawn = engine.drawInCGContextFromBmpRep(rep, nullptr, c.target, info);
  ASSERT_TRUE(drawn) << c.scaleType;
  EXPECT_EQ(drawn->pixelsWide(), std::int64_t(c.target.width));
  EXPECT_EQ(drawn->pixelsHigh(), std::int64_t(c.target.height));
  EXPECT_EQ(cornerColours(drawn->image()), c.corners) << "scale type " << c.scaleType;
}

INSTANTIATE_TEST_SUITE_P(
    ScaleTypes, DrawTransform,
    ::testing::Values(TransformCase{0, {12, 8}, "RGBW"}, TransformCase{0, {3, 4}, "RGBW"},
                      TransformCase{1, {3, 2}, "RGBW"}, TransformCase{8, {6, 4}, "GRWB"},
                      TransformCase{9, {6, 4}, "BWRG"}, TransformCase{10, {4, 6}, "BRWG"},
                      TransformCase{11, {4, 6}, "GWRB"}, TransformCase{12, {6, 4}, "WBGR"},
                      TransformCase{13, {4, 6}, "WGBR"}, TransformCase{14, {4, 6}, "RBGW"}));

TEST(MainDraw, TinyPlanetReplacesTheContextTransform) {
  // With the tiny planet the scaling happens on the graph side; the picture
  // still arrives at the target size.
  ImportedImage engine;
  auto rep = quadrantRep(12, 8);
  ImageModifyInfo info;
  info.wantsTinyPlanet = true;
  info.resizeScaleType = 1;
  auto drawn = engine.drawInCGContextFromBmpRep(rep, nullptr, {6, 4}, info);
  ASSERT_TRUE(drawn);
  EXPECT_EQ(drawn->pixelsWide(), 6);
  EXPECT_EQ(drawn->pixelsHigh(), 4);
}

struct BorderCase {
  bool preserveRatio;
  double size;
  std::int64_t leftThickness;
  std::int64_t topThickness;
};

class DrawBorder : public ::testing::TestWithParam<BorderCase> {};

TEST_P(DrawBorder, StripsHaveTheirThickness) {
  const BorderCase& c = GetParam();
  ImportedImage engine;
  auto rep = solidRep(200, 100, raster::Color::rgb(0, 0, 1));
  ImageModifyInfo info;
  info.addBorder = true;
  info.preserveBorderRatio = c.preserveRatio;
  info.topBorderSize = info.bottomBorderSize = info.leftBorderSize = info.rightBorderSize = c.size;
  info.borderColorR = 1, info.borderColorG = 0, info.borderColorB = 0;
  auto drawn = engine.drawInCGContextFromBmpRep(rep, nullptr, {200, 100}, info);
  ASSERT_TRUE(drawn);
  using testimages::colourAt;
  using Q = testimages::Quadrant;
  const raster::ImageRef& image = drawn->image();
  if (c.leftThickness == 0) {
    EXPECT_EQ(cornerColours(image), "BBBB");
    return;
  }
  EXPECT_EQ(colourAt(image, c.leftThickness - 1, 50), Q::Red);
  EXPECT_EQ(colourAt(image, c.leftThickness, 50), Q::Blue);
  EXPECT_EQ(colourAt(image, 199 - (c.leftThickness - 1), 50), Q::Red);
  EXPECT_EQ(colourAt(image, 199 - c.leftThickness, 50), Q::Blue);
  EXPECT_EQ(colourAt(image, 100, c.topThickness - 1), Q::Red);
  EXPECT_EQ(colourAt(image, 100, c.topThickness), Q::Blue);
  EXPECT_EQ(colourAt(image, 100, 99 - c.topThickness), Q::Blue);
  EXPECT_EQ(colourAt(image, 100, 99 - (c.topThickness - 1)), Q::Red);
}

INSTANTIATE_TEST_SUITE_P(Borders, DrawBorder,
                         ::testing::Values(BorderCase{true, 0.1, 5, 5}, BorderCase{false, 0.1, 10, 5},
                                           BorderCase{false, 0.0, 0, 0}));

// A border on one side only reaches the output on that side alone.
TEST(MainDraw, BorderOnOneSideDrawsThatSide) {
  struct Side {
    const char* name;
    double ImageModifyInfo::*size;
    std::int64_t x, y;  // just inside the strip (rows top-down)
  };
  const Side sides[] = {{"top", &ImageModifyInfo::topBorderSize, 100, 4},
                        {"bottom", &ImageModifyInfo::bottomBorderSize, 100, 95},
                        {"left", &ImageModifyInfo::leftBorderSize, 9, 50},
                        {"right", &ImageModifyInfo::rightBorderSize, 190, 50}};
  using testimages::colourAt;
  using Q = testimages::Quadrant;
  for (const Side& side : sides) {
    SCOPED_TRACE(side.name);
    ImportedImage engine;
    ImageModifyInfo info;
    info.addBorder = true;
    info.*side.size = 0.1;
    info.borderColorR = 1, info.borderColorG = 0, info.borderColorB = 0;
    auto drawn = engine.drawInCGContextFromBmpRep(solidRep(200, 100, raster::Color::rgb(0, 0, 1)), nullptr,
                                                  {200, 100}, info);
    ASSERT_TRUE(drawn);
    const raster::ImageRef& image = drawn->image();
    EXPECT_EQ(colourAt(image, side.x, side.y), Q::Red);
    // Every other edge keeps the picture.
    for (const Side& other : sides) {
      if (&other != &side) {
        EXPECT_EQ(colourAt(image, other.x, other.y), Q::Blue) << other.name;
      }
    }
  }
}

TEST(MainDraw, TranslucentBorderCoversCornersOnce) {
  ImportedImage engine;
  auto rep = solidRep(40, 40, raster::Color::rgb(0, 0, 1));
  ImageModifyInfo info;
  info.addBorder = true;
  info.topBorderSize = info.leftBorderSize = 0.2;
  info.borderColorR = 1, info.borderColorG = 0, info.borderColorB = 0;
  info.borderOpacity = 0.5;
  auto drawn = engine.drawInCGContextFromBmpRep(rep, nullptr, {40, 40}, info);
  ASSERT_TRUE(drawn);
  auto corner = testimages::rgbaAt(drawn->image(), 0, 0);
  auto strip = testimages::rgbaAt(drawn->image(), 0, 20);
  EXPECT_NEAR(corner.r, strip.r, 0.01);
  EXPECT_NEAR(corner.b, strip.b, 0.01);
  EXPECT_GT(strip.b, 0.2);  // half covered: blue still shows
}

TEST(MainDraw, ExportedDepthImageFollowsTheDepthSettings) {
  ImportedImage engine;
  auto rep = quadrantRep(8, 6);
  auto depth = ci::Image::constantColor(ci::Color::white())->cropped(raster::Rect(0, 0, 8, 6));
  auto earlier = ci::Image::constantColor(ci::Color::black());
  engine.exportedDepthImage = earlier;

  ImageModifyInfo info;
  ASSERT_TRUE(engine.drawInCGContextFromBmpRep(rep, depth, {4, 3}, info));
  EXPECT_EQ(engine.exportedDepthImage, earlier);  // no depth: left as it was

  info.wantsMixWithDepthData = true;
  info.wantsDepthExport = true;
  ASSERT_TRUE(engine.drawInCGContextFromBmpRep(rep, depth, {4, 3}, info));
  ASSERT_TRUE(engine.exportedDepthImage);
  EXPECT_EQ(engine.exportedDepthImage->extent(), raster::Rect(0, 0, 4, 3));

  info.wantsDepthExport = false;
  ASSERT_TRUE(engine.drawInCGContextFromBmpRep(rep, depth, {4, 3}, info));
  EXPECT_FALSE(engine.exportedDepthImage);

  engine.exportedDepthImage = earlier;
  info.wantsDepthExport = true;
  ASSERT_TRUE(engine.drawInCGContextFromBmpRep(rep, nullptr, {4, 3}, info));
  EXPECT_FALSE(engine.exportedDepthImage);  // asked for depth, none given
}

using testimages::nonFiniteCount;

TEST(MainDraw, FloatOutputHoldsOnlyFiniteValues) {
  const raster::Size targets[] = {{4, 4}, {8, 8}, {3, 2}};  // in place, enlarged, reduced
  for (raster::Size target : targets) {
    ImportedImage engine;
    auto rep = raster::BitmapImageRep::withImage(testimages::nonFiniteFloatImage(4, 4));
    ASSERT_TRUE(rep);
    ASSERT_GT(nonFiniteCount(rep->image()), 0);
    auto drawn = engine.drawInCGContextFromBmpRep(rep, nullptr, target, ImageModifyInfo{});
    ASSERT_TRUE(drawn);
    EXPECT_TRUE(drawn->pixelFormat().isFloat());
    EXPECT_EQ(nonFiniteCount(drawn->image()), 0) << target.width;
  }
}

}  // namespace
}  // namespace velumar
