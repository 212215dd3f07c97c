// The white matte of RGB composites with transparency: our flat PSD
// encoder writes it, our decoder takes it out, psd-tools reads our files
// back unlightened, and composites without a matte (ImageMagick's straight
// colour, opaque images, gray) come through as stored.

#include <gtest/gtest.h>

#include <sstream>

#include "doc_codecs_support.h"
#include "platform/imageio/codec.h"
#include "platform/imageio/psd_flat_format.h"
#include "platform/imageio/psd_matte.h"
#include "support/test_support.h"

using namespace doctest;

namespace {

const imageio::Codec& codecFor(const char* type) {
  const imageio::Codec* codec = imageio::codecForType(type);
  EXPECT_NE(codec, nullptr);
  return *codec;
}

// Premultiplied colour and alpha of every pixel on the 0..255 scale, exact
// whichever way the image stores its colour.
std::vector<double> premultipliedLevels(const raster::Image& image) {
  const int samples = imageio::exportedColorComponents(image) + 1;
  std::vector<float> row(std::size_t(image.width()) * std::size_t(samples));
  std::vector<double> out;
  for (std::int64_t y = 0; y < image.height(); ++y) {
    imageio::exportRow(image, y, imageio::RowRequest{32, true}, reinterpret_cast<std::uint8_t*>(row.data()));
    for (std::size_t p = 0; p < row.size(); p += std::size_t(samples)) {
      const double a = row[p + std::size_t(samples) - 1];
      for (int c = 0; c + 1 < samples; ++c) out.push_back(row[p + std::size_t(c)] * a * 255.0);
      out.push_back(a * 255.0);
    }
  }
  return out;
}

double worstDifference(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() != b.size()) return 1e9;
  double worst = 0;
  for (std::size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
  return worst;
}

// An RGB gradient whose alpha runs from fully transparent to opaque, with
// dark colours where it is translucent (which straight colour would show).
raster::ImageRef translucentGradient(int bits, bool premultiplied) {
  const std::int64_t width = 24, height = 12;
  raster::PixelFormat format;
  format.bitsPerComponent = bits;
  format.colorComponents = 3;
  format.alpha = premultiplied ? raster::AlphaInfo::PremultipliedLast : raster::AlphaInfo::Last;
  const std::size_t sampleBytes = std::size_t(bits / 8);
  const std::size_t bytesPerRow = std::size_t(width) * 4 * sampleBytes;
  std::vector<std::uint8_t> pixels(bytesPerRow * std::size_t(height));
  for (std::int64_t y = 0; y < height; ++y) {
    for (std::int64_t x = 0; x < width; ++x) {
      const double a = double(x + y * width) / double(width * height - 1);
      const double colour[3] = {double(x) / double(width - 1), 0.1 + 0.05 * double(y % 4),
                                1.0 - double(y) / double(height - 1)};
      for (int c = 0; c < 4; ++c) {
        double v = c == 3 ? a : colour[c];
        if (premultiplied && c < 3) v *= a;
        std::uint8_t* at =
            pixels.data() + std::size_t(y) * bytesPerRow + (std::size_t(x) * 4 + c) * sampleBytes;
        if (bits == 8) {
          *at = std::uint8_t(std::lround(v * 255));
        } else if (bits == 16) {
          const auto s = std::uint16_t(std::lround(v * 65535));
          std::memcpy(at, &s, 2);
        } else {
          const auto f = float(v);
          std::memcpy(at, &f, 4);
        }
      }
    }
  }
  return raster::Image::make(width, height, format, raster::ColorSpace::sRGB(), std::move(pixels),
                             bytesPerRow);
}

bool hasPsdTools() {
  return testsupport::runCommand({"/usr/bin/python3", "-c", "import psd_tools"}).exitCode == 0;
}

// psd-tools' reading of a file's composite: premultiplied colour and alpha
// on the 0..255 scale, pixel after pixel; empty when it fails.
std::vector<double> psdToolsLevels(const std::string& path) {
  static const char* script =
      "import sys\n"
      "from psd_tools import PSDImage\n"
      "d = PSDImage.open(sys.argv[1]).numpy()\n"
      "for px in d.reshape(-1, d.shape[2]):\n"
      "    a = px[-1]\n"
      "    print(' '.join('%.4f' % (v * 255) for v in list(px[:-1] * a) + [a]))\n";
  const auto result = testsupport::runCommand({"/usr/bin/python3", "-c", script, path});
  std::vector<double> out;
  if (result.exitCode != 0) {
    ADD_FAILURE() << result.output;
    return out;
  }
  std::istringstream in(result.output);
  for (double v; in >> v;) out.push_back(v);
  return out;
}

// The composite as the file stores it (8-bit RGBA only).
std::vector<std::uint8_t> storedComposite(const std::string& path) {
  const auto bytes = readAll(path);
  auto info = imageio::psd::parseFlat(bytes.data(), bytes.size());
  if (!info || info->outputDepth != 8 || !info->hasAlpha) return {};
  std::vector<std::uint8_t> out(std::size_t(info->width * info->height) * 4);
  if (!imageio::psd::decodeComposite(bytes.data(), bytes.size(), *info, imageio::kDefaultPixelLimit,
                                     out.data(), std::size_t(info->width) * 4, 4))
    return {};
  return out;
}

}  // namespace

