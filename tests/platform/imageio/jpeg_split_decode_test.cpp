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

#include <filesystem>
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

// A decode's pixels (empty when it does not decode), and whether it read
// the scan groups at once and kept that result.
struct Decoded {
  std::vector<std::uint8_t> pixels;
  bool split = false, fellBack = false;
};

// The file decoded with the split on or off, at most maxPixelSize a side.
Decoded decoded(const std::string& path, bool split, std::int64_t maxPixelSize) {
  imageio::jpegSplitOptions().minimumPixels = split ? 1 : std::int64_t(1) << 60;
  const std::int64_t splitBefore = imageio::jpegSplitCounts().split;
  const std::int64_t fellBackBefore = imageio::jpegSplitCounts().fellBack;
  const auto source = imageio::ImageSource::open(path);
  imageio::DecodeOptions options;
  options.maxPixelSize = maxPixelSize;
  const raster::ImageRef image = source ? source->createImage(0, options) : nullptr;
  imageio::jpegSplitOptions() = {};
  Decoded result;
  result.split = imageio::jpegSplitCounts().split > splitBefore;
  result.fellBack = imageio::jpegSplitCounts().fellBack > fellBackBefore;
  if (!image) return result;
  const std::size_t rowBytes = std::size_t(image->width()) * std::size_t(image->format().bytesPerPixel());
  for (std::int64_t y = 0; y < image->height(); ++y)
    result.pixels.insert(result.pixels.end(), image->row(y), image->row(y) + rowBytes);
  return result;
}

std::vector<std::uint8_t> decodedPixels(const std::string& path, bool split, std::int64_t maxPixelSize) {
  return decoded(path, split, maxPixelSize).pixels;
}

