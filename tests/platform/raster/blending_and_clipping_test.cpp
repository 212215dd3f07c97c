// Blend modes on known colour pairs, global alpha, clips and path fills.

#include <gtest/gtest.h>

#include <array>

#include "platform/raster/bitmap_context.h"
#include "platform/raster/blend.h"
#include "raster_test_helpers.h"

using namespace raster;

namespace {

std::unique_ptr<BitmapContext> floatContext(std::int64_t w, std::int64_t h) {
  return BitmapContext::create(w, h, PixelFormat::rgbaFloat(), ColorSpace::sRGB());
}

struct BlendCase {
  BlendMode mode;
  float backdrop[4];  // straight RGBA
  float source[4];
  float expected[4];  // premultiplied RGBA
};

TEST(BlendModes, KnownColourPairs) {
  const BlendCase cases[] = {
      {BlendMode::Normal, {1, 0, 0, 1}, {0, 0, 1, 0.5f}, {0.5f, 0, 0.5f, 1}},
      {BlendMode::Multiply, {0.5f, 0.8f, 1, 1}, {0.5f, 0.5f, 0.2f, 1}, {0.25f, 0.4f, 0.2f, 1}},
      {BlendMode::Screen, {0.5f, 0, 1, 1}, {0.5f, 0.5f, 0, 1}, {0.75f, 0.5f, 1, 1}},
      {BlendMode::Overlay, {0.25f, 0.75f, 0.5f, 1}, {0.5f, 0.5f, 1, 1}, {0.25f, 0.75f, 1, 1}},
      // Overlay is HardLight with the layers swapped: 0.375 and 0.625 here, not 0.625 and 0.375.
      {BlendMode::Overlay, {0.25f, 0.75f, 0.5f, 1}, {0.75f, 0.25f, 0.5f, 1}, {0.375f, 0.625f, 0.5f, 1}},
      {BlendMode::Darken, {0.2f, 0.8f, 0.5f, 1}, {0.6f, 0.4f, 0.5f, 1}, {0.2f, 0.4f, 0.5f, 1}},
      {BlendMode::Lighten, {0.2f, 0.8f, 0.5f, 1}, {0.6f, 0.4f, 0.5f, 1}, {0.6f, 0.8f, 0.5f, 1}},
      {BlendMode::ColorDodge, {0.25f, 0, 0.5f, 1}, {0.5f, 0.5f, 1, 1}, {0.5f, 0, 1, 1}},
      {BlendMode::ColorBurn, {0.75f, 1, 0.5f, 1}, {0.5f, 0.5f, 0, 1}, {0.5f, 1, 0, 1}},
      {BlendMode::HardLight, {0.5f, 0.5f, 0.5f, 1}, {0.25f, 0.75f, 0.5f, 1}, {0.25f, 0.75f, 0.5f, 1}},
      {BlendMode::SoftLight, {0.5f, 0.25f, 0, 1}, {0.5f, 0.5f, 1, 1}, {0.5f, 0.25f, 0, 1}},
      // A light source over backdrops above and below 0.25, where the curve changes; a dark one.
      {BlendMode::SoftLight,
       {0.36f, 0.16f, 0.36f, 1},
       {0.75f, 0.75f, 0.25f, 1},
       {0.48f, 0.2792f, 0.2448f, 1}},
      {BlendMode::Difference, {0.2f, 0.9f, 0.5f, 1}, {0.7f, 0.4f, 0.5f, 1}, {0.5f, 0.5f, 0, 1}},
      {BlendMode::Exclusion, {0.5f, 1, 0, 1}, {0.5f, 0.5f, 0.5f, 1}, {0.5f, 0.5f, 0.5f, 1}},
      // Luminosity of mid-gray onto pure red keeps red's hue.
      {BlendMode::Luminosity, {1, 0, 0, 1}, {0.3f, 0.3f, 0.3f, 1}, {1, 0, 0, 1}},
      {BlendMode::Color, {0.5f, 0.5f, 0.5f, 1}, {0.5f, 0.5f, 0.5f, 1}, {0.5f, 0.5f, 0.5f, 1}},
      {BlendMode::Hue, {0.5f, 0.5f, 0.5f, 1}, {1, 0, 0, 1}, {0.5f, 0.5f, 0.5f, 1}},
      {BlendMode::Saturation, {0.8f, 0.2f, 0.2f, 1}, {0.5f, 0.5f, 0.5f, 1}, {0.38f, 0.38f, 0.38f, 1}},
      {BlendMode::Copy, {1, 0, 0, 1}, {0, 1, 0, 0.5f}, {0, 0.5f, 0, 0.5f}},
      {BlendMode::Clear, {1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 0, 0}},
      {BlendMode::SourceIn, {1, 0, 0, 0.5f}, {0, 1, 0, 1}, {0, 0.5f, 0, 0.5f}},
      {BlendMode::SourceOut, {1, 0, 0, 0.5f}, {0, 1, 0, 1}, {0, 0.5f, 0, 0.5f}},
      {BlendMode::SourceAtop, {1, 0, 0, 1}, {0, 1, 0, 0.5f}, {0.5f, 0.5f, 0, 1}},
      {BlendMode::DestinationOver, {1, 0, 0, 0.5f}, {0, 1, 0, 1}, {0.5f, 0.5f, 0, 1}},
      {BlendMode::DestinationIn, {1, 0, 0, 1}, {0, 1, 0, 0.25f}, {0.25f, 0, 0, 0.25f}},
      {BlendMode::DestinationOut, {1, 0, 0, 1}, {0, 1, 0, 0.25f}, {0.75f, 0, 0, 0.75f}},
      {BlendMode::XOR, {1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 0, 0}},
      {BlendMode::PlusLighter, {0.6f, 0.2f, 0, 1}, {0.6f, 0.2f, 0, 1}, {1, 0.4f, 0, 1}},
      {BlendMode::PlusDarker, {0.6f, 0.8f, 1, 1}, {0.6f, 0.5f, 1, 1}, {0.2f, 0.3f, 1, 1}},
  };
  for (const BlendCase& c : cases) {
    auto context = floatContext(2, 2);
    const double backdrop[4] = {c.backdrop[0], c.backdrop[1], c.backdrop[2], c.backdrop[3]};
    const double source[4] = {c.source[0], c.source[1], c.source[2], c.source[3]};
    context->setFillColor(backdrop, 4);
    context->fillRect(Rect(0, 0, 2, 2));
    context->setBlendMode(c.mode);
    context->setFillColor(source, 4);
    context->fillRect(Rect(0, 0, 1, 2));
    auto p = rastertest::pixelAt(*context, 0, 0);
    for (int i = 0; i < 4; ++i)
      EXPECT_NEAR(p[std::size_t(i)], c.expected[i], 0.01) << "mode " << int(c.mode) << " channel " << i;
    // Outside the filled shape nothing changes, whatever the operator.
    auto q = rastertest::pixelAt(*context, 1, 0);
    EXPECT_NEAR(q[3], c.backdrop[3], 1e-6) << "mode " << int(c.mode);
  }
}

// Gray and CMYK have no hue: Hue, Saturation and Color keep the backdrop's
// value, Luminosity takes the source's, and alpha composes as source-over.
TEST(BlendModes, NonSeparableModesOnGrayAndCmyk) {
  const struct {
    BlendMode mode;
    float colour;  // premultiplied result of backdrop 0.5 and source 0.8, both at alpha 0.5
  } cases[] = {{BlendMode::Hue, 0.45f},
               {BlendMode::Saturation, 0.45f},
               {BlendMode::Color, 0.45f},
               {BlendMode::Luminosity, 0.525f}};
  for (int colors : {1, 4})
    for (const auto& c : cases) {
      std::vector<float> backdrop(std::size_t(colors), 0.25f), source(std::size_t(colors), 0.4f);
      backdrop.push_back(0.5f), source.push_back(0.5f);
      blendRow(c.mode, colors, backdrop.data(), source.data(), nullptr, nullptr, 1.0f, 1);
      for (int k = 0; k < colors; ++k) EXPECT_NEAR(backdrop[std::size_t(k)], c.colour, 1e-5) << int(c.mode);
      EXPECT_NEAR(backdrop.back(), 0.75f, 1e-5) << int(c.mode) << " with " << colors << " colours";
    }
}

TEST(BlendModes, CmykBlendsOnLightSoMultiplyAddsInk) {
  ColorSpaceRef cmyk = ColorSpace::genericCMYK();
  if (!cmyk) GTEST_SKIP() << "no CMYK profile installed";
  auto context = BitmapContext::create(1, 1, {32, 4, AlphaInfo::None}, cmyk);
  const double backdrop[5] = {0.5, 0, 0, 0, 1}, source[5] = {0, 0.5, 0, 0.2, 1};
  context->setFillColor(backdrop, 5);
  context->fillRect(Rect(0, 0, 1, 1));
  context->setBlendMode(BlendMode::Multiply);
  context->setFillColor(source, 5);
  context->fillRect(Rect(0, 0, 1, 1));
  auto p = rastertest::pixelAt(*context, 0, 0);
  // Light multiplies: ink = 1 - (1 - a)(1 - b).
  EXPECT_NEAR(p[0], 0.5f, 1e-5);
  EXPECT_NEAR(p[1], 0.5f, 1e-5);
  EXPECT_NEAR(p[2], 0.0f, 1e-5);
  EXPECT_NEAR(p[3], 0.2f, 1e-5);
}

TEST(GlobalAlpha, ScalesSourceInNormalAndCopy) {
  auto context = floatContext(2, 1);
  const double white[4] = {1, 1, 1, 1};
  context->setFillColor(white, 4);
  context->setAlpha(0.25);
  context->fillRect(Rect(0, 0, 1, 1));
  context->setBlendMode(BlendMode::Copy);
  context->setAlpha(0.5);
  context->fillRect(Rect(1, 0, 1, 1));
  EXPECT_NEAR(rastertest::pixelAt(*context, 0, 0)[3], 0.25f, 1e-6);
  EXPECT_NEAR(rastertest::pixelAt(*context, 1, 0)[3], 0.5f, 1e-6);
}

TEST(Clipping, RectClipSaveRestoreAndRoundedCorners) {
  auto context = BitmapContext::create(100, 100, PixelFormat::rgba8(), ColorSpace::sRGB());
  const double black[4] = {0, 0, 0, 1};
  context->setFillColor(black, 4);
  context->saveGState();
  context->clipToRect(Rect(10, 20, 30, 40));
  context->fillRect(Rect(0, 0, 100, 100));
  context->restoreGState();
  EXPECT_EQ(rastertest::pixelAt(*context, 10, 20)[3], 1.0f);
  EXPECT_EQ(rastertest::pixelAt(*context, 39, 59)[3], 1.0f);
  EXPECT_EQ(rastertest::pixelAt(*context, 9, 20)[3], 0.0f);
  EXPECT_EQ(rastertest::pixelAt(*context, 40, 20)[3], 0.0f);
  EXPECT_EQ(rastertest::pixelAt(*context, 10, 60)[3], 0.0f);

  // After restore the clip is gone; a rounded clip of radius 25 leaves the
  // corners empty and the edge midpoints full.
  context->clearRect(Rect(0, 0, 100, 100));
  context->clipToRoundedRect(Rect(0, 0, 100, 100), 25, 25);
  context->fillRect(Rect(0, 0, 100, 100));
  EXPECT_EQ(rastertest::pixelAt(*context, 1, 1)[3], 0.0f);
  EXPECT_EQ(rastertest::pixelAt(*context, 98, 98)[3], 0.0f);
  EXPECT_EQ(rastertest::pixelAt(*context, 50, 0)[3], 1.0f);
  EXPECT_EQ(rastertest::pixelAt(*context, 0, 50)[3], 1.0f);
  float diagonal = rastertest::pixelAt(*context, 7, 7)[3];  // on the arc: partly covered
  EXPECT_GT(diagonal, 0.0f);
  EXPECT_LT(diagonal, 1.0f);
}

TEST(Clipping, ImagesHonourClipAlphaAndTransform) {
  ImageRef white = rastertest::makeRGBA8(4, 4, ColorSpace::sRGB(), [](auto, auto) {
    return std::array<std::uint8_t, 4>{255, 255, 255, 255};
  });
  auto context = floatContext(20, 20);
  context->translate(2, 2);
  context->clipToRect(Rect(0, 0, 5, 20));
  EXPECT_EQ(context->clipBoundingBox(), Rect(0, 0, 5, 18));
  context->setAlpha(0.5);
  context->scale(2, 2);
  context->drawImage(white, Rect(0, 0, 4, 4));  // device (2, 2) to (10, 10), clipped at x = 7
  EXPECT_NEAR(rastertest::pixelAt(*context, 2, 2)[3], 0.5f, 1e-6);
  EXPECT_NEAR(rastertest::pixelAt(*context, 6, 9)[3], 0.5f, 1e-6);
  EXPECT_EQ(rastertest::pixelAt(*context, 7, 5)[3], 0.0f);
  EXPECT_EQ(rastertest::pixelAt(*context, 1, 5)[3], 0.0f);
  EXPECT_EQ(rastertest::pixelAt(*context, 5, 10)[3], 0.0f);
}

TEST(PathFill, OverlappingRectsAreCoveredOnceAndStrokesHaveWidth) {
  auto context = BitmapContext::create(20, 20, PixelFormat::rgba8(), ColorSpace::sRGB());
  const double black[4] = {0, 0, 0, 1};
  context->setFillColor(black, 4);
  context->setAlpha(0.5);
  context->fillRects({Rect(0, 0, 10, 20), Rect(0, 0, 20, 10)});
  EXPECT_NEAR(rastertest::pixelAt(*context, 5, 5)[3], 0.5f, 1.0f / 255) << "overlap filled once";
  EXPECT_NEAR(rastertest::pixelAt(*context, 15, 5)[3], 0.5f, 1.0f / 255);
  EXPECT_EQ(rastertest::pixelAt(*context, 15, 15)[3], 0.0f);

  auto stroked = BitmapContext::create(20, 20, PixelFormat::rgba8(), ColorSpace::sRGB());
  stroked->setStrokeColor(black, 4);
  stroked->setLineWidth(4);
  stroked->setLineCap(LineCap::Round);
  stroked->setLineJoin(LineJoin::Round);
  stroked->strokeRect(Rect(5, 5, 10, 10));
  EXPECT_EQ(rastertest::pixelAt(*stroked, 4, 10)[3], 1.0f);  // on the left edge
  EXPECT_EQ(rastertest::pixelAt(*stroked, 6, 10)[3], 1.0f);
  EXPECT_EQ(rastertest::pixelAt(*stroked, 10, 10)[3], 0.0f);  // inside
  EXPECT_EQ(rastertest::pixelAt(*stroked, 1, 10)[3], 0.0f);   // outside
}

TEST(Antialiasing, EdgeCoverageFollowsTheArea) {
  for (bool antialias : {true, false}) {
    auto context = BitmapContext::create(10, 10, {8, 1, AlphaInfo::None}, ColorSpace::genericGray());
    const double white[2] = {1, 1};
    context->setFillColor(white, 2);
    context->setShouldAntialias(antialias);
    // Left edge at x = 2.25: pixel 2 is three-quarters covered.
    Path path;
    path.addRect(Rect(2.25, 0, 5, 10));
    context->fillPath(path);
    float v = rastertest::pixelAt(*context, 2, 5)[0];
    if (antialias) {
      EXPECT_NEAR(v, 0.75f, 0.03f);
    } else {
      EXPECT_TRUE(v == 0.0f || v == 1.0f) << v;
    }
  }
}

TEST(TransparencyLayer, CompositesAsOneWithTheAlphaAtBegin) {
  auto context = BitmapContext::create(4, 1, PixelFormat::rgbaFloat(), ColorSpace::sRGB());
  const double black[4] = {0, 0, 0, 1};
  context->setFillColor(black, 4);
  context->setAlpha(0.5);
  context->beginTransparencyLayer();
  context->fillRect(Rect(0, 0, 3, 1));
  context->fillRect(Rect(1, 0, 3, 1));  // overlaps: opaque inside the layer
  context->endTransparencyLayer();
  for (int x = 0; x < 4; ++x) EXPECT_NEAR(rastertest::pixelAt(*context, x, 0)[3], 0.5f, 1e-6) << x;
}

}  // namespace
