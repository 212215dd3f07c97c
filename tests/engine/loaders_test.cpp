// The loaders of ordinary images, GIF frames, Illustrator files and layered
// PSDs, on files written by our encoders, and the choice of the largest
// representation.

#include <gtest/gtest.h>

#include "engine/image_rep_reader.h"
#include "engine/imported_image.h"
#include "loaders_fixtures.h"
#include "param_names.h"
#include "platform/foundation/files.h"
#include "platform/imageio/image_destination.h"
#include "psd/kd_psd_byte_order.h"
#include "psd/rw_psd_writer.h"
#include "support/test_support.h"

namespace velumar {
namespace {

using foundation::Dictionary;
using foundation::Value;
using loaders_testing::solidImage;
using loaders_testing::writeFrames;

std::vector<raster::Size> pointSizes(const BitmapRepList& reps) {
  std::vector<raster::Size> sizes;
  for (const auto& rep : reps) sizes.push_back(rep->size());
  return sizes;
}

std::vector<std::pair<std::int64_t, std::int64_t>> pixelSizes(const BitmapRepList& reps) {
  std::vector<std::pair<std::int64_t, std::int64_t>> sizes;
  for (const auto& rep : reps) sizes.emplace_back(rep->pixelsWide(), rep->pixelsHigh());
  return sizes;
}

TEST(GenericLoader, TiffPagesKeepTheirResolution) {
  testsupport::TempDir dir;
  const std::string path = dir.file("pages.tiff");
  ASSERT_TRUE(writeFrames(path, "public.tiff",
                          {{solidImage(40, 30, {255, 0, 0}), 72},
                           {solidImage(80, 60, {0, 255, 0}), 144},
                           {solidImage(25, 10, {0, 0, 255}), 300}}));
  ImportedImage engine;
  const auto reps = engine.setGenericImageWithURL(path);
  ASSERT_TRUE(reps);
  EXPECT_EQ(pixelSizes(*reps),
            (std::vector<std::pair<std::int64_t, std::int64_t>>{{40, 30}, {80, 60}, {25, 10}}));
  EXPECT_EQ(pointSizes(*reps), (std::vector<raster::Size>{{40, 30}, {40, 30}, {6, 2.4}}));
  EXPECT_EQ(loaders_testing::rgbaAt((*reps)[1], 5, 5), (std::array<int, 4>{0, 255, 0, 255}));
  EXPECT_EQ(ImportedImage::verifyGenericImagePixelSizeForRepsArray(*reps), 1);
  // The bitmap reader the driver falls back on sees the same pages.
  const auto bitmaps = bitmapImageRepsWithContentsOfURL(path);
  ASSERT_TRUE(bitmaps);
  EXPECT_EQ(pixelSizes(*bitmaps), pixelSizes(*reps));
}

TEST(GenericLoader, RepresentationsBeyondTenThousandPointsAreLeftOut) {
  testsupport::TempDir dir;
  // 20 pixels at 0.1 dpi are 14400 points.
  const std::string mixed = dir.file("mixed.tiff");
  ASSERT_TRUE(writeFrames(mixed, "public.tiff",
                          {{solidImage(20, 20, {1, 1, 1}), 0.1}, {solidImage(30, 20, {2, 2, 2}), 72}}));
  const std::string oversized = dir.file("oversized.tiff");
  ASSERT_TRUE(writeFrames(oversized, "public.tiff", {{solidImage(20, 20, {1, 1, 1}), 0.1}}));
  ImportedImage engine;
  const auto reps = engine.setGenericImageWithURL(mixed);
  ASSERT_TRUE(reps);
  EXPECT_EQ(pixelSizes(*reps), (std::vector<std::pair<std::int64_t, std::int64_t>>{{30, 20}}));
  EXPECT_FALSE(engine.setGenericImageWithURL(oversized));
}

TEST(GenericLoader, UprightPhotoSwapsItsSizeInPoints) {
  testsupport::TempDir dir;
  const std::string path = dir.file("turned.jpg");
  ASSERT_TRUE(writeFrames(path, "public.jpeg", {{solidImage(40, 20, {200, 100, 50}), 144}}));
  // Orientation 6: the picture is shown turned a quarter clockwise.
  const auto tagged =
      testsupport::runCommand({"exiftool", "-q", "-overwrite_original", "-n", "-Orientation=6", path});
  ASSERT_EQ(tagged.exitCode, 0) << tagged.output;
  ImportedImage engine;
  const auto reps = engine.setGenericImageWithURL(path);
  ASSERT_TRUE(reps);
  ASSERT_EQ(reps->size(), 1u);
  EXPECT_EQ(pixelSizes(*reps), (std::vector<std::pair<std::int64_t, std::int64_t>>{{20, 40}}));
  EXPECT_EQ(reps->front()->size(), (raster::Size{10, 20}));
}

TEST(GenericLoader, IconSizesAreRepresentations) {
  testsupport::TempDir dir;
  const std::string path = dir.file("icon.icns");
  ASSERT_TRUE(writeFrames(path, "com.apple.icns",
                          {{solidImage(16, 16, {255, 0, 0})},
                           {solidImage(32, 32, {0, 255, 0})},
                           {solidImage(128, 128, {0, 0, 255})}}));
  ImportedImage engine;
  const auto reps = engine.setGenericImageWithURL(path);
  ASSERT_TRUE(reps);
  auto sizes = pixelSizes(*reps);
  std::sort(sizes.begin(), sizes.end());
  EXPECT_EQ(sizes, (std::vector<std::pair<std::int64_t, std::int64_t>>{{16, 16}, {32, 32}, {128, 128}}));
  const std::int64_t largest = ImportedImage::verifyGenericImagePixelSizeForRepsArray(*reps);
  EXPECT_EQ((*reps)[std::size_t(largest)]->pixelsWide(), 128);
}

TEST(GenericLoader, DocumentsAndAnimationsAreOneRepresentation) {
  testsupport::TempDir dir;
  const std::string pdf = dir.file("two.pdf");
  ASSERT_TRUE(loaders_testing::writeHandmadePdf(pdf, {{200, 100}, {200, 100}}));
  const std::string gif = dir.file("anim.gif");
  ASSERT_TRUE(writeFrames(gif, "com.compuserve.gif",
                          {{solidImage(8, 6, {255, 0, 0})}, {solidImage(8, 6, {0, 255, 0})}}));
  ImportedImage engine;
  const auto page = engine.setGenericImageWithURL(pdf);
  ASSERT_TRUE(page);
  EXPECT_EQ(pixelSizes(*page), (std::vector<std::pair<std::int64_t, std::int64_t>>{{200, 100}}));
  EXPECT_FALSE(bitmapImageRepsWithContentsOfURL(pdf));  // no bitmap in a document
  const auto frame = engine.setGenericImageWithURL(gif);
  ASSERT_TRUE(frame);
  ASSERT_EQ(frame->size(), 1u);
  EXPECT_EQ(loaders_testing::rgbaAt(frame->front(), 1, 1), (std::array<int, 4>{255, 0, 0, 255}));
}

TEST(GifLoader, EveryFrameInOrder) {
  testsupport::TempDir dir;
  const std::string path = dir.file("frames.gif");
  std::vector<loaders_testing::FrameSpec> frames;
  for (int i = 0; i < 12; ++i) frames.push_back({solidImage(10, 8, {std::uint8_t(i * 20), 0, 0})});
  ASSERT_TRUE(writeFrames(path, "com.compuserve.gif", frames));
  ImportedImage engine;
  const auto reps = engine.bitmapRepsGIFFromURL(path);
  ASSERT_TRUE(reps);
  ASSERT_EQ(reps->size(), 12u);
  for (std::size_t i = 0; i < 12; ++i) {
    EXPECT_NEAR(loaders_testing::rgbaAt((*reps)[i], 5, 4)[0], int(i) * 20, 2) << "frame " << i;
    EXPECT_EQ((*reps)[i]->size(), (raster::Size{10, 8}));
  }
}

TEST(AILoader, PdfCompatibleFileAtOnePixelPerPoint) {
  testsupport::TempDir dir;
  const std::string art = dir.file("art.ai");
  ASSERT_TRUE(writeFrames(art, "com.adobe.pdf", {{solidImage(300, 200, {0, 0, 255}), 72}}));
  // 200 pixels at 0.72 dpi are a page of 20000 points.
  const std::string poster = dir.file("poster.ai");
  ASSERT_TRUE(writeFrames(poster, "com.adobe.pdf", {{solidImage(200, 100, {0, 0, 255}), 0.72}}));
  ImportedImage engine;
  const auto reps = engine.setAIImageWithURL(art);
  ASSERT_TRUE(reps);
  ASSERT_EQ(reps->size(), 1u);
  EXPECT_EQ(pixelSizes(*reps), (std::vector<std::pair<std::int64_t, std::int64_t>>{{300, 200}}));
  EXPECT_EQ(reps->front()->size(), (raster::Size{300, 200}));
  EXPECT_EQ(loaders_testing::rgbaAt(reps->front(), 150, 100), (std::array<int, 4>{0, 0, 255, 255}));
  EXPECT_FALSE(engine.setAIImageWithURL(poster));
  EXPECT_FALSE(engine.setGenericImageWithURL(poster));
}

TEST(LargestRepresentation, FirstOfTheStrictlyLargest) {
  auto rep = [](std::int64_t w, std::int64_t h) {
    return raster::BitmapImageRep::withImage(solidImage(w, h, {0, 0, 0}));
  };
  struct Case {
    BitmapRepList reps;
    std::int64_t expected;
  } cases[] = {
      {{}, 0},
      {{rep(4, 4)}, 0},
      {{rep(2, 2), rep(4, 4), rep(8, 2)}, 1},  // equal counts: the first
      {{rep(2, 2), nullptr, rep(3, 3)}, 2},    // positions count every entry
      {{rep(10, 1), rep(1, 10), rep(3, 3)}, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ImportedImage::verifyGenericImagePixelSizeForRepsArray(c.reps), c.expected);
}

// A 40 x 30 document, top-most first: group P holding p1 and subgroup Q (q1,
// q2), group A (a1, a2) and the top-level layer b.
std::string writeLayeredPsd(const testsupport::TempDir& dir) {
  RWPSDWriter writer({40, 30});
  writer.setColorProfile(2);
  const RWPSDGroupInfo p{1, "P", 0.5f, "mul ", true};
  const RWPSDGroupInfo q{2, "Q", 1.0f, "scrn", true};
  const RWPSDGroupInfo a{3, "A", 1.0f, "norm", true};
  auto add = [&](const char* name, std::uint8_t red, raster::Point offset, float opacity, const char* blend) {
    writer.addLayerWithCGImage(solidImage(6, 5, {red, 10, 20}), name, opacity, offset, blend, true);
  };
  add("b", 10, {1, 2}, 1.0f, "norm");
  writer.setCurrentGroupPath({a});
  add("a2", 20, {3, 3}, 1.0f, "norm");
  add("a1", 30, {4, 4}, 1.0f, "diff");
  writer.setCurrentGroupPath({p, q});
  add("q2", 40, {5, 5}, 1.0f, "norm");
  add("q1", 50, {6, 6}, 1.0f, "norm");
  writer.setCurrentGroupPath({p});
  add("p1", 60, {20, 10}, 0.25f, "lite");
  writer.setCurrentGroupPath({});
  const std::string path = dir.file("layers.psd");
  EXPECT_TRUE(foundation::writeFileAtomically(path, writer.createPSDData()));
  return path;
}

TEST(PSDLoader, LeafLayersWithTheirGroupRecords) {
  testsupport::TempDir dir;
  const std::string path = writeLayeredPsd(dir);
  ImportedImage engine;
  const auto reps = engine.setPSDImageWithURL(path);
  ASSERT_TRUE(reps);
  ASSERT_EQ(reps->size(), 6u);
  ASSERT_EQ(engine.psdInfoArray.size(), 6u);
  EXPECT_EQ(engine.psdCanvasSize, (raster::Size{40, 30}));

  // Layers may be stored larger than their pixels: each colour is probed
  // where it lies on the canvas, through the record's offset.
  struct Expected {
    std::string name;
    std::int64_t red;
    raster::Point canvasPosition;
    std::optional<std::string> group;
    std::int64_t layerIndex;
  } expected[] = {{"p1", 60, {20, 10}, "P", -1}, {"q1", 50, {6, 6}, "Q", 0},
                  {"q2", 40, {5, 5}, "Q", -1},   {"a1", 30, {4, 4}, "A", 0},
                  {"a2", 20, {3, 3}, "A", -1},   {"b", 10, {1, 2}, std::nullopt, 0}};
  for (std::size_t i = 0; i < 6; ++i) {
    const Value& record = engine.psdInfoArray[i];
    SCOPED_TRACE(expected[i].name);
    ASSERT_TRUE(record.get("Layer Name"));
    EXPECT_EQ(record.get("Layer Name")->stringOr(""), expected[i].name);
    const foundation::Array* offset = record.get("Offset") ? record.get("Offset")->asArray() : nullptr;
    ASSERT_TRUE(offset && offset->size() == 2);
    const std::int64_t x = std::int64_t(expected[i].canvasPosition.x - (*offset)[0].doubleOr(0)) + 2;
    const std::int64_t y = std::int64_t(expected[i].canvasPosition.y - (*offset)[1].doubleOr(0)) + 2;
    ASSERT_TRUE(x >= 0 && y >= 0 && x < (*reps)[i]->pixelsWide() && y < (*reps)[i]->pixelsHigh());
    EXPECT_EQ(loaders_testing::rgbaAt((*reps)[i], x, y)[0], expected[i].red);
    EXPECT_EQ((*reps)[i]->size(),
              (raster::Size{double((*reps)[i]->pixelsWide()), double((*reps)[i]->pixelsHigh())}));
    const Value* group = record.get("Layer Info Dictionary");
    ASSERT_TRUE(group && group->isDictionary());
    if (!expected[i].group) {
      EXPECT_TRUE(group->asDictionary()->empty());
      continue;
    }
    EXPECT_EQ(group->get("Group Name")->stringOr(""), *expected[i].group);
    EXPECT_EQ(group->get("Layer Index")->intOr(99), expected[i].layerIndex);
    EXPECT_FALSE(group->get("Layer Count"));  // kept in the walk's stack only
  }
  const Value& p1 = engine.psdInfoArray[0];
  EXPECT_EQ(p1.get("Opacity")->intOr(0), 64);
  EXPECT_EQ(std::uint32_t(p1.get("Layer Blend Mode")->intOr(0)), fourCharCode("lite"));
  const Value* pGroup = p1.get("Layer Info Dictionary");
  EXPECT_EQ(pGroup->get("Group Opacity")->intOr(0), 128);
  EXPECT_EQ(std::uint32_t(pGroup->get("Blend Mode")->intOr(0)), fourCharCode("mul "));

  // A failed load leaves no layer records behind.
  const std::string cut = dir.file("cut.psd");
  ASSERT_TRUE(loaders_testing::writeTruncatedCopy(path, cut, 200));
  EXPECT_FALSE(engine.setPSDImageWithURL(cut));
  EXPECT_TRUE(engine.psdInfoArray.empty());
  EXPECT_EQ(engine.psdCanvasSize, (raster::Size{0, 0}));
}

// Every loader answers nothing for files it cannot read.
struct UnreadableCase {
  std::string name;
  std::string extension;
  std::string type;  // our encoder's type for the good file; "" for none
  friend void PrintTo(const UnreadableCase& c, std::ostream* os) { *os << c.name; }
};

class UnreadableInput : public ::testing::TestWithParam<UnreadableCase> {};

TEST_P(UnreadableInput, GivesNothing) {
  const UnreadableCase& c = GetParam();
  testsupport::TempDir dir;
  std::vector<std::string> paths = {dir.file("missing." + c.extension), std::string()};
  const std::string text = dir.file("text." + c.extension);
  ASSERT_TRUE(foundation::writeFileAtomically(text, foundation::Data(100, 'x')));
  paths.push_back(text);
  if (!c.type.empty()) {
    const std::string good = dir.file("good." + c.extension);
    ASSERT_TRUE(
        writeFrames(good, c.type, {{solidImage(64, 48, {9, 8, 7})}, {solidImage(64, 48, {7, 8, 9})}}));
    for (std::size_t keep : {std::size_t(8), std::size_t(30)}) {
      const std::string cut = dir.file("cut" + std::to_string(keep) + "." + c.extension);
      ASSERT_TRUE(loaders_testing::writeTruncatedCopy(good, cut, keep));
      paths.push_back(cut);
    }
  }
  ImportedImage engine;
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    EXPECT_FALSE(engine.setGenericImageWithURL(path));
    EXPECT_FALSE(engine.bitmapRepsGIFFromURL(path));
    EXPECT_FALSE(engine.setAIImageWithURL(path));
    EXPECT_FALSE(engine.setPSDImageWithURL(path));
    EXPECT_FALSE(engine.setEpsBmpImageRepWithURL(path));
    EXPECT_FALSE(engine.setPdfBmpImageRepWithURL(path));
  }
}

INSTANTIATE_TEST_SUITE_P(Files, UnreadableInput,
                         ::testing::Values(UnreadableCase{"png", "png", "public.png"},
                                           UnreadableCase{"tiff", "tiff", "public.tiff"},
                                           UnreadableCase{"gif", "gif", "com.compuserve.gif"},
                                           UnreadableCase{"jpeg", "jpg", "public.jpeg"},
                                           UnreadableCase{"psd", "psd", ""}, UnreadableCase{"ai", "ai", ""}),
                         testing_names::ByNameMember{});

}  // namespace
}  // namespace velumar
