// Layered files written by ImageMagick (tests/data/psd/make_fixtures.sh):
// PackBits and ZIP channels, offsets, transparency, names.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "psd/kd_psd.h"
#include "psd/kd_psd_byte_order.h"
#include "psd/kd_psd_compositing.h"
#include "support/test_support.h"

using namespace velumar;

namespace {

std::string fixture(const std::string& name) {
  return (testsupport::testDataDir() / "psd" / name).string();
}

std::vector<int> at(const KDPSDBitmap& bitmap, int x, int y) {
  const std::uint8_t* p = bitmap.row(y) + std::size_t(x) * bitmap.channels;
  return std::vector<int>(p, p + bitmap.channels);
}

}  // namespace

TEST(ReaderFixtures, PackBitsLayers) {
  auto psd = KDPSD::imageWithContetsOfURL(fixture("layers_rle.psd"));
  ASSERT_TRUE(psd);
  EXPECT_EQ(psd->width, 16u);
  EXPECT_EQ(psd->height, 12u);
  const auto& layers = psd->baseLayerGroup->layers;
  ASSERT_EQ(layers.size(), 3u);
  EXPECT_EQ(layers[0]->layerName, "Green");
  EXPECT_EQ(layers[1]->layerName, "Red half");
  EXPECT_EQ(layers[2]->layerName, "Background");

  const KDPSDLayer& red = *layers[1];
  EXPECT_EQ(red.left, 4);
  EXPECT_EQ(red.top, 3);
  ASSERT_TRUE(red.image);
  EXPECT_EQ(red.image->width, 8);
  EXPECT_EQ(red.image->height, 6);
  const std::vector<int> p = at(*red.image, 7, 5);
  EXPECT_EQ(p[0], 255);
  EXPECT_EQ(p[1], 0);
  EXPECT_NEAR(p[3], 128, 1);

  EXPECT_EQ(at(*layers[2]->image, 15, 11), (std::vector<int>{0x33, 0x66, 0x99, 255}));
  EXPECT_EQ(at(*layers[0]->image, 0, 0), (std::vector<int>{0x10, 0xE0, 0x20, 255}));
  ASSERT_TRUE(psd->compositeLayer->image);
  EXPECT_EQ(at(*psd->compositeLayer->image, 0, 0)[0], 0xFE);
  // Its flattening is compared with ImageMagick's below.
}

TEST(ReaderFixtures, ZipLayersAndUtf8Names) {
  auto psd = KDPSD::imageWithContetsOfURL(fixture("layers_zip.psd"));
  ASSERT_TRUE(psd);
  const auto& layers = psd->baseLayerGroup->layers;
  ASSERT_EQ(layers.size(), 3u);
  EXPECT_EQ(layers[0]->layerName, "Red");
  EXPECT_EQ(layers[1]->layerName, "Gr\xC3\xBCn");
  EXPECT_EQ(layers[2]->layerName, "Back");
  const KDPSDLayer& green = *layers[1];
  EXPECT_EQ(green.left, 2);
  EXPECT_EQ(green.top, 1);
  ASSERT_TRUE(green.image);
  EXPECT_EQ(at(*green.image, 7, 5), (std::vector<int>{0, 255, 0, 255}));
  const std::vector<int> red = at(*layers[0]->image, 5, 3);
  EXPECT_EQ(red[0], 255);
  EXPECT_NEAR(red[3], 128, 1);
}

TEST(ReaderFixtures, FilesTheReaderRefuses) {
  // A single-layer file and a 16-bit file are left to the flat decoders.
  EXPECT_FALSE(KDPSD::imageWithContetsOfURL(fixture("flat_rgb.psd")));
  EXPECT_FALSE(KDPSD::imageWithContetsOfURL(fixture("depth16.psd")));
}

TEST(ReaderFixtures, FlattenMatchesImageMagick) {
  // ImageMagick flattens the same layers independently: the two must agree.
  for (const char* name : {"layers_rle.psd", "layers_zip.psd"}) {
    testsupport::TempDir dir;
    const std::string out = dir.file("flat.rgba");
    const auto result = testsupport::runCommand({"/usr/bin/convert", fixture(name) + "[1-3]", "-background",
                                                 "none", "-layers", "flatten", "-depth", "8", "rgba:" + out});
    if (result.exitCode != 0) GTEST_SKIP() << "ImageMagick unavailable: " << result.output;
    std::ifstream in(out, std::ios::binary);
    const std::vector<std::uint8_t> expected((std::istreambuf_iterator<char>(in)),
                                             std::istreambuf_iterator<char>());

    auto psd = KDPSD::imageWithContetsOfURL(fixture(name));
    ASSERT_TRUE(psd);
    const KDPSDBitmap flat = compositeImage(*psd);
    ASSERT_EQ(flat.pixels.size(), expected.size()) << name;
    int worst = 0;
    for (std::size_t i = 0; i < expected.size(); ++i)
      worst = std::max(worst, std::abs(int(flat.pixels[i]) - int(expected[i])));
    EXPECT_LE(worst, 2) << name;
  }
}

TEST(ReaderFixtures, GimpGroupTree) {
  // Written by GIMP (make_gimp_fixtures.sh): Top hidden, Group one {Ébauche
  // (screen), Inner A (multiply, 50 %)} at 80 %, Background.
  auto psd = KDPSD::imageWithContetsOfURL(fixture("gimp_groups.psd"));
  ASSERT_TRUE(psd);
  const auto& top = psd->baseLayerGroup->layers;
  ASSERT_EQ(top.size(), 3u);
  EXPECT_EQ(top[0]->layerName, "Top hidden");
  EXPECT_FALSE(top[0]->visible);
  EXPECT_EQ(top[0]->left, 18);
  const KDPSDLayer& group = *top[1];
  EXPECT_TRUE(group.isGroup);
  EXPECT_EQ(group.layerName, "Group one");
  EXPECT_EQ(group.opacity, 204);
  ASSERT_EQ(group.layers.size(), 2u);
  EXPECT_EQ(group.layers[0]->layerName,
            "\xC3\x89"
            "bauche");
  EXPECT_EQ(group.layers[0]->blendMode, fourCharCode("scrn"));
  EXPECT_EQ(group.layers[1]->layerName, "Inner A");
  EXPECT_EQ(group.layers[1]->blendMode, fourCharCode("mul "));
  EXPECT_EQ(group.layers[1]->opacity, 128);
  EXPECT_EQ(group.layers[1]->left, 3);
  EXPECT_EQ(group.layers[1]->top, 2);
  EXPECT_EQ(top[2]->layerName, "Background");

  // Flattened: the group is composed on its own, then laid at 80 %.
  const KDPSDBitmap flat = compositeImage(*psd);
  EXPECT_EQ(at(flat, 0, 0), (std::vector<int>{51, 102, 153, 255}));
  EXPECT_EQ(at(flat, 19, 2), (std::vector<int>{51, 102, 153, 255}));  // under the hidden layer
  const std::vector<int> multiplied = at(flat, 4, 3);
  EXPECT_NEAR(multiplied[0], 133, 1);
  EXPECT_NEAR(multiplied[1], 61, 1);
  EXPECT_NEAR(multiplied[2], 92, 1);
  const std::vector<int> screened = at(flat, 11, 9);
  EXPECT_NEAR(screened[0], 10, 1);
  EXPECT_NEAR(screened[1], 224, 1);
  EXPECT_NEAR(screened[2], 31, 1);
}
