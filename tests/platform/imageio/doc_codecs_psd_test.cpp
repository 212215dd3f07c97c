#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "doc_codecs_support.h"
#include "platform/foundation/failure_cause.h"
#include "platform/imageio/image_source.h"
#include "platform/imageio/png_memory.h"
#include "platform/imageio/psd_flat_format.h"
#include "platform/imageio/psd_flat_layer_section.h"
#include "platform/imageio/psd_flat_layers.h"
#include "support/test_support.h"

using namespace doctest;

namespace {

const imageio::Codec& psdCodec() {
  const imageio::Codec* codec = imageio::codecForType("com.adobe.photoshop-image");
  EXPECT_NE(codec, nullptr);
  return *codec;
}

foundation::Value dpiProperties(double dpi) {
  return foundation::Value(foundation::Dictionary{{"DPIWidth", dpi}, {"DPIHeight", dpi}});
}

}  // namespace

TEST(DocCodecsPsd, WrittenFilesReadBackExactly) {
  struct Case {
    const char* name;
    int components;
    int bits;
    bool alpha;
    const char* model;
  };
  const Case cases[] = {
      {"gray 8", 1, 8, false, "Gray"},    {"gray 16 alpha", 1, 16, true, "Gray"},
      {"rgb 8 alpha", 3, 8, true, "RGB"}, {"rgb 16", 3, 16, false, "RGB"},
      {"cmyk 8", 4, 8, false, "CMYK"},    {"cmyk 16 alpha", 4, 16, true, "CMYK"},
      {"rgb float", 3, 32, false, "RGB"},
  };
  testsupport::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto image = makeImage(67, 41, c.components, c.bits, c.alpha);
    ASSERT_TRUE(image);
    const std::string path = dir.file("out.psd");
    ASSERT_TRUE(psdCodec().write(path, {imageio::Frame{image, dpiProperties(300), std::nullopt}}, {}));

    auto decoder = psdCodec().open(path, imageio::kDefaultPixelLimit);
    ASSERT_TRUE(decoder);
    ASSERT_EQ(decoder->count(), 1u);
    const foundation::Value props = decoder->properties(0);
    EXPECT_EQ(at(props, {"PixelWidth"}).intOr(0), 67);
    EXPECT_EQ(at(props, {"PixelHeight"}).intOr(0), 41);
    EXPECT_EQ(at(props, {"Depth"}).intOr(0), c.bits);
    EXPECT_EQ(at(props, {"ColorModel"}).stringOr(""), c.model);
    EXPECT_EQ(at(props, {"HasAlpha"}).boolOr(!c.alpha), c.alpha);
    EXPECT_NEAR(at(props, {"DPIWidth"}).doubleOr(0), 300.0, 0.01);

    auto decoded = decoder->decode(0, {});
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->format().bitsPerComponent, c.bits);
    EXPECT_EQ(decoded->colorSpace()->model(), image->colorSpace()->model());
    if (c.bits == 32) {
      // Linear light in the image's primaries, the same picture in its
      // space; written again, the file reads back unchanged.
      EXPECT_NE(decoded->colorSpace()->profile()->description().find("(linear)"), std::string::npos);
      EXPECT_LE(maxFloatDifference(exportedPixels(*floatImageIn(*decoded, image->colorSpace()), 32, c.alpha),
                                   exportedPixels(*image, 32, c.alpha)),
                5e-4f);
      ASSERT_TRUE(psdCodec().write(path, {imageio::Frame{decoded, dpiProperties(300), std::nullopt}}, {}));
      auto again = psdCodec().open(path, imageio::kDefaultPixelLimit)->decode(0, {});
      ASSERT_TRUE(again);
      EXPECT_EQ(exportedPixels(*again, 32, c.alpha), exportedPixels(*decoded, 32, c.alpha));
      EXPECT_TRUE(again->colorSpace()->profile()->sameAs(*decoded->colorSpace()->profile()));
      continue;
    }
    if (c.alpha) {
      // Translucent colour is stored matted against white: exact in
      // premultiplied terms, straight colour within the rounding of a
      // division by alpha (at least a quarter here).
      EXPECT_LE(
          maxDifference(exportedPixels(*decoded, c.bits, c.alpha), exportedPixels(*image, c.bits, c.alpha)),
          c.bits == 16 ? 8 : 2);
    } else {
      EXPECT_EQ(exportedPixels(*decoded, c.bits, c.alpha), exportedPixels(*image, c.bits, c.alpha));
    }
    // The profile travels in the ICC resource.
    ASSERT_TRUE(decoded->colorSpace()->profile());
    EXPECT_TRUE(decoded->colorSpace()->profile()->sameAs(*image->colorSpace()->profile()));
  }
}

