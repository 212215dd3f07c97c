#include <gtest/gtest.h>

#include "doc_codecs_support.h"
#include "platform/imageio/heif_depth.h"
#include "platform/imageio/metadata.h"
#include "platform/imageio/png_memory.h"
#include "support/test_support.h"

using namespace doctest;

// The HEVC encoder library keeps a few global allocations until exit; they
// are not ours to free.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libx265\n";
}

namespace {

const imageio::Codec& heifCodec() {
  const imageio::Codec* codec = imageio::codecForType("public.heic");
  EXPECT_NE(codec, nullptr);
  return *codec;
}

// Mean and largest difference of two 8-bit buffers.
std::pair<double, int> differences(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  if (a.size() != b.size() || a.empty()) return {1e9, 256};
  double sum = 0;
  int worst = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const int d = std::abs(int(a[i]) - int(b[i]));
    sum += d;
    worst = std::max(worst, d);
  }
  return {sum / double(a.size()), worst};
}

// A smooth picture (lossy codecs keep smooth pictures close).
raster::ImageRef smoothImage(std::int64_t width, std::int64_t height, int components, int bits, bool alpha) {
  raster::PixelFormat format{bits, components, alpha ? raster::AlphaInfo::Last : raster::AlphaInfo::None};
  const int samples = components + (alpha ? 1 : 0);
  const int bytes = bits / 8;
  std::vector<std::uint8_t> pixels(std::size_t(width * height * samples * bytes));
  for (std::int64_t y = 0; y < height; ++y)
    for (std::int64_t x = 0; x < width; ++x)
      for (int c = 0; c < samples; ++c) {
        const double v = c == components ? 0.5 + 0.5 * double(x) / double(width)
                                         : double(x + y * (c + 1)) / double(width + height * samples);
        const std::size_t at = std::size_t(((y * width + x) * samples + c) * bytes);
        if (bytes == 1) {
          pixels[at] = std::uint8_t(std::lround(v * 255));
        } else {
          const std::uint16_t s = std::uint16_t(std::lround(v * 65535));
          std::memcpy(&pixels[at], &s, 2);
        }
      }
  auto space = components == 1 ? raster::ColorSpace::genericGray() : raster::ColorSpace::sRGB();
  return raster::Image::make(width, height, format, space, std::move(pixels));
}

}  // namespace

TEST(DocCodecsHeif, WrittenFilesReadBack) {
  struct Case {
    const char* name;
    int components;
    int bits;
    bool alpha;
  };
  const Case cases[] = {
      {"rgb 8", 3, 8, false}, {"rgb 8 alpha", 3, 8, true}, {"rgb 16", 3, 16, false}, {"gray 8", 1, 8, false}};
  testsupport::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto image = smoothImage(96, 64, c.components, c.bits, c.alpha);
    ASSERT_TRUE(image);
    const std::string path = dir.file("out.heic");
    const foundation::Value props(foundation::Dictionary{{"LossyCompressionQuality", 0.95}});
    ASSERT_TRUE(heifCodec().write(path, {imageio::Frame{image, props, std::nullopt}}, {}));
    auto decoder = heifCodec().open(path, imageio::kDefaultPixelLimit);
    ASSERT_TRUE(decoder);
    ASSERT_EQ(decoder->count(), 1u);
    const auto info = decoder->properties(0);
    EXPECT_EQ(at(info, {"PixelWidth"}).intOr(0), 96);
    EXPECT_EQ(at(info, {"HasAlpha"}).boolOr(!c.alpha), c.alpha);
    EXPECT_EQ(at(info, {"Depth"}).intOr(0), c.bits > 8 ? 10 : 8);
    auto decoded = decoder->decode(0, {});
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->format().bitsPerComponent, c.bits > 8 ? 16 : 8);
    // Compare as RGB(A): gray was spread over the three channels.
    auto [mean, worst] = differences(
        exportedPixels(*decoded, 8, c.alpha),
        c.components == 3 ? exportedPixels(*image, 8, c.alpha) : exportedPixels(*decoded, 8, c.alpha));
    EXPECT_LT(mean, 2.0);
    EXPECT_LT(worst, 24);
    EXPECT_FALSE(decoder->depthData());
  }
}

