// Every raster format written by our encoders and read back by our
// decoders: pixels (exact for lossless formats, PSNR-bounded for lossy
// ones), layout, ICC profile, resolution, pages and frames.

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/color/icc_profile.h"
#include "platform/imageio/codec_support.h"
#include "raster_codecs_test_support.h"
#include "support/premultiplied_levels.h"
#include "support/test_support.h"

namespace {

using rastertest::makeImage;
using rastertest::readImage;
using rastertest::samplesOf;
using rastertest::writeImage;

struct RoundTrip {
  const char* name;
  const char* type;
  int color;
  int bits;
  bool alpha;
  bool premultiplied;
  int compression;  // TIFF only: 1, 5, 32773
  // Expected decode: bits per component, colour components, alpha.
  int decodedBits;
  int decodedColor;
  bool decodedAlpha;
  // 0: pixels must match exactly; otherwise the minimum PSNR in dB.
  double minimumPsnr;
};

void PrintTo(const RoundTrip& c, std::ostream* os) {
  *os << c.name;
}

class RasterRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(RasterRoundTrip, PixelsAndLayoutSurvive) {
  const RoundTrip& c = GetParam();
  testsupport::TempDir dir;
  const std::string path = dir.file("image");
  auto image = makeImage(37, 23, c.color, c.bits, c.alpha, c.premultiplied);
  ASSERT_TRUE(image);
  foundation::Dictionary props;
  if (c.compression != 0) props.set("Compression", c.compression);
  props.set("LossyCompressionQuality", 0.95);
  ASSERT_TRUE(writeImage(path, c.type, image, foundation::Value(props)));

  auto source = imageio::ImageSource::open(path);
  ASSERT_TRUE(source);
  EXPECT_EQ(source->type(), c.type);
  ASSERT_EQ(source->count(), 1u);
  auto decoded = source->createImage(0);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->width(), 37);
  EXPECT_EQ(decoded->height(), 23);
  EXPECT_EQ(decoded->format().bitsPerComponent, c.decodedBits);
  EXPECT_EQ(decoded->format().colorComponents, c.decodedColor);
  EXPECT_EQ(decoded->format().hasAlpha(), c.decodedAlpha);
  EXPECT_EQ(decoded->format().isPremultiplied(), c.premultiplied && c.decodedAlpha && c.compression != 0);
  const auto props0 = source->properties(0);
  EXPECT_EQ(rastertest::at(props0, "PixelWidth").intOr(0), 37);
  EXPECT_EQ(rastertest::at(props0, "HasAlpha").boolOr(!c.decodedAlpha), c.decodedAlpha);