TEST(PsdMatte, OurFilesReadBackWithinOneLevel) {
  struct Case {
    const char* name;
    int bits;
    bool premultiplied;
  };
  const Case cases[] = {{"8 straight", 8, false},      {"8 premultiplied", 8, true},
                        {"16 straight", 16, false},    {"16 premultiplied", 16, true},
                        {"float straight", 32, false}, {"float premultiplied", 32, true}};
  const bool psdTools = hasPsdTools();
  testsupport::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto image = translucentGradient(c.bits, c.premultiplied);
    const std::string path = dir.file("matted.psd");
    ASSERT_TRUE(
        codecFor("com.adobe.photoshop-image").write(path, {imageio::Frame{image, {}, std::nullopt}}, {}));
    const auto expected = premultipliedLevels(*image);

    auto decoder = codecFor("com.adobe.photoshop-image").open(path, imageio::kDefaultPixelLimit);
    ASSERT_TRUE(decoder);
    auto decoded = decoder->decode(0, {});
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->format().bitsPerComponent, c.bits);
    // 32-bit files hold linear light: compared in the image's own space.
    if (c.bits == 32) decoded = doctest::floatImageIn(*decoded, image->colorSpace());
    EXPECT_LE(worstDifference(premultipliedLevels(*decoded), expected), 1.0);

    // psd-tools' own background removal fails on float composites.
    if (psdTools && c.bits != 32) {
      EXPECT_LE(worstDifference(psdToolsLevels(path), expected), 1.0);
    }
  }
  if (!psdTools) GTEST_SKIP() << "psd-tools missing";
}

TEST(PsdMatte, TheStoredCompositeIsMattedAgainstWhite) {
  testsupport::TempDir dir;
  const std::string path = dir.file("matted.psd");
  ASSERT_TRUE(codecFor("com.adobe.photoshop-image")
                  .write(path, {imageio::Frame{translucentGradient(8, false), {}, std::nullopt}}, {}));
  const auto stored = storedComposite(path);
  ASSERT_FALSE(stored.empty());
  // The first pixel is fully transparent: white; the last is opaque: as is.
  EXPECT_EQ(std::vector<std::uint8_t>(stored.begin(), stored.begin() + 4),
            (std::vector<std::uint8_t>{255, 255, 255, 0}));
  EXPECT_EQ(std::vector<std::uint8_t>(stored.end() - 4, stored.end()),
            (std::vector<std::uint8_t>{255, 64, 0, 255}));
  for (std::size_t i = 0; i < stored.size(); i += 4)
    for (int c = 0; c < 3; ++c) ASSERT_GE(stored[i + std::size_t(c)], 255 - stored[i + 3]) << i;
}

TEST(PsdMatte, CompositesWithoutAMatteStayAsStored) {
  struct Case {
    const char* name;
    int components;
    bool alpha;
    bool opaque;
  };
  // Opaque colour has nothing to matte.
  const Case cases[] = {{"rgb opaque", 3, false, true},
                        {"rgb with opaque alpha", 3, true, true},
                        {"gray opaque", 1, false, true}};
  testsupport::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    raster::ImageRef image = makeImage(19, 7, c.components, 8, c.alpha);
    if (c.opaque && c.alpha) {
      auto pixels = exportedPixels(*image, 8, true);
      for (std::size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
      image = raster::Image::make(19, 7, image->format(), image->colorSpace(), std::move(pixels), 19 * 4);
    }
    const std::string path = dir.file("plain.psd");
    ASSERT_TRUE(
        codecFor("com.adobe.photoshop-image").write(path, {imageio::Frame{image, {}, std::nullopt}}, {}));
    auto decoded =
        codecFor("com.adobe.photoshop-image").open(path, imageio::kDefaultPixelLimit)->decode(0, {});
    ASSERT_TRUE(decoded);
    EXPECT_FALSE(decoded->format().isPremultiplied());
    EXPECT_EQ(exportedPixels(*decoded, 8, c.alpha), exportedPixels(*image, 8, c.alpha));
  }
}

