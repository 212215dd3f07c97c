// Files of the layered PSD writer read back by independent readers: the
// psd-tools Python package and ImageMagick.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/foundation/files.h"
#include "psd/rw_psd_writer.h"
#include "psd/writer_test_images.h"
#include "support/test_support.h"

namespace velumar {
namespace {

using writertest::RGBA;

const std::string kSemiName = "Semi";
const std::string kUnicodeName =
    "\xC3\x9Cn\xC3\xAF"
    "c\xC3\xB6"
    "d\xC3\xA9 \xE5\x90\x8D\xE5\x89\x8D";        // Ünïcödé 名前
const std::string kGroupName = "Gr\xC3\xBCppe";  // Grüppe

// Bottom to top: an opaque background, a group (half opacity, multiply)
// holding a semi-transparent screen layer and a blue layer with a non-ASCII
// name, and an overlay layer that hangs over the top-left corner.
std::vector<std::uint8_t> sampleDocument(bool transparent) {
  RWPSDWriter writer({8, 6}, 72.0f, 1, transparent, {});
  writer.setColorProfile(2);
  writer.addLayerWithCGImage(
      writertest::makeImage(8, 6,
                            [](int x, int y) {
                              return RGBA{std::uint8_t(x * 30), std::uint8_t(y * 40), 90, 255};
                            }),
      "Background");
  writer.setCurrentGroupPath({{1, kGroupName, 0.5f, "mul ", true}});
  writer.addLayerWithCGImage(writertest::solidImage(3, 2, {200, 100, 50, 128}), kSemiName, 0.75f, {2, 1},
                             "scrn", true);
  writer.addLayerWithCGImage(writertest::solidImage(2, 2, {0, 0, 255, 255}), kUnicodeName, 1.0f, {5, 3},
                             "norm", true);
  writer.setCurrentGroupPath({});
  writer.addLayerWithCGImage(writertest::solidImage(2, 2, {255, 0, 0, 255}), "Top", 1.0f, {-1, -1}, "over",
                             true);
  return writer.createPSDData();
}

std::string writeSample(const testsupport::TempDir& dir, bool transparent) {
  const std::string path = dir.file(transparent ? "sample.psd" : "opaque.psd");
  const auto bytes = sampleDocument(transparent);
  EXPECT_FALSE(bytes.empty());
  EXPECT_TRUE(foundation::writeFileAtomically(path, bytes));
  return path;
}

bool psdToolsAvailable() {
  return testsupport::runCommand({"/usr/bin/python3", "-c", "import psd_tools"}).exitCode == 0;
}

// One line per layer, walking the tree top-down: depth, kind, name, opacity,
// blend mode, bounding box, and for pixel layers the RGBA at document (3, 2)
// and (5, 3) when the layer covers them.
constexpr const char* kPsdToolsScript = R"PY(
import sys
from psd_tools import PSDImage
psd = PSDImage.open(sys.argv[1])
print('size', psd.width, psd.height, 'layers', len(list(psd.descendants())))
def walk(group, depth):
    for layer in reversed(list(group)):
        kind = 'group' if layer.is_group() else 'pixel'
        line = [str(depth), kind, layer.name, str(layer.opacity), str(layer.blend_mode).split('.')[-1],
                str(layer.bbox)]
        if not layer.is_group():
            image = layer.topil()
            left, top = layer.left, layer.top
            for (x, y) in ((3, 2), (5, 3)):
                line.append(str(image.getpixel((x - left, y - top))))
        print('|'.join(line))
        if layer.is_group():
            walk(layer, depth + 1)
walk(psd, 0)
composite = psd.topil()
print('composite', composite.mode, composite.getpixel((0, 5)))
)PY";

TEST(WriterIndependentReaders, PsdToolsReadsLayersGroupsAndPixels) {
  if (!psdToolsAvailable()) GTEST_SKIP() << "python3-psd-tools is not installed";
  testsupport::TempDir dir;
  const std::string path = writeSample(dir, true);
  const auto result = testsupport::runCommand({"/usr/bin/python3", "-c", kPsdToolsScript, path});
  ASSERT_EQ(result.exitCode, 0) << result.output;
  const std::string expected =
      "size 8 6 layers 5\n"
      "0|pixel|Top|255|OVERLAY|(0, 0, 8, 6)|(0, 0, 0, 0)|(0, 0, 0, 0)\n"
      "0|group|" +
      kGroupName +
      "|128|MULTIPLY|(0, 0, 8, 6)\n"
      "1|pixel|" +
      kUnicodeName +
      "|255|NORMAL|(0, 0, 8, 6)|(0, 0, 0, 0)|(0, 0, 255, 255)\n"
      "1|pixel|Semi|192|SCREEN|(0, 0, 8, 6)|(200, 100, 50, 128)|(0, 0, 0, 0)\n"
      "0|pixel|Background|255|NORMAL|(0, 0, 8, 6)|(90, 80, 90, 255)|(150, 120, 90, 255)\n"
      "composite RGBA (0, 200, 90, 255)\n";
  EXPECT_EQ(result.output, expected);
}

// Pixels of one image of the file as ImageMagick decodes them, "x,y: (r,g,b,a)"
// lines in reading order.
std::vector<std::string> imageMagickPixels(const std::string& path, int index) {
  const auto result = testsupport::runCommand(
      {"/usr/bin/convert", path + "[" + std::to_string(index) + "]", "-depth", "8", "txt:-"});
  EXPECT_EQ(result.exitCode, 0) << result.output;
  std::vector<std::string> pixels;
  std::size_t start = 0;
  while (start < result.output.size()) {
    std::size_t end = result.output.find('\n', start);
    if (end == std::string::npos) end = result.output.size();
    const std::string line = result.output.substr(start, end - start);
    if (!line.empty() && line[0] != '#') pixels.push_back(line.substr(0, line.find(')') + 1));
    start = end + 1;
  }
  return pixels;
}

TEST(WriterIndependentReaders, ImageMagickReadsLayersAndTheStraightComposite) {
  if (!std::filesystem::exists("/usr/bin/convert")) GTEST_SKIP() << "ImageMagick is not installed";
  testsupport::TempDir dir;
  const std::string path = dir.file("semi.psd");
  RWPSDWriter writer({2, 1});
  writer.addLayerWithCGImage(writertest::solidImage(1, 1, {200, 100, 50, 128}), "Semi");
  writer.addLayerWithCGImage(writertest::solidImage(1, 1, {10, 20, 30, 255}), "Opaque", 1.0f, {1, 0});
  ASSERT_TRUE(foundation::writeFileAtomically(path, writer.createPSDData()));

  const auto identify = testsupport::runCommand({"/usr/bin/identify", path});
  ASSERT_EQ(identify.exitCode, 0) << identify.output;
  EXPECT_NE(identify.output.find(path + "[2] PSD 2x1"), std::string::npos) << identify.output;
  EXPECT_EQ(identify.output.find(path + "[3]"), std::string::npos) << identify.output;

  // The composite's white matte is taken out again: the straight colour.
  const auto composite = imageMagickPixels(path, 0);
  ASSERT_EQ(composite.size(), 2u);
  int r = 0, g = 0, b = 0, a = 0;
  ASSERT_EQ(std::sscanf(composite[0].c_str(), "0,0: (%d,%d,%d,%d)", &r, &g, &b, &a), 4) << composite[0];
  EXPECT_NEAR(r, 200, 2);
  EXPECT_NEAR(g, 100, 2);
  EXPECT_NEAR(b, 50, 2);
  EXPECT_EQ(a, 128);
  EXPECT_EQ(composite[1], "1,0: (10,20,30,255)");
  EXPECT_EQ(imageMagickPixels(path, 1),
            (std::vector<std::string>{"0,0: (200,100,50,128)", "1,0: (0,0,0,0)"}));
  EXPECT_EQ(imageMagickPixels(path, 2), (std::vector<std::string>{"0,0: (0,0,0,0)", "1,0: (10,20,30,255)"}));
}

TEST(WriterIndependentReaders, OpaqueDocumentsHaveThreeChannels) {
  if (!psdToolsAvailable()) GTEST_SKIP() << "python3-psd-tools is not installed";
  testsupport::TempDir dir;
  const std::string path = writeSample(dir, false);
  const auto result = testsupport::runCommand(
      {"/usr/bin/python3", "-c",
       "import sys\nfrom psd_tools import PSDImage\np = PSDImage.open(sys.argv[1])\n"
       "print(p.channels, len(list(p.descendants())), p.topil().mode, p.topil().getpixel((0, 5)))",
       path});
  ASSERT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(result.output, "3 5 RGB (0, 200, 90)\n");
}

}  // namespace
}  // namespace velumar
