// Snapshots stay unchanged by later drawing; resampling keeps geometry and
// does not alias when shrinking.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

#include "platform/raster/bitmap_context.h"
#include "raster_test_helpers.h"

using namespace raster;

namespace {

std::unique_ptr<BitmapContext> rgbaContext(std::int64_t w, std::int64_t h) {
  return BitmapContext::create(w, h, PixelFormat::rgba8(), ColorSpace::sRGB());
}

// A context whose pixel (x, yUp) has red = x, green = yUp (8-bit values).
std::unique_ptr<BitmapContext> gradientContext(int w, int h) {
  auto context = rgbaContext(w, h);
  std::uint8_t* data = context->mutableData();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = data + std::size_t(topDownRow(y, h)) * context->bytesPerRow() + std::size_t(x) * 4;
      p[0] = std::uint8_t(x), p[1] = std::uint8_t(y), p[2] = 0, p[3] = 255;
    }
  return context;
}

TEST(Snapshot, LaterDrawingDoesNotChangeIt) {
  auto context = rgbaContext(4, 4);
  const double red[4] = {1, 0, 0, 1}, blue[4] = {0, 0, 1, 1};
  context->setFillColor(red, 4);
  context->fillRect(Rect(0, 0, 4, 4));
  ImageRef before = context->makeImage();
  context->setFillColor(blue, 4);
  context->fillRect(Rect(0, 0, 4, 4));
  EXPECT_EQ(before->row(0)[0], 255);
  EXPECT_EQ(before->row(0)[2], 0);
  EXPECT_EQ(context->data()[2], 255);
  // Direct writes detach too.
  ImageRef second = context->makeImage();
  context->mutableData()[0] = 9;
  EXPECT_EQ(second->row(0)[0], 0);
}

