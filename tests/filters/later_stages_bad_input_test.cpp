// Settings of the composite, depth and tiny-planet steps come from preset
// files: every argument in turn set to NaN, ±infinity, 0 and ±1e9, on
// 8-bit, float, gray and CMYK contexts, must neither crash nor leave a
// pixel that is not a number.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "platform/raster/pixel_layout.h"
#include "tests/filters/composite_depth_test_support.h"

namespace {

using raster::AlphaInfo;

constexpr double kBadValues[] = {std::numeric_limits<double>::quiet_NaN(),
                                 std::numeric_limits<double>::infinity(),
                                 -std::numeric_limits<double>::infinity(),
                                 0.0,
                                 1e9,
                                 -1e9};

struct ContextCase {
  const char* name;
  raster::PixelFormat format;
  raster::ColorSpaceRef (*space)();
};

const ContextCase kContexts[] = {
    {"RGBA 8", raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB},
    {"RGBA float", raster::PixelFormat::rgbaFloat(), raster::ColorSpace::genericRGB},
    {"gray 8", {8, 1, AlphaInfo::None}, raster::ColorSpace::genericGray},
    {"CMYK 8", {8, 4, AlphaInfo::None}, raster::ColorSpace::genericCMYK},
};

constexpr std::int64_t kWidth = 24, kHeight = 16;

// The three steps with their numeric arguments in one array each.
using Arguments = std::array<double, 6>;
struct StepCase {
  const char* name;
  Arguments defaults;
  int count;
  void (*run)(velumar::CIFiltering&, raster::BitmapContext*, const Arguments&);
};

const StepCase kSteps[] = {
    {"composite",
     {0.5, 1.0, 50, 50},
     4,
     [](velumar::CIFiltering& f, raster::BitmapContext* c, const Arguments& a) {
       const ci::ImageRef composite = citest::imageOf(8, 6, [](auto x, auto) {
         return citest::Pixel{0.2f * float(x % 3), 0.5f, 0.1f, 0.8f};
       });
       f.compositeFilterWithCGContext(c, nullptr, composite, a[0], a[1], {a[2], a[3]}, 1, 23);
       f.compositeFilterWithCGContext(c, c->makeImage(), nullptr, a[0], a[1], {a[2], a[3]}, 0, 28);
     }},
    {"depth",
     {10, 0.2, 0.5, 1, 3, 0.5},
     6,
     [](velumar::CIFiltering& f, raster::BitmapContext* c, const Arguments& a) {
       const ci::ImageRef depth = citest::imageOf(6, 4, [](auto x, auto) {
         const float d = 0.15f * float(x);
         return citest::Pixel{d, d, d, 1};
       });
       const raster::ImageRef photo = c->makeImage();
       f.depthFilterWithCGContext(c, photo, f.scaleDepthImage(depth, photo), a[0], a[1], a[2], a[3], a[4],
                                  a[5], false);
     }},
    {"tiny planet",
     {0.45, 4.7, 30, 0.1},
     4,
     [](velumar::CIFiltering& f, raster::BitmapContext* c, const Arguments& a) {
       f.setCiImage(f.tinyPlanetFilterWithCIImage(ci::Image::withBitmap(c->makeImage()), a[0], a[1], a[2],
                                                  a[3], true));
     }},
};

TEST(LaterStagesBadInput, EveryArgumentAtEveryBadValueOnEveryContext) {
  for (const ContextCase& contextCase : kContexts) {
    raster::ColorSpaceRef space = contextCase.space();
    if (!space) continue;  // no CMYK profile installed
    for (const StepCase& step : kSteps) {
      for (int argument = 0; argument < step.count; ++argument) {
        for (double bad : kBadValues) {
          SCOPED_TRACE(std::string(contextCase.name) + " " + step.name + " argument " +
                       std::to_string(argument) + " = " + std::to_string(bad));
          auto context = raster::BitmapContext::create(kWidth, kHeight, contextCase.format, space);
          ASSERT_TRUE(context);
          context->setFillColor(raster::Color::rgb(0.3, 0.6, 0.9));
          context->fillRect(raster::Rect(0, 0, kWidth / 2, kHeight));
          velumar::CIFiltering filters;
          filters.createNewCIContextWithCGContext(context.get(), true);
          Arguments arguments = step.defaults;
          arguments[std::size_t(argument)] = bad;
          step.run(filters, context.get(), arguments);
          filters.drawCIImageWithCGContext(context.get(), true);
          const int channels = raster::workingChannels(context->format());
          std::vector<float> row(std::size_t(kWidth * channels));
          for (std::int64_t y = 0; y < kHeight; ++y) {
            raster::loadRow(context->data() + std::size_t(y) * context->bytesPerRow(), context->format(),
                            kWidth, row.data());
            for (float v : row) ASSERT_TRUE(std::isfinite(v));
          }
        }
      }
    }
  }
}

}  // namespace