TEST(PsdMatte, ImageMagicksStraightColourIsLeftAlone) {
  testsupport::TempDir dir;
  const std::string png = dir.file("translucent.png");
  const std::string psd = dir.file("translucent.psd");
  auto image = translucentGradient(8, false);
  ASSERT_TRUE(codecFor("public.png").write(png, {imageio::Frame{image, {}, std::nullopt}}, {}));
  for (const char* depth : {"8", "16"}) {
    SCOPED_TRACE(depth);
    const auto made = testsupport::runCommand({"/usr/bin/convert", png, "-depth", depth, psd});
    if (made.exitCode != 0) GTEST_SKIP() << "ImageMagick failed: " << made.output;
    auto decoder = codecFor("com.adobe.photoshop-image").open(psd, imageio::kDefaultPixelLimit);
    ASSERT_TRUE(decoder);
    auto decoded = decoder->decode(0, {});
    ASSERT_TRUE(decoded);
    EXPECT_FALSE(decoded->format().isPremultiplied());
    // Straight colour as ImageMagick stored it: the PNG's own pixels
    // wherever they are not fully transparent.
    const auto got = exportedPixels(*decoded, 8, true), want = exportedPixels(*image, 8, true);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); i += 4) {
      if (want[i + 3] == 0) continue;
      for (std::size_t c = 0; c < 4; ++c) ASSERT_EQ(got[i + c], want[i + c]) << "pixel " << i / 4;
    }
  }
}

TEST(PsdMatte, DetectionTellsMattedFromStraightColour) {
  // One RGBA pixel per case after an opaque one; 1 level of slack.
  struct Case {
    const char* name;
    std::uint8_t pixel[4];
    bool matted;
  };
  const Case cases[] = {
      {"matted half", {200, 140, 128, 128}, true},
      {"matted transparent", {255, 255, 255, 0}, true},
      {"one level under the matte", {126, 126, 126, 128}, true},
      {"two levels under the matte", {125, 200, 200, 128}, false},
      {"straight dark translucent", {10, 20, 30, 200}, false},
      {"straight black transparent", {0, 0, 0, 0}, false},
      {"opaque only", {0, 0, 0, 255}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> pixels = {5, 6, 7, 255, c.pixel[0], c.pixel[1], c.pixel[2], c.pixel[3]};
    const imageio::psd::MatteLayout layout{2, 1, 8, 4, 3, 8};
    EXPECT_EQ(imageio::psd::isMattedAgainstWhite(pixels.data(), layout), c.matted);
  }
}

TEST(PsdMatte, RemovingTheMatteGivesPremultipliedColour) {
  // Stored values below the matte or above 1 - a + a clamp to [0, a].
  std::vector<std::uint8_t> pixels = {200, 140, 126, 128, 255, 255, 255, 0, 9, 8, 7, 255, 255, 255, 255, 64};
  imageio::psd::removeWhiteMatte(pixels.data(), {4, 1, 16, 4, 3, 8});
  EXPECT_EQ(pixels, (std::vector<std::uint8_t>{73, 13, 0, 128, 0, 0, 0, 0, 9, 8, 7, 255, 64, 64, 64, 64}));
  imageio::psd::applyWhiteMatte(pixels.data(), {4, 1, 16, 4, 3, 8}, true);
  EXPECT_EQ(pixels, (std::vector<std::uint8_t>{200, 140, 127, 128, 255, 255, 255, 0, 9, 8, 7, 255, 255, 255,
                                               255, 64}));
}

TEST(PsdMatte, InvalidLayoutsAreRefused) {
  std::vector<std::uint8_t> pixels = {0, 0, 0, 0};
  const imageio::psd::MatteLayout layouts[] = {
      {0, 1, 4, 4, 3, 8},   // no width
      {1, 1, 3, 4, 3, 8},   // rows shorter than a pixel
      {1, 1, 4, 3, 3, 8},   // no alpha sample
      {1, 1, 4, 4, 3, 12},  // unknown depth
  };
  for (const auto& layout : layouts) {
    EXPECT_FALSE(imageio::psd::isMattedAgainstWhite(pixels.data(), layout));
    imageio::psd::removeWhiteMatte(pixels.data(), layout);
    imageio::psd::applyWhiteMatte(pixels.data(), layout, false);
    EXPECT_EQ(pixels, (std::vector<std::uint8_t>{0, 0, 0, 0}));
  }
  EXPECT_FALSE(imageio::psd::isMattedAgainstWhite(nullptr, {1, 1, 4, 4, 3, 8}));
}
