// Malformed input never crashes the reader: every truncation of real and
// built files, and random byte changes, end in a document or a clean refusal.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>

#include "psd/kd_psd.h"
#include "psd/kd_psd_compositing.h"
#include "psd/reader_psd_builder.h"
#include "support/test_support.h"

using namespace velumar;
using psdtest::Bytes;

namespace {

Bytes fileBytes(const std::string& name) {
  std::ifstream in(testsupport::testDataDir() / "psd" / name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A built file with everything the reader parses: groups, masks, text, every
// compression, resources.
Bytes richFile() {
  psdtest::Document d;
  d.width = 12;
  d.height = 9;
  d.resources.push_back({1039, Bytes(37, 3)});
  d.layers.push_back(psdtest::groupEnd());
  d.layers.push_back(psdtest::solidLayer("raw", 1, 1, 5, 4, 1, 2, 3, 200, 0));
  d.layers.push_back(psdtest::solidLayer("rle", 0, 0, 12, 9, 4, 5, 6, 255, 1));
  d.layers.push_back(psdtest::solidLayer("zip", 3, 2, 6, 6, 7, 8, 9, 90, 2));
  d.layers.push_back(psdtest::groupStart("group"));
  d.layers.push_back(psdtest::solidLayer("zip prediction", 2, 2, 7, 3, 9, 9, 9, 255, 3));
  Bytes mask;
  for (std::int32_t v : {0, 0, 3, 3}) psdtest::put32(mask, std::uint32_t(v));
  mask.resize(20, 0);
  d.layers[1].maskData = mask;
  d.layers[1].channels.push_back(psdtest::rleChannel(-2, Bytes(9, 128), 3, 3));
  Bytes items;
  psdtest::putCodeKey(items, "Txt ");
  psdtest::putKey(items, "TEXT");
  psdtest::putUnicode(items, u"Words", true);
  psdtest::putStringKey(items, "EngineData");
  psdtest::putKey(items, "tdta");
  const std::string engine = "<<\n/A\n<<\n/RunArray [\n<<\n/B 1\n>>\n]\n>>\n>>\nx\n";
  psdtest::put32(items, std::uint32_t(engine.size()));
  items.insert(items.end(), engine.begin(), engine.end());
  d.layers[2].blocks.push_back(psdtest::tyshBlock(1, psdtest::descriptor("TxLr", 2, items)));
  d.layers[2].blocks.push_back(psdtest::luniBlock(u"Unicode name"));
  return psdtest::build(d);
}

// Reads bytes; when a document results, walks and flattens it as callers do.
int exercise(const Bytes& bytes) {
  auto psd = KDPSD::imageWithData(bytes);
  if (!psd) return 0;
  const KDPSDBitmap flat = compositeImage(*psd);
  EXPECT_EQ(flat.pixels.size(), std::size_t(psd->width) * psd->height * 4);
  return 1;
}

}  // namespace

TEST(ReaderRobustness, RichBuiltFileReads) {
  auto psd = KDPSD::imageWithData(richFile());
  ASSERT_TRUE(psd);
  EXPECT_EQ(psd->allLayers.size(), 6u);
  ASSERT_EQ(psd->baseLayerGroup->layers.size(), 2u);
  EXPECT_EQ(psd->baseLayerGroup->layers[1]->layers.size(), 3u);
  EXPECT_TRUE(psd->allLayers[2]->isText);
}

TEST(ReaderRobustness, EveryTruncationFailsCleanly) {
  for (const Bytes& whole :
       {richFile(), fileBytes("layers_rle.psd"), fileBytes("layers_zip.psd"), fileBytes("gimp_groups.psd")}) {
    ASSERT_GT(whole.size(), 100u);
    for (std::size_t length = 0; length < whole.size(); ++length) {
      exercise(Bytes(whole.begin(), whole.begin() + std::ptrdiff_t(length)));
    }
  }
}

TEST(ReaderRobustness, RandomByteChanges) {
  // --gtest_random_seed varies the changes for longer runs.
  std::mt19937 random(20261207u + unsigned(::testing::UnitTest::GetInstance()->random_seed()));
  int read = 0;
  for (const Bytes& original :
       {richFile(), fileBytes("layers_rle.psd"), fileBytes("layers_zip.psd"), fileBytes("gimp_groups.psd")}) {
    ASSERT_FALSE(original.empty());
    for (int round = 0; round < 1500; ++round) {
      Bytes bytes = original;
      const int changes = 1 + int(random() % 6);
      // Half the rounds aim at the headers and records, where parsing happens.
      const std::size_t span = round % 2 ? bytes.size() : std::min<std::size_t>(bytes.size(), 400);
      for (int i = 0; i < changes; ++i) {
        const std::size_t at = random() % span;
        switch (random() % 3) {
          case 0:
            bytes[at] = std::uint8_t(random());
            break;
          case 1:
            bytes[at] ^= std::uint8_t(1u << (random() % 8));
            break;
          default:
            bytes[at] = (random() % 2) ? 0xFF : 0x00;
            break;
        }
      }
      read += exercise(bytes);
    }
  }
  // Most changed files still read: the sweep reached the deep parsing.
  EXPECT_GT(read, 2000);
}
