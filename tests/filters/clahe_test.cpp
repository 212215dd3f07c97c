// Adaptive histogram equalisation: the exact integer cases (working sizes,
// clip, redistribution, mapping), the colour conversions against colorsys,
// the engine step, scikit-image's CLAHE on its moon image, and hostile
// settings.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "filters/clahe.h"
#include "reference_tools.h"

using velumar::CLAHE;
using velumar::FilterInfo;

namespace {

TEST(ClaheIntegers, WorkingSizes) {
  struct Case {
    std::uint32_t width, height, divs, workWidth, workHeight;
  };
  for (const Case& c :
       {Case{1024, 768, 16, 1024, 768}, Case{1011, 500, 10, 1020, 500}, Case{1000, 500, 10, 1000, 500},
        Case{640, 480, 12, 648, 480}, Case{1000, 750, 16, 1024, 752}, Case{7, 1, 3, 12, 0}}) {
    const auto size = CLAHE::workingSize(c.width, c.height, c.divs);
    ASSERT_TRUE(size);
    EXPECT_EQ(size->width, c.workWidth) << c.width;
    EXPECT_EQ(size->height, c.workHeight) << c.height;
  }
  EXPECT_FALSE(CLAHE::workingSize(100, 100, 1));
  EXPECT_FALSE(CLAHE::workingSize(100, 100, 513));
}

TEST(ClaheIntegers, ClipLimits) {
  EXPECT_EQ(CLAHE::clipFor(3, 64 * 48, 256), 36u);    // the defaults at 1024 × 768
  EXPECT_EQ(CLAHE::clipFor(0, 3072, 256), 16384u);    // limit 0: the fixed clip
  EXPECT_EQ(CLAHE::clipFor(NAN, 3072, 256), 16384u);  // not a number: the same
  EXPECT_EQ(CLAHE::clipFor(1e30, 3072, 256), 3072u);  // at most the tile's area
  EXPECT_EQ(CLAHE::clipFor(1e-6, 3072, 256), 1u);     // at least 1
}

TEST(ClaheIntegers, ClippingRedistributionAndMapping) {
  struct Case {
    std::vector<std::uint64_t> counts;
    std::uint64_t clip;
    std::vector<std::uint64_t> expected;
  };
  // Worked by hand: the excess, the increment and upper bound, then the
  // redistribution passes with their step sizes.
  for (const Case& c : {Case{{10, 0, 1, 1}, 3, {3, 3, 3, 3}}, Case{{5, 3, 0, 0}, 4, {4, 4, 0, 0}},
                        Case{{20, 9, 0, 0}, 10, {10, 10, 5, 4}}, Case{{1, 2, 3, 0}, 5, {1, 2, 3, 0}}}) {
    std::vector<std::uint64_t> h = c.counts;
    CLAHE::clipHistogram(h.data(), std::uint32_t(h.size()), c.clip);
    EXPECT_EQ(h, c.expected);
  }
  std::vector<std::uint64_t> h = {10, 10, 5, 0};
  CLAHE::mapHistogram(h.data(), 4, 0, 100, 25);
  EXPECT_EQ(h, (std::vector<std::uint64_t>{40, 80, 100, 100}));
  h = {5, 0, 20, 0};
  CLAHE::mapHistogram(h.data(), 4, 1000, 2000, 25);
  EXPECT_EQ(h, (std::vector<std::uint64_t>{1200, 1200, 2000, 2000}));
}

TEST(ClaheColour, HsvAgreesWithColorsys) {
  std::vector<float> grid;
  for (float r : {0.0f, 0.2f, 0.5f, 1.0f})
    for (float g : {0.0f, 0.3f, 0.5f, 1.0f})
      for (float b : {0.0f, 0.5f, 0.7f, 1.0f}) grid.insert(grid.end(), {r, g, b, 1});
  const filtertest::Pixels in{std::int64_t(grid.size() / 4), 1, grid};
  std::optional<filtertest::Pixels> expected =
      filtertest::python(in,
                         "import colorsys\nout = [[h * 360, s, v, 1] for h, s, v in "
                         "(colorsys.rgb_to_hsv(*p[:3]) for p in inp.astype(float))]");
  ASSERT_TRUE(expected);
  for (std::size_t i = 0; i < grid.size(); i += 4) {
    float h, s, v, r, g, b;
    velumar::RGBToHSV(grid[i], grid[i + 1], grid[i + 2], h, s, v);
    EXPECT_NEAR(s, expected->rgba[i + 1], 1e-6) << i;
    EXPECT_NEAR(v, expected->rgba[i + 2], 1e-6) << i;
    if (s > 0) {
      EXPECT_NEAR(h, expected->rgba[i], 1e-4) << i;
    }
    velumar::HSVToRGB(h, s, v, r, g, b);
    EXPECT_NEAR(r, grid[i], 1e-6);
    EXPECT_NEAR(g, grid[i + 1], 1e-6);
    EXPECT_NEAR(b, grid[i + 2], 1e-6);
  }
  float h, s, v;
  velumar::RGBToHSV(0, 0, 0, h, s, v);
  EXPECT_EQ(h, -1.0f);
  EXPECT_EQ(s, 0.0f);
}

// A float context holding straight RGBA rows (top-down), opaque unless given.
std::unique_ptr<raster::BitmapContext> floatContext(std::int64_t w, std::int64_t h,
                                                    const std::vector<float>& rgba) {
  auto context =
      raster::BitmapContext::create(w, h, raster::PixelFormat::rgbaFloat(), raster::ColorSpace::genericRGB());
  for (std::int64_t y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<float*>(context->mutableData() + std::size_t(y) * context->bytesPerRow());
    for (std::int64_t i = 0; i < w * 4; i += 4) {
      const float* p = rgba.data() + (y * w) * 4 + i;
      row[i] = p[0] * p[3], row[i + 1] = p[1] * p[3], row[i + 2] = p[2] * p[3], row[i + 3] = p[3];
    }
  }
  return context;
}

const float* pixel(const raster::BitmapContext& c, std::int64_t x, std::int64_t y) {
  return reinterpret_cast<const float*>(c.data() + std::size_t(y) * c.bytesPerRow()) + x * 4;
}

TEST(ClaheStep, SaturationBoostLimitOneAndAgreementOfTheThreeTypes) {
  // Two colours, left and right; limit 1 skips the equalisation.
  std::vector<float> rgba;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      if (x < 2) {
        rgba.insert(rgba.end(), {0.8f, 0.4f, 0.4f, 1});
      } else {
        rgba.insert(rgba.end(), {0.4f, 0.2f, 0.2f, 1});
      }
    }
  FilterInfo info;
  info.hdrRadius = 2, info.hdrClipLimit = 1, info.hdrSaturation = 1;
  std::vector<std::vector<float>> results;
  for (std::int64_t type : {52, 53, 54}) {
    auto context = floatContext(4, 4, rgba);
    velumar::CIFiltering engine;
    engine.createNewCIContextWithCGContext(context.get(), true);
    engine.ciFilterWithCGContext(context.get(), type, info);
    ASSERT_TRUE(engine.ciImage()) << type;
    // s' = s + (b/2) min(v, s): 0.5 + 0.25 = 0.75 and 0.5 + 0.2 = 0.7.
    const float* left = pixel(*context, 0, 0);
    const float* right = pixel(*context, 3, 3);
    EXPECT_NEAR(left[0], 0.8f, 2e-4);
    EXPECT_NEAR(left[1], 0.2f, 2e-4);
    EXPECT_NEAR(right[0], 0.4f, 2e-4);
    EXPECT_NEAR(right[1], 0.12f, 2e-4);
    results.emplace_back(pixel(*context, 0, 0), pixel(*context, 0, 0) + 64);
  }
  EXPECT_EQ(results[0], results[1]);
  EXPECT_EQ(results[0], results[2]);
}