// A 32-bit file names the linear profile its values are in: ImageMagick,
// converting through the embedded profile, sees the source's colours.
TEST(DocCodecsPsd, ThirtyTwoBitFilesShowTheirColoursInOtherReaders) {
  struct Case {
    const char* name;
    int components;
    raster::ColorSpaceRef space;
    const char* rawFormat;
  };
  const Case cases[] = {
      {"sRGB", 3, raster::ColorSpace::sRGB(), "rgb"},
      {"Adobe RGB", 3, raster::ColorSpace::named(color::NamedProfile::AdobeRGB1998), "rgb"},
      {"gray", 1, raster::ColorSpace::untaggedGray(), "gray"},
  };
  testsupport::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto image = makeImage(45, 30, c.components, 32, false, c.space);
    ASSERT_TRUE(image);
    const std::string path = dir.file("float.psd"), target = dir.file("target.icc"), seen = dir.file("seen");
    ASSERT_TRUE(psdCodec().write(path, {imageio::Frame{image, dpiProperties(72), std::nullopt}}, {}));
    writeAll(target, c.space->profile()->data());
    auto result = testsupport::runCommand({"/usr/bin/convert", path, "-alpha", "off", "-profile", target,
                                           "-depth", "8", std::string(c.rawFormat) + ":" + seen});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_LE(maxDifference(readAll(seen), exportedPixels(*image, 8, false)), 1);
  }
}

TEST(DocCodecsPsd, FileHasNoLayerSection) {
  auto image = makeImage(4, 2, 4, 8, false);
  const auto samples = exportedPixels(*image, 8, false);
  imageio::psd::FlatImage flat;
  flat.width = 4;
  flat.height = 2;
  flat.colorComponents = 4;
  flat.samples = samples.data();
  flat.bytesPerRow = 16;
  const auto bytes = imageio::psd::encodeFlat(flat);
  auto info = imageio::psd::parseFlat(bytes.data(), bytes.size());
  ASSERT_TRUE(info);
  EXPECT_EQ(info->mode, imageio::psd::Mode::CMYK);
  EXPECT_FALSE(info->hasAlpha);
  // Header 26, colour data 4, resources 4 + 28 (resolution only), layer
  // section length 4 holding 0.
  const std::size_t layerLengthAt = 26 + 4 + 4 + 28;
  ASSERT_GT(bytes.size(), layerLengthAt + 4);
  EXPECT_EQ(
      bytes[layerLengthAt] | bytes[layerLengthAt + 1] | bytes[layerLengthAt + 2] | bytes[layerLengthAt + 3],
      0);
  EXPECT_EQ(info->imageDataOffset, layerLengthAt + 4);
}