TEST(Snapshot, DrawingOwnImageTurned180DegreesInPlace) {
  const int w = 5, h = 3;
  auto context = gradientContext(w, h);
  context->setBlendMode(BlendMode::Copy);
  context->setInterpolationQuality(InterpolationQuality::High);
  ImageRef self = context->makeImage();
  context->translate(w, h);
  context->rotate(std::numbers::pi);
  context->drawImage(self, Rect(0, 0, w, h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      auto p = rastertest::pixelAt(*context, x, y);
      EXPECT_NEAR(p[0] * 255, w - 1 - x, 0.01) << x << "," << y;
      EXPECT_NEAR(p[1] * 255, h - 1 - y, 0.01) << x << "," << y;
      auto old = rastertest::pixelAt(*self, x, y);
      EXPECT_NEAR(old[0] * 255, x, 0.01);
    }
}

TEST(Resampling, QuarterTurnMapsPixelsExactly) {
  const int w = 4, h = 2;
  auto source = gradientContext(w, h);
  auto context = rgbaContext(h, w);
  context->setBlendMode(BlendMode::Copy);
  // Turn 90° counter-clockwise: (x, y) → (h - y, x).
  context->translate(h, 0);
  context->rotate(std::numbers::pi / 2);
  context->drawImage(source->makeImage(), Rect(0, 0, w, h));
  for (int y = 0; y < w; ++y)
    for (int x = 0; x < h; ++x) {
      auto p = rastertest::pixelAt(*context, x, y);
      EXPECT_NEAR(p[0] * 255, y, 0.01) << x << "," << y;
      EXPECT_NEAR(p[1] * 255, h - 1 - x, 0.01) << x << "," << y;
    }
}

// 1-pixel stripes shrunk 6000 → 1600 or 4000 must come out flat mid-gray:
// any aliasing shows as moiré far beyond the tolerance. (A checkerboard
// would be flattened by the vertical shrink alone.)
TEST(Resampling, FineStripesDownscaleToFlatGray) {
  const std::int64_t w = 6000, h = 120;
  std::vector<std::uint8_t> bytes(std::size_t(w * h * 4));
  for (std::int64_t y = 0; y < h; ++y)
    for (std::int64_t x = 0; x < w; ++x) {
      std::uint8_t v = (x & 1) ? 255 : 0;
      std::uint8_t* p = bytes.data() + (y * w + x) * 4;
      p[0] = p[1] = p[2] = v, p[3] = 255;
    }
  ImageRef board = Image::make(w, h, PixelFormat::rgba8(), ColorSpace::sRGB(), std::move(bytes));
  ASSERT_TRUE(board);
  // Shrinking by 1.5 takes no box prefilter: the widened kernel alone holds
  // the stripes back, up to its stopband ripple (unwidened they pass at ±0.36).
  struct Case {
    InterpolationQuality quality;
    double tolerance;
    int width = 1600;
  } cases[] = {{InterpolationQuality::High, 2.0 / 255},
               {InterpolationQuality::Default, 2.0 / 255},
               {InterpolationQuality::Medium, 2.0 / 255},
               {InterpolationQuality::High, 0.06, 4000},
               {InterpolationQuality::Medium, 0.06, 4000}};
  for (const Case& c : cases) {
    auto context = rgbaContext(c.width, 32);
    context->setInterpolationQuality(c.quality);
    context->drawImage(board, Rect(0, 0, c.width, 32));
    ImageRef out = context->makeImage();
    double minV = 1, maxV = 0;
    for (int y = 1; y < 31; ++y)
      for (int x = 1; x < c.width - 1; ++x) {
        float v = rastertest::pixelAt(*out, x, y)[0];
        minV = std::min(minV, double(v)), maxV = std::max(maxV, double(v));
      }
    EXPECT_NEAR(minV, 0.5, c.tolerance) << int(c.quality) << " to " << c.width;
    EXPECT_NEAR(maxV, 0.5, c.tolerance) << int(c.quality) << " to " << c.width;
  }
}

// A linear ramp shrunk (box prefilter + widened kernel) or enlarged keeps
// each output pixel centred where it should be: value = ramp at the centre.
TEST(Resampling, RampsKeepTheirGeometry) {
  const std::int64_t w = 600, h = 300;
  std::vector<std::uint8_t> bytes(std::size_t(w * h * 16));
  for (std::int64_t y = 0; y < h; ++y)
    for (std::int64_t x = 0; x < w; ++x) {
      float px[4] = {float(x) / w, float(y) / h, 0, 1};  // green grows downward in memory
      std::memcpy(bytes.data() + (y * w + x) * 16, px, 16);
    }
  ImageRef ramp = Image::make(w, h, PixelFormat::rgbaFloat(), ColorSpace::sRGB(), std::move(bytes));
  ASSERT_TRUE(ramp);
  struct Case {
    std::int64_t outW, outH;
    InterpolationQuality quality;
  } cases[] = {{160, 70, InterpolationQuality::High},
               {160, 70, InterpolationQuality::Medium},
               {1500, 700, InterpolationQuality::High},
               {1500, 700, InterpolationQuality::Low}};
  for (const Case& c : cases) {
    auto context = BitmapContext::create(c.outW, c.outH, PixelFormat::rgbaFloat(), ColorSpace::sRGB());
    context->setInterpolationQuality(c.quality);
    context->drawImage(ramp, Rect(0, 0, double(c.outW), double(c.outH)));
    ImageRef out = context->makeImage();
    const double sx = double(w) / c.outW, sy = double(h) / c.outH;
    for (std::int64_t i = 8; i < c.outW - 8; i += 7) {
      std::int64_t t = c.outH / 3;  // a row from the top
      auto p = rastertest::pixelAt(*out, i, yUpRow(t, c.outH));
      EXPECT_NEAR(p[0], ((double(i) + 0.5) * sx - 0.5) / w, 1e-3) << c.outW << " column " << i;
      EXPECT_NEAR(p[1], ((double(t) + 0.5) * sy - 0.5) / h, 1e-3) << c.outW << " row " << t;
    }
  }
}

// Rotated and shrunk 6×: the prefilter keeps the checkerboard from aliasing
// on the rotated path too, and partly visible draws work.
TEST(Resampling, RotatedShrinkOfACheckerboardIsFlat) {
  const std::int64_t n = 1200;
  ImageRef board = rastertest::makeRGBA8(n, n, ColorSpace::sRGB(), [](auto x, auto y) {
    std::uint8_t v = ((x + y) & 1) ? 255 : 0;
    return std::array<std::uint8_t, 4>{v, v, v, 255};
  });
  auto context = rgbaContext(300, 300);
  context->translate(150, 150);
  context->rotate(std::numbers::pi / 6);
  context->drawImage(board, Rect(-100, -100, 200, 200));
  float center = rastertest::pixelAt(*context, 150, 150)[0];
  float other = rastertest::pixelAt(*context, 170, 120)[0];
  EXPECT_NEAR(center, 0.5f, 0.03f);
  EXPECT_NEAR(other, 0.5f, 0.03f);
  EXPECT_EQ(rastertest::pixelAt(*context, 5, 5)[3], 0.0f);

  // Mostly off-canvas: only a corner shows, same flat gray.
  auto corner = rgbaContext(50, 50);
  corner->rotate(std::numbers::pi / 6);
  corner->drawImage(board, Rect(-150, -150, 200, 200));
  EXPECT_NEAR(rastertest::pixelAt(*corner, 2, 2)[0], 0.5f, 0.03f);
}

TEST(Resampling, DegenerateAndNonFiniteGeometryDrawsNothing) {
  ImageRef white = rastertest::makeRGBA8(8, 8, ColorSpace::sRGB(), [](auto, auto) {
    return std::array<std::uint8_t, 4>{255, 255, 255, 255};
  });
  const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
  const Rect rects[] = {Rect(0, 0, 0, 4), Rect(nan, 0, 4, 4), Rect(0, 0, inf, 4), Rect(0, 0, 1e300, 1e-300)};
  for (const Rect& r : rects) {
    auto context = rgbaContext(8, 8);
    context->drawImage(white, r);
    context->fillRect(r);
  }
  const AffineTransform transforms[] = {AffineTransform::scaling(0, 1), AffineTransform::scaling(nan, 1),
                                        AffineTransform{1, 1e-300, 0, 1, 0, 0},
                                        AffineTransform{1e-200, 1e-200, 0, 1e-200, 0, 0}};
  for (const AffineTransform& t : transforms) {
    auto context = rgbaContext(8, 8);
    context->concatCTM(t);
    context->drawImage(white, Rect(0, 0, 8, 8));
    context->fillRect(Rect(0, 0, 8, 8));
    context->drawText(AttributedText{"x", {}}, Point{1, 1});
    context->clipToRect(Rect(0, 0, 4, 4));
  }
}

TEST(Resampling, NearestKeepsHardEdgesAndLowBlends) {
  // Two columns, black and white, stretched to 8 pixels.
  ImageRef two = rastertest::makeRGBA8(2, 1, ColorSpace::sRGB(), [](auto x, auto) {
    std::uint8_t v = x ? 255 : 0;
    return std::array<std::uint8_t, 4>{v, v, v, 255};
  });
  auto none = rgbaContext(8, 1);
  none->setInterpolationQuality(InterpolationQuality::None);
  none->drawImage(two, Rect(0, 0, 8, 1));
  auto low = rgbaContext(8, 1);
  low->setInterpolationQuality(InterpolationQuality::Low);
  low->drawImage(two, Rect(0, 0, 8, 1));
  for (int x = 0; x < 8; ++x) EXPECT_EQ(rastertest::pixelAt(*none, x, 0)[0], x < 4 ? 0.0f : 1.0f) << x;
  float mid3 = rastertest::pixelAt(*low, 3, 0)[0], mid4 = rastertest::pixelAt(*low, 4, 0)[0];
  EXPECT_GT(mid3, 0.2f);
  EXPECT_LT(mid4, 0.8f);
  EXPECT_LT(mid3, mid4);
}

TEST(Resampling, FloatContextsKeepValuesOutsideTheUnitRange) {
  ImageRef bright = Image::make(1, 1, PixelFormat::rgbaFloat(), ColorSpace::sRGB(), [] {
    std::vector<std::uint8_t> bytes(16);
    float px[4] = {2.5f, -0.25f, 0.5f, 1.0f};
    std::memcpy(bytes.data(), px, 16);
    return bytes;
  }());
  ASSERT_TRUE(bright);
  auto floatContext = BitmapContext::create(4, 4, PixelFormat::rgbaFloat(), ColorSpace::sRGB());
  floatContext->drawImage(bright, Rect(0, 0, 4, 4));
  auto p = rastertest::pixelAt(*floatContext, 2, 2);
  EXPECT_NEAR(p[0], 2.5f, 1e-4);
  EXPECT_NEAR(p[1], -0.25f, 1e-4);
  auto intContext = rgbaContext(4, 4);
  intContext->drawImage(bright, Rect(0, 0, 4, 4));
  auto q = rastertest::pixelAt(*intContext, 2, 2);
  EXPECT_EQ(q[0], 1.0f);
  EXPECT_EQ(q[1], 0.0f);
}

TEST(Resampling, FractionalEdgesAreAntialiased) {
  ImageRef white = rastertest::makeRGBA8(1, 1, ColorSpace::sRGB(), [](auto, auto) {
    return std::array<std::uint8_t, 4>{255, 255, 255, 255};
  });
  auto context = rgbaContext(4, 1);
  context->drawImage(white, Rect(0.5, 0, 2, 1));
  EXPECT_NEAR(rastertest::pixelAt(*context, 0, 0)[3], 0.5f, 1.0f / 255);
  EXPECT_NEAR(rastertest::pixelAt(*context, 1, 0)[3], 1.0f, 1.0f / 255);
  EXPECT_NEAR(rastertest::pixelAt(*context, 2, 0)[3], 0.5f, 1.0f / 255);
  EXPECT_EQ(rastertest::pixelAt(*context, 3, 0)[3], 0.0f);
}

}  // namespace
