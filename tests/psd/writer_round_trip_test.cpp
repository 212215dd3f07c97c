// Files of the layered PSD writer read back by the product's own reader.

#include <gtest/gtest.h>

#include "psd/kd_psd.h"
#include "psd/kd_psd_byte_order.h"
#include "psd/rw_psd_writer.h"
#include "psd/writer_test_images.h"

namespace velumar {
namespace {

using writertest::RGBA;

const std::string kNonASCII = "\xC3\x89t\xC3\xA9 \xE2\x98\x80";  // Été ☀

std::unique_ptr<KDPSD> readBack(RWPSDWriter& writer) {
  std::vector<std::uint8_t> bytes = writer.createPSDData();
  EXPECT_FALSE(bytes.empty());
  KDPSDError error;
  auto document = KDPSD::imageWithData(std::move(bytes), &error);
  EXPECT_NE(document, nullptr) << error.description;
  return document;
}

RGBA pixelAt(const KDPSDLayer& layer, int x, int y) {
  if (!layer.image) return {0, 0, 0, 0};
  const int lx = x - layer.left, ly = y - layer.top;
  if (lx < 0 || ly < 0 || lx >= layer.image->width || ly >= layer.image->height) return {0, 0, 0, 0};
  const std::uint8_t* p = layer.image->row(ly) + std::size_t(lx) * 4;
  return {p[0], p[1], p[2], p[3]};
}

std::string nameOf(const KDPSDLayer& layer) {
  return layer.layerName.value_or("<none>");
}

TEST(WriterRoundTrip, LayersKeepOrderNamesOpacityBlendModesAndPixels) {
  RWPSDWriter writer({6, 4});
  writer.addLayerWithCGImage(writertest::solidImage(6, 4, {10, 20, 30, 255}), "Bottom");
  writer.addLayerWithCGImage(writertest::solidImage(2, 2, {200, 100, 50, 128}), kNonASCII, 0.5f, {3, 1},
                             "diff", true);
  writer.addLayerWithCGImage(writertest::solidImage(3, 3, {1, 2, 3, 7}), "Top", 1.0f, {-1, -2}, "lum ", true);
  auto document = readBack(writer);
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(document->width, 6u);
  EXPECT_EQ(document->height, 4u);
  const auto& top = document->baseLayerGroup->layers;
  ASSERT_EQ(top.size(), 3u);
  EXPECT_EQ(nameOf(*top[0]), "Top");
  EXPECT_EQ(nameOf(*top[1]), kNonASCII);
  EXPECT_EQ(nameOf(*top[2]), "Bottom");
  EXPECT_EQ(top[1]->opacity, 128);
  EXPECT_EQ(top[0]->blendMode, fourCharCode("lum "));
  EXPECT_EQ(top[1]->blendMode, fourCharCode("diff"));
  EXPECT_EQ(top[2]->blendMode, fourCharCode("norm"));
  // Offsets survive as the place of the pixels in the document.
  EXPECT_EQ(pixelAt(*top[1], 3, 1), (RGBA{200, 100, 50, 128}));
  EXPECT_EQ(pixelAt(*top[1], 4, 2), (RGBA{200, 100, 50, 128}));
  EXPECT_EQ(pixelAt(*top[1], 2, 1).a, 0);
  EXPECT_EQ(pixelAt(*top[1], 5, 3).a, 0);
  EXPECT_EQ(pixelAt(*top[0], 1, 0), (RGBA{1, 2, 3, 7}));
  EXPECT_EQ(pixelAt(*top[0], 2, 0).a, 0);
  EXPECT_EQ(pixelAt(*top[2], 5, 3), (RGBA{10, 20, 30, 255}));
}

TEST(WriterRoundTrip, GroupsComeBackAsTheTreeTheyWere) {
  RWPSDWriter writer({4, 4});
  auto image = writertest::solidImage(4, 4, {9, 9, 9, 255});
  writer.addLayerWithCGImage(image, "Below");
  writer.setCurrentGroupPath({{1, "Outer", 0.5f, "mul ", true}, {2, "Inner", 1.0f, "pass", false}});
  writer.addLayerWithCGImage(image, "Deep");
  writer.setCurrentGroupPath({{1, "Outer", 0.5f, "mul ", true}});
  writer.addLayerWithCGImage(image, "Shallow");
  writer.setCurrentGroupPath({{3, "Single"}});
  writer.addLayerWithCGImage(image, "Alone");
  writer.setCurrentGroupPath({});
  writer.addLayerWithCGImage(image, "Above");
  auto document = readBack(writer);
  ASSERT_NE(document, nullptr);
  const auto& top = document->baseLayerGroup->layers;
  ASSERT_EQ(top.size(), 4u);
  EXPECT_EQ(nameOf(*top[0]), "Above");
  ASSERT_TRUE(top[1]->isGroup);
  EXPECT_EQ(nameOf(*top[1]), "Single");
  ASSERT_EQ(top[1]->layers.size(), 1u);
  EXPECT_EQ(nameOf(*top[1]->layers[0]), "Alone");
  ASSERT_TRUE(top[2]->isGroup);
  EXPECT_EQ(nameOf(*top[2]), "Outer");
  EXPECT_EQ(top[2]->opacity, 128);
  EXPECT_EQ(top[2]->blendMode, fourCharCode("mul "));
  ASSERT_EQ(top[2]->layers.size(), 2u);
  EXPECT_EQ(nameOf(*top[2]->layers[0]), "Shallow");
  ASSERT_TRUE(top[2]->layers[1]->isGroup);
  EXPECT_EQ(nameOf(*top[2]->layers[1]), "Inner");
  EXPECT_EQ(top[2]->layers[1]->blendMode, fourCharCode("pass"));
  ASSERT_EQ(top[2]->layers[1]->layers.size(), 1u);
  EXPECT_EQ(nameOf(*top[2]->layers[1]->layers[0]), "Deep");
  EXPECT_EQ(nameOf(*top[3]), "Below");
}

}  // namespace
}  // namespace velumar