// Rows whose packed size does not fit PSD's 16-bit RLE counts are stored
// raw; sides above 30000 pixels make a large-document (PSB) file. The layer
// that carries transparency follows the same rules, and merging it gives
// the composite.
TEST(DocCodecsPsd, LongRowsAndLargeDocuments) {
  struct Case {
    const char* name;
    std::int64_t width, height;
    int components, bits;
    bool big;
    std::uint16_t compression;
    bool alpha = false;
  };
  const Case cases[] = {{"float rows", 20000, 3, 1, 32, false, 0},
                        {"psb", 30001, 2, 1, 8, true, 1},
                        {"float rows with alpha", 20000, 3, 1, 32, false, 0, true},
                        {"16-bit psb with alpha", 30001, 2, 3, 16, true, 1, true}};
  testsupport::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto image = makeImage(c.width, c.height, c.components, c.bits, c.alpha);
    const std::string path = dir.file("wide.psd");
    ASSERT_TRUE(psdCodec().write(path, {imageio::Frame{image, dpiProperties(72), std::nullopt}}, {}));
    const auto bytes = readAll(path);
    auto info = imageio::psd::parseFlat(bytes.data(), bytes.size());
    ASSERT_TRUE(info);
    EXPECT_EQ(info->bigDocument, c.big);
    EXPECT_EQ(bytes[info->imageDataOffset] << 8 | bytes[info->imageDataOffset + 1], c.compression);
    auto decoder = psdCodec().open(path, imageio::kDefaultPixelLimit);
    ASSERT_TRUE(decoder);
    auto decoded = decoder->decode(0, {});
    ASSERT_TRUE(decoded);
    if (c.bits == 32) {
      EXPECT_LE(maxFloatDifference(exportedPixels(*floatImageIn(*decoded, image->colorSpace()), 32, false),
                                   exportedPixels(*image, 32, false)),
                5e-4f);
    } else if (!c.alpha) {
      EXPECT_EQ(exportedPixels(*decoded, c.bits, false), exportedPixels(*image, c.bits, false));
    }
    if (c.alpha) {
      const std::size_t bytesPerRow =
          std::size_t(c.width) * std::size_t(c.components + 1) * std::size_t(c.bits / 8);
      std::vector<std::uint8_t> merged(bytesPerRow * std::size_t(c.height));
      ASSERT_TRUE(imageio::psd::mergeLayers(bytes.data(), bytes.size(), *info, imageio::kDefaultPixelLimit,
                                            merged.data(), bytesPerRow, c.components + 1));
      raster::PixelFormat format = decoded->format();
      format.alpha = raster::AlphaInfo::Last;
      const auto layer = raster::Image::make(c.width, c.height, format, decoded->colorSpace(),
                                             std::move(merged), bytesPerRow);
      if (c.bits == 32)
        EXPECT_LE(maxFloatDifference(exportedPixels(*layer, 32, true), exportedPixels(*decoded, 32, true)),
                  5e-4f);
      else
        EXPECT_LE(maxDifference(exportedPixels(*layer, 8, true), exportedPixels(*decoded, 8, true)), 1);
    }
    // Recognised by its bytes under a name that says nothing.
    const std::string unnamed = dir.file("wide.data");
    std::filesystem::copy_file(path, unnamed, std::filesystem::copy_options::overwrite_existing);
    const auto source = imageio::ImageSource::open(unnamed);
    EXPECT_EQ(source ? source->type() : "", "com.adobe.photoshop-image");
  }
}