  if (c.minimumPsnr > 0) {
    EXPECT_GE(rastertest::psnr(samplesOf(*image, 8, false), samplesOf(*decoded, 8, false)), c.minimumPsnr);
    return;
  }
  if (c.decodedColor != c.color) {
    // Gray written as RGB: every channel carries the gray value.
    const auto gray = samplesOf(*image, 8, c.alpha);
    const auto rgb = samplesOf(*decoded, 8, c.alpha);
    const int g = c.alpha ? 2 : 1, r = c.alpha ? 4 : 3;
    for (std::size_t p = 0; p < gray.size() / std::size_t(g); ++p) {
      for (int k = 0; k < 3; ++k)
        ASSERT_EQ(rgb[p * std::size_t(r) + std::size_t(k)], gray[p * std::size_t(g)]);
    }
    return;
  }
  // A premultiplied source stays premultiplied in TIFF (associated alpha);
  // elsewhere it is compared unpremultiplied.
  const bool keep = decoded->format().isPremultiplied();
  const int bits = std::min(c.bits, c.decodedBits);
  if (c.decodedBits == 32 || c.bits == 32) {
    EXPECT_EQ(samplesOf(*image, 16, c.decodedAlpha, keep), samplesOf(*decoded, 16, c.decodedAlpha, keep));
  } else {
    EXPECT_EQ(samplesOf(*image, bits, c.decodedAlpha, keep), samplesOf(*decoded, bits, c.decodedAlpha, keep));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, RasterRoundTrip,
    ::testing::Values(
        RoundTrip{"png_rgb8", "public.png", 3, 8, false, false, 0, 8, 3, false, 0},
        RoundTrip{"png_rgba8", "public.png", 3, 8, true, false, 0, 8, 3, true, 0},
        RoundTrip{"png_rgba8_premultiplied", "public.png", 3, 8, true, true, 0, 8, 3, true, 0},
        RoundTrip{"png_gray8", "public.png", 1, 8, false, false, 0, 8, 1, false, 0},
        RoundTrip{"png_gray_alpha8", "public.png", 1, 8, true, false, 0, 8, 1, true, 0},
        RoundTrip{"png_rgb16", "public.png", 3, 16, false, false, 0, 16, 3, false, 0},
        RoundTrip{"png_rgba16", "public.png", 3, 16, true, false, 0, 16, 3, true, 0},
        RoundTrip{"png_gray16", "public.png", 1, 16, false, false, 0, 16, 1, false, 0},
        RoundTrip{"png_gray_alpha16", "public.png", 1, 16, true, false, 0, 16, 1, true, 0},
        RoundTrip{"png_rgb_float_as16", "public.png", 3, 32, false, false, 0, 16, 3, false, 0},
        RoundTrip{"tiff_rgb8_none", "public.tiff", 3, 8, false, false, 1, 8, 3, false, 0},
        RoundTrip{"tiff_rgb8_lzw", "public.tiff", 3, 8, false, false, 5, 8, 3, false, 0},
        RoundTrip{"tiff_rgb8_packbits", "public.tiff", 3, 8, false, false, 32773, 8, 3, false, 0},
        RoundTrip{"tiff_rgba8_unassociated", "public.tiff", 3, 8, true, false, 5, 8, 3, true, 0},
        RoundTrip{"tiff_rgba8_associated", "public.tiff", 3, 8, true, true, 5, 8, 3, true, 0},
        RoundTrip{"tiff_gray8", "public.tiff", 1, 8, false, false, 1, 8, 1, false, 0},
        RoundTrip{"tiff_gray16_lzw", "public.tiff", 1, 16, false, false, 5, 16, 1, false, 0},
        RoundTrip{"tiff_gray_alpha16", "public.tiff", 1, 16, true, false, 32773, 16, 1, true, 0},
        RoundTrip{"tiff_rgb16", "public.tiff", 3, 16, false, false, 5, 16, 3, false, 0},
        RoundTrip{"tiff_cmyk8", "public.tiff", 4, 8, false, false, 5, 8, 4, false, 0},
        RoundTrip{"tiff_cmyk16", "public.tiff", 4, 16, false, false, 1, 16, 4, false, 0},
        RoundTrip{"tiff_cmyk_alpha8", "public.tiff", 4, 8, true, false, 5, 8, 4, true, 0},
        RoundTrip{"tiff_rgb_float", "public.tiff", 3, 32, false, false, 1, 32, 3, false, 0},
        RoundTrip{"tiff_gray_alpha_float", "public.tiff", 1, 32, true, false, 5, 32, 1, true, 0},
        RoundTrip{"bmp_rgb8", "com.microsoft.bmp", 3, 8, false, false, 0, 8, 3, false, 0},
        RoundTrip{"bmp_rgba8", "com.microsoft.bmp", 3, 8, true, false, 0, 8, 3, true, 0},
        RoundTrip{"bmp_gray8_as_rgb", "com.microsoft.bmp", 1, 8, false, false, 0, 8, 3, false, 0},
        RoundTrip{"jpeg_rgb", "public.jpeg", 3, 8, false, false, 0, 8, 3, false, 34},
        RoundTrip{"jpeg_gray", "public.jpeg", 1, 8, false, false, 0, 8, 1, false, 40},
        RoundTrip{"jpeg_cmyk", "public.jpeg", 4, 8, false, false, 0, 8, 4, false, 38},
        RoundTrip{"jpeg_rgb16_as8", "public.jpeg", 3, 16, false, false, 0, 8, 3, false, 34}),
    [](const auto& info) { return std::string(info.param.name); });

// A smooth picture: lossy WebP always halves chroma resolution.
raster::ImageRef smoothImage(std::int64_t width, std::int64_t height) {
  std::vector<std::uint8_t> px(std::size_t(width * height * 4));
  for (std::int64_t y = 0; y < height; ++y)
    for (std::int64_t x = 0; x < width; ++x) {
      std::uint8_t* p = &px[std::size_t((y * width + x) * 4)];
      p[0] = std::uint8_t(x * 255 / width);
      p[1] = std::uint8_t(y * 255 / height);
      p[2] = std::uint8_t(128 + (x - y) / 2);
      p[3] = 255;
    }
  return raster::Image::make(width, height, imageio::decodedFormat(8, 3, false), raster::ColorSpace::sRGB(),
                             std::move(px));
}

TEST(RasterRoundTrip, WebpLossyIsClose) {
  testsupport::TempDir dir;
  auto image = smoothImage(120, 90);
  foundation::Dictionary props{{"LossyCompressionQuality", 0.9}};
  ASSERT_TRUE(writeImage(dir.file("a.webp"), "org.webmproject.webp", image, foundation::Value(props)));
  auto source = imageio::ImageSource::open(dir.file("a.webp"));
  ASSERT_TRUE(source);
  EXPECT_EQ(source->type(), "org.webmproject.webp");
  auto decoded = source->createImage(0);
  ASSERT_TRUE(decoded);
  EXPECT_FALSE(decoded->format().hasAlpha());
  EXPECT_GE(rastertest::psnr(samplesOf(*image, 8, false), samplesOf(*decoded, 8, false)), 38);
}

TEST(RasterRoundTrip, WebpLosslessAtFullQualityIsExact) {
  testsupport::TempDir dir;
  auto image = makeImage(31, 17, 3, 8, true);
  foundation::Dictionary props{{"LossyCompressionQuality", 1.0}};
  ASSERT_TRUE(writeImage(dir.file("a.webp"), "org.webmproject.webp", image, foundation::Value(props)));
  auto decoded = readImage(dir.file("a.webp"));
  ASSERT_TRUE(decoded);
  // Lossless WebP may change colour under fully transparent pixels.
  auto a = samplesOf(*image, 8, true), b = samplesOf(*decoded, 8, true);
  for (std::size_t i = 0; i < a.size(); i += 4) {
    if (a[i + 3] == 0)
      std::fill(a.begin() + std::ptrdiff_t(i), a.begin() + std::ptrdiff_t(i + 4), 0),
          std::fill(b.begin() + std::ptrdiff_t(i), b.begin() + std::ptrdiff_t(i + 4), 0);
  }
  EXPECT_EQ(a, b);
}

// Premultiplied pixels are divided out on write, colour is 0 where alpha
// is 0, and values beyond [0, 1] are clamped, with alpha last or first.
TEST(RasterRoundTrip, PremultipliedAndOutOfRangeInputIsCleanedOnWrite) {
  testsupport::TempDir dir;
  const std::vector<float> rgba = {
      0.25f, 0.5f,  0.125f, 0.5f,   // half-transparent
      0.7f,  0.2f,  0.1f,   0.0f,   // colour under alpha 0 (invalid premultiplied)
      1.5f,  -0.5f, 0.5f,   1.0f};  // out of range
  for (const auto alpha : {raster::AlphaInfo::PremultipliedLast, raster::AlphaInfo::PremultipliedFirst}) {
    SCOPED_TRACE(int(alpha));
    std::vector<float> px = rgba;
    if (alpha == raster::AlphaInfo::PremultipliedFirst)
      for (std::size_t p = 0; p < px.size(); p += 4) std::rotate(&px[p], &px[p + 3], &px[p + 4]);
    std::vector<std::uint8_t> bytes(px.size() * 4);
    std::memcpy(bytes.data(), px.data(), bytes.size());
    auto image = raster::Image::make(3, 1, {32, 3, alpha}, raster::ColorSpace::sRGB(), bytes, 48);
    ASSERT_TRUE(image);
    ASSERT_TRUE(writeImage(dir.file("p.png"), "public.png", image));
    auto decoded = readImage(dir.file("p.png"));
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->format().bitsPerComponent, 16);
    const auto* v = reinterpret_cast<const std::uint16_t*>(decoded->row(0));
    const std::vector<int> expected = {32768, 65535, 16384, 32768, 0, 0, 0, 0, 65535, 0, 32768, 65535};
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(v[i], expected[i], 1) << i;
  }
}