TEST(ClaheStep, FlatImagesKeepThePendingImageAndTransparencyStays) {
  FilterInfo info;
  info.hdrRadius = 2;
  auto flat = floatContext(8, 8, std::vector<float>(8 * 8 * 4, 0.5f));
  velumar::CIFiltering engine;
  engine.createNewCIContextWithCGContext(flat.get(), true);
  engine.ciFilterWithCGContext(flat.get(), 52, info);
  EXPECT_FALSE(engine.ciImage());

  std::vector<float> rgba;
  for (int i = 0; i < 64; ++i) {
    if (i % 3 == 0) {
      rgba.insert(rgba.end(), {0, 0, 0, 0});
    } else {
      rgba.insert(rgba.end(), {float(i) / 64, 0.5f, 0.2f, 1});
    }
  }
  auto context = floatContext(8, 8, rgba);
  engine.createNewCIContextWithCGContext(context.get(), true);
  engine.ciFilterWithCGContext(context.get(), 52, info);
  ASSERT_TRUE(engine.ciImage());
  for (int i = 0; i < 64; i += 3) {
    const float* p = pixel(*context, i % 8, i / 8);
    EXPECT_EQ(p[0] + p[1] + p[2] + p[3], 0.0f) << i;
  }
}

TEST(ClaheStep, BinsOfFiveHundredSeventySixMeanOneHundredTwentyEight) {
  std::vector<float> rgba;
  for (int i = 0; i < 32 * 32; ++i) rgba.insert(rgba.end(), {float((i * 37) % 101) / 100, 0.3f, 0.6f, 1});
  auto viaEngine = floatContext(32, 32, rgba), direct = floatContext(32, 32, rgba);
  FilterInfo info;
  info.hdrRadius = 4, info.hdrBins = 576;
  velumar::CIFiltering engine;
  engine.createNewCIContextWithCGContext(viaEngine.get(), true);
  engine.ciFilterWithCGContext(viaEngine.get(), 52, info);
  CLAHE clahe;
  ASSERT_TRUE(clahe.CLAdaptEqualize(*direct, 4, 4, 128, 3, 0));
  EXPECT_EQ(std::memcmp(viaEngine->data(), direct->data(), std::size_t(32 * 32 * 16)), 0);
}