// A plain PSD states its layer section's length in 32 bits: a transparency
// layer whose channels would pass 4 GB is left out, with a line in the log
// (a large document states 64 bits and keeps it). Decided on the sizes of
// 30000-pixel noise rows as they pack, without making the layer.
TEST(DocCodecsPsd, ALayerPastFourGigabytesIsLeftOutOfAPlainFile) {
  struct Case {
    const char* name;
    int bits;
    std::int64_t height;
    bool big, fits;
  };
  const Case cases[] = {{"16-bit, 12000 rows: 2.9 GB", 16, 12000, false, true},
                        {"16-bit, 18000 rows: 4.4 GB", 16, 18000, false, false},
                        {"16-bit, 18000 rows in a large document", 16, 18000, true, true},
                        {"32-bit rows stored raw, 8000 rows: 3.8 GB", 32, 8000, false, true},
                        {"32-bit rows stored raw, 9000 rows: 4.3 GB", 32, 9000, false, false}};
  std::mt19937 random(11);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> row(std::size_t(30000 * c.bits / 8));
    for (auto& byte : row) byte = std::uint8_t(random());
    const std::size_t packed = imageio::psd::packBits(row.data(), row.size()).size();
    const std::vector<std::size_t> rows(std::size_t(c.height), packed);
    const std::uint64_t bytes = 4 * imageio::psd::layerChannelLength(rows, row.size(), c.big).bytes;
    testing::internal::CaptureStderr();
    EXPECT_EQ(imageio::psd::layerFitsSection(bytes, 4, c.big), c.fits) << bytes;
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(log.find("more than a PSD file can state") != std::string::npos, !c.fits) << log;
  }

  // The section's writer asks it of the layer it writes: 64x16 pixels of
  // noise, four 8-bit planes (about 4 KB), under a limit of 1000 bytes.
  std::vector<std::vector<std::uint8_t>> planeRows;
  for (int i = 0; i < 4 * 16; ++i) {
    std::vector<std::uint8_t> row(64);
    for (auto& byte : row) byte = std::uint8_t(random());
    planeRows.push_back(imageio::psd::packBits(row.data(), row.size()));
  }
  const struct {
    bool big;
    std::uint64_t limit;
    bool kept;
  } writes[] = {{false, 1000, false}, {false, 0xffffffffu, true}, {true, 1000, true}};
  for (const auto& w : writes) {
    testing::internal::CaptureStderr();
    const auto section =
        imageio::psd::transparencyLayerSection({64, 16, 3, 8, w.big, &planeRows, 64, w.limit});
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(!section.empty(), w.kept) << w.big << " " << w.limit;
    EXPECT_EQ(log.find("more than a PSD file can state") != std::string::npos, !w.kept) << log;
  }
}

TEST(DocCodecsPsd, PackBitsRoundTrips) {
  std::mt19937 random(7);
  for (int length : {0, 1, 2, 3, 127, 128, 129, 130, 1000, 70000}) {
    for (int pattern = 0; pattern < 3; ++pattern) {
      std::vector<std::uint8_t> data(static_cast<std::size_t>(length));
      for (auto& b : data)
        b = pattern == 0 ? 9 : pattern == 1 ? std::uint8_t(random()) : std::uint8_t(random() % 2);
      const auto packed = imageio::psd::packBits(data.data(), data.size());
      std::vector<std::uint8_t> back(data.size());
      EXPECT_TRUE(imageio::psd::unpackBits(packed.data(), packed.size(), back.data(), back.size()));
      EXPECT_EQ(back, data) << length << " " << pattern;
    }
  }
}

// Files made by ImageMagick: RLE and ZIP composites, 8 and 16 bits, RGB,
// gray and CMYK, compared with the same picture as PNG.
TEST(DocCodecsPsd, ReadsFilesMadeByImageMagick) {
  testsupport::TempDir dir;
  const std::string source = dir.file("source.png");
  auto made =
      testsupport::runCommand({"/usr/bin/convert", "-size", "90x60", "gradient:red-blue", "(", "-size",
                               "90x60", "gradient:white-black", "-rotate", "90", "-resize", "90x60!", ")",
                               "-compose", "CopyOpacity", "-composite", "-depth", "8", source});
  if (made.exitCode != 0) GTEST_SKIP() << "ImageMagick unavailable: " << made.output;
  const auto png = readAll(source);
  auto reference = imageio::decodePngRgba(png.data(), png.size(), 1 << 24);
  ASSERT_TRUE(reference);

  struct Case {
    const char* name;
    std::vector<std::string> options;
    const char* model;
    int depth;
    bool compareRgba;
  };
  const Case cases[] = {
      {"rle 8", {"-depth", "8", "-compress", "RLE"}, "RGB", 8, true},
      {"zip 8", {"-depth", "8", "-compress", "Zip"}, "RGB", 8, true},
      {"rle 16", {"-depth", "16", "-compress", "RLE"}, "RGB", 16, true},
      {"zip 16", {"-depth", "16", "-compress", "Zip"}, "RGB", 16, true},
      {"gray", {"-colorspace", "Gray", "-alpha", "off", "-depth", "8"}, "Gray", 8, false},
      {"cmyk", {"-alpha", "off", "-colorspace", "CMYK", "-depth", "8"}, "CMYK", 8, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.file(std::string("magick-") + std::to_string(&c - cases) + ".psd");
    std::vector<std::string> argv = {"/usr/bin/convert", source};
    argv.insert(argv.end(), c.options.begin(), c.options.end());
    argv.push_back(path);
    auto result = testsupport::runCommand(argv);
    ASSERT_EQ(result.exitCode, 0) << result.output;

    auto decoder = psdCodec().open(path, imageio::kDefaultPixelLimit);
    ASSERT_TRUE(decoder);
    const auto props = decoder->properties(0);
    EXPECT_EQ(at(props, {"ColorModel"}).stringOr(""), c.model);
    EXPECT_EQ(at(props, {"Depth"}).intOr(0), c.depth);
    auto image = decoder->decode(0, {});
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), 90);
    EXPECT_EQ(image->height(), 60);
    if (c.compareRgba) {
      EXPECT_LE(maxDifference(exportedPixels(*image, 8, true), reference->rgba), 1);
    } else {
      // Gray and CMYK: the top-left is red (dark gray, or mostly magenta and
      // yellow ink), the bottom-left blue.
      const auto pixels = exportedPixels(*image, 8, false);
      if (std::string(c.model) == "Gray") {
        EXPECT_LT(pixels[0], 128);
      } else {
        EXPECT_GT(pixels[1], 200);  // magenta
        EXPECT_GT(pixels[2], 200);  // yellow
        EXPECT_LT(pixels[0], 60);   // little cyan
      }
    }
  }
}