// Every premultiplied 8-bit colour under every alpha, written as 8-bit PNG
// and read by ImageMagick: the quotient of the levels rounded to the
// nearest level, halves up (1 of 2 is 128); colour above its alpha is 255.
TEST(RasterRoundTrip, PremultipliedEightBitWritesTheRoundedStraightColour) {
  const std::vector<std::uint8_t> pixels = testsupport::everyPremultipliedRGBA8();
  const std::int64_t width = 255, height = std::int64_t(pixels.size() / 4) / width;
  auto image =
      raster::Image::make(width, height, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB(), pixels);
  ASSERT_TRUE(image);
  testsupport::TempDir dir;
  ASSERT_TRUE(writeImage(dir.file("p.png"), "public.png", image));
  const auto read = testsupport::runCommand(
      {"/usr/bin/convert", dir.file("p.png"), "-depth", "8", "rgba:" + dir.file("p.raw")});
  ASSERT_EQ(read.exitCode, 0) << read.output;
  const std::vector<std::uint8_t> seen = rastertest::fileBytes(dir.file("p.raw"));
  ASSERT_EQ(seen.size(), pixels.size());
  int wrong = 0;
  for (std::size_t i = 0; i < pixels.size(); i += 4)
    for (std::size_t k = 0; k < 3; ++k)
      wrong += seen[i + k] != testsupport::roundedStraightLevel(pixels[i + k], pixels[i + 3]);
  EXPECT_EQ(wrong, 0);
}

