// Images that replace what they cover (an opaque image under Normal, any
// image under Copy, full strength, no clip) are stored without reading the
// destination. The result must be byte for byte what blending gives: the
// same draw through a clip covering the whole context takes the blending
// path and is the reference. Draws that do not replace the destination
// (fractional edges, global alpha, a translucent image under Normal) must
// still blend.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "platform/raster/bitmap_context.h"
#include "raster_test_helpers.h"

using namespace raster;

namespace {

constexpr std::int64_t kWidth = 48, kHeight = 32;

// An image of the given format with a busy pattern; alpha (when the format
// has it) varies, colour stays premultiplied-valid.
ImageRef patternImage(std::int64_t w, std::int64_t h, PixelFormat format, ColorSpaceRef space) {
  const int components = format.componentsPerPixel();
  std::vector<std::uint8_t> bytes(std::size_t(w * h * components));
  for (std::int64_t y = 0; y < h; ++y)
    for (std::int64_t x = 0; x < w; ++x) {
      std::uint8_t* p = bytes.data() + (y * w + x) * components;
      const std::uint8_t a = format.hasAlpha() ? std::uint8_t(90 + (x * 5 + y * 3) % 160) : 255;
      const std::uint8_t rgb[3] = {std::uint8_t((x * 37 + y * 11) % 256), std::uint8_t((x * y + 3 * y) % 256),
                                   std::uint8_t((255 - x * 9 + y * 17) % 256)};
      for (int c = 0; c < 3; ++c) p[c] = format.isPremultiplied() ? std::uint8_t(rgb[c] * a / 255) : rgb[c];
      if (components == 4) p[3] = format.hasAlpha() ? a : 0x5A;  // padding is ignored
    }
  return Image::make(w, h, format, std::move(space), std::move(bytes));
}

// A context with a translucent, non-uniform background already drawn.
std::unique_ptr<BitmapContext> preparedContext(PixelFormat format) {
  auto context = BitmapContext::create(kWidth, kHeight, format, ColorSpace::sRGB());
  if (!context) return nullptr;
  const double first[4] = {0.2, 0.7, 0.4, 0.6};
  context->setFillColor(first, 4);
  context->fillRect(Rect(0, 0, kWidth, kHeight));
  const double second[4] = {0.9, 0.1, 0.3, 0.8};
  context->setFillColor(second, 4);
  context->fillRect(Rect(10, 5, 20, 30));
  return context;
}

std::vector<std::uint8_t> bytesOf(const BitmapContext& context) {
  const std::uint8_t* data = context.data();
  return std::vector<std::uint8_t>(data, data + context.bytesPerRow() * std::size_t(context.height()));
}

struct Draw {
  BlendMode mode = BlendMode::Normal;
  double alpha = 1;
  Rect rect;
  InterpolationQuality quality = InterpolationQuality::High;
};

// Draws image into a prepared context, through a clip of the whole context
// when clipped is set.
std::vector<std::uint8_t> drawn(PixelFormat target, const ImageRef& image, const Draw& draw, bool clipped) {
  auto context = preparedContext(target);
  if (!context) return {};
  if (clipped) context->clipToRect(Rect(0, 0, kWidth, kHeight));
  context->setBlendMode(draw.mode);
  context->setAlpha(draw.alpha);
  context->setInterpolationQuality(draw.quality);
  context->drawImage(image, draw.rect);
  return bytesOf(*context);
}

struct TargetCase {
  const char* name;
  PixelFormat format;
};

const TargetCase kTargets[] = {
    {"rgba8_premultiplied", {8, 3, AlphaInfo::PremultipliedLast}},
    {"rgb8_skip", {8, 3, AlphaInfo::NoneSkipLast}},
    {"rgba16_premultiplied", {16, 3, AlphaInfo::PremultipliedLast}},
    {"rgba_float", {32, 3, AlphaInfo::PremultipliedLast}},
};

struct SourceCase {
  const char* name;
  std::int64_t width, height;
  PixelFormat format;
  ColorSpaceRef space;
  BlendMode mode;
};

// Opaque RGB (packed and padded) at 1:1, shrunk and enlarged, in the
// context's space and converted from another; Copy with a translucent image.
std::vector<SourceCase> sourceCases() {
  return {
      {"rgb_same_size", 40, 25, {8, 3, AlphaInfo::None}, ColorSpace::sRGB(), BlendMode::Normal},
      {"rgbx_shrunk", 97, 61, {8, 3, AlphaInfo::NoneSkipLast}, ColorSpace::sRGB(), BlendMode::Normal},
      {"rgbx_enlarged_converted",
       13,
       9,
       {8, 3, AlphaInfo::NoneSkipLast},
       ColorSpace::genericRGB(),
       BlendMode::Normal},
      {"rgb_shrunk_converted", 150, 77, {8, 3, AlphaInfo::None}, ColorSpace::genericRGB(), BlendMode::Normal},
      {"rgba_translucent_copy",
       61,
       43,
       {8, 3, AlphaInfo::PremultipliedLast},
       ColorSpace::sRGB(),
       BlendMode::Copy},
      {"rgbx_copy_converted",
       97,
       61,
       {8, 3, AlphaInfo::NoneSkipLast},
       ColorSpace::genericRGB(),
       BlendMode::Copy},
      {"rgba_translucent_copy_converted",
       40,
       25,
       {8, 3, AlphaInfo::PremultipliedLast},
       ColorSpace::genericRGB(),
       BlendMode::Copy},
  };
}

TEST(FastPathCompositing, StoredRowsEqualBlendedRowsByteForByte) {
  for (const TargetCase& target : kTargets) {
    for (const SourceCase& source : sourceCases()) {
      SCOPED_TRACE(std::string(target.name) + " / " + source.name);
      ImageRef image = patternImage(source.width, source.height, source.format, source.space);
      ASSERT_TRUE(image);
      // Whole device pixels: part of the context, and all of it.
      for (const Rect& rect : {Rect(3, 2, 40, 25), Rect(0, 0, kWidth, kHeight)}) {
        for (InterpolationQuality quality : {InterpolationQuality::High, InterpolationQuality::Low}) {
          const Draw draw{source.mode, 1.0, rect, quality};
          const auto direct = drawn(target.format, image, draw, false);
          const auto blended = drawn(target.format, image, draw, true);
          ASSERT_FALSE(direct.empty());
          ASSERT_EQ(direct.size(), blended.size());
          EXPECT_EQ(std::memcmp(direct.data(), blended.data(), direct.size()), 0)
              << "rect " << rect.minX() << "," << rect.minY() << " " << rect.width() << "x" << rect.height();
        }
      }
    }
  }
}

// The drawn area really is replaced: an opaque image over a background
// leaves no trace of the background inside the rect, and the outside is
// untouched.
TEST(FastPathCompositing, OpaqueImageReplacesOnlyTheRectItCovers) {
  for (const TargetCase& target : kTargets) {
    SCOPED_TRACE(target.name);
    ImageRef white = rastertest::makeRGBA8(6, 6, ColorSpace::sRGB(), [](std::int64_t, std::int64_t) {
      return std::vector<std::uint8_t>{255, 255, 255, 255};
    });
    ImageRef opaqueWhite = Image::make(6, 6, {8, 3, AlphaInfo::NoneSkipLast}, ColorSpace::sRGB(),
                                       std::vector<std::uint8_t>(6 * 6 * 4, 255));
    ASSERT_TRUE(white && opaqueWhite);
    auto context = preparedContext(target.format);
    ASSERT_TRUE(context);
    const auto outside = rastertest::pixelAt(*context, 1, 1);
    context->drawImage(opaqueWhite, Rect(4, 4, 12, 12));
    for (std::int64_t x : {4, 10, 15}) {
      const auto p = rastertest::pixelAt(*context, x, 10);
      for (float v : p) EXPECT_NEAR(v, 1.0f, 1e-6f) << "x " << x;
    }
    EXPECT_EQ(rastertest::pixelAt(*context, 1, 1), outside);
    EXPECT_EQ(rastertest::pixelAt(*context, 16, 10), rastertest::pixelAt(*context, 17, 10));
  }
}

// Draws that do not replace the destination blend with it; a draw at scale 1
// off the pixel grid is resampled.
TEST(FastPathCompositing, PartialCoverageAlphaAndTranslucencyStillBlend) {
  const PixelFormat rgba8{8, 3, AlphaInfo::PremultipliedLast};
  ImageRef opaqueWhite = Image::make(8, 8, {8, 3, AlphaInfo::NoneSkipLast}, ColorSpace::sRGB(),
                                     std::vector<std::uint8_t>(8 * 8 * 4, 255));
  // Converted on the way in: at scale 1 its rows could be stored directly.
  ImageRef convertedWhite = Image::make(8, 8, {8, 3, AlphaInfo::NoneSkipLast}, ColorSpace::genericRGB(),
                                        std::vector<std::uint8_t>(8 * 8 * 4, 255));
  ImageRef halfWhite = rastertest::makeRGBA8(8, 8, ColorSpace::sRGB(), [](std::int64_t, std::int64_t) {
    return std::vector<std::uint8_t>{128, 128, 128, 128};
  });
  // Opaque gray rows 0, 32, ... 224 from the top.
  ImageRef ramp = rastertest::makeRGBA8(8, 8, ColorSpace::sRGB(), [](std::int64_t, std::int64_t y) {
    const auto v = std::uint8_t(32 * y);
    return std::vector<std::uint8_t>{v, v, v, 255};
  });
  // Opaque rows alternately black and white, two rows taller than the
  // context.
  ImageRef stripes =
      rastertest::makeRGBA8(8, kHeight + 2, ColorSpace::sRGB(), [](std::int64_t, std::int64_t y) {
        const auto v = std::uint8_t(y % 2 ? 255 : 0);
        return std::vector<std::uint8_t>{v, v, v, 255};
      });
  ASSERT_TRUE(opaqueWhite && convertedWhite && halfWhite && ramp && stripes);
  auto blackContext = [&] {
    auto context = BitmapContext::create(kWidth, kHeight, rgba8, ColorSpace::sRGB());
    const double black[4] = {0, 0, 0, 1};
    context->setFillColor(black, 4);
    context->fillRect(Rect(0, 0, kWidth, kHeight));
    return context;
  };
  struct Case {
    const char* name;
    ImageRef image;
    Rect rect;
    double alpha;
    std::int64_t x, yUp;  // a pixel and the gray it must come out
    float expected;
  };
  const Case cases[] = {
      {"half-covered column", opaqueWhite, Rect(4.5, 4, 10, 10), 1.0, 4, 8, 0.5f},
      {"half-covered row", opaqueWhite, Rect(4, 4.5, 10, 10), 1.0, 8, 4, 0.5f},
      {"global alpha", opaqueWhite, Rect(4, 4, 10, 10), 0.5, 8, 8, 0.5f},
      {"translucent image", halfWhite, Rect(4, 4, 10, 10), 1.0, 8, 8, 0.5f},
      {"global alpha at scale 1", opaqueWhite, Rect(4, 4, 8, 8), 0.5, 8, 8, 0.5f},
      {"global alpha at scale 1, converted", convertedWhite, Rect(4, 4, 8, 8), 0.5, 8, 8, 0.5f},
      {"translucent image at scale 1", halfWhite, Rect(4, 4, 8, 8), 1.0, 8, 8, 128.0f / 255.0f},
      // The image spans y 2.5 to 10.5: row 2 is half covered, row 6 lies
      // half on image row 3 (96) and half on row 4 (128).
      {"scale 1 half a pixel up, edge", opaqueWhite, Rect(3, 2.5, 8, 8), 1.0, 6, 2, 0.5f},
      {"scale 1 half a pixel up, inside", ramp, Rect(3, 2.5, 8, 8), 1.0, 6, 6, 112.0f / 255.0f},
      // Both edges outside the context, so no pixel is partly covered; every
      // pixel still lies half on a black row and half on a white one.
      {"scale 1 half a pixel down, edges outside", stripes, Rect(3, -1.5, 8, kHeight + 2), 1.0, 6, 6, 0.5f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto context = blackContext();
    ASSERT_TRUE(context);
    context->setAlpha(c.alpha);
    context->drawImage(c.image, c.rect);
    const auto p = rastertest::pixelAt(*context, c.x, c.yUp);
    ASSERT_EQ(p.size(), 4u);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(p[std::size_t(i)], c.expected, 0.02f);
    EXPECT_NEAR(p[3], 1.0f, 1e-6f);
  }
}

// The padding byte of an RGBX context, once written, stays 255 whatever
// writes over it.
TEST(FastPathCompositing, PaddingStaysOpaque) {
  ImageRef halfRed = rastertest::makeRGBA8(8, 8, ColorSpace::genericRGB(), [](std::int64_t, std::int64_t) {
    return std::vector<std::uint8_t>{128, 0, 0, 128};
  });
  ASSERT_TRUE(halfRed);
  auto context = BitmapContext::create(kWidth, kHeight, {8, 3, AlphaInfo::NoneSkipLast}, ColorSpace::sRGB());
  ASSERT_TRUE(context);
  const double halfGreen[4] = {0, 1, 0, 0.5}, blue[4] = {0, 0, 1, 1};
  const struct {
    const char* name;
    std::function<void()> write;
  } steps[] = {
      {"opaque fill of everything", [&] {
         context->setFillColor(blue, 4);
         context->fillRect(Rect(0, 0, kWidth, kHeight));
       }},
      {"half-transparent fill", [&] {
         context->setFillColor(halfGreen, 4);
         context->fillRect(Rect(2, 2, 30, 20));
       }},
      {"clear", [&] { context->clearRect(Rect(5.5, 5, 10, 10)); }},
      {"half-transparent draw", [&] { context->drawImage(halfRed, Rect(1, 1, 20, 20)); }},
      {"half-transparent draw at scale 1", [&] { context->drawImage(halfRed, Rect(30, 10, 8, 8)); }},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.name);
    step.write();
    const std::uint8_t* data = context->data();
    int wrong = 0;
    for (std::int64_t y = 0; y < kHeight; ++y)
      for (std::int64_t x = 0; x < kWidth; ++x)
        wrong += data[std::size_t(y) * context->bytesPerRow() + std::size_t(x) * 4 + 3] != 255;
    EXPECT_EQ(wrong, 0);
  }
}

// A rendered filter band: float colour in another space with alpha, 1
// everywhere, and colour beyond 0..1 both ways. Under Normal and Copy it is
// converted straight into the context and must give what blending gives;
// one translucent pixel sends the whole draw through blending.
TEST(FastPathCompositing, FloatBandWithAlphaOneStoresAsItBlends) {
  for (const bool translucentPixel : {false, true}) {
    std::vector<float> floats(40 * 25 * 4);
    for (std::size_t i = 0; i < floats.size(); ++i)
      floats[i] = i % 4 == 3 ? 1.0f : float(int(i * 37 % 171) - 30) / 100.0f + 0.001f;
    if (translucentPixel) floats[4 * 17 + 3] = 0.5f;
    std::vector<std::uint8_t> bytes(floats.size() * sizeof(float));
    std::memcpy(bytes.data(), floats.data(), bytes.size());
    const ImageRef band =
        Image::make(40, 25, PixelFormat::rgbaFloat(), ColorSpace::genericRGB(), std::move(bytes));
    ASSERT_TRUE(band);
    for (const TargetCase& target : kTargets) {
      for (const BlendMode mode : {BlendMode::Normal, BlendMode::Copy}) {
        SCOPED_TRACE(std::string(target.name) + (mode == BlendMode::Copy ? " copy" : " normal") +
                     (translucentPixel ? " translucent" : ""));
        const Draw draw{mode, 1.0, Rect(3, 2, 40, 25)};
        const auto direct = drawn(target.format, band, draw, false);
        const auto blended = drawn(target.format, band, draw, true);
        ASSERT_FALSE(direct.empty());
        EXPECT_EQ(std::memcmp(direct.data(), blended.data(), direct.size()), 0);
      }
    }
  }
}

}  // namespace

