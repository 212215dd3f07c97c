// The engine's entry point: leaf images in walk order with their records,
// colour space from the file's profile, the flattened image.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/color/icc_profile.h"
#include "platform/foundation/log.h"
#include "psd/psd_loader.h"
#include "psd/reader_psd_builder.h"
#include "support/test_support.h"

using namespace velumar;
using psdtest::Bytes;
using psdtest::Document;

namespace {

std::string writeFile(const testsupport::TempDir& dir, const Bytes& bytes) {
  const std::string path = dir.file("test.psd");
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return path;
}

const foundation::Value& record(const PSDLayeredImage& loaded, std::size_t i) {
  return loaded.psdInfoArray.at(i);
}

}  // namespace

TEST(ReaderLoader, LeavesRecordsAndGroupIndexes) {
  // Tree (top first): group A {a1, a2}, leaf b.
  Document d;
  d.width = 6;
  d.height = 5;
  d.layers.push_back(psdtest::solidLayer("b", 1, 2, 2, 2, 255, 0, 0, 128));
  d.layers.push_back(psdtest::groupEnd());
  d.layers.push_back(psdtest::solidLayer("a2", 0, 0, 1, 1, 0, 255, 0, 255));
  d.layers.push_back(psdtest::solidLayer("a1", 0, 0, 1, 1, 0, 0, 255, 255));
  d.layers.push_back(psdtest::groupStart("A"));
  d.layers.back().opacity = 200;
  d.layers.back().blocks[0] = psdtest::lsctBlock(1, "mul ", 12);
  d.layers[0].opacity = 77;
  d.layers[0].blendKey = "scrn";
  testsupport::TempDir dir;
  auto loaded = loadLayeredPSD(writeFile(dir, psdtest::build(d)));
  ASSERT_TRUE(loaded);
  ASSERT_EQ(loaded->representations.size(), 3u);
  ASSERT_EQ(loaded->psdInfoArray.size(), 3u);
  EXPECT_EQ(record(*loaded, 0).get("Layer Name")->stringOr(""), "a1");
  EXPECT_EQ(record(*loaded, 1).get("Layer Name")->stringOr(""), "a2");
  EXPECT_EQ(record(*loaded, 2).get("Layer Name")->stringOr(""), "b");

  const foundation::Value* group0 = record(*loaded, 0).get("Layer Info Dictionary");
  EXPECT_EQ(group0->get("Group Name")->stringOr(""), "A");
  EXPECT_EQ(group0->get("Group Opacity")->intOr(0), 200);
  EXPECT_EQ(group0->get("Blend Mode")->intOr(0), 0x6D756C20);  // 'mul '
  EXPECT_EQ(group0->get("Layer Index")->intOr(9), 0);
  EXPECT_EQ(record(*loaded, 1).get({"Layer Info Dictionary", "Layer Index"})->intOr(9), -1);
  EXPECT_TRUE(record(*loaded, 2).get("Layer Info Dictionary")->asDictionary()->empty());

  const foundation::Value& b = record(*loaded, 2);
  EXPECT_EQ(b.get("Opacity")->intOr(0), 77);
  EXPECT_EQ(b.get("Layer Blend Mode")->intOr(0), 0x7363726E);  // 'scrn'
  const foundation::Array& offset = *b.get("Offset")->asArray();
  EXPECT_EQ(offset.at(0).doubleOr(-1), 1.0);
  EXPECT_EQ(offset.at(1).doubleOr(-1), 2.0);

  // Images: premultiplied RGBA at the layer's own size, untagged: sRGB.
  const raster::ImageRef& image = loaded->representations[2];
  EXPECT_EQ(image->width(), 2);
  EXPECT_EQ(image->format(), raster::PixelFormat::rgba8());
  EXPECT_EQ(image->row(0)[0], 128);  // (255 x 128 + 127) / 255
  EXPECT_EQ(image->row(0)[3], 128);
  EXPECT_TRUE(image->colorSpace()->sameNameAs(*raster::ColorSpace::sRGB()));

  ASSERT_TRUE(loaded->composite);
  EXPECT_EQ(loaded->composite->width(), 6);
  EXPECT_TRUE(appendFlattenedImage(*loaded));
  EXPECT_EQ(loaded->representations.size(), 4u);
  EXPECT_TRUE(loaded->psdInfoArray.back().get("Has Flattened Image")->boolOr(false));
}

