// Colours that lie outside the working space's gamut (sRGB's primaries
// against generic RGB's) survive a trip through the graph: the working
// space is unbounded, and only the final write into an integer context
// clamps.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/ci/context.h"
#include "platform/ci/filter.h"
#include "platform/ci/image.h"
#include "platform/ci/renderer.h"
#include "platform/raster/bitmap_context.h"
#include "platform/raster/row_order.h"

namespace {

using raster::AlphaInfo;
using Rgb = std::array<int, 3>;

// sRGB primaries and secondaries (all outside generic RGB but white and
// black) and a few colours inside both gamuts.
const std::vector<Rgb> kColours = {
    {255, 0, 0},     {0, 255, 0}, {0, 0, 255},    {0, 255, 255}, {255, 0, 255},   {255, 255, 0},
    {255, 255, 255}, {0, 0, 0},   {200, 120, 40}, {30, 90, 160}, {128, 128, 128}, {240, 200, 190},
};

// A flat size × size patch of colour (premultiplied by alpha), 8- or 16-bit,
// sRGB unless space says otherwise.
raster::ImageRef flatPatch(const Rgb& colour, int bits, std::int64_t size, int alpha = 255,
                           const raster::ColorSpaceRef& space = raster::ColorSpace::sRGB()) {
  const std::size_t pixels = std::size_t(size * size);
  std::vector<std::uint8_t> bytes(pixels * 4 * std::size_t(bits / 8));
  for (std::size_t i = 0; i < pixels; ++i) {
    for (std::size_t c = 0; c < 4; ++c) {
      int value8 = c < 3 ? colour[c] : alpha;
      if (bits == 8) {
        bytes[i * 4 + c] = std::uint8_t(value8);
      } else {
        std::uint16_t value = std::uint16_t(value8 * 257);
        std::memcpy(bytes.data() + (i * 4 + c) * 2, &value, 2);
      }
    }
  }
  raster::PixelFormat format{bits, 3, AlphaInfo::PremultipliedLast};
  return raster::Image::make(size, size, format, space, std::move(bytes));
}

// The colour of pixel (x, y) (y up) of an RGBA context, scaled to 0..255.
std::array<double, 3> colourAt(const raster::BitmapContext& context, std::int64_t x, std::int64_t y) {
  const int bits = context.format().bitsPerComponent;
  const std::uint8_t* p = context.data() +
                          std::size_t(raster::topDownRow(y, context.height())) * context.bytesPerRow() +
                          std::size_t(x) * 4 * std::size_t(bits / 8);
  std::array<double, 3> out{};
  for (std::size_t c = 0; c < 3; ++c) {
    if (bits == 8) {
      out[c] = p[c];
    } else if (bits == 16) {
      std::uint16_t v;
      std::memcpy(&v, p + c * 2, 2);
      out[c] = v / 257.0;
    } else {
      float v;
      std::memcpy(&v, p + c * 4, 4);
      out[c] = double(v) * 255.0;
    }
  }
  return out;
}

std::string describe(const Rgb& colour, int sourceBits, int contextBits) {
  return "colour " + std::to_string(colour[0]) + "," + std::to_string(colour[1]) + "," +
         std::to_string(colour[2]) + " from " + std::to_string(sourceBits) + "-bit into " +
         std::to_string(contextBits) + "-bit";
}

void expectColour(const raster::BitmapContext& context, std::int64_t x, std::int64_t y, const Rgb& colour,
                  const std::string& what) {
  std::array<double, 3> got = colourAt(context, x, y);
  for (std::size_t c = 0; c < 3; ++c) EXPECT_NEAR(got[c], colour[c], 1.0) << what << ", component " << c;
}

std::unique_ptr<raster::BitmapContext> srgbContext(std::int64_t size, int bits) {
  auto context = raster::BitmapContext::create(size, size, {bits, 3, AlphaInfo::PremultipliedLast},
                                               raster::ColorSpace::sRGB());
  if (context) context->setBlendMode(raster::BlendMode::Copy);
  return context;
}

TEST(WorkingSpaceFidelity, IdentityDrawKeepsSRGBColoursInEveryDepth) {
  for (int sourceBits : {8, 16}) {
    for (int contextBits : {8, 16, 32}) {
      for (const Rgb& colour : kColours) {
        auto context = srgbContext(6, contextBits);
        ASSERT_TRUE(context);
        ci::ImageRef image = ci::Image::withBitmap(flatPatch(colour, sourceBits, 6));
        ASSERT_TRUE(image);
        ci::Context::withBitmapContext(*context)->drawImage(image, raster::Rect(0, 0, 6, 6),
                                                            raster::Rect(0, 0, 6, 6));
        expectColour(*context, 3, 3, colour, describe(colour, sourceBits, contextBits));
      }
    }
  }
}

TEST(WorkingSpaceFidelity, LanczosHalvingKeepsAFlatPatchsColour) {
  for (int contextBits : {8, 16, 32}) {
    for (const Rgb& colour : kColours) {
      auto filter = ci::Filter::withName("CILanczosScaleTransform");
      ASSERT_TRUE(filter);
      filter->setDefaults();
      filter->setValue("inputScale", 0.5);
      filter->setValue(ci::kInputImageKey, ci::Image::withBitmap(flatPatch(colour, 8, 32)));
      ci::ImageRef half = filter->outputImage();
      ASSERT_TRUE(half);
      auto context = srgbContext(16, contextBits);
      ASSERT_TRUE(context);
      ci::Context::withBitmapContext(*context)->drawImage(half, raster::Rect(0, 0, 16, 16), half->extent());
      // Inside, away from the edges the kernel's lobes reach past.
      for (std::int64_t at : {4, 8, 11})
        expectColour(*context, at, at, colour, describe(colour, 8, contextBits));
    }
  }
}

TEST(WorkingSpaceFidelity, CreatedImagesKeepColoursOutsideTheWorkingGamut) {
  // The image a context makes, drawn into an sRGB context of its depth, is
  // the source again.
  for (int contextBits : {8, 16, 32}) {
    for (const Rgb& colour : kColours) {
      auto context = srgbContext(4, contextBits);
      ASSERT_TRUE(context);
      raster::ImageRef created = ci::Context::withBitmapContext(*context)->createImage(
          ci::Image::withBitmap(flatPatch(colour, 8, 4)), raster::Rect(0, 0, 4, 4));
      ASSERT_TRUE(created);
      EXPECT_EQ(created->format().bitsPerComponent, contextBits);
      context->drawImage(created, raster::Rect(0, 0, 4, 4));
      expectColour(*context, 1, 2, colour, describe(colour, 8, contextBits) + " (created image)");
    }
  }
}

TEST(WorkingSpaceFidelity, KernelsAndCompositingKeepValuesOutsideZeroToOne) {
  // An sRGB red source is negative in the working space's green and blue;
  // a straight-colour kernel and compositing must carry that through.
  ci::ImageRef red = ci::Image::withBitmap(flatPatch({255, 0, 0}, 8, 4));
  ASSERT_TRUE(red);
  auto matrix = ci::Filter::withName("CIColorMatrix");
  ASSERT_TRUE(matrix);
  matrix->setDefaults();
  matrix->setValue(ci::kInputImageKey, red);
  ci::ImageRef identity = matrix->outputImage();
  ASSERT_TRUE(identity);
  auto context = srgbContext(4, 8);
  ASSERT_TRUE(context);
  ci::Context::withBitmapContext(*context)->drawImage(identity, raster::Rect(0, 0, 4, 4),
                                                      raster::Rect(0, 0, 4, 4));
  expectColour(*context, 1, 1, {255, 0, 0}, "through an identity colour matrix");

  auto over = ci::Filter::withName("CISourceOverCompositing");
  ASSERT_TRUE(over);
  over->setValue(ci::kInputImageKey, red);
  over->setValue(ci::kInputBackgroundImageKey, ci::Image::withBitmap(flatPatch({0, 0, 255}, 8, 4)));
  ci::ImageRef composited = over->outputImage();
  ASSERT_TRUE(composited);
  ci::Context::withBitmapContext(*context)->drawImage(composited, raster::Rect(0, 0, 4, 4),
                                                      raster::Rect(0, 0, 4, 4));
  expectColour(*context, 2, 1, {255, 0, 0}, "composited over blue");

  // A colour clamp is meant to clamp: red limited to the working gamut
  // comes back with green.
  auto clamp = ci::Filter::withName("CIColorClamp");
  ASSERT_TRUE(clamp);
  clamp->setDefaults();
  clamp->setValue(ci::kInputImageKey, red);
  ci::ImageRef clamped = clamp->outputImage();
  ASSERT_TRUE(clamped);
  ci::Context::withBitmapContext(*context)->drawImage(clamped, raster::Rect(0, 0, 4, 4),
                                                      raster::Rect(0, 0, 4, 4));
  EXPECT_GT(colourAt(*context, 1, 1)[1], 10.0);
}

// Integer premultiplied colour above its alpha (a damaged file) in the
// working space itself is read as at most its alpha: through a kernel on
// straight colour into sRGB, it gives what the limited colour gives.
TEST(WorkingSpaceFidelity, IntegerColourAboveAlphaIsReadAsItsAlpha) {
  const raster::ColorSpaceRef working = raster::ColorSpace::genericRGB();
  for (int bits : {8, 16}) {
    auto drawn = [&](const Rgb& colour, int alpha) {
      auto matrix = ci::Filter::withName("CIColorMatrix");
      auto context = srgbContext(4, 16);
      if (!matrix || !context) return std::array<double, 3>{-1, -1, -1};
      matrix->setDefaults();
      matrix->setValue(ci::kInputImageKey, ci::Image::withBitmap(flatPatch(colour, bits, 4, alpha, working)));
      ci::Context::withBitmapContext(*context)->drawImage(matrix->outputImage(), raster::Rect(0, 0, 4, 4),
                                                          raster::Rect(0, 0, 4, 4));
      return colourAt(*context, 1, 1);
    };
    EXPECT_EQ(drawn({0, 255, 128}, 128), drawn({0, 128, 128}, 128)) << bits;
    EXPECT_EQ(drawn({60, 100, 40}, 64), drawn({60, 64, 40}, 64)) << bits;
  }
}

// Float samples keep colour above 1, and premultiplied colour above its
// alpha, on their way into the graph: read as stored in the working space,
// converted by the colour transform from sRGB.
TEST(WorkingSpaceFidelity, FloatColourAboveOneIsKept) {
  const struct {
    const char* name;
    bool straight, sRGB;
    std::array<float, 4> stored, premultiplied;  // from sRGB: a lower bound
  } cases[] = {
      {"above 1", false, false, {1.5f, 0.75f, 2.0f, 1.0f}, {1.5f, 0.75f, 2.0f, 1.0f}},
      {"above alpha", false, false, {0.8f, 0.3f, 0.9f, 0.5f}, {0.8f, 0.3f, 0.9f, 0.5f}},
      {"straight", true, false, {3.0f, 1.0f, 0.5f, 0.5f}, {1.5f, 0.5f, 0.25f, 0.5f}},
      {"sRGB white at 1.5", false, true, {1.5f, 1.5f, 1.5f, 1.0f}, {1.2f, 1.2f, 1.2f, 1.0f}},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> bytes(4 * 4 * sizeof(float));
    for (std::size_t i = 0; i < 4; ++i) std::memcpy(bytes.data() + i * 16, c.stored.data(), 16);
    const auto bitmap = raster::Image::make(
        2, 2, {32, 3, c.straight ? AlphaInfo::Last : AlphaInfo::PremultipliedLast},
        c.sRGB ? raster::ColorSpace::sRGB() : raster::ColorSpace::genericRGB(), std::move(bytes));
    std::array<float, 16> out{};
    ci::renderRegion(ci::Image::withBitmap(bitmap), ci::PixelRegion{0, 0, 2, 2}, out.data(), 8);
    for (std::size_t k = 0; k < 4; ++k) {
      if (c.sRGB)
        EXPECT_GE(out[12 + k], c.premultiplied[k]) << c.name << ", component " << k;
      else
        EXPECT_NEAR(out[12 + k], c.premultiplied[k], 1e-6) << c.name << ", component " << k;
    }
  }
}

TEST(WorkingSpaceFidelity, GrayContextsGetTheLuminanceOfColoursOutsideTheWorkingGamut) {
  // Through the graph, or drawn by the raster layer straight from sRGB.
  for (int bits : {8, 16}) {
    for (const Rgb& colour : kColours) {
      raster::ImageRef patch = flatPatch(colour, 8, 4);
      auto viaGraph =
          raster::BitmapContext::create(4, 4, {bits, 1, AlphaInfo::None}, raster::ColorSpace::genericGray());
      auto direct =
          raster::BitmapContext::create(4, 4, {bits, 1, AlphaInfo::None}, raster::ColorSpace::genericGray());
      ASSERT_TRUE(viaGraph && direct);
      ci::Context::withBitmapContext(*viaGraph)->drawImage(
          ci::Image::withBitmap(patch), raster::Rect(0, 0, 4, 4), raster::Rect(0, 0, 4, 4));
      direct->drawImage(patch, raster::Rect(0, 0, 4, 4));
      const double scale = bits == 8 ? 1.0 : 1.0 / 257.0;
      auto gray = [&](const raster::BitmapContext& context) {
        if (bits == 8) return double(context.data()[context.bytesPerRow() + 1]);
        std::uint16_t v;
        std::memcpy(&v, context.data() + context.bytesPerRow() + 2, 2);
        return double(v);
      };
      EXPECT_NEAR(gray(*viaGraph) * scale, gray(*direct) * scale, 1.0) << describe(colour, 8, bits);
    }
  }
}

}  // namespace
