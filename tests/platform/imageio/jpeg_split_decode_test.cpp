// A progressive JPEG's independent scan groups decoded at once give the
// very pixels of decoding the file as one stream, for any subsampling,
// colour model, scan script and reduced size; files that are not
// well-formed, or whose progression is incomplete, are never split, and
// corrupted files decode alike both ways.
#include <gtest/gtest.h>

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <functional>
#include <random>

#include "platform/foundation/files.h"
#include "platform/imageio/image_source.h"
#include "platform/imageio/jpeg_scan_split.h"
#include "platform/imageio/jpeg_split_decode.h"
#include "support/test_support.h"

namespace {

std::vector<std::uint8_t> readBytes(const std::string& path) {
  return foundation::readFile(path).value_or(foundation::Data{});
}

std::size_t streamCount(const std::vector<std::uint8_t>& bytes) {
  const auto streams = imageio::independentScanStreams(bytes.data(), bytes.size());
  return streams ? streams->size() : 0;
}

// The file's pixels (empty when it does not decode), with the split on or
// off, at most maxPixelSize a side.
std::vector<std::uint8_t> decodedPixels(const std::string& path, bool split, std::int64_t maxPixelSize) {
  imageio::jpegSplitOptions().minimumPixels = split ? 1 : std::int64_t(1) << 60;
  const auto source = imageio::ImageSource::open(path);
  imageio::DecodeOptions options;
  options.maxPixelSize = maxPixelSize;
  const raster::ImageRef image = source ? source->createImage(0, options) : nullptr;
  imageio::jpegSplitOptions() = {};
  if (!image) return {};
  const std::size_t rowBytes = std::size_t(image->width()) * std::size_t(image->format().bytesPerPixel());
  std::vector<std::uint8_t> pixels;
  for (std::int64_t y = 0; y < image->height(); ++y)
    pixels.insert(pixels.end(), image->row(y), image->row(y) + rowBytes);
  return pixels;
}

// One scan of a script: components (-1 ends), band, successive
// approximation high and low bits.
struct ScanLine {
  int components[3];
  int first, last, high, low;
};

// A 3-component JPEG of a noisy pattern written by libjpeg with the scan
// script given.
void writeScripted(const std::string& path, const std::vector<ScanLine>& script, int width, int height) {
  std::vector<jpeg_scan_info> scans;
  for (const ScanLine& line : script) {
    jpeg_scan_info scan{};
    for (int c : line.components)
      if (c >= 0) scan.component_index[scan.comps_in_scan++] = c;
    scan.Ss = line.first, scan.Se = line.last, scan.Ah = line.high, scan.Al = line.low;
    scans.push_back(scan);
  }
  std::vector<std::uint8_t> rgb(std::size_t(width) * 3);
  std::mt19937 random(7);
  jpeg_compress_struct cinfo;
  jpeg_error_mgr error;
  cinfo.err = jpeg_std_error(&error);
  jpeg_create_compress(&cinfo);
  FILE* file = std::fopen(path.c_str(), "wb");
  jpeg_stdio_dest(&cinfo, file);
  cinfo.image_width = JDIMENSION(width);
  cinfo.image_height = JDIMENSION(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  cinfo.scan_info = scans.data();
  cinfo.num_scans = int(scans.size());
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = int(cinfo.next_scanline);
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c)
        rgb[std::size_t(x * 3 + c)] = std::uint8_t((x * (c + 1) + y * (3 - c)) / 3 + int(random() % 24));
    JSAMPROW row = rgb.data();
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::fclose(file);
}

TEST(JpegSplitDecode, SameCoefficientsAndPixelsAsOneStream) {
  testsupport::TempDir dir;
  struct Row {
    const char* name;
    std::vector<std::string> convert;  // ImageMagick arguments, or empty for script
    std::vector<ScanLine> script;
    std::size_t streams;
  };
  const std::vector<ScanLine> bands = {{{0, 1, 2}, 0, 0, 0, 0},    {{0, -1, -1}, 1, 2, 0, 0},
                                       {{0, -1, -1}, 3, 9, 0, 0},  {{0, -1, -1}, 10, 63, 0, 0},
                                       {{1, -1, -1}, 1, 63, 0, 0}, {{2, -1, -1}, 1, 63, 0, 0}};
  // DC scans of their own, and thirteen AC groups sharing seven decoders.
  std::vector<ScanLine> many = {
      {{0, -1, -1}, 0, 0, 0, 0}, {{1, -1, -1}, 0, 0, 0, 0}, {{2, -1, -1}, 0, 0, 0, 0}};
  for (int k = 1; k < 64; k += 7) many.push_back({{0, -1, -1}, k, std::min(63, k + 6), 0, 0});
  for (int c = 1; c < 3; ++c)
    many.insert(many.end(), {{{c, -1, -1}, 1, 20, 0, 0}, {{c, -1, -1}, 21, 63, 0, 0}});
  const Row rows[] = {
      {"420.jpg", {"-seed", "3", "-size", "611x437", "plasma:", "-sampling-factor", "2x2"}, {}, 4},
      {"422.jpg", {"-seed", "4", "-size", "437x611", "plasma:", "-sampling-factor", "2x1"}, {}, 4},
      {"444.jpg", {"-seed", "5", "-size", "300x200", "plasma:", "-quality", "95"}, {}, 4},
      {"gray.jpg", {"-size", "333x222", "gradient:white-black", "-colorspace", "Gray"}, {}, 2},
      {"cmyk.jpg", {"-seed", "6", "-size", "250x190", "plasma:", "-colorspace", "CMYK"}, {}, 5},
      {"restarts.jpg",
       {"-seed", "8", "-size", "320x240", "plasma:", "-define", "jpeg:restart-interval=3"},
       {},
       4},
      {"bands.jpg", {}, bands, 6},
      {"many.jpg", {}, many, 8},
  };
  for (const Row& row : rows) {
    const std::string path = dir.file(row.name);
    if (row.convert.empty()) {
      writeScripted(path, row.script, 517, 389);
    } else {
      std::vector<std::string> argv{"/usr/bin/convert"};
      argv.insert(argv.end(), row.convert.begin(), row.convert.end());
      argv.insert(argv.end(), {"-interlace", "JPEG", path});
      ASSERT_EQ(testsupport::runCommand(argv).exitCode, 0) << row.name;
    }
    EXPECT_EQ(streamCount(readBytes(path)), row.streams) << row.name;
    for (const std::int64_t maxPixelSize : {std::int64_t(0), std::int64_t(160), std::int64_t(80)}) {
      const std::vector<std::uint8_t> split = decodedPixels(path, true, maxPixelSize);
      EXPECT_FALSE(split.empty()) << row.name;
      EXPECT_TRUE(split == decodedPixels(path, false, maxPixelSize)) << row.name << " at " << maxPixelSize;
    }
  }
  // Real photos from a camera's software: 4:4:4 and 4:2:0.
  const auto root = testsupport::fetchDebianPackageFiles("mate-backgrounds");
  if (root.empty()) GTEST_SKIP() << "mate-backgrounds not available";
  for (const char* name : {"abstract/Elephants.jpg", "nature/GreenMeadow.jpg"}) {
    const std::string path = (root / "usr/share/backgrounds/mate" / name).string();
    EXPECT_EQ(streamCount(readBytes(path)), 4u) << name;
    EXPECT_TRUE(decodedPixels(path, true, 800) == decodedPixels(path, false, 800)) << name;
  }
}

// Streams are only made from files whose every scan is where its markers
// say, up to the end marker, with a complete progression.
TEST(JpegSplitDecode, OnlyWellFormedCompleteFilesAreSplit) {
  testsupport::TempDir dir;
  const std::string path = dir.file("p.jpg");
  ASSERT_EQ(testsupport::runCommand(
                {"/usr/bin/convert", "-seed", "3", "-size", "300x200", "plasma:", "-interlace", "JPEG", path})
                .exitCode,
            0);
  const std::vector<std::uint8_t> good = readBytes(path);
  ASSERT_EQ(streamCount(good), 4u);
  std::vector<std::size_t> scans;  // offsets of the start-of-scan markers
  for (std::size_t i = 0; i + 1 < good.size(); ++i)
    if (good[i] == 0xFF && good[i + 1] == 0xDA) scans.push_back(i);
  ASSERT_EQ(scans.size(), 10u);
  const std::size_t lastScan = scans.back();
  const std::size_t approximation = lastScan + 4 + 1 + 2 * 1 + 2;  // the last scan's Ah/Al byte

  struct Row {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> change;
  };
  const Row rows[] = {
      {"cut in the last scan", [&](auto& b) { b.resize(lastScan + 200); }},
      {"no end marker", [&](auto& b) { b.resize(b.size() - 2); }},
      {"last refinement left out",
       [&](auto& b) { b.erase(b.begin() + std::ptrdiff_t(lastScan), b.end() - 2); }},
      {"refinement of bits not sent", [&](auto& b) { b[approximation] = 0x21; }},
      {"sequential frame",
       [&](auto& b) {
         for (std::size_t i = 0; i + 1 < b.size(); ++i)
           if (b[i] == 0xFF && b[i + 1] == 0xC2) b[i + 1] = 0xC1;
       }},
      {"segment length below two", [&](auto& b) { b[4] = 0, b[5] = 1; }},
      {"scan naming an unknown component", [&](auto& b) { b[scans[1] + 5] = 0x77; }},
      {"nothing but the start", [&](auto& b) { b.resize(2); }},
  };
  for (const Row& row : rows) {
    std::vector<std::uint8_t> bytes = good;
    row.change(bytes);
    EXPECT_EQ(streamCount(bytes), 0u) << row.name;
    const std::string changed = dir.file("changed.jpg");
    ASSERT_TRUE(foundation::writeFileAtomically(changed, bytes));
    EXPECT_TRUE(decodedPixels(changed, true, 0) == decodedPixels(changed, false, 0)) << row.name;
  }

  // Bytes changed anywhere: the split never crashes and decodes what one
  // stream decodes.
  std::mt19937 random(11);
  for (int trial = 0; trial < 150; ++trial) {
    std::vector<std::uint8_t> bytes = good;
    for (int flips = 0; flips < 3; ++flips) bytes[2 + random() % (bytes.size() - 2)] = std::uint8_t(random());
    const std::string changed = dir.file("random.jpg");
    ASSERT_TRUE(foundation::writeFileAtomically(changed, bytes));
    streamCount(bytes);
    EXPECT_TRUE(decodedPixels(changed, true, 0) == decodedPixels(changed, false, 0)) << "trial " << trial;
  }
}

}  // namespace
