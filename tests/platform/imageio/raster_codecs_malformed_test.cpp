// Malformed input: truncated, bit-flipped and hostile files fail cleanly
// (no source or no image), never crash and never allocate without bound.
// The sweeps are deterministic; run them under the sanitizers.

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <random>

#include "raster_codecs_test_support.h"
#include "support/test_support.h"

namespace {

constexpr std::int64_t kLimit = 1 << 22;

// Opens and decodes every image; true when every image decoded.
bool decodesFully(const std::string& path) {
  auto source = imageio::ImageSource::open(path, kLimit);
  if (!source) return false;
  bool all = true;
  for (std::size_t i = 0; i < std::min<std::size_t>(source->count(), 8); ++i) {
    source->properties(i);
    all = source->createImage(i) != nullptr && all;
    // A reduced decode takes another path through some decoders.
    imageio::DecodeOptions reduced;
    reduced.maxPixelSize = 5;
    all = source->createImage(i, reduced) != nullptr && all;
  }
  source->fileProperties();
  return all;
}

struct Sample {
  std::string name;
  std::vector<std::uint8_t> bytes;
};

// Valid files of a format: written by us, and for BMP also by ImageMagick
// in the layouts we do not write (palette, RLE, 16-bit, OS/2 headers).
std::vector<Sample> samplesFor(const std::string& type, const testsupport::TempDir& dir) {
  std::vector<Sample> samples;
  auto add = [&](const std::string& name, const raster::ImageRef& image) {
    const std::string path = dir.file("sample-" + name);
    if (rastertest::writeImage(path, type, image)) samples.push_back({name, rastertest::fileBytes(path)});
  };
  add("rgb", rastertest::makeImage(21, 13, 3, 8, false));
  add("rgba", rastertest::makeImage(13, 21, 3, 8, true));
  if (type == "public.png" || type == "public.tiff") add("gray16", rastertest::makeImage(9, 7, 1, 16, false));
  if (type == "public.tiff") {
    add("cmyk", rastertest::makeImage(9, 7, 4, 8, false));
    const std::string path = dir.file("pages");
    if (rastertest::writeFrames(
            path, type, {rastertest::makeImage(5, 4, 3, 8, false), rastertest::makeImage(4, 5, 1, 8, false)}))
      samples.push_back({"pages", rastertest::fileBytes(path)});
  }
  if (type == "com.microsoft.bmp" && access("/usr/bin/convert", X_OK) == 0) {
    const std::vector<std::vector<std::string>> variants = {
        {"-colors", "16", "-compress", "RLE", "BMP3:"},  // RLE4 or RLE8
        {"-colors", "200", "-compress", "RLE", "BMP3:"},
        {"-monochrome", "BMP3:"},
        {"-colors", "16", "BMP3:"},
        {"-define", "bmp:subtype=RGB565", "BMP:"},
        {"-define", "bmp:subtype=ARGB4444", "BMP:"},
        {"BMP2:"},
    };
    int n = 0;
    for (const auto& variant : variants) {
      const std::string path = dir.file("magick" + std::to_string(n++) + ".bmp");
      std::vector<std::string> argv = {"/usr/bin/convert", "-seed", "4", "-size", "23x11", "plasma:fractal"};
      argv.insert(argv.end(), variant.begin(), variant.end() - 1);
      argv.push_back(variant.back() + path);
      if (testsupport::runCommand(argv).exitCode == 0)
        samples.push_back({"magick" + std::to_string(n), rastertest::fileBytes(path)});
    }
  }
  return samples;
}

class Malformed : public ::testing::TestWithParam<const char*> {};

TEST_P(Malformed, TruncatedFilesFail) {
  testsupport::TempDir dir;
  const std::string path = dir.file("cut");
  for (const Sample& sample : samplesFor(GetParam(), dir)) {
    ASSERT_GT(sample.bytes.size(), 32u);
    rastertest::writeBytes(path, sample.bytes);
    ASSERT_TRUE(decodesFully(path)) << sample.name;
    const std::size_t size = sample.bytes.size();
    // Everything up to the last few bytes is needed; in our TIFF files the
    // first directory follows the pixels and is followed by the profile,
    // which a reader may skip when it is cut.
    std::size_t essential = size - 16;
    if (std::string(GetParam()) == "public.tiff") {
      essential = std::size_t(sample.bytes[4] | (sample.bytes[5] << 8) | (sample.bytes[6] << 16));
    }
    const std::size_t step = std::max<std::size_t>(1, size / 150);
    for (std::size_t cut = 0; cut < essential; cut += (cut < 64 ? 1 : step)) {
      rastertest::writeBytes(
          path, std::vector<std::uint8_t>(sample.bytes.begin(), sample.bytes.begin() + std::ptrdiff_t(cut)));
      EXPECT_FALSE(decodesFully(path)) << sample.name << " cut at " << cut << " of " << size;
    }
  }
}

TEST_P(Malformed, CorruptedBytesNeverCrash) {
  testsupport::TempDir dir;
  const std::string path = dir.file("flip");
  std::mt19937 random(1234);
  const bool own = std::string(GetParam()) == "com.microsoft.bmp";
  for (const Sample& sample : samplesFor(GetParam(), dir)) {
    const std::size_t size = sample.bytes.size();
    // Every header byte set to extremes, then random multi-byte damage.
    for (std::size_t at = 0; at < std::min<std::size_t>(size, 160); ++at) {
      for (std::uint8_t value :
           {std::uint8_t(0x00), std::uint8_t(0xFF), std::uint8_t(sample.bytes[at] ^ 0x80)}) {
        auto bytes = sample.bytes;
        bytes[at] = value;
        rastertest::writeBytes(path, bytes);
        decodesFully(path);
      }
    }
    const int rounds = own ? 1500 : 300;
    for (int round = 0; round < rounds; ++round) {
      auto bytes = sample.bytes;
      const int damage = 1 + int(random() % 4);
      for (int d = 0; d < damage; ++d) bytes[random() % size] = std::uint8_t(random());
      rastertest::writeBytes(path, bytes);
      decodesFully(path);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, Malformed,
                         ::testing::Values("public.jpeg", "public.png", "public.tiff", "com.compuserve.gif",
                                           "com.microsoft.bmp", "org.webmproject.webp"),
                         [](const auto& info) {
                           std::string name = info.param;
                           for (char& c : name)
                             if (c == '.') c = '_';
                           return name;
                         });

// A JPEG is read from its file when it is decoded, in blocks: markers it
// skips may span blocks, and a file cut short after it was opened fails
// its decode.
TEST(Malformed, JpegReadAtDecodeTimeAcrossBlocksAndCuts) {
  testsupport::TempDir dir;
  const std::string path = dir.file("long.jpg");
  ASSERT_TRUE(rastertest::writeImage(path, "public.jpeg", rastertest::makeImage(40, 30, 3, 8, false)));
  const std::vector<std::uint8_t> plain = rastertest::fileBytes(path);
  const raster::ImageRef expected = rastertest::readImage(path);
  ASSERT_TRUE(expected);
  // Three comments of 65,533 bytes after the start of image.
  std::vector<std::uint8_t> padded(plain.begin(), plain.begin() + 2);
  for (int i = 0; i < 3; ++i) {
    padded.insert(padded.end(), {0xFF, 0xFE, 0xFF, 0xFF});
    padded.insert(padded.end(), 65533, std::uint8_t('a' + i));
  }
  padded.insert(padded.end(), plain.begin() + 2, plain.end());
  rastertest::writeBytes(path, padded);
  const raster::ImageRef decoded = rastertest::readImage(path);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(rastertest::samplesOf(*decoded, 8, false), rastertest::samplesOf(*expected, 8, false));

  const auto source = imageio::ImageSource::open(path, kLimit);
  ASSERT_TRUE(source);
  ASSERT_EQ(truncate(path.c_str(), off_t(padded.size() - plain.size() / 2)), 0);
  EXPECT_FALSE(source->createImage(0));
}

void put32le(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}
void put32be(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + std::size_t(i)] = std::uint8_t(v >> (24 - 8 * i));
}

// Headers that claim huge images in small files are refused before any
// pixel buffer is allocated.
TEST(Malformed, HugeDimensionsAreRefused) {
  testsupport::TempDir dir;
  auto image = rastertest::makeImage(8, 8, 3, 8, false);
  const std::string path = dir.file("huge");

  ASSERT_TRUE(rastertest::writeImage(path, "com.microsoft.bmp", image));
  auto bmp = rastertest::fileBytes(path);
  put32le(bmp, 18, 0x7FFFFFFF);
  put32le(bmp, 22, 0x7FFFFFFF);
  rastertest::writeBytes(path, bmp);
  EXPECT_FALSE(imageio::ImageSource::open(path));
  put32le(bmp, 18, 8);
  put32le(bmp, 22, 0x80000000u);  // INT_MIN height
  rastertest::writeBytes(path, bmp);
  EXPECT_FALSE(imageio::ImageSource::open(path));

  ASSERT_TRUE(rastertest::writeImage(path, "public.png", image));
  auto png = rastertest::fileBytes(path);
  put32be(png, 16, 1000000);
  put32be(png, 20, 1000000);
  put32be(png, 29, std::uint32_t(crc32(0, png.data() + 12, 17)));
  rastertest::writeBytes(path, png);
  EXPECT_FALSE(imageio::ImageSource::open(path));

  ASSERT_TRUE(rastertest::writeImage(path, "public.jpeg", image));
  auto jpeg = rastertest::fileBytes(path);
  for (std::size_t i = 2; i + 8 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
      jpeg[i + 5] = jpeg[i + 6] = jpeg[i + 7] = jpeg[i + 8] = 0xFF;  // 65535 x 65535
      break;
    }
  }
  rastertest::writeBytes(path, jpeg);
  EXPECT_FALSE(imageio::ImageSource::open(path));

  // A GIF whose only frame claims 65535 x 65535 pixels.
  const std::vector<std::uint8_t> gif = {'G',  'I',  'F',  '8',  '9', 'a', 0xFF, 0xFF, 0xFF, 0xFF, 0x80, 0,
                                         0,    0,    0,    0,    255, 255, 255,  ',',  0,    0,    0,    0,
                                         0xFF, 0xFF, 0xFF, 0xFF, 0,   2,   2,    0x4C, 0x01, 0,    ';'};
  rastertest::writeBytes(path, gif);
  EXPECT_FALSE(imageio::ImageSource::open(path));

  // A little-endian TIFF with one 100000 x 100000 strip of 4 bytes.
  std::vector<std::uint8_t> tiff = {'I', 'I', 42, 0, 8, 0, 0, 0, 5, 0};
  auto entry = [&](std::uint16_t tag, std::uint16_t type, std::uint32_t value) {
    const std::uint8_t e[12] = {std::uint8_t(tag),
                                std::uint8_t(tag >> 8),
                                std::uint8_t(type),
                                0,
                                1,
                                0,
                                0,
                                0,
                                std::uint8_t(value),
                                std::uint8_t(value >> 8),
                                std::uint8_t(value >> 16),
                                std::uint8_t(value >> 24)};
    tiff.insert(tiff.end(), e, e + 12);
  };
  entry(256, 4, 100000);
  entry(257, 4, 100000);
  entry(262, 3, 1);
  entry(273, 4, 80);
  entry(279, 4, 4);
  tiff.insert(tiff.end(), {0, 0, 0, 0});
  tiff.resize(84, 0x55);
  rastertest::writeBytes(path, tiff);
  EXPECT_FALSE(imageio::ImageSource::open(path));
  EXPECT_FALSE(rastertest::readImage(path));
}

TEST(Malformed, BmpPaletteAndOffsetLiesAreContained) {
  testsupport::TempDir dir;
  const std::string path = dir.file("lie.bmp");
  // 2 x 2, 8-bit palette, claiming four billion colours and pixel data far
  // beyond the end of the file.
  std::vector<std::uint8_t> bmp(14 + 40 + 8 + 8, 0);
  bmp[0] = 'B';
  bmp[1] = 'M';
  put32le(bmp, 10, 14 + 40 + 8);
  put32le(bmp, 14, 40);
  put32le(bmp, 18, 2);
  put32le(bmp, 22, 2);
  bmp[26] = 1;
  bmp[28] = 8;
  put32le(bmp, 46, 0xFFFFFFFFu);
  rastertest::writeBytes(path, bmp);
  auto image = rastertest::readImage(path);
  ASSERT_TRUE(image);  // the two palette entries present are used
  put32le(bmp, 10, 0xFFFFFFF0u);
  rastertest::writeBytes(path, bmp);
  EXPECT_FALSE(rastertest::readImage(path));
}

}  // namespace
