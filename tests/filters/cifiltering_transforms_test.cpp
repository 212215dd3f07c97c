// The geometric transforms in both variants on small asymmetric images:
// where every pixel lands, output sizes (also for targets that do not keep
// the proportions), crop rounding and the free rotation's background.

#include <gtest/gtest.h>

#include <functional>

#include "filtering_test_support.h"
#include "filters/cifiltering.h"
#include "platform/ci/renderer.h"

using filtertest::near;
using filtertest::pixelAt;
using filtertest::positionColor;
using filtertest::Rgba8;

namespace {

using ImageVariant = ci::ImageRef (velumar::CIFiltering::*)(const ci::ImageRef&, raster::Size);
using ContextVariant = void (velumar::CIFiltering::*)(raster::BitmapContext*, const raster::ImageRef&);

struct TurnCase {
  const char* name;
  ImageVariant image;
  ContextVariant context;
  raster::Size target;  // for a 3 × 2 source
  // Source pixel shown at output pixel (x, y).
  std::function<std::pair<int, int>(int x, int y)> source;
};

const TurnCase kTurns[] = {
    {"flip horizontally",
     &velumar::CIFiltering::flipHorizontallyFilterWithCIImage,
     &velumar::CIFiltering::flipHorizontallyFilterWithDestinationCGContext,
     {3, 2},
     [](int x, int y) {
       return std::pair{2 - x, y};
     }},
    {"flip vertically",
     &velumar::CIFiltering::flipVerticallyFilterWithCIImage,
     &velumar::CIFiltering::flipVerticallyFilterWithDestinationCGContext,
     {3, 2},
     [](int x, int y) {
       return std::pair{x, 1 - y};
     }},
    // Clockwise: the source's top-left corner ends at the top right.
    {"quarter turn",
     &velumar::CIFiltering::rotate90DEGFilterWithCIImage,
     &velumar::CIFiltering::rotate90DEGFilterWithDestinationCGContext,
     {2, 3},
     [](int x, int y) {
       return std::pair{2 - y, x};
     }},
    {"three-quarter turn",
     &velumar::CIFiltering::rotate270DEGFilterWithCIImage,
     &velumar::CIFiltering::rotate270DEGFilterWithDestinationCGContext,
     {2, 3},
     [](int x, int y) {
       return std::pair{y, 1 - x};
     }},
    {"quarter turn mirrored (transpose)",
     &velumar::CIFiltering::rotate90DEGFlippedFilterWithCIImage,
     &velumar::CIFiltering::rotate90DEGFlippedFilterWithDestinationCGContext,
     {2, 3},
     [](int x, int y) {
       return std::pair{y, x};
     }},
    {"three-quarter turn mirrored",
     &velumar::CIFiltering::rotate270DEGFlippedFilterWithCIImage,
     &velumar::CIFiltering::rotate270DEGFlippedFilterWithDestinationCGContext,
     {2, 3},
     [](int x, int y) {
       return std::pair{2 - y, 1 - x};
     }},
    {"half turn",
     &velumar::CIFiltering::rotate180DEGFilterWithCIImage,
     &velumar::CIFiltering::rotate180DEGFilterWithDestinationCGContext,
     {3, 2},
     [](int x, int y) {
       return std::pair{2 - x, 1 - y};
     }},
};

// Renders an image's extent into a fresh context at the origin.
std::unique_ptr<raster::BitmapContext> drawn(const ci::ImageRef& image) {
  const raster::Rect e = image->extent();
  auto context = filtertest::rgbaContext(std::int64_t(e.width()), std::int64_t(e.height()));
  ci::Context::withBitmapContext(*context)->drawImage(image, raster::Rect(0, 0, e.width(), e.height()), e);
  return context;
}

TEST(Transforms, EveryTurnAndFlipPutsEachPixelInPlaceInBothVariants) {
  raster::ImageRef source = filtertest::positionBitmap(3, 2);
  for (const auto& c : kTurns) {
    SCOPED_TRACE(c.name);
    velumar::CIFiltering engine;
    ci::ImageRef out = (engine.*c.image)(ci::Image::withBitmap(source), c.target);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->extent().width(), c.target.width);
    EXPECT_EQ(out->extent().height(), c.target.height);
    auto fromImage = drawn(out);

    auto fromContext = filtertest::rgbaContext(std::int64_t(c.target.width), std::int64_t(c.target.height));
    engine.createNewCIContextWithCGContext(fromContext.get(), true);
    (engine.*c.context)(fromContext.get(), source);

    for (int y = 0; y < int(c.target.height); ++y) {
      for (int x = 0; x < int(c.target.width); ++x) {
        auto [sx, sy] = c.source(x, y);
        EXPECT_TRUE(near(pixelAt(*fromImage, x, y), positionColor(sx, sy)))
            << "image variant at " << x << "," << y;
        EXPECT_TRUE(near(pixelAt(*fromContext, x, y), positionColor(sx, sy)))
            << "context variant at " << x << "," << y;
      }
    }
  }
}

