// Drawing graphs into bitmap contexts of every format the pipeline makes:
// the result matches what the context's own fill draws for the same
// colour, blend modes are honoured, and rendered images come back.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "graph_test_support.h"
#include "platform/ci/context.h"
#include "platform/ci/renderer.h"
#include "platform/ci/working_space.h"
#include "platform/raster/pixel_layout.h"
#include "platform/raster/row_order.h"

namespace {

using raster::AlphaInfo;

struct FormatCase {
  const char* name;
  raster::PixelFormat format;
  raster::ColorSpaceRef (*space)();
  double tolerance;
};

raster::ColorSpaceRef noSpace() {
  return nullptr;
}

const FormatCase kFormats[] = {
    {"RGB 8 premultiplied last",
     {8, 3, AlphaInfo::PremultipliedLast},
     raster::ColorSpace::genericRGB,
     2.5 / 255},
    {"RGB 8 premultiplied first", {8, 3, AlphaInfo::PremultipliedFirst}, raster::ColorSpace::sRGB, 2.5 / 255},
    {"RGB 8 skip last", {8, 3, AlphaInfo::NoneSkipLast}, raster::ColorSpace::sRGB, 2.5 / 255},
    {"RGB 8 skip first", {8, 3, AlphaInfo::NoneSkipFirst}, raster::ColorSpace::genericRGB, 2.5 / 255},
    {"RGB 16 premultiplied last", {16, 3, AlphaInfo::PremultipliedLast}, raster::ColorSpace::sRGB, 2.5 / 255},
    {"RGB 16 skip last", {16, 3, AlphaInfo::NoneSkipLast}, raster::ColorSpace::genericRGB, 2.5 / 255},
    {"RGB 32f premultiplied last", {32, 3, AlphaInfo::PremultipliedLast}, raster::ColorSpace::sRGB, 0.01},
    {"RGB 32f skip last", {32, 3, AlphaInfo::NoneSkipLast}, raster::ColorSpace::genericRGB, 0.01},
    {"RGB 5 skip first", {5, 3, AlphaInfo::NoneSkipFirst}, raster::ColorSpace::sRGB, 1.5 / 31},
    {"gray 8", {8, 1, AlphaInfo::None}, raster::ColorSpace::genericGray, 2.5 / 255},
    {"gray 16", {16, 1, AlphaInfo::None}, raster::ColorSpace::genericGray, 2.5 / 255},
    {"gray 32f", {32, 1, AlphaInfo::None}, raster::ColorSpace::genericGray, 0.01},
    {"CMYK 8", {8, 4, AlphaInfo::None}, raster::ColorSpace::genericCMYK, 3.5 / 255},
    {"CMYK 16", {16, 4, AlphaInfo::None}, raster::ColorSpace::genericCMYK, 3.5 / 255},
    {"CMYK 32f", {32, 4, AlphaInfo::None}, raster::ColorSpace::genericCMYK, 0.015},
    {"alpha only", {8, 0, AlphaInfo::Only}, noSpace, 1.5 / 255},
};

// Every pixel in the working form of the format (premultiplied floats).
std::vector<float> pixelsOf(const raster::BitmapContext& context) {
  const int channels = raster::workingChannels(context.format());
  std::vector<float> out(std::size_t(context.width() * context.height() * channels));
  for (std::int64_t y = 0; y < context.height(); ++y) {
    raster::loadRow(context.data() + std::size_t(y) * context.bytesPerRow(), context.format(),
                    context.width(), out.data() + std::size_t(y * context.width() * channels));
  }
  return out;
}

raster::Color workingColor(double r, double g, double b, double a) {
  return raster::Color{ci::workingColorSpace(), {r, g, b, a, 0}, 4};
}

TEST(Context, DrawsIntoEveryFormatLikeTheContextsOwnFill) {
  const raster::Rect rect(2, 1, 5, 3);
  const ci::Color color{0.2, 0.5, 0.8, 0.75};
  for (const auto& c : kFormats) {
    SCOPED_TRACE(c.name);
    auto space = c.space();
    if (c.format.alpha != AlphaInfo::Only && !space) GTEST_SKIP() << "no profile for " << c.name;
    auto drawn = raster::BitmapContext::create(9, 6, c.format, space);
    auto reference = raster::BitmapContext::create(9, 6, c.format, space);
    ASSERT_TRUE(drawn && reference);
    ci::ContextRef context = ci::Context::withBitmapContext(*drawn);
    context->drawImage(ci::Image::constantColor(color), rect, rect);
    reference->setFillColor(workingColor(color.red, color.green, color.blue, color.alpha));
    reference->fillRect(rect);
    std::vector<float> got = pixelsOf(*drawn), want = pixelsOf(*reference);
    ASSERT_EQ(got.size(), want.size());
    bool anyInk = false;
    for (std::size_t i = 0; i < got.size(); ++i) {
      ASSERT_NEAR(got[i], want[i], c.tolerance) << "component " << i;
      anyInk = anyInk || got[i] != 0;
    }
    EXPECT_TRUE(anyInk);
  }
}

TEST(Context, BlendModeCopyReplacesAndNormalComposites) {
  struct Case {
    raster::BlendMode mode;
    float red, blue, alpha;
  } cases[] = {{raster::BlendMode::Normal, 0.5f, 0.5f, 1.0f}, {raster::BlendMode::Copy, 0.5f, 0.0f, 0.5f}};
  for (const auto& c : cases) {
    auto target =
        raster::BitmapContext::create(4, 4, raster::PixelFormat::rgbaFloat(), ci::workingColorSpace());
    ASSERT_TRUE(target);
    target->setFillColor(workingColor(0, 0, 1, 1));
    target->fillRect(raster::Rect(0, 0, 4, 4));
    target->setBlendMode(c.mode);
    ci::Context::withBitmapContext(*target)->drawImage(ci::Image::constantColor({1, 0, 0, 0.5}),
                                                       raster::Rect(0, 0, 4, 4), raster::Rect(0, 0, 4, 4));
    std::vector<float> p = pixelsOf(*target);
    EXPECT_NEAR(p[0], c.red, 1e-3);
    EXPECT_NEAR(p[2], c.blue, 1e-3);
    EXPECT_NEAR(p[3], c.alpha, 1e-3);
  }
}

TEST(Context, DrawStretchesFromRectOverInRect) {
  auto target =
      raster::BitmapContext::create(8, 4, raster::PixelFormat::rgbaFloat(), ci::workingColorSpace());
  ci::ImageRef image = citest::imageOf(2, 1, [](std::int64_t x, auto) {
    return x == 0 ? citest::Pixel{1, 0, 0, 1} : citest::Pixel{0, 0, 1, 1};
  });
  target->setBlendMode(raster::BlendMode::Copy);
  ci::Context::withBitmapContext(*target)->drawImage(image, raster::Rect(0, 0, 8, 4), image->extent());
  std::vector<float> p = pixelsOf(*target);
  // Top-left memory pixel is red, top-right blue.
  EXPECT_NEAR(p[0], 1.0f, 1e-4);
  EXPECT_NEAR(p[7 * 4 + 2], 1.0f, 1e-4);
}

TEST(Context, LargeDrawIsBandedAndComplete) {
  auto target =
      raster::BitmapContext::create(300, 700, raster::PixelFormat::rgba8(), ci::workingColorSpace());
  ASSERT_TRUE(target);
  ci::ImageRef gradient = ci::Image::generated(
      raster::Rect(0, 0, 300, 700), [](std::int64_t x, std::int64_t y, std::int64_t count, float* out) {
        for (std::int64_t i = 0; i < count; ++i) {
          out[i * 4] = float((x + i) % 256) / 255.0f;
          out[i * 4 + 1] = float(y % 256) / 255.0f;
          out[i * 4 + 2] = 0, out[i * 4 + 3] = 1;
        }
      });
  ci::Context::withBitmapContext(*target)->drawImage(gradient, raster::Rect(0, 0, 300, 700),
                                                     raster::Rect(0, 0, 300, 700));
  for (std::int64_t y : {0, 255, 256, 511, 699}) {
    const std::uint8_t* row =
        target->data() + std::size_t(raster::topDownRow(y, 700)) * target->bytesPerRow();
    EXPECT_EQ(row[1], std::uint8_t(y % 256)) << y;
    EXPECT_EQ(row[299 * 4], std::uint8_t(299 % 256));
  }
}

// Wide draws render in several bands; a vertical blur must read across
// their edges just as one render of the whole does.
TEST(Context, BandedDrawMatchesOneRender) {
  for (const std::int64_t width : {2048, 5000}) {
    const std::int64_t height = 400;
    ci::ImageRef stripes = ci::Image::generated(
        raster::Rect(0, 0, double(width), double(height)),
        [](std::int64_t x, std::int64_t y, std::int64_t count, float* out) {
          for (std::int64_t i = 0; i < count; ++i) {
            out[i * 4] = float((x + i) % 7) / 6.0f, out[i * 4 + 1] = float(y % 5) / 4.0f;
            out[i * 4 + 2] = float((y / 3) % 2), out[i * 4 + 3] = 1;
          }
        });
    const ci::ImageRef blurred =
        ci::Image::convolved(stripes, {1.0f}, std::vector<float>(9, 1.0f / 9.0f))->cropped(stripes->extent());
    auto target =
        raster::BitmapContext::create(width, height, raster::PixelFormat::rgba8(), ci::workingColorSpace());
    ASSERT_TRUE(target && blurred);
    auto context = ci::Context::withBitmapContext(*target);
    context->drawImage(blurred, stripes->extent(), stripes->extent());
    const raster::ImageRef whole = context->createImage(blurred, stripes->extent());
    ASSERT_TRUE(whole);
    std::int64_t differing = 0;
    for (std::int64_t y = 0; y < height; ++y) {
      const std::uint8_t* drawn = target->data() + std::size_t(y) * target->bytesPerRow();
      const std::uint8_t* rendered = whole->row(y);
      for (std::int64_t i = 0; i < width * 4; ++i) differing += std::abs(drawn[i] - rendered[i]) > 1;
    }
    EXPECT_EQ(differing, 0) << width;
  }
}

// Tiles drawn as each is rendered, from several threads at once, give
// the bytes of the whole render drawn as one image, whatever the blend mode,
// clip, depth and alpha; inside a transparency layer the draw goes by bands.
// A snapshot taken before the draw keeps its pixels.
TEST(Context, TileDrawsEqualOneDrawOfTheWhole) {
  struct Case {
    const char* name;
    raster::PixelFormat format;
    raster::BlendMode mode;
    bool translucent, clipped, layer;
  };
  const Case cases[] = {
      {"8-bit copy, opaque", raster::PixelFormat::rgba8(), raster::BlendMode::Copy, false, false, false},
      {"8-bit normal, translucent, clipped", raster::PixelFormat::rgba8(), raster::BlendMode::Normal, true, true,
       false},
      {"16-bit normal, translucent", {16, 3, AlphaInfo::PremultipliedLast}, raster::BlendMode::Normal, true, false,
       false},
      {"float copy", raster::PixelFormat::rgbaFloat(), raster::BlendMode::Copy, true, false, false},
      {"8-bit normal in a layer", raster::PixelFormat::rgba8(), raster::BlendMode::Normal, true, false, true},
  };
  const std::int64_t width = 600, height = 300;
  const raster::Rect whole(0, 0, double(width), double(height));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const bool translucent = c.translucent;
    const ci::ImageRef pattern = ci::Image::generated(
        whole, [translucent](std::int64_t x, std::int64_t y, std::int64_t count, float* out) {
          for (std::int64_t i = 0; i < count; ++i) {
            const float alpha = translucent && ((x + i) / 128 + y / 128) % 3 == 0 ? 0.6f : 1.0f;
            out[i * 4] = alpha * float((x + i) % 11) / 10.0f, out[i * 4 + 1] = alpha * float(y % 7) / 6.0f;
            out[i * 4 + 2] = alpha * 1.2f, out[i * 4 + 3] = alpha;
          }
        });
    const ci::ImageRef blurred =
        ci::Image::convolved(pattern, {1.0f}, std::vector<float>(9, 1.0f / 9.0f))->cropped(whole);
    ASSERT_TRUE(blurred);
    std::vector<float> floats(std::size_t(width * height) * 4);
    ci::renderRegion(blurred, {0, 0, width, height}, floats.data(), std::size_t(width) * 4);
    std::vector<std::uint8_t> bytes(floats.size() * sizeof(float));
    std::memcpy(bytes.data(), floats.data(), bytes.size());
    const raster::ImageRef rendered = raster::Image::make(width, height, raster::PixelFormat::rgbaFloat(),
                                                          ci::workingColorSpace(), std::move(bytes));
    auto drawInto = [&](const std::function<void(raster::BitmapContext&)>& draw) {
      auto context = raster::BitmapContext::create(width, height, c.format, raster::ColorSpace::sRGB());
      context->setFillColor(workingColor(0.2, 0.5, 0.1, 0.5));
      context->fillRect(whole);
      const raster::ImageRef before = context->makeImage();
      if (c.clipped) context->clipToRect(raster::Rect(50, 40, 420, 200));
      if (c.layer) context->beginTransparencyLayer();
      context->setBlendMode(c.mode);
      draw(*context);
      if (c.layer) context->endTransparencyLayer();
      std::vector<std::uint8_t> pixels;
      for (std::int64_t y = 0; y < height; ++y)
        pixels.insert(pixels.end(), context->data() + std::size_t(y) * context->bytesPerRow(),
                      context->data() + std::size_t(y) * context->bytesPerRow() + width * c.format.bytesPerPixel());
      return std::make_pair(pixels, before);
    };
    const auto [tiled, snapshot] = drawInto(
        [&](raster::BitmapContext& context) { ci::Context::withBitmapContext(context)->drawImage(blurred, whole, whole); });
    const auto [once, unused] = drawInto([&](raster::BitmapContext& context) { context.drawImage(rendered, whole); });
    EXPECT_TRUE(tiled == once);
    // The snapshot still holds the fill alone.
    EXPECT_EQ(std::memcmp(snapshot->row(height / 2), unused->row(height / 2), std::size_t(width) * c.format.bytesPerPixel()), 0);
  }
}