// The whole algorithm transcribed into numpy (clahe_reference.py), run on
// gray 16-bit images at the working size: equal to the integer.
TEST(ClaheReference, EqualsAnIntegerTranscriptionToTheLastBit) {
  struct Case {
    std::int64_t width, height;
    std::uint32_t divs, bins;
    double limit;
  };
  testsupport::TempDir dir;
  for (const Case& c : {Case{64, 48, 4, 256, 3}, Case{64, 64, 4, 20, 2.5}, Case{64, 60, 4, 256, 0},
                        Case{96, 72, 6, 100, 4}}) {
    auto context = raster::BitmapContext::create(
        c.width, c.height, {16, 3, raster::AlphaInfo::PremultipliedLast}, raster::ColorSpace::genericRGB());
    std::vector<std::uint16_t> gray;
    for (std::int64_t y = 0; y < c.height; ++y) {
      auto* row =
          reinterpret_cast<std::uint16_t*>(context->mutableData() + std::size_t(y) * context->bytesPerRow());
      for (std::int64_t x = 0; x < c.width; ++x) {
        const double v = 0.5 + 0.3 * std::sin(double(x) * 0.21) * std::cos(double(y) * 0.13) +
                         0.1 * double(x) / double(c.width);
        const auto level = std::uint16_t(v * 60000);
        row[x * 4] = row[x * 4 + 1] = row[x * 4 + 2] = level, row[x * 4 + 3] = 65535;
        gray.push_back(level);
      }
    }
    std::ofstream(dir.file("in.raw"), std::ios::binary)
        .write(reinterpret_cast<const char*>(gray.data()), std::streamsize(gray.size() * 2));
    CLAHE clahe;
    ASSERT_TRUE(clahe.CLAdaptEqualize(*context, c.divs, c.divs, c.bins, c.limit, 0));
    ASSERT_EQ(
        testsupport::runCommand(
            {"/usr/bin/python3", std::string(VELUMAR_SOURCE_DIR) + "/tests/filters/clahe_reference.py",
             dir.file("in.raw"), std::to_string(c.width), std::to_string(c.height), std::to_string(c.divs),
             std::to_string(c.bins), std::to_string(c.limit), dir.file("out.raw")})
            .exitCode,
        0);
    std::vector<std::uint16_t> expected(gray.size());
    std::ifstream(dir.file("out.raw"), std::ios::binary)
        .read(reinterpret_cast<char*>(expected.data()), std::streamsize(expected.size() * 2));
    int mismatches = 0;
    for (std::int64_t y = 0; y < c.height; ++y) {
      const auto* row =
          reinterpret_cast<const std::uint16_t*>(context->data() + std::size_t(y) * context->bytesPerRow());
      for (std::int64_t x = 0; x < c.width; ++x) {
        if (row[x * 4] != expected[std::size_t(y * c.width + x)] || row[x * 4 + 1] != row[x * 4])
          ++mismatches;
      }
    }
    EXPECT_EQ(mismatches, 0) << c.width << "x" << c.height << " at " << c.divs;
  }
}