TEST(Transforms, QuarterTurnsReachANonProportionalTargetExactly) {
  // 3 × 2 turned into 6 × 5: the factors relate the target's width to the
  // source's height, so the output fills the target.
  raster::ImageRef source = filtertest::positionBitmap(3, 2);
  for (const auto& c : kTurns) {
    if (c.target.width != 2) continue;  // the quarter turns
    SCOPED_TRACE(c.name);
    velumar::CIFiltering engine;
    ci::ImageRef out = (engine.*c.image)(ci::Image::withBitmap(source), raster::Size{6, 5});
    ASSERT_TRUE(out);
    EXPECT_NEAR(out->extent().width(), 6, 1e-9);
    EXPECT_NEAR(out->extent().height(), 5, 1e-9);

    auto context = filtertest::rgbaContext(6, 5);
    engine.createNewCIContextWithCGContext(context.get(), true);
    (engine.*c.context)(context.get(), source);
    // Every pixel covered, and the corners show the corners they should.
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 6; ++x) EXPECT_EQ(pixelAt(*context, x, y)[3], 255) << x << "," << y;
    }
    auto [sx, sy] = c.source(0, 0);
    EXPECT_TRUE(near(pixelAt(*context, 0, 0), positionColor(sx, sy)));
    std::tie(sx, sy) = c.source(1, 2);
    EXPECT_TRUE(near(pixelAt(*context, 5, 4), positionColor(sx, sy)));
  }
}

TEST(Transforms, LanczosUsesTheLargerRatioAndKeepsProportions) {
  velumar::CIFiltering engine;
  ci::ImageRef wide = ci::Image::constantColor({0.5, 0.5, 0.5, 1})->cropped(raster::Rect(0, 0, 200, 100));
  ci::ImageRef out = engine.lanczosScaleFilterWithCIImage(wide, raster::Size{100, 100});
  ASSERT_TRUE(out);
  EXPECT_EQ(out->extent(), raster::Rect(0, 0, 200, 100));  // scale 1, not squeezed

  ci::ImageRef half = engine.lanczosScaleFilterWithCIImage(wide, raster::Size{100, 40});
  EXPECT_NEAR(half->extent().width(), 100, 1e-4);
  EXPECT_NEAR(half->extent().height(), 50, 1e-4);

  // Context variant: a flat source stays flat and fills the context.
  raster::ImageRef source = filtertest::positionBitmap(8, 6);
  auto context = filtertest::rgbaContext(4, 3);
  engine.createNewCIContextWithCGContext(context.get(), true);
  engine.lanczosScaleFilterWithDestinationCGContext(context.get(), source);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(pixelAt(*context, x, y)[3], 255);
  }
  EXPECT_TRUE(
      near(pixelAt(*context, 0, 0), Rgba8{int(20 + 0.5 * 30 + 0.5), int(20 + 0.5 * 30 + 0.5), 200, 255}, 4));
}