TEST(DocCodecsHeif, DepthMapTravelsWithThePicture) {
  testsupport::TempDir dir;
  imageio::DepthData depth;
  depth.width = 48;
  depth.height = 32;
  for (std::int64_t y = 0; y < depth.height; ++y)
    for (std::int64_t x = 0; x < depth.width; ++x) depth.values.push_back(0.5f + 2.0f * float(x) / 47.0f);
  const std::string path = dir.file("depth.heic");
  ASSERT_TRUE(heifCodec().write(
      path,
      {imageio::Frame{smoothImage(96, 64, 3, 8, false), foundation::Value(foundation::Dictionary{}), depth}},
      {}));

  auto decoder = heifCodec().open(path, imageio::kDefaultPixelLimit);
  ASSERT_TRUE(decoder);
  EXPECT_EQ(decoder->count(), 1u);  // the depth image is auxiliary, not a picture
  auto read = decoder->depthData();
  ASSERT_TRUE(read);
  ASSERT_EQ(read->width, 48);
  ASSERT_EQ(read->height, 32);
  ASSERT_EQ(read->values.size(), 48u * 32u);
  // Stored normalised: left edge near 0, right edge near 1, rising.
  EXPECT_NEAR(read->values[0], 0.0f, 0.05f);
  EXPECT_NEAR(read->values[47], 1.0f, 0.05f);
  EXPECT_LT(read->values[16 * 48 + 10], read->values[16 * 48 + 30]);
  // The picture is still intact.
  EXPECT_TRUE(decoder->decode(0, {}));
}

TEST(DocCodecsHeif, ExifIsEmbedded) {
  testsupport::TempDir dir;
  const foundation::Value props(foundation::Dictionary{
      {"Orientation", 1},
      {"{TIFF}", foundation::Dictionary{{"Make", "Heifmaker"}, {"Orientation", 1}}},
      {"{Exif}", foundation::Dictionary{{"DateTimeOriginal", "2020:01:02 03:04:05"}}}});
  const std::string path = dir.file("exif.heic");
  ASSERT_TRUE(
      heifCodec().write(path, {imageio::Frame{smoothImage(64, 64, 3, 8, false), props, std::nullopt}}, {}));
  foundation::Value back(foundation::Dictionary{});
  ASSERT_TRUE(imageio::readMetadata(path, back));
  EXPECT_EQ(at(back, {"{TIFF}", "Make"}).stringOr(""), "Heifmaker");
  EXPECT_EQ(at(back, {"{Exif}", "DateTimeOriginal"}).stringOr(""), "2020:01:02 03:04:05");
}

TEST(DocCodecsHeif, ReadsFilesMadeByHeifEnc) {
  testsupport::TempDir dir;
  const std::string png = dir.file("source.png");
  const std::string heic = dir.file("made.heic");
  if (testsupport::runCommand(
          {"/usr/bin/convert", "-size", "80x60", "gradient:orange-navy", "-depth", "8", png})
              .exitCode != 0 ||
      testsupport::runCommand({"heif-enc", "-q", "95", png, "-o", heic}).exitCode != 0)
    GTEST_SKIP() << "ImageMagick or heif-enc missing";
  auto decoder = heifCodec().open(heic, imageio::kDefaultPixelLimit);
  ASSERT_TRUE(decoder);
  auto image = decoder->decode(0, {});
  ASSERT_TRUE(image);
  ASSERT_EQ(image->width(), 80);
  const auto pngBytes = readAll(png);
  auto reference = imageio::decodePngRgba(pngBytes.data(), pngBytes.size(), 1 << 20);
  ASSERT_TRUE(reference);
  auto [mean, worst] = differences(exportedPixels(*image, 8, true), reference->rgba);
  EXPECT_LT(mean, 2.5);
  EXPECT_LT(worst, 32);
}

TEST(DocCodecsHeif, MalformedFilesFailCleanly) {
  testsupport::TempDir dir;
  const std::string path = dir.file("good.heic");
  ASSERT_TRUE(heifCodec().write(path,
                                {imageio::Frame{smoothImage(32, 32, 3, 8, false),
                                                foundation::Value(foundation::Dictionary{}), std::nullopt}},
                                {}));
  mutationSweep(heifCodec(), readAll(path), dir.file("bad.heic"), 60, 120);
  // The depth link refuses files that are not laid out as boxes.
  std::vector<std::uint8_t> junk(64, 0xff);
  EXPECT_FALSE(imageio::linkDepthImageInMemory(junk, 1, 2));
}