TEST(ClaheReference, MoonAgreesWithScikitImage) {
  testsupport::TempDir dir;
  std::ofstream(dir.file("moon.py"))
      << "import sys, numpy as np, skimage.data, skimage.exposure\n"
         "m = skimage.data.moon()\n"
         "m.tofile(sys.argv[1])\n"
         "e = skimage.exposure.equalize_adapthist(m, kernel_size=64, clip_limit=3 / 256, nbins=256)\n"
         "e.astype(np.float32).tofile(sys.argv[2])\n";
  ASSERT_EQ(testsupport::runCommand(
                {"/usr/bin/python3", dir.file("moon.py"), dir.file("moon.raw"), dir.file("ref.raw")})
                .exitCode,
            0);
  std::vector<std::uint8_t> moon(512 * 512);
  std::vector<float> reference(512 * 512);
  std::ifstream(dir.file("moon.raw"), std::ios::binary).read(reinterpret_cast<char*>(moon.data()), 512 * 512);
  std::ifstream(dir.file("ref.raw"), std::ios::binary)
      .read(reinterpret_cast<char*>(reference.data()), 512 * 512 * 4);
  std::vector<float> rgba;
  for (std::uint8_t v : moon) rgba.insert(rgba.end(), {v / 255.0f, v / 255.0f, v / 255.0f, 1});
  auto context = floatContext(512, 512, rgba);
  CLAHE clahe;
  ASSERT_TRUE(clahe.CLAdaptEqualize(*context, 8, 8, 256, 3, 0));
  std::vector<float> ours(512 * 512);
  for (int y = 0; y < 512; ++y)
    for (int x = 0; x < 512; ++x) ours[std::size_t(y * 512 + x)] = pixel(*context, x, y)[0];
  const auto rescaled = [](std::vector<float> v) {
    const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
    const float low = *lo, range = *hi - *lo;
    for (float& x : v) x = (x - low) / range;
    return v;
  };
  const std::vector<float> a = rescaled(ours), b = rescaled(reference);
  double sum = 0, worst = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const double d = std::fabs(double(a[i]) - double(b[i]));
    sum += d, worst = std::max(worst, d);
  }
  EXPECT_LE(sum / double(a.size()), 0.01);
  EXPECT_LE(worst, 0.03);
}

TEST(ClaheHostile, SettingsAndSizesNeverCrash) {
  const double values[] = {NAN, INFINITY, -INFINITY, -3, 0, 1, 575, 576, 577, 1e9};
  const std::pair<std::int64_t, std::int64_t> sizes[] = {{1, 1}, {1, 1000}, {7, 3}, {10000, 1}};
  for (auto [w, h] : sizes) {
    std::vector<float> rgba;
    for (std::int64_t i = 0; i < w * h; ++i) rgba.insert(rgba.end(), {float(i % 7) / 7, 0.5f, 0.25f, 1});
    for (int field = 0; field < 4; ++field)
      for (double value : values) {
        FilterInfo info;
        info.hdrRadius = 2;
        double* target[4] = {&info.hdrRadius, &info.hdrBins, &info.hdrClipLimit, &info.hdrSaturation};
        *target[field] = value;
        auto context = floatContext(w, h, rgba);
        velumar::CIFiltering engine;
        engine.createNewCIContextWithCGContext(context.get(), true);
        engine.ciFilterWithCGContext(context.get(), 53, info);
        for (std::int64_t y = 0; y < h; ++y)
          for (std::int64_t x = 0; x < w; ++x)
            for (int c = 0; c < 4; ++c) ASSERT_TRUE(std::isfinite(pixel(*context, x, y)[c]));
      }
  }
}