TEST(Transforms, CropRoundsTheSizeDownAndDoublesFirstWhenAsked) {
  velumar::CIFiltering engine;
  ci::ImageRef ramp = ci::Image::generated(
      raster::Rect(0, 0, 100, 100), [](std::int64_t x, std::int64_t, std::int64_t count, float* out) {
        for (std::int64_t i = 0; i < count; ++i) {
          out[i * 4] = out[i * 4 + 1] = out[i * 4 + 2] = float(x + i) / 100.0f;
          out[i * 4 + 3] = 1;
        }
      });
  ci::ImageRef plain = engine.cropFilterWithCIImage(ramp, raster::Size{99.9, 40.7}, 0, 10, false);
  EXPECT_EQ(plain->extent(), raster::Rect(0, 10, 99, 40));

  ci::ImageRef doubled = engine.cropFilterWithCIImage(ramp, raster::Size{50, 40}, 10, 10, true);
  EXPECT_EQ(doubled->extent(), raster::Rect(10, 10, 50, 40));
  // Output pixel (10, 10) samples source x = 5.25, between pixels 4 and 5.
  float pixel[4 * 1];
  ci::renderRegion(doubled, {10, 10, 1, 1}, pixel, 4);
  EXPECT_NEAR(pixel[0], 0.0475f, 1e-6);
  // Its last column samples x = 29.75: the crop covers the source up to 30.
  ci::renderRegion(doubled, {59, 10, 1, 1}, pixel, 4);
  EXPECT_NEAR(pixel[0], 0.2925f, 1e-6);

  // Context variant: the rectangle's lower-left corner lands at the origin.
  raster::ImageRef source = filtertest::positionBitmap(4, 3);
  auto context = filtertest::rgbaContext(2, 2);
  engine.createNewCIContextWithCGContext(context.get(), true);
  engine.cropFilterWithDestinationCGContext(context.get(), source, 1, 1, false);
  EXPECT_TRUE(near(pixelAt(*context, 0, 0), positionColor(1, 1)));
  EXPECT_TRUE(near(pixelAt(*context, 1, 1), positionColor(2, 2)));
}

TEST(Transforms, FreeRotationTurnsClockwiseForPositiveAngles) {
  raster::ImageRef source = filtertest::positionBitmap(3, 2);
  velumar::CIFiltering engine;
  struct Case {
    double angle;
    std::function<std::pair<int, int>(int, int)> source;
  } cases[] = {{90,
                [](int x, int y) {
                  return std::pair{2 - y, x};
                }},
               {-90, [](int x, int y) {
                  return std::pair{y, 1 - x};
                }}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.angle);
    ci::ImageRef out = engine.rotateFreeFilterWithCIImage(ci::Image::withBitmap(source), {}, 3, 2, c.angle);
    ASSERT_TRUE(out);
    auto context = drawn(out);
    ASSERT_EQ(context->width(), 2);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 2; ++x) {
        auto [sx, sy] = c.source(x, y);
        EXPECT_TRUE(near(pixelAt(*context, x, y), positionColor(sx, sy))) << x << "," << y;
      }
    }
  }
}

TEST(Transforms, FreeRotationImageVariantIsOpaqueOverWhite) {
  velumar::CIFiltering engine;
  ci::ImageRef halfClear = ci::Image::generated(
      raster::Rect(0, 0, 4, 4), [](std::int64_t x, std::int64_t, std::int64_t count, float* out) {
        for (std::int64_t i = 0; i < count; ++i) {
          float a = x + i < 2 ? 0.0f : 1.0f;
          out[i * 4] = 0, out[i * 4 + 1] = 0, out[i * 4 + 2] = a;
          out[i * 4 + 3] = a;
        }
      });
  ci::ImageRef out = engine.rotateFreeFilterWithCIImage(halfClear, {}, 4, 4, 0);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->extent(), raster::Rect(0, 0, 4, 4));
  auto context = drawn(out);
  EXPECT_EQ(pixelAt(*context, 0, 0), (Rgba8{255, 255, 255, 255}));
  EXPECT_EQ(pixelAt(*context, 3, 3), (Rgba8{0, 0, 255, 255}));
}

