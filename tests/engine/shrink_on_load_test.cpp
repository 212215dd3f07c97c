// Decoding JPEG and WebP sources at the size a conversion needs: the scale chosen,
// the settings that allow it, and outputs against the full-decode route on
// real photos.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "engine/imported_image.h"
#include "engine/shrink_on_load.h"
#include "support/test_support.h"

namespace velumar {
namespace {

namespace fs = std::filesystem;

TEST(ShrinkOnLoad, ScaleChoice) {
  struct Case {
    raster::Size source, target;
    std::int64_t longSide;
  };
  const Case cases[] = {
      {{6000, 4000}, {1600, 1066.67}, 3000},  // 1/4 gives 1500: too small
      {{6000, 4000}, {700, 466.67}, 750},     // 1/8
      {{4000, 6000}, {1000, 1500}, 1500},     // 1/4, portrait
      {{2000, 1600}, {1000, 800}, 1000},      // exactly half
      {{2000, 1600}, {1001, 800}, 0},         // more than half
      {{2001, 1601}, {1000, 800}, 1001},      // sides round up
      {{1000, 1000}, {100, 100}, 0},          // a megapixel: full size
      {{1001, 1000}, {100, 100}, 126},       {{6000, 4000}, {0, 0}, 0}, {{0, 0}, {10, 10}, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(reducedDecodeLongSide(c.source, c.target), c.longSide)
        << c.source.width << "x" << c.source.height;
}

TEST(ShrinkOnLoad, SettingsThatAllowIt) {
  ImageModifyInfo fit;
  fit.doImageResize = true;
  fit.resizeScaleType = 5;
  struct Case {
    const char* label;
    void (*change)(ImageModifyInfo&);
    const char* type;
    bool allowed;
  };
  const Case cases[] = {
      {"fit the longer side", [](ImageModifyInfo&) {}, "public.jpeg", true},
      {"WebP source", [](ImageModifyInfo&) {}, "org.webmproject.webp", true},
      {"PNG source", [](ImageModifyInfo&) {}, "public.png", false},
      {"no resize", [](ImageModifyInfo& i) { i.doImageResize = false; }, "public.jpeg", false},
      {"only the dpi", [](ImageModifyInfo& i) { i.onlySetDpi = true; }, "public.jpeg", false},
      {"crop", [](ImageModifyInfo& i) { i.resizeScaleType = 6; }, "public.jpeg", false},
      {"Lanczos", [](ImageModifyInfo& i) { i.resizeScaleType = 1; }, "public.jpeg", false},
      {"a filter on the drawn target", [](ImageModifyInfo& i) { i.filterType0 = 57; }, "public.jpeg", true},
      {"tiny planet", [](ImageModifyInfo& i) { i.wantsTinyPlanet = true; }, "public.jpeg", false},
      {"faces", [](ImageModifyInfo& i) { i.optionFeatures = true; }, "public.jpeg", false},
      {"icon set", [](ImageModifyInfo& i) { i.conversionType = 10; }, "public.jpeg", false},
  };
  for (const Case& c : cases) {
    ImageModifyInfo info = fit;
    c.change(info);
    EXPECT_EQ(allowsReducedDecode(info, c.type), c.allowed) << c.label;
  }
}

// Peak signal-to-noise ratio of two 8-bit images of one size and layout,
// over every byte of their pixels; infinity when they are equal.
double psnr(const raster::ImageRef& left, const raster::ImageRef& right) {
  EXPECT_EQ(left->format().bitsPerComponent, 8);
  EXPECT_EQ(left->format().bitsPerPixel(), right->format().bitsPerPixel());
  const std::int64_t rowBytes = left->width() * left->format().bitsPerPixel() / 8;
  double squared = 0;
  std::int64_t count = 0;
  for (std::int64_t y = 0; y < left->height(); ++y) {
    const std::uint8_t* l = left->row(y);
    const std::uint8_t* r = right->row(y);
    for (std::int64_t x = 0; x < rowBytes; ++x) {
      const double d = double(l[x]) - double(r[x]);
      squared += d * d;
      ++count;
    }
  }
  if (squared == 0) return INFINITY;
  return 10 * std::log10(255.0 * 255.0 / (squared / double(count)));
}

TEST(ShrinkOnLoad, RealPhotosMatchTheFullDecode) {
  const fs::path root = testsupport::fetchDebianPackageFiles("plasma-workspace-wallpapers");
  const fs::path photo = root / "usr/share/wallpapers/ColorfulCups/contents/images/2560x1600.jpg";
  const fs::path second = root / "usr/share/wallpapers/Flow/contents/images/5120x2880.jpg";
  if (root.empty() || !fs::exists(photo) || !fs::exists(second)) GTEST_SKIP() << "wallpapers unavailable";
  testsupport::TempDir dir;
  // A portrait camera photo (EXIF orientation 6) and a CMYK JPEG.
  const std::string turned = dir.file("turned.jpg");
  const std::string cmyk = dir.file("cmyk.jpg");
  ASSERT_EQ(
      testsupport::runCommand({"/usr/bin/convert", second.string(), "-resize", "3000x", turned}).exitCode, 0);
  ASSERT_EQ(testsupport::runCommand({"exiftool", "-q", "-overwrite_original", "-n", "-Orientation=6", turned})
                .exitCode,
            0);
  ASSERT_EQ(testsupport::runCommand(
                {"/usr/bin/convert", second.string(), "-resize", "2400x", "-colorspace", "CMYK", cmyk})
                .exitCode,
            0);
  // WebP: a lossy photo, one with a gradient of transparency, an animation
  // (composed at full size, then shrunk) and small ones, which decode at
  // full size.
  const std::string webp = dir.file("photo.webp"), alpha = dir.file("alpha.webp");
  const std::string animated = dir.file("animated.webp"), tiny = dir.file("tiny.webp");
  const std::string frame = dir.file("frame.png");
  const std::string tinyJpeg = dir.file("tiny.jpg");
  const std::string smallJpeg = dir.file("small.jpg"), smallWebp = dir.file("small.webp");
  ASSERT_EQ(testsupport::runCommand({"/usr/bin/convert", photo.string(), "-resize", "512x320!", smallJpeg})
                .exitCode,
            0);
  ASSERT_EQ(testsupport::runCommand({"/usr/bin/convert", photo.string(), "-resize", "512x320!", smallWebp})
                .exitCode,
            0);
  ASSERT_EQ(
      testsupport::runCommand({"/usr/bin/convert", photo.string(), "-resize", "16x10!", tinyJpeg}).exitCode,
      0);
  ASSERT_EQ(testsupport::runCommand({"/usr/bin/convert", photo.string(), "-quality", "90", webp}).exitCode,
            0);
  ASSERT_EQ(testsupport::runCommand({"/usr/bin/convert", second.string(), "-resize", "2400x1350!", "(",
                                     "-size", "2400x1350", "gradient:white-black", ")", "-alpha", "off",
                                     "-compose", "CopyOpacity", "-composite", "-quality", "90", alpha})
                .exitCode,
            0);
  ASSERT_EQ(testsupport::runCommand({"/usr/bin/convert", photo.string(), "-resize", "1200x", frame}).exitCode,
            0);
  ASSERT_EQ(testsupport::runCommand({"/usr/bin/img2webp", "-lossy", "-q", "90", frame, frame, "-o", animated})
                .exitCode,
            0);
  ASSERT_EQ(testsupport::runCommand(
                {"/usr/bin/convert", photo.string(), "-resize", "16x10!", "-quality", "90", tiny})
                .exitCode,
            0);

  struct Case {
    std::string path;
    double fit;
    raster::Size expected;
  };
  const Case cases[] = {
      {photo.string(), 1600, {1600, 1000}},  // more than half: full decode
      {photo.string(), 600, {600, 375}},
      {second.string(), 1600, {1600, 900}},
      {second.string(), 1000, {1000, 563}},
      {turned, 800, {451, 800}},
      {cmyk, 1000, {1000, 563}},
      {webp, 1600, {1600, 1000}},
      {webp, 600, {600, 375}},
      {alpha, 700, {700, 394}},
      {animated, 500, {500, 313}},
      {tiny, 4, {4, 3}},
      {tinyJpeg, 4, {4, 3}},
      {smallJpeg, 64, {64, 40}},
      {smallWebp, 64, {64, 40}},

  };
  for (const Case& c : cases) {
    ImageModifyInfo info;
    info.conversionType = 0;
    info.doImageResize = true;
    info.resizeConversionType = 1;
    info.resizeScaleType = 5;
    info.fixedSizeW = info.fixedSizeH = c.fit;
    ImportedImage reduced, full;
    full.shrinkOnLoad = false;
    const auto small = reduced.resizePixelSizeForURL(c.path, info, nullptr, nullptr);
    const auto large = full.resizePixelSizeForURL(c.path, info, nullptr, nullptr);
    ASSERT_TRUE(small && large) << c.path;
    const auto& a = small->representations().front();
    const auto& b = large->representations().front();
    EXPECT_EQ(a->pixelsWide(), std::int64_t(c.expected.width)) << c.path;
    EXPECT_EQ(a->pixelsHigh(), std::int64_t(c.expected.height)) << c.path;
    ASSERT_EQ(a->pixelsWide(), b->pixelsWide()) << c.path;
    ASSERT_EQ(a->pixelsHigh(), b->pixelsHigh()) << c.path;
    EXPECT_EQ(a->size(), b->size()) << c.path;
    EXPECT_EQ(small->size(), large->size()) << c.path;
    EXPECT_GE(psnr(a->image(), b->image()), 40.0) << c.path << " fit " << c.fit;
  }
}

}  // namespace
}  // namespace velumar