struct Resolution {
  const char* type;
  bool hasProfile;
};

void PrintTo(const Resolution& c, std::ostream* os) {
  *os << c.type;
}

class RasterMetadataRoundTrip : public ::testing::TestWithParam<Resolution> {};

TEST_P(RasterMetadataRoundTrip, ProfileAndResolutionSurvive) {
  const auto& c = GetParam();
  testsupport::TempDir dir;
  auto adobe = raster::ColorSpace::named(color::NamedProfile::AdobeRGB1998);
  ASSERT_TRUE(adobe);
  auto image = makeImage(20, 10, 3, 8, false, false, adobe);
  foundation::Dictionary props{{"DPIWidth", 300.0}, {"DPIHeight", 150.0}};
  ASSERT_TRUE(writeImage(dir.file("r"), c.type, image, foundation::Value(props)));
  auto source = imageio::ImageSource::open(dir.file("r"));
  ASSERT_TRUE(source);
  const auto p = source->properties(0);
  ASSERT_TRUE(p.get("DPIWidth"));
  EXPECT_NEAR(rastertest::at(p, "DPIWidth").doubleOr(0), 300, 0.01);
  EXPECT_NEAR(rastertest::at(p, "DPIHeight").doubleOr(0), 150, 0.01);
  auto decoded = source->createImage(0);
  ASSERT_TRUE(decoded);
  if (c.hasProfile) {
    ASSERT_TRUE(decoded->colorSpace()->profile());
    EXPECT_TRUE(decoded->colorSpace()->profile()->sameAs(*adobe->profile()));
    EXPECT_EQ(rastertest::at(p, "ProfileName").stringOr(""), adobe->profile()->description());
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, RasterMetadataRoundTrip,
                         ::testing::Values(Resolution{"public.png", true}, Resolution{"public.jpeg", true},
                                           Resolution{"public.tiff", true},
                                           Resolution{"com.microsoft.bmp", false}),
                         [](const auto& info) {
                           std::string name = info.param.type;
                           for (char& ch : name)
                             if (ch == '.') ch = '_';
                           return name;
                         });

TEST(RasterRoundTrip, TiffPagesKeepTheirOwnLayoutAndTags) {
  testsupport::TempDir dir;
  std::vector<raster::ImageRef> pages = {makeImage(30, 20, 3, 8, false), makeImage(15, 40, 1, 16, false),
                                         makeImage(8, 8, 4, 8, true)};
  std::vector<foundation::Value> props = {
      foundation::Value(
          foundation::Dictionary{{"Compression", 5}, {"DPIWidth", 144.0}, {"DPIHeight", 144.0}}),
      foundation::Value(foundation::Dictionary{{"{TIFF}", foundation::Dictionary{{"Compression", 32773},
                                                                                 {"XResolution", 72.0},
                                                                                 {"YResolution", 72.0},
                                                                                 {"ResolutionUnit", 2},
                                                                                 {"Orientation", 1}}}}),
      foundation::Value(foundation::Dictionary{})};
  ASSERT_TRUE(rastertest::writeFrames(dir.file("pages.tiff"), "public.tiff", pages, props));
  auto source = imageio::ImageSource::open(dir.file("pages.tiff"));
  ASSERT_TRUE(source);
  ASSERT_EQ(source->count(), 3u);
  const int expectedCompression[] = {5, 32773, 1};
  for (std::size_t i = 0; i < 3; ++i) {
    auto decoded = source->createImage(i);
    ASSERT_TRUE(decoded) << i;
    EXPECT_EQ(decoded->width(), pages[i]->width());
    EXPECT_EQ(decoded->format().colorComponents, pages[i]->format().colorComponents);
    EXPECT_EQ(decoded->format().bitsPerComponent, pages[i]->format().bitsPerComponent);
    const int bits = pages[i]->format().bitsPerComponent;
    const bool alpha = pages[i]->format().hasAlpha();
    EXPECT_EQ(samplesOf(*pages[i], bits, alpha), samplesOf(*decoded, bits, alpha));
    EXPECT_EQ(rastertest::at(source->properties(i), {"{TIFF}", "Compression"}).intOr(0),
              expectedCompression[i]);
  }
  EXPECT_NEAR(rastertest::at(source->properties(0), "DPIWidth").doubleOr(0), 144, 1e-3);
  EXPECT_EQ(rastertest::at(source->properties(1), "Depth").intOr(0), 16);
  EXPECT_EQ(rastertest::at(source->properties(2), "ColorModel").stringOr(""), "CMYK");
}

// At most 216 colours, so the quantiser keeps them all.
raster::ImageRef posterized(std::int64_t width, std::int64_t height, int shift, bool transparentCorner) {
  auto image = makeImage(width, height, 3, 8, true);
  std::vector<std::uint8_t> px(image->data(), image->data() + image->bytesPerRow() * std::size_t(height));
  for (std::size_t i = 0; i < px.size(); i += 4) {
    for (int c = 0; c < 3; ++c)
      px[i + std::size_t(c)] = std::uint8_t(((px[i + std::size_t(c)] + shift * 40) % 256) / 51 * 51);
    px[i + 3] = 255;
  }
  if (transparentCorner) std::fill(px.begin(), px.begin() + 4 * 5, 0);
  return raster::Image::make(width, height, image->format(), image->colorSpace(), std::move(px),
                             image->bytesPerRow());
}

TEST(RasterRoundTrip, GifFramesDelaysAndLoopCountSurvive) {
  testsupport::TempDir dir;
  std::vector<raster::ImageRef> frames = {posterized(25, 15, 0, true), posterized(25, 15, 1, false),
                                          posterized(25, 15, 2, true)};
  std::vector<foundation::Value> props;
  for (double delay : {0.1, 0.25, 0.05})
    props.emplace_back(foundation::Dictionary{{"{GIF}", foundation::Dictionary{{"DelayTime", delay}}}});
  foundation::Value file(foundation::Dictionary{{"{GIF}", foundation::Dictionary{{"LoopCount", 3}}}});
  ASSERT_TRUE(rastertest::writeFrames(dir.file("anim.gif"), "com.compuserve.gif", frames, props, file));

  auto source = imageio::ImageSource::open(dir.file("anim.gif"));
  ASSERT_TRUE(source);
  ASSERT_EQ(source->count(), 3u);
  EXPECT_EQ(rastertest::at(source->fileProperties(), {"{GIF}", "LoopCount"}).intOr(-1), 3);
  const double delays[] = {0.1, 0.25, 0.05};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_NEAR(rastertest::at(source->properties(i), {"{GIF}", "UnclampedDelayTime"}).doubleOr(0), delays[i],
                1e-9);
    // Each frame replaces the whole canvas, transparent corner included.
    auto decoded = source->createImage(i);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(samplesOf(*frames[i], 8, true), samplesOf(*decoded, 8, true)) << "frame " << i;
  }
  // Frames can be asked for out of order.
  auto again = source->createImage(0);
  ASSERT_TRUE(again);
  EXPECT_EQ(samplesOf(*frames[0], 8, true), samplesOf(*again, 8, true));
}