TEST(DocCodecsPsd, MalformedFilesFailCleanly) {
  testsupport::TempDir dir;
  const std::string path = dir.file("good.psd");
  auto image = makeImage(23, 17, 3, 8, true);
  ASSERT_TRUE(psdCodec().write(path, {imageio::Frame{image, dpiProperties(72), std::nullopt}}, {}));
  mutationSweep(psdCodec(), readAll(path), dir.file("bad.psd"));

  // A header claiming a huge image with a tiny body: refused before any
  // large allocation.
  std::vector<std::uint8_t> hostile = {'8', 'B', 'P', 'S',  0,    1, 0, 0,    0,    0, 0, 0, 0,
                                       3,   0,   0,   0x4e, 0x20, 0, 0, 0x4e, 0x20, 0, 8, 0, 3};
  for (int i = 0; i < 3; ++i) hostile.insert(hostile.end(), {0, 0, 0, 0});
  hostile.insert(hostile.end(), {0, 1, 0, 1, 0, 1});
  writeAll(dir.file("hostile.psd"), hostile);
  for (std::int64_t limit : {imageio::kDefaultPixelLimit, std::int64_t(1000)}) {
    auto decoder = psdCodec().open(dir.file("hostile.psd"), limit);
    if (decoder) {
      EXPECT_FALSE(decoder->decode(0, {}));
    }
  }
}

// Lab and multichannel files are valid PSDs of kinds not converted: the
// cause says so, where a file of an unknown mode is damaged.
TEST(DocCodecsPsd, UnconvertedColourModesAreNotSupported) {
  struct Case {
    std::uint8_t mode;
    foundation::FailureCause cause;  // None: decodes
  };
  const Case cases[] = {{3, foundation::FailureCause::None},
                        {7, foundation::FailureCause::FormatNotSupported},
                        {9, foundation::FailureCause::FormatNotSupported},
                        {5, foundation::FailureCause::SourceDamaged}};
  testsupport::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.mode));
    // 2 x 2, three 8-bit channels, raw composite.
    std::vector<std::uint8_t> bytes = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0, 0,
                                       3,   0,   0,   0,   2, 0, 0, 0, 2, 0, 8, 0, c.mode};
    bytes.resize(bytes.size() + 12 + 2 + 12, 0x40);
    std::fill(bytes.end() - 26, bytes.end() - 12, 0);
    writeAll(dir.file("mode.psd"), bytes);
    foundation::clearFailure();
    const auto source = imageio::ImageSource::open(dir.file("mode.psd"));
    EXPECT_EQ(source && source->createImage(0), c.cause == foundation::FailureCause::None);
    EXPECT_EQ(foundation::lastFailure().cause, c.cause);
  }
}
