// Decoder limits are applied when a file is opened, before any pixel
// buffer or row loop: tiny files that declare huge images are refused at
// once, and a large image within the limits decodes into one buffer.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "doc_codecs_support.h"
#include "platform/imageio/image_source.h"

using namespace doctest;

namespace {

using Bytes = std::vector<std::uint8_t>;

void put(Bytes& out, std::uint64_t value, int bytes, bool bigEndian) {
  for (int i = 0; i < bytes; ++i) {
    const int shift = 8 * (bigEndian ? bytes - 1 - i : i);
    out.push_back(std::uint8_t(value >> shift));
  }
}

void pngChunk(Bytes& out, const char* type, const Bytes& data) {
  put(out, data.size(), 4, true);
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  put(out, crc32(0, out.data() + start, uInt(out.size() - start)), 4, true);
}

// A gray 8-bit PNG whose image data is rows of zeros, compressed.
Bytes grayPng(std::uint32_t width, std::uint32_t height, std::uint32_t rowsStored) {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  Bytes header;
  put(header, width, 4, true);
  put(header, height, 4, true);
  header.insert(header.end(), {8, 0, 0, 0, 0});
  pngChunk(png, "IHDR", header);
  const Bytes raw(std::size_t(width + 1) * rowsStored, 0);
  uLongf size = compressBound(uLong(raw.size()));
  Bytes packed(size);
  compress2(packed.data(), &size, raw.data(), uLong(raw.size()), 9);
  packed.resize(size);
  pngChunk(png, "IDAT", packed);
  pngChunk(png, "IEND", {});
  return png;
}

// An 8-bit RLE BMP of the given size whose data ends the bitmap at once.
Bytes rleBmp(std::int32_t width, std::int32_t height) {
  Bytes bmp = {'B', 'M'};
  const std::uint32_t offset = 14 + 40 + 4 * 2;
  put(bmp, offset + 2, 4, false);
  put(bmp, 0, 4, false);
  put(bmp, offset, 4, false);
  put(bmp, 40, 4, false);
  put(bmp, std::uint32_t(width), 4, false);
  put(bmp, std::uint32_t(height), 4, false);
  put(bmp, 1, 2, false);
  put(bmp, 8, 2, false);
  put(bmp, 1, 4, false);  // RLE8
  put(bmp, 2, 4, false);
  put(bmp, 2835, 4, false);
  put(bmp, 2835, 4, false);
  put(bmp, 2, 4, false);
  put(bmp, 0, 4, false);
  bmp.insert(bmp.end(), {0, 0, 0, 0, 255, 255, 255, 0});
  bmp.insert(bmp.end(), {0, 1});  // end of bitmap
  return bmp;
}

// A one-strip gray TIFF declaring width x height.
Bytes grayTiff(std::uint32_t width, std::uint32_t height) {
  Bytes tiff = {'I', 'I', 42, 0};
  put(tiff, 8, 4, false);
  const std::uint16_t tags[][3] = {{256, 4, 0}, {257, 4, 1}, {258, 3, 8}, {259, 3, 1}, {262, 3, 1},
                                   {273, 4, 2}, {277, 3, 1}, {278, 4, 1}, {279, 4, 3}};
  put(tiff, std::size(tags), 2, false);
  const std::uint32_t dataOffset = 8 + 2 + 12 * std::uint32_t(std::size(tags)) + 4;
  for (const auto& tag : tags) {
    put(tiff, tag[0], 2, false);
    put(tiff, tag[1], 2, false);
    put(tiff, 1, 4, false);
    const std::uint32_t value = tag[0] == 256   ? width
                                : tag[0] == 257 ? height
                                : tag[0] == 273 ? dataOffset
                                : tag[0] == 278 ? 1
                                : tag[0] == 279 ? width
                                                : tag[2];
    put(tiff, value, 4, false);
  }
  put(tiff, 0, 4, false);
  tiff.resize(tiff.size() + 64, 0);
  return tiff;
}

// A 1 x 1 GIF frame on a canvas of the given size.
Bytes tinyGifOnCanvas(std::uint16_t width, std::uint16_t height) {
  Bytes gif = {'G', 'I', 'F', '8', '9', 'a'};
  put(gif, width, 2, false);
  put(gif, height, 2, false);
  gif.insert(gif.end(), {0x80, 0, 0, 0xff, 0xff, 0xff, 0, 0, 0});
  gif.insert(gif.end(), {0x2c, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3b});
  return gif;
}

}  // namespace

TEST(DecoderLimits, TinyFilesDeclaringHugeImagesAreRefusedWhenOpened) {
  const struct {
    const char* name;
    const char* file;
    Bytes bytes;
  } cases[] = {
      {"RLE BMP of 148 x 2,097,164", "tall.bmp", rleBmp(148, 2'097'164)},
      {"PNG of 150 x 2,000,000", "tall.png", grayPng(150, 2'000'000, 1)},
      {"TIFF wider than 2^20", "wide.tiff", grayTiff((1u << 20) + 1, 1)},
      {"GIF canvas of 65535 x 65535", "wide.gif", tinyGifOnCanvas(65535, 65535)},
  };
  testsupport::TempDir dir;
  for (const auto& c : cases) {
    const std::string path = dir.file(c.file);
    writeAll(path, c.bytes);
    EXPECT_FALSE(imageio::ImageSource::open(path)) << c.name;
  }
  // The same shapes within the limits open.
  writeAll(dir.file("ok.bmp"), rleBmp(148, 1000));
  writeAll(dir.file("ok.png"), grayPng(150, 1000, 1000));
  writeAll(dir.file("ok.gif"), tinyGifOnCanvas(16, 16));
  for (const char* name : {"ok.bmp", "ok.png", "ok.gif"})
    EXPECT_TRUE(imageio::ImageSource::open(dir.file(name))) << name;
}

TEST(DecoderLimits, LargeImageWithinTheLimitsDecodesIntoOneBuffer) {
  // 8000 x 8000 gray: 64 MB decoded from a file of a few hundred kilobytes.
  constexpr std::uint32_t side = 8000;
  testsupport::TempDir dir;
  const std::string path = dir.file("large.png");
  writeAll(path, grayPng(side, side, side));
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  auto source = imageio::ImageSource::open(path);
  ASSERT_TRUE(source);
  auto image = source->createImage(0);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width(), side);
  rusage after{};
  getrusage(RUSAGE_SELF, &after);
  const double decodedKilobytes = double(side) * side / 1024.0;
  const double grownKilobytes = double(after.ru_maxrss - before.ru_maxrss);
  EXPECT_LT(grownKilobytes, 1.5 * decodedKilobytes) << "more than one full-size buffer was held";
}