TEST(RasterRoundTrip, GifQuantisesManyColoursClosely) {
  testsupport::TempDir dir;
  auto image = makeImage(64, 48, 3, 8, false);
  ASSERT_TRUE(writeImage(dir.file("many.gif"), "com.compuserve.gif", image));
  auto decoded = readImage(dir.file("many.gif"));
  ASSERT_TRUE(decoded);
  EXPECT_GE(rastertest::psnr(samplesOf(*image, 8, false), samplesOf(*decoded, 8, false)), 30);
}

TEST(RasterRoundTrip, JpegQualityControlsSize) {
  testsupport::TempDir dir;
  auto image = makeImage(200, 150, 3, 8, false);
  foundation::Dictionary low{{"LossyCompressionQuality", 0.2}}, high{{"LossyCompressionQuality", 1.0}};
  ASSERT_TRUE(writeImage(dir.file("low.jpg"), "public.jpeg", image, foundation::Value(low)));
  ASSERT_TRUE(writeImage(dir.file("high.jpg"), "public.jpeg", image, foundation::Value(high)));
  EXPECT_LT(rastertest::fileBytes(dir.file("low.jpg")).size() * 2,
            rastertest::fileBytes(dir.file("high.jpg")).size());
  auto decoded = readImage(dir.file("high.jpg"));
  ASSERT_TRUE(decoded);
  EXPECT_GE(rastertest::psnr(samplesOf(*image, 8, false), samplesOf(*decoded, 8, false)), 45);
}

}  // namespace