TEST(ClaheStep, AGrayContextMapsLikeTheSameImageInRGB) {
  auto gray = raster::BitmapContext::create(64, 48, {16, 1, raster::AlphaInfo::None},
                                            raster::ColorSpace::genericGray());
  auto rgb = raster::BitmapContext::create(64, 48, {16, 3, raster::AlphaInfo::PremultipliedLast},
                                           raster::ColorSpace::genericRGB());
  ASSERT_TRUE(gray && rgb);
  for (std::int64_t y = 0; y < 48; ++y) {
    auto* g = reinterpret_cast<std::uint16_t*>(gray->mutableData() + std::size_t(y) * gray->bytesPerRow());
    for (std::int64_t x = 0; x < 64; ++x) g[x] = std::uint16_t(20000 + 600 * ((x * 7 + y * 3) % 50));
  }
  rgb->setBlendMode(raster::BlendMode::Copy);
  rgb->drawImage(gray->makeImage(), raster::Rect(0, 0, 64, 48));
  CLAHE clahe;
  ASSERT_TRUE(clahe.CLAdaptEqualize(*gray, 4, 4, 256, 3, 0));
  ASSERT_TRUE(clahe.CLAdaptEqualize(*rgb, 4, 4, 256, 3, 0));
  // The RGB result seen in gray.
  auto back = raster::BitmapContext::create(64, 48, {16, 1, raster::AlphaInfo::None},
                                            raster::ColorSpace::genericGray());
  back->setBlendMode(raster::BlendMode::Copy);
  back->drawImage(rgb->makeImage(), raster::Rect(0, 0, 64, 48));
  int worst = 0;
  for (std::int64_t y = 0; y < 48; ++y) {
    const auto* a =
        reinterpret_cast<const std::uint16_t*>(gray->data() + std::size_t(y) * gray->bytesPerRow());
    const auto* b =
        reinterpret_cast<const std::uint16_t*>(back->data() + std::size_t(y) * back->bytesPerRow());
    for (std::int64_t x = 0; x < 64; ++x) worst = std::max(worst, std::abs(int(a[x]) - int(b[x])));
  }
  EXPECT_LE(worst, 2);  // 16-bit rounding through the colour conversions
  const auto* first = reinterpret_cast<const std::uint16_t*>(gray->data());
  EXPECT_NE(first[0], 20000);  // and the equalisation did change the image
}

TEST(ClaheStep, SixteenBitFloatGrayAndCMYKContextsKeepTheirSize) {
  struct Target {
    raster::PixelFormat format;
    raster::ColorSpaceRef space;
  };
  for (const Target& t : {Target{{16, 3, raster::AlphaInfo::PremultipliedLast}, raster::ColorSpace::sRGB()},
                          Target{raster::PixelFormat::rgbaFloat(), raster::ColorSpace::sRGB()},
                          Target{{8, 1, raster::AlphaInfo::None}, raster::ColorSpace::genericGray()},
                          Target{{8, 4, raster::AlphaInfo::None}, raster::ColorSpace::genericCMYK()}}) {
    if (!t.space) continue;
    auto context = raster::BitmapContext::create(40, 30, t.format, t.space);
    ASSERT_TRUE(context);
    context->setFillColor(raster::Color::rgb(0.2, 0.3, 0.4));
    context->fillRect(raster::Rect(0, 0, 40, 30));
    context->setFillColor(raster::Color::rgb(0.9, 0.8, 0.1));
    context->fillRect(raster::Rect(5, 5, 20, 10));
    velumar::CIFiltering engine;
    engine.createNewCIContextWithCGContext(context.get(), true);
    FilterInfo info;
    info.hdrRadius = 4;
    engine.ciFilterWithCGContext(context.get(), 52, info);
    ASSERT_TRUE(engine.ciImage());
    EXPECT_EQ(engine.ciImage()->extent(), raster::Rect(0, 0, 40, 30));
  }
}

}  // namespace