TEST(ReaderLoader, ColourSpaceFromTheIccResource) {
  Document d;
  d.layers.push_back(psdtest::solidLayer("x", 0, 0, 2, 2, 1, 2, 3, 255));
  d.layers.push_back(psdtest::solidLayer("y", 0, 0, 2, 2, 1, 2, 3, 255));
  color::ProfileRef srgb = color::IccProfile::named(color::NamedProfile::SRGB);
  ASSERT_TRUE(srgb);
  d.resources.push_back({1039, srgb->data()});
  testsupport::TempDir dir;
  auto loaded = loadLayeredPSD(writeFile(dir, psdtest::build(d)));
  ASSERT_TRUE(loaded);
  EXPECT_TRUE(loaded->colorSpace->profile()->sameAs(*srgb));
  EXPECT_EQ(loaded->representations[0]->colorSpace(), loaded->colorSpace);

  // An unusable profile falls back to sRGB.
  d.resources.back().data = Bytes(200, 7);
  auto fallback = loadLayeredPSD(writeFile(dir, psdtest::build(d)));
  ASSERT_TRUE(fallback);
  EXPECT_TRUE(fallback->colorSpace->sameNameAs(*raster::ColorSpace::sRGB()));
}

TEST(ReaderLoader, MissingOrRefusedFilesGiveNothing) {
  EXPECT_FALSE(loadLayeredPSD("/nonexistent/x.psd"));
  EXPECT_FALSE(loadLayeredPSD((testsupport::testDataDir() / "psd" / "flat_rgb.psd").string()));
  EXPECT_TRUE(loadLayeredPSD((testsupport::testDataDir() / "psd" / "layers_zip.psd").string()));
}

// Files the layered reader leaves to the flat decoder (other depths and
// colour modes) are refused without a word on the terminal.
TEST(ReaderLoader, FilesForTheFlatDecoderAreRefusedQuietly) {
  if (foundation::debugLogging()) GTEST_SKIP() << "debug messages asked for";
  struct Case {
    std::uint16_t depth, mode;
  };
  testsupport::TempDir dir;
  for (const Case c : {Case{16, 3}, Case{8, 4}, Case{32, 1}}) {
    SCOPED_TRACE(testing::Message() << c.depth << "-bit, mode " << c.mode);
    Document d;
    d.depth = c.depth;
    d.mode = c.mode;
    d.layers = {psdtest::solidLayer("a", 0, 0, 2, 2, 1, 2, 3, 255), psdtest::solidLayer("b", 0, 0, 2, 2, 1, 2, 3, 255)};
    const std::string path = writeFile(dir, psdtest::build(d));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(loadLayeredPSD(path));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  }
}

TEST(ReaderLoader, GimpFileWalk) {
  auto loaded = loadLayeredPSD((testsupport::testDataDir() / "psd" / "gimp_groups.psd").string());
  ASSERT_TRUE(loaded);
  ASSERT_EQ(loaded->psdInfoArray.size(), 4u);
  const char* expectedNames[] = {"Top hidden",
                                 "\xC3\x89"
                                 "bauche",
                                 "Inner A", "Background"};
  const int expectedIndexes[] = {99, 0, -1, 99};
  for (std::size_t i = 0; i < 4; ++i) {
    const foundation::Value& r = record(*loaded, i);
    EXPECT_EQ(r.get("Layer Name")->stringOr(""), expectedNames[i]);
    const foundation::Value* index = r.get({"Layer Info Dictionary", "Layer Index"});
    EXPECT_EQ(index ? index->intOr(99) : 99, expectedIndexes[i]) << i;
  }
  EXPECT_EQ(record(*loaded, 1).get({"Layer Info Dictionary", "Group Name"})->stringOr(""), "Group one");
  EXPECT_EQ(record(*loaded, 1).get({"Layer Info Dictionary", "Group Opacity"})->intOr(0), 204);
  EXPECT_EQ(loaded->representations[2]->width(), 8);
  EXPECT_EQ(loaded->width, 24);
}
