// A filter step and a draw on contexts of every format the pipeline makes:
// the snapshot goes into the working space and back without changing the
// pixels beyond rounding.

#include <gtest/gtest.h>

#include <cmath>

#include "filters/cifiltering.h"
#include "platform/raster/pixel_layout.h"

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

// CMYK goes through the RGB working space, which regenerates black: the
// separations move a little while the colour stays.
const FormatCase kFormats[] = {
    {"RGB 8 premultiplied last", {8, 3, AlphaInfo::PremultipliedLast}, raster::ColorSpace::sRGB, 2.5 / 255},
    {"RGB 8 premultiplied first",
     {8, 3, AlphaInfo::PremultipliedFirst},
     raster::ColorSpace::genericRGB,
     2.5 / 255},
    {"RGB 8 skip last", {8, 3, AlphaInfo::NoneSkipLast}, raster::ColorSpace::sRGB, 2.5 / 255},
    {"RGB 16 premultiplied last", {16, 3, AlphaInfo::PremultipliedLast}, raster::ColorSpace::sRGB, 1.0 / 255},
    {"RGB 32f skip last", {32, 3, AlphaInfo::NoneSkipLast}, raster::ColorSpace::sRGB, 1e-3},
    {"RGB 5 skip first", {5, 3, AlphaInfo::NoneSkipFirst}, raster::ColorSpace::sRGB, 1.5 / 31},
    {"gray 8", {8, 1, AlphaInfo::None}, raster::ColorSpace::genericGray, 2.5 / 255},
    {"gray 32f", {32, 1, AlphaInfo::None}, raster::ColorSpace::genericGray, 1e-3},
    {"CMYK 8", {8, 4, AlphaInfo::None}, raster::ColorSpace::genericCMYK, 0.08},
    {"CMYK 32f", {32, 4, AlphaInfo::None}, raster::ColorSpace::genericCMYK, 0.08},
    {"alpha only", {8, 0, AlphaInfo::Only}, noSpace, 1.5 / 255},
};

std::vector<float> pixelsOf(const raster::BitmapContext& context) {
  const int channels = raster::workingChannels(context.format());
  std::vector<float> out(std::size_t(context.width() * context.height() * channels));
  for (std::int64_t y = 0; y < context.height(); ++y) {
    raster::loadRow(context.data() + std::size_t(y) * context.bytesPerRow(), context.format(),
                    context.width(), out.data() + std::size_t(y * context.width() * channels));
  }
  return out;
}

TEST(Formats, IdentityStepAndDrawKeepThePixelsOfEveryContextFormat) {
  for (const auto& c : kFormats) {
    SCOPED_TRACE(c.name);
    auto space = c.space();
    if (c.format.alpha != AlphaInfo::Only && !space) continue;  // no CMYK profile installed
    auto context = raster::BitmapContext::create(5, 4, c.format, space);
    ASSERT_TRUE(context);
    // Four fills of different colours (in sRGB, within every gamut here).
    const double colours[4][4] = {
        {0.8, 0.3, 0.2, 1}, {0.2, 0.6, 0.4, 1}, {0.5, 0.5, 0.5, 0.6}, {0.1, 0.2, 0.7, 1}};
    for (int i = 0; i < 4; ++i) {
      context->setFillColor(raster::Color::rgb(colours[i][0], colours[i][1], colours[i][2], colours[i][3]));
      context->fillRect(raster::Rect(i, 0, 2, 4 - i));
    }
    std::vector<float> before = pixelsOf(*context);

    velumar::CIFiltering engine;
    engine.createNewCIContextWithCGContext(context.get(), true);
    ci::FilterRef identity = ci::Filter::withName("CIAffineTransform");
    identity->setDefaults();
    engine.applyCIFilter(identity, context.get());
    ASSERT_TRUE(engine.ciImage());
    context->setBlendMode(raster::BlendMode::Copy);
    engine.drawCIImageWithCGContext(context.get(), false);
    engine.resetCIContext();

    std::vector<float> after = pixelsOf(*context);
    ASSERT_EQ(before.size(), after.size());
    for (std::size_t i = 0; i < before.size(); ++i)
      ASSERT_NEAR(after[i], before[i], c.tolerance) << "component " << i;
  }
}

}  // namespace