namespace {

// Draws of separate pixels run at once only where the state lets them; the
// images drawn from several threads at once give what one thread gives
// (run under the thread sanitizer too).
TEST(FastPathCompositing, ConcurrentDrawsOfSeparatePixels) {
  struct StateCase {
    const char* name;
    std::function<void(BitmapContext&)> set;
    bool concurrent;
  };
  const StateCase states[] = {
      {"plain", [](BitmapContext&) {}, true},
      {"clip and blend mode", [](BitmapContext& c) {
         c.clipToRect(Rect(5, 3, 30, 20));
         c.setBlendMode(BlendMode::Multiply);
       }, true},
      {"shadow", [](BitmapContext& c) { c.setShadow(Size{2, 2}, 1); }, false},
      {"transparency layer", [](BitmapContext& c) { c.beginTransparencyLayer(); }, false},
      {"transform", [](BitmapContext& c) { c.concatCTM(AffineTransform{1, 0, 0, 1, 1, 0}); }, false},
  };
  const std::int64_t side = 256;  // a quarter of the context
  const ImageRef image = patternImage(side, side, PixelFormat::rgba8(), ColorSpace::genericRGB());
  for (const StateCase& state : states) {
    SCOPED_TRACE(state.name);
    std::vector<std::uint8_t> results[2];
    for (const bool atOnce : {false, true}) {
      auto context = BitmapContext::create(2 * side, 2 * side, PixelFormat::rgba8(), ColorSpace::sRGB());
      context->setFillColor(Color{ColorSpace::sRGB(), {0.3, 0.6, 0.2, 0.7, 0}, 4});
      context->fillRect(Rect(0, 0, 2 * side, 2 * side));
      // A snapshot the draws must not write into: the pixels are detached
      // from it before the threads start.
      const ImageRef snapshot = context->makeImage();
      state.set(*context);
      EXPECT_EQ(context->prepareConcurrentDraws(), state.concurrent);
      std::latch start(4);
      std::vector<std::thread> threads;
      for (int quarter = 0; quarter < 4; ++quarter) {
        const Rect rect(double(quarter % 2 * side), double(quarter / 2 * side), double(side), double(side));
        if (atOnce && state.concurrent) {
          threads.emplace_back([&, rect] {
            start.arrive_and_wait();
            context->drawImage(image, rect);
          });
        } else {
          context->drawImage(image, rect);
        }
      }
      for (std::thread& thread : threads) thread.join();
      results[atOnce] = std::vector<std::uint8_t>(context->data(), context->data() + 2 * side * context->bytesPerRow());
    }
    EXPECT_TRUE(results[0] == results[1]);
  }
}

}  // namespace