TEST(Context, CreateImageHasTheContextsDepth) {
  for (int bits : {8, 16, 32}) {
    auto target = raster::BitmapContext::create(4, 4, {bits, 3, AlphaInfo::PremultipliedLast},
                                                raster::ColorSpace::sRGB());
    ASSERT_TRUE(target);
    raster::ImageRef image = ci::Context::withBitmapContext(*target)->createImage(
        ci::Image::constantColor({1, 1, 1, 1}), raster::Rect(0, 0, 3, 2));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), 3);
    EXPECT_EQ(image->height(), 2);
    EXPECT_EQ(image->format().bitsPerComponent, bits);
  }
  auto target = raster::BitmapContext::create(4, 4, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB());
  ci::ContextRef context = ci::Context::withBitmapContext(*target);
  EXPECT_EQ(context->createImage(ci::Image::constantColor({1, 1, 1, 1}), ci::infiniteRect()), nullptr);
  EXPECT_EQ(context->createImage(nullptr, raster::Rect(0, 0, 1, 1)), nullptr);
}

TEST(Context, BitmapSourcesRoundTripThroughTheWorkingSpace) {
  // An sRGB bitmap drawn back into an sRGB context keeps its values (colours
  // inside the working space's gamut).
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < 16; ++i) {
    bytes.insert(bytes.end(),
                 {std::uint8_t(64 + i * 8), std::uint8_t(190 - i * 6), std::uint8_t(100 + i * 3), 255});
  }
  raster::ImageRef bitmap =
      raster::Image::make(4, 4, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB(), bytes);
  ASSERT_TRUE(bitmap);
  ci::ImageRef source = ci::Image::withBitmap(bitmap);
  ASSERT_TRUE(source);
  EXPECT_EQ(source->extent(), raster::Rect(0, 0, 4, 4));
  auto target = raster::BitmapContext::create(4, 4, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB());
  ci::Context::withBitmapContext(*target)->drawImage(source, source->extent(), source->extent());
  for (std::size_t i = 0; i < bytes.size(); ++i) EXPECT_NEAR(int(target->data()[i]), int(bytes[i]), 2) << i;
}

}  // namespace