TEST(Transforms, FreeRotationIntoAContextFillsTheBackgroundFirst) {
  raster::ImageRef source = filtertest::positionBitmap(6, 6);
  struct Case {
    const char* name;
    raster::PixelFormat format;
    Rgba8 corner;
  } cases[] = {{"without alpha: white", {8, 3, raster::AlphaInfo::NoneSkipLast}, {255, 255, 255, 255}},
               {"with alpha: the current fill colour", raster::PixelFormat::rgba8(), {255, 0, 0, 255}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto context = raster::BitmapContext::create(6, 6, c.format, ci::workingColorSpace());
    context->setFillColor(raster::Color{ci::workingColorSpace(), {1, 0, 0, 1, 0}, 4});
    velumar::CIFiltering engine;
    engine.createNewCIContextWithCGContext(context.get(), true);
    engine.rotateFreeFilterWithDestinationCGContext(context.get(), source, 6, 6, 45);
    Rgba8 corner = pixelAt(*context, 0, 0);
    if (c.format.alpha == raster::AlphaInfo::NoneSkipLast) corner[3] = 255;
    EXPECT_TRUE(near(corner, c.corner, 2)) << corner[0] << " " << corner[1] << " " << corner[2];
    EXPECT_TRUE(near(pixelAt(*context, 3, 3), positionColor(3, 3), 40));  // the centre stays near the centre
  }
  // Without a filter context the background is still filled.
  auto context =
      raster::BitmapContext::create(6, 6, {8, 3, raster::AlphaInfo::NoneSkipLast}, ci::workingColorSpace());
  velumar::CIFiltering engine;
  engine.rotateFreeFilterWithDestinationCGContext(context.get(), source, 6, 6, 45);
  EXPECT_EQ(pixelAt(*context, 3, 3)[0], 255);
}

TEST(Transforms, CropAndRotateCropsThenTurns) {
  velumar::CIFiltering engine;
  raster::ImageRef source = filtertest::positionBitmap(6, 5);
  ci::ImageRef out = engine.cropAndRotateFilterWithCIImage(ci::Image::withBitmap(source), {}, 1, 1, false, 3,
                                                           2, raster::Size{3.9, 2.2}, 90);
  ASSERT_TRUE(out);
  EXPECT_NEAR(out->extent().width(), 2, 1e-9);
  EXPECT_NEAR(out->extent().height(), 3, 1e-9);
  auto context = drawn(out);
  // The crop covers source pixels (1..3, 1..2); turned clockwise.
  EXPECT_TRUE(near(pixelAt(*context, 0, 0), positionColor(3, 1)));
  EXPECT_TRUE(near(pixelAt(*context, 1, 2), positionColor(1, 2)));

  auto target = filtertest::rgbaContext(2, 3);
  engine.createNewCIContextWithCGContext(target.get(), true);
  engine.cropAndRotateFilterWithDestinationCGContext(target.get(), source, 1, 1, false, 3, 2,
                                                     raster::Size{3, 2}, 90);
  EXPECT_TRUE(near(pixelAt(*target, 0, 0), positionColor(3, 1)));
  EXPECT_TRUE(near(pixelAt(*target, 1, 2), positionColor(1, 2)));
}

TEST(Transforms, EmptyInputsGiveNoImageAndDrawNothing) {
  velumar::CIFiltering engine;
  ci::ImageRef empty = ci::Image::constantColor(ci::Color::white())->cropped(raster::Rect(0, 0, 0, 5));
  for (const auto& c : kTurns) {
    EXPECT_EQ((engine.*c.image)(empty, {3, 2}), nullptr) << c.name;
    EXPECT_EQ((engine.*c.image)(nullptr, {3, 2}), nullptr) << c.name;
  }
  EXPECT_EQ(engine.lanczosScaleFilterWithCIImage(empty, {3, 2}), nullptr);
  EXPECT_EQ(engine.cropFilterWithCIImage(empty, {3, 2}, 0, 0, true), nullptr);
  EXPECT_EQ(engine.stretchCropFilterWithCIImage(empty, {3, 2}, 0.5, 0.5), nullptr);
  EXPECT_EQ(engine.rotateFreeFilterWithCIImage(empty, {}, 3, 2, 10), nullptr);
  EXPECT_EQ(engine.cropAndRotateFilterWithCIImage(empty, {}, 0, 0, false, 3, 2, {2, 2}, 10), nullptr);

  auto context = filtertest::rgbaContext(3, 2);
  engine.createNewCIContextWithCGContext(context.get(), true);
  for (const auto& c : kTurns) (engine.*c.context)(context.get(), nullptr);
  engine.rotateFreeFilterWithDestinationCGContext(context.get(), nullptr, 3, 2, 10);
  engine.lanczosScaleFilterWithDestinationCGContext(context.get(), nullptr);
  // Without a filter context the context variants draw nothing either.
  velumar::CIFiltering bare;
  bare.rotate180DEGFilterWithDestinationCGContext(context.get(), filtertest::positionBitmap(3, 2));
  bare.lanczosScaleFilterWithDestinationCGContext(context.get(), filtertest::positionBitmap(3, 2));
  for (std::size_t i = 0; i < 24; ++i) EXPECT_EQ(context->data()[i], 0);
}

TEST(Transforms, StretchCropFillsTheContext) {
  velumar::CIFiltering engine;
  auto context = filtertest::rgbaContext(4, 4);
  engine.createNewCIContextWithCGContext(context.get(), true);
  engine.stretchCropFilterWithDestinationCGContext(context.get(), filtertest::positionBitmap(8, 4), 0.5, 0.5);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(pixelAt(*context, x, y)[3], 255) << x << "," << y;
  }
}

}  // namespace