std::size_t restartMarkers(const std::vector<std::uint8_t>& bytes) {
  std::size_t count = 0;
  for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
    count += bytes[i] == 0xFF && bytes[i + 1] >= 0xD0 && bytes[i + 1] <= 0xD7;
  return count;
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

// DC scans, then one scan per luma AC coefficient, then each chroma
// component's AC scan.
std::vector<ScanLine> oneScanPerLumaCoefficient() {
  std::vector<ScanLine> script = {{{0, 1, 2}, 0, 0, 0, 0}};
  for (int k = 1; k < 64; ++k) script.push_back({{0, -1, -1}, k, k, 0, 0});
  script.insert(script.end(), {{{1, -1, -1}, 1, 63, 0, 0}, {{2, -1, -1}, 1, 63, 0, 0}});
  return script;
}

// Luma AC coefficients in pairs, each pair's first pass without its last
// bit and a refinement after it; DC the same way.
std::vector<ScanLine> lumaPairsInTwoSteps() {
  std::vector<ScanLine> script = {{{0, 1, 2}, 0, 0, 0, 1}};
  for (int k = 1; k < 64; k += 2) script.push_back({{0, -1, -1}, k, std::min(63, k + 1), 0, 1});
  script.insert(script.end(), {{{1, -1, -1}, 1, 63, 0, 0}, {{2, -1, -1}, 1, 63, 0, 0}});
  for (int k = 1; k < 64; k += 2) script.push_back({{0, -1, -1}, k, std::min(63, k + 1), 1, 0});
  script.push_back({{0, 1, 2}, 0, 0, 1, 0});
  return script;
}

TEST(JpegSplitDecode, SameCoefficientsAndPixelsAsOneStream) {
  testsupport::TempDir dir;
  struct Row {
    const char* name;
    std::vector<std::string> convert;  // ImageMagick arguments, or empty for script
    std::vector<ScanLine> script;
    std::size_t streams;
    std::vector<std::string> jpegtran;  // rewrites the file, progressive, with these arguments
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
      {"single.jpg", {}, oneScanPerLumaCoefficient(), 8, {}},
      {"pairs.jpg", {}, lumaPairsInTwoSteps(), 8, {}},
      {"420.jpg", {"-seed", "3", "-size", "611x437", "plasma:", "-sampling-factor", "2x2"}, {}, 4, {}},
      {"422.jpg", {"-seed", "4", "-size", "437x611", "plasma:", "-sampling-factor", "2x1"}, {}, 4, {}},
      {"444.jpg", {"-seed", "5", "-size", "300x200", "plasma:", "-quality", "95"}, {}, 4, {}},
      {"gray.jpg", {"-size", "333x222", "gradient:white-black", "-colorspace", "Gray"}, {}, 2, {}},
      {"cmyk.jpg", {"-seed", "6", "-size", "250x190", "plasma:", "-colorspace", "CMYK"}, {}, 5, {}},
      {"restarts.jpg", {"-seed", "8", "-size", "320x240", "plasma:"}, {}, 4, {"-restart", "3"}},
      {"bands.jpg", {}, bands, 6, {}},
      {"many.jpg", {}, many, 8, {}},
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
    if (!row.jpegtran.empty()) {
      std::vector<std::string> argv{"/usr/bin/jpegtran", "-progressive"};
      argv.insert(argv.end(), row.jpegtran.begin(), row.jpegtran.end());
      argv.insert(argv.end(), {"-outfile", path + ".new", path});
      ASSERT_EQ(testsupport::runCommand(argv).exitCode, 0) << row.name;
      std::filesystem::rename(path + ".new", path);
      EXPECT_GT(restartMarkers(readBytes(path)), 10u) << row.name;
    }
    EXPECT_EQ(streamCount(readBytes(path)), row.streams) << row.name;
    for (const std::int64_t maxPixelSize : {std::int64_t(0), std::int64_t(160), std::int64_t(80)}) {
      const Decoded split = decoded(path, true, maxPixelSize);
      EXPECT_FALSE(split.pixels.empty()) << row.name;
      EXPECT_TRUE(split.split && !split.fellBack) << row.name;
      EXPECT_TRUE(split.pixels == decodedPixels(path, false, maxPixelSize))
          << row.name << " at " << maxPixelSize;
    }
  }
  // Real photos from a camera's software: 4:4:4 and 4:2:0.
  const auto root = testsupport::fetchDebianPackageFiles("mate-backgrounds");
  if (root.empty()) GTEST_SKIP() << "mate-backgrounds not available";
  for (const char* name : {"abstract/Elephants.jpg", "nature/GreenMeadow.jpg"}) {
    const std::string path = (root / "usr/share/backgrounds/mate" / name).string();
    EXPECT_EQ(streamCount(readBytes(path)), 4u) << name;
    const Decoded split = decoded(path, true, 800);
    EXPECT_TRUE(split.split && !split.fellBack) << name;
    EXPECT_TRUE(split.pixels == decodedPixels(path, false, 800)) << name;
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
      {"band ending past the last coefficient", [&](auto& b) { b[scans[2] + 8] = 64; }},
      {"reserved marker between scans",
       [&](auto& b) {
         b.insert(b.begin() + std::ptrdiff_t(lastScan), {0xFF, 0x40, 0x00, 0x02});
       }},
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

// A damaged AC table makes the runs of a one-coefficient scan carry its
// writes onto coefficients that other streams decode: the split notices
// and the file decodes as one stream, the same pixels every time.
TEST(JpegSplitDecode, ScansWritingOutsideTheirBandsDecodeAsOneStream) {
  testsupport::TempDir dir;
  const std::string path = dir.file("bands.jpg");
  writeScripted(path, oneScanPerLumaCoefficient(), 700, 500);
  std::vector<std::uint8_t> bytes = readBytes(path);
  // Every AC table's symbols get longer runs (their codes, and so the
  // table, stay valid). In entropy-coded data 0xFF is never followed by
  // 0xC4: every such pair starts a table segment.
  for (std::size_t at = 2; at + 4 < bytes.size(); ++at) {
    if (bytes[at] != 0xFF || bytes[at + 1] != 0xC4) continue;
    const std::size_t end = at + 2 + ((std::size_t(bytes[at + 2]) << 8) | bytes[at + 3]);
    for (std::size_t table = at + 4; table + 17 <= end;) {
      std::size_t symbols = 0;
      for (int length = 1; length <= 16; ++length) symbols += bytes[table + std::size_t(length)];
      for (std::size_t i = 0; (bytes[table] >> 4) == 1 && i < symbols; ++i) {
        std::uint8_t& symbol = bytes[table + 17 + i];
        if (symbol & 0x0F) symbol = std::uint8_t(symbol + 0x50);
      }
      table += 17 + symbols;
    }
  }
  ASSERT_TRUE(foundation::writeFileAtomically(path, bytes));
  ASSERT_EQ(streamCount(bytes), 8u);
  const std::vector<std::uint8_t> oneStream = decodedPixels(path, false, 0);
  ASSERT_FALSE(oneStream.empty());
  for (int run = 0; run < 6; ++run) {
    const Decoded split = decoded(path, true, 0);
    EXPECT_TRUE(split.split && split.fellBack) << "run " << run;
    EXPECT_TRUE(split.pixels == oneStream) << "run " << run;
  }
}

}  // namespace