namespace {

// Bitmaps of every image format come into the working space with their
// alpha and their colour: white and black pixels stay white and black.
TEST(Context, BitmapsOfEveryFormatEnterTheWorkingSpace) {
  struct SourceCase {
    const char* name;
    raster::PixelFormat format;
    raster::ColorSpaceRef (*space)();
    std::vector<std::uint8_t> white, black;  // one pixel each
    float alpha;                             // of both pixels
    float tolerance;
  };
  auto u16 = [](std::uint16_t v) {
    std::uint8_t b[2];
    std::memcpy(b, &v, 2);
    return std::vector<std::uint8_t>{b[0], b[1]};
  };
  auto f32 = [](float v) {
    std::uint8_t b[4];
    std::memcpy(b, &v, 4);
    return std::vector<std::uint8_t>{b[0], b[1], b[2], b[3]};
  };
  auto join = [](std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
  };
  const SourceCase cases[] = {
      {"RGBA 8 straight",
       {8, 3, AlphaInfo::Last},
       raster::ColorSpace::sRGB,
       {255, 255, 255, 128},
       {0, 0, 0, 128},
       128 / 255.0f,
       0.01f},
      {"ARGB 8 premultiplied",
       {8, 3, AlphaInfo::PremultipliedFirst},
       raster::ColorSpace::genericRGB,
       {255, 255, 255, 255},
       {255, 0, 0, 0},
       1.0f,
       0.01f},
      {"RGB 16 premultiplied first",
       {16, 3, AlphaInfo::PremultipliedFirst},
       raster::ColorSpace::sRGB,
       join({u16(65535), u16(65535), u16(65535), u16(65535)}),
       join({u16(65535), u16(0), u16(0), u16(0)}),
       1.0f,
       0.01f},
      {"RGB 32f skip last",
       {32, 3, AlphaInfo::NoneSkipLast},
       raster::ColorSpace::sRGB,
       join({f32(1), f32(1), f32(1), f32(0)}),
       join({f32(0), f32(0), f32(0), f32(0)}),
       1.0f,
       0.01f},
      {"RGB 5", {5, 3, AlphaInfo::NoneSkipFirst}, raster::ColorSpace::sRGB, u16(0x7fff), u16(0), 1.0f, 0.01f},
      {"gray 8 with alpha",
       {8, 1, AlphaInfo::Last},
       raster::ColorSpace::genericGray,
       {255, 64},
       {0, 64},
       64 / 255.0f,
       0.01f},
      {"gray 16", {16, 1, AlphaInfo::None}, raster::ColorSpace::genericGray, u16(65535), u16(0), 1.0f, 0.01f},
      {"CMYK 8 with alpha",
       {8, 4, AlphaInfo::Last},
       raster::ColorSpace::genericCMYK,
       {0, 0, 0, 0, 255},
       {255, 255, 255, 255, 255},
       1.0f,
       0.12f},
      {"alpha only", {8, 0, AlphaInfo::Only}, noSpace, {200}, {200}, 200 / 255.0f, 0.01f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto space = c.space();
    if (c.format.alpha != AlphaInfo::Only && !space) continue;
    raster::ImageRef bitmap = raster::Image::make(2, 1, c.format, space, join({c.white, c.black}));
    ASSERT_TRUE(bitmap);
    ci::ImageRef source = ci::Image::withBitmap(bitmap);
    ASSERT_TRUE(source);
    auto out = citest::render(source, {0, 0, 2, 1});
    const bool colourless = c.format.alpha == AlphaInfo::Only;
    for (int k = 0; k < 3; ++k) {
      EXPECT_NEAR(out.at(0, 0)[std::size_t(k)], colourless ? 0.0f : c.alpha, c.tolerance);
      EXPECT_NEAR(out.at(1, 0)[std::size_t(k)], 0.0f, c.tolerance);
    }
    EXPECT_NEAR(out.at(0, 0)[3], c.alpha, 1e-6);
    EXPECT_NEAR(out.at(1, 0)[3], c.alpha, 1e-6);
  }
  EXPECT_EQ(ci::Image::withBitmap(nullptr), nullptr);
}

}  // namespace
