// PSD files as other programs see them: a picture with transparency as a
// real layer, nested groups kept through a PSD to PSD conversion, gray
// composites matted against white. Read back with psd-tools, ImageMagick,
// libvips (Debian's GraphicsMagick reads no PSD) and our own reader.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>

#include "engine/file_type_codes.h"
#include "engine_test_images.h"
#include "output_readers.h"
#include "platform/color/icc_profile.h"
#include "platform/imageio/codec_support.h"
#include "psd/kd_psd.h"
#include "psd/kd_psd_byte_order.h"
#include "psd/rw_psd_writer.h"

namespace velumar {
namespace {

using outputcheck::Reader;

std::string python(const std::string& script, const std::vector<std::string>& arguments) {
  std::vector<std::string> argv = {"/usr/bin/python3", "-c", script};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  const auto result = testsupport::runCommand(argv);
  return result.exitCode == 0 ? result.output : std::string();
}

bool hasPsdTools() {
  return testsupport::runCommand({"/usr/bin/python3", "-c", "import psd_tools"}).exitCode == 0;
}

// psd-tools' composite of a file as 8-bit RGBA.
outputcheck::Pixels psdToolsComposite(const std::string& path) {
  testsupport::TempDir dir;
  const std::string raw = dir.file("composite.raw");
  const std::string size = python(
      "import sys\nfrom psd_tools import PSDImage\n"
      "c = PSDImage.open(sys.argv[1]).composite().convert('RGBA')\n"
      "open(sys.argv[2], 'wb').write(c.tobytes())\nprint(c.size[0], c.size[1])\n",
      {path, raw});
  outputcheck::Pixels pixels;
  const auto bytes = imageio::readFileBytes(raw);
  if (std::sscanf(size.c_str(), "%ld %ld", &pixels.width, &pixels.height) != 2 || !bytes ||
      bytes->size() != std::size_t(pixels.width * pixels.height * 4))
    return {};
  pixels.rgba = *bytes;
  return pixels;
}

// The layer tree as psd-tools sees it: one "group/.../name" per layer, top
// first.
std::string psdToolsTree(const std::string& path) {
  return python(
      "import sys\nfrom psd_tools import PSDImage\n"
      "def walk(layers, prefix):\n"
      "    for l in reversed(list(layers)):\n"
      "        print(prefix + l.name)\n"
      "        if l.is_group(): walk(l, prefix + l.name + '/')\n"
      "walk(PSDImage.open(sys.argv[1]), '')\n",
      {path});
}

// The same from our reader.
std::string ourTree(const std::string& path) {
  std::string tree;
  std::function<void(const std::vector<std::shared_ptr<KDPSDLayer>>&, const std::string&)> walk =
      [&](const auto& layers, const std::string& prefix) {
        for (const auto& layer : layers) {
          if (!layer) continue;
          tree += prefix + layer->layerName.value_or("?") + "\n";
          if (layer->isGroup) walk(layer->layers, prefix + layer->layerName.value_or("?") + "/");
        }
      };
  auto document = KDPSD::imageWithContetsOfURL(path);
  if (document && document->baseLayerGroup) walk(document->baseLayerGroup->layers, "");
  return tree;
}

TEST(OutputPSD, NestedGroupsSurviveAPSDToPSDConversion) {
  if (!hasPsdTools()) GTEST_SKIP() << "psd-tools missing";
  testsupport::TempDir dir;
  // A[a1, B[b1, b2], a2], written bottom first.
  RWPSDWriter writer(raster::Size{16, 16});
  const RWPSDGroupInfo a{1, "A"}, b{2, "B"};
  struct Layer {
    const char* name;
    std::vector<RWPSDGroupInfo> path;
    std::array<std::uint8_t, 3> colour;
  };
  for (const Layer& layer : {Layer{"a2", {a}, {200, 0, 0}}, Layer{"b2", {a, b}, {0, 200, 0}},
                             Layer{"b1", {a, b}, {0, 0, 200}}, Layer{"a1", {a}, {90, 90, 90}}}) {
    writer.setCurrentGroupPath(layer.path);
    writer.addLayerWithCGImage(testimages::solidImage(8, 8, layer.colour), layer.name, 1.0f, {4, 4});
  }
  writer.setCurrentGroupPath({});
  const std::string source = dir.file("nested.psd"), output = dir.file("out.psd");
  const std::vector<std::uint8_t> bytes = writer.createPSDData();
  ASSERT_TRUE(imageio::writeFileBytes(source, bytes.data(), bytes.size()));
  const std::string expected = "A\nA/a1\nA/B\nA/B/b1\nA/B/b2\nA/a2\n";
  ASSERT_EQ(psdToolsTree(source), expected);

  for (std::int64_t type : {ConversionType::PSD, ConversionType::PSDLayered}) {
    ImageModifyInfo settings;
    settings.conversionType = type;
    ASSERT_TRUE(outputcheck::convertFile(source, settings, output)) << type;
    EXPECT_EQ(psdToolsTree(output), expected) << type;
    EXPECT_EQ(ourTree(output), expected) << type;
  }
}

// An untagged layered PSD means sRGB, as its composite does. Written again
// as PSD with its layers, the file says sRGB, and read back (by us, into an
// sRGB PNG, and by ImageMagick through the profile) it shows what the source
// shows.
TEST(OutputPSD, AnUntaggedLayeredSourceKeepsItsColours) {
  testsupport::TempDir dir;
  RWPSDWriter writer(raster::Size{16, 16});
  writer.addLayerWithCGImage(testimages::solidImage(16, 16, {128, 128, 128}), "grey");
  writer.addLayerWithCGImage(testimages::solidImage(8, 8, {200, 60, 30}), "patch", 1.0f, {4, 4});
  const std::string source = dir.file("untagged.psd"), output = dir.file("out.psd");
  const std::vector<std::uint8_t> bytes = writer.createPSDData();
  ASSERT_TRUE(imageio::writeFileBytes(source, bytes.data(), bytes.size()));
  ImageModifyInfo toPNG;
  toPNG.conversionType = ConversionType::PNG;
  toPNG.colorSpaceModel = 1;
  toPNG.colorSpace = 3;  // sRGB
  // Both readings of a file: ours into an sRGB PNG, ImageMagick's.
  const auto readings = [&](const std::string& path) {
    const std::string png = dir.file("seen.png");
    return std::array{outputcheck::convertFile(path, toPNG, png)
                          ? outputcheck::readWith(Reader::ImageMagick, png)
                          : outputcheck::Pixels{},
                      outputcheck::readWith(Reader::ImageMagickToSRGB, path)};
  };
  const auto expected = readings(source);
  const std::string srgbName = color::IccProfile::named(color::NamedProfile::SRGB)->description();

  for (std::int64_t type : {ConversionType::PSD, ConversionType::PSDLayered}) {
    SCOPED_TRACE(type);
    ImageModifyInfo settings;
    settings.conversionType = type;
    ASSERT_TRUE(outputcheck::convertFile(source, settings, output));
    // Every profile ImageMagick finds (the composite's and each layer's) is sRGB.
    std::istringstream verbose(testsupport::runCommand({"/usr/bin/identify", "-verbose", output}).output);
    std::vector<std::string> descriptions;
    for (std::string line; std::getline(verbose, line);)
      if (const auto at = line.find("icc:description: "); at != std::string::npos)
        descriptions.push_back(line.substr(at + 17));
    EXPECT_FALSE(descriptions.empty());
    for (const std::string& description : descriptions) EXPECT_EQ(description, srgbName);
    const auto seen = readings(output);
    for (std::size_t r = 0; r < seen.size(); ++r) {
      ASSERT_EQ(seen[r].width, 16) << r;
      ASSERT_EQ(expected[r].rgba.size(), seen[r].rgba.size()) << r;
      int worst = 0;
      for (std::size_t i = 0; i < seen[r].rgba.size(); ++i)
        worst = std::max(worst, std::abs(int(seen[r].rgba[i]) - int(expected[r].rgba[i])));
      EXPECT_LE(worst, 1) << (r == 0 ? "ours" : "ImageMagick") << ": grey " << seen[r].at(1, 1)[0] << " for "
                          << expected[r].at(1, 1)[0];
    }
  }
}

// Where a flat file keeps its layer records: "layer info", the key of the
// tagged block after an empty layer info ("Lr16", "Lr32"), or "" when no
// place holds a layer.
std::string layerRecordsPlace(const std::vector<std::uint8_t>& file) {
  const auto u32 = [&](std::size_t at) {
    return at + 4 <= file.size() ? readBigEndian32(file.data() + at) : 0u;
  };
  std::size_t at = 26;
  at += 4 + u32(at);  // colour mode data
  at += 4 + u32(at);  // image resources
  const std::size_t end = std::min<std::size_t>(file.size(), at + 4 + u32(at));
  at += 4;
  const std::uint32_t infoLength = u32(at);
  if (infoLength > 0) return at + 6 <= end && readBigEndian16(file.data() + at + 4) != 0 ? "layer info" : "";
  at += 4;
  at += 4 + u32(at);  // global layer mask
  for (; at + 14 <= end; at += 12 + (u32(at + 8) + 3) / 4 * 4) {
    const std::string key(file.begin() + std::ptrdiff_t(at + 4), file.begin() + std::ptrdiff_t(at + 8));
    if ((key == "Lr16" || key == "Lr32") && readBigEndian16(file.data() + at + 12) != 0) return key;
  }
  return "";
}

// Every depth carries the picture once more as a layer, which makes readers
// take the composite's extra channel for transparency: 8-bit in the layer
// info, 16- and 32-bit in the tagged block of their depth, where readers
// that know the depth look for it. Every reader sees it at every depth.
TEST(OutputPSD, TransparencyIsARealLayerEveryReaderSees) {
  struct Depth {
    const char* name;
    std::vector<std::string> arguments;  // how ImageMagick stores the source
    const char* format;
    int bits;
    const char* records;  // where the layer must be for readers that know the depth
  };
  const Depth depths[] = {{"8-bit", {"-depth", "8"}, "PNG32:", 8, "layer info"},
                          {"16-bit", {"-depth", "16"}, "PNG64:", 16, "Lr16"},
                          {"32-bit",
                           {"-depth", "32", "-define", "quantum:format=floating-point", "-compress", "zip"},
                           "TIFF:",
                           32,
                           "Lr32"}};
  testsupport::TempDir dir;
  for (const Depth& depth : depths) {
    SCOPED_TRACE(depth.name);
    const std::string source = dir.file(depth.bits == 32 ? "clear.tiff" : "clear.png"),
                      output = dir.file("clear.psd");
    std::vector<std::string> arguments = {"-size", "16x16", "xc:rgba(255,0,0,0)", "-fill",
                                          "blue",  "-draw", "rectangle 0,0 7,15"};
    arguments.insert(arguments.end(), depth.arguments.begin(), depth.arguments.end());
    arguments.push_back(depth.format + source);
    ASSERT_TRUE(outputcheck::magick(arguments));
    ImageModifyInfo settings;
    settings.conversionType = ConversionType::PSD;
    ASSERT_TRUE(outputcheck::convertFile(source, settings, output));
    const auto header = imageio::readFileBytes(output);
    ASSERT_TRUE(header && header->size() > 24);
    ASSERT_EQ(readBigEndian16(header->data() + 22), depth.bits);
    EXPECT_EQ(layerRecordsPlace(*header), depth.records);
    const std::array<int, 4> blue{0, 0, 255, 255};
    struct Seen {
      const char* reader;
      outputcheck::Pixels pixels;
    };
    // The libvips reading takes 8-bit samples only.
    std::vector<Seen> seen = {{"ImageMagick", outputcheck::readWith(Reader::ImageMagick, output)}};
    if (depth.bits == 8) seen.push_back({"libvips", outputcheck::readWith(Reader::Vips, output)});
    if (hasPsdTools()) seen.push_back({"psd-tools", psdToolsComposite(output)});
    for (const Seen& s : seen) {
      ASSERT_EQ(s.pixels.width, 16) << s.reader;
      EXPECT_LE(outputcheck::channelDistance(s.pixels.at(3, 8), blue), 2) << s.reader;
      EXPECT_LE(s.pixels.at(12, 8)[3], 2) << s.reader << " sees the transparent half opaque";
    }
  }
}

// A gray PSD with alpha as image editors store it: gray 128 at alpha 128,
// the composite matted against white (192), written byte by byte.
std::vector<std::uint8_t> mattedGrayPSD() {
  std::vector<std::uint8_t> file = {
      '8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0, 0, 2,   // channels: gray and alpha
      0,   0,   0,   4,   0, 0, 0, 4,                     // 4 x 4
      0,   8,   0,   1,                                   // 8 bits, gray
      0,   0,   0,   0,   0, 0, 0, 0, 0, 0, 0, 0, 0, 0};  // raw image data
  file.insert(file.end(), 16, 192);
  file.insert(file.end(), 16, 128);
  return file;
}

TEST(OutputPSD, GrayCompositesLoseTheirWhiteMatte) {
  testsupport::TempDir dir;
  const std::string source = dir.file("gray.psd"), output = dir.file("gray.png");
  const std::vector<std::uint8_t> bytes = mattedGrayPSD();
  ASSERT_TRUE(imageio::writeFileBytes(source, bytes.data(), bytes.size()));
  ImageModifyInfo settings;
  settings.conversionType = ConversionType::PNG;
  ASSERT_TRUE(outputcheck::convertFile(source, settings, output));
  for (Reader reader : {Reader::ImageMagick, Reader::Vips}) {
    const outputcheck::Pixels seen = outputcheck::readWith(reader, output);
    ASSERT_FALSE(seen.empty()) << outputcheck::nameOf(reader);
    EXPECT_LE(outputcheck::channelDistance(seen.at(2, 2), {128, 128, 128, 128}), 2)
        << outputcheck::nameOf(reader);
  }
}

// A PSD saved without a real merged image: red over blue in the middle,
// a white placeholder composite and the version-info resource saying so.
std::vector<std::uint8_t> psdWithoutMergedImage() {
  RWPSDWriter writer(raster::Size{16, 16});
  writer.addLayerWithCGImage(testimages::solidImage(8, 8, {0, 0, 255}), "blue", 1.0f, {4, 4}, "norm", false);
  writer.addLayerWithCGImage(testimages::solidImage(6, 6, {255, 0, 0}), "red", 1.0f, {5, 5}, "norm", false);
  raster::BitmapContext* composite = writer.flattenedContext();
  if (!composite) return {};
  composite->setFillColor(raster::Color::rgb(1, 1, 1));
  composite->fillRect(raster::Rect(0, 0, 16, 16));
  std::vector<std::uint8_t> file = writer.createPSDData();
  // Version 1, no real merged data, empty writer and reader names, file
  // version 1; the resource block after the section's length.
  const std::vector<std::uint8_t> block = {'8', 'B', 'I', 'M', 0x04, 0x21, 0, 0, 0, 0, 0, 17, 0, 0, 0,
                                           1,   0,   0,   0,   0,    0,    0, 0, 0, 0, 0, 0,  0, 1, 0};
  const std::size_t colourModeData = 26;
  if (file.size() < colourModeData + 8) return {};
  const std::size_t resources = colourModeData + 4 + readBigEndian32(file.data() + colourModeData);
  const std::uint32_t length = readBigEndian32(file.data() + resources) + std::uint32_t(block.size());
  for (int i = 0; i < 4; ++i) file[resources + std::size_t(i)] = std::uint8_t(length >> (24 - 8 * i));
  file.insert(file.begin() + std::ptrdiff_t(resources + 4), block.begin(), block.end());
  return file;
}

TEST(OutputPSD, WithoutARealMergedImageTheLayersAreFlattened) {
  testsupport::TempDir dir;
  const std::string source = dir.file("unmerged.psd");
  const std::vector<std::uint8_t> bytes = psdWithoutMergedImage();
  ASSERT_FALSE(bytes.empty());
  ASSERT_TRUE(imageio::writeFileBytes(source, bytes.data(), bytes.size()));
  for (std::int64_t type : {ConversionType::PNG, ConversionType::PSDLayered}) {
    ImageModifyInfo settings;
    settings.conversionType = type;
    const std::string output = dir.file(type == ConversionType::PNG ? "out.png" : "out.psd");
    ASSERT_TRUE(outputcheck::convertFile(source, settings, output)) << type;
    for (Reader reader : {Reader::ImageMagick, Reader::Vips}) {
      const outputcheck::Pixels seen = outputcheck::readWith(reader, output);
      ASSERT_EQ(seen.width, 16) << outputcheck::nameOf(reader) << " " << type;
      EXPECT_LE(outputcheck::channelDistance(seen.at(8, 8), {255, 0, 0, 255}), 2)
          << outputcheck::nameOf(reader) << " " << type;
      EXPECT_LE(seen.at(1, 1)[3], 2) << outputcheck::nameOf(reader) << " " << type;
    }
  }
}

}  // namespace
}  // namespace velumar
