// Flattened PSD files written by the engine: one per bitmap, one per
// representation with numbered names, failures that leave no file, and
// layer records that never outlive the image they describe.

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/imported_image.h"
#include "platform/foundation/files.h"
#include "platform/imageio/image_source.h"
#include "psd/rw_psd_writer.h"
#include "support/test_support.h"
#include "writers_test_support.h"

namespace velumar {
namespace {

using foundation::Array;
using foundation::Dictionary;
using foundation::Value;
using writers_test::filesIn;
using writers_test::imageOf;
using writers_test::pixelAt;
using writers_test::quadrantRep;

// Width x height of a flat file as the platform reads it; "" when unreadable.
std::string sizeOf(const std::string& path) {
  auto source = imageio::ImageSource::open(path);
  if (!source) return "";
  auto image = source->createImage(0);
  if (!image) return "";
  return std::to_string(image->width()) + "x" + std::to_string(image->height());
}

TEST(PSDOutputFiles, OneBitmapIsOneFlatFileWithOrWithoutMetadata) {
  for (bool keepMetadata : {false, true}) {
    testsupport::TempDir dir;
    ImportedImage engine;
    if (keepMetadata) engine.imageMetadataArray = Array{Value(Dictionary{}), Value(Dictionary{})};
    const std::string path = dir.file("one.psd");
    auto rep = quadrantRep(12, 8);
    ASSERT_TRUE(engine.savePSDOneLayerForBmpRep(rep, 0, path, keepMetadata, true)) << keepMetadata;
    EXPECT_EQ(sizeOf(path), "12x8");
    EXPECT_EQ(engine.urlsArray, std::vector<std::string>{path});
    EXPECT_FALSE(engine.imageMetadataArray.has_value()) << "cleared after the write";
    auto source = imageio::ImageSource::open(path);
    ASSERT_TRUE(source);
    writers_test::expectNear(pixelAt(source->createImage(0), 11, 0), {0, 255, 0, 255}, 1, "top right");
  }
  ImportedImage engine;
  EXPECT_FALSE(engine.savePSDOneLayerForBmpRep(nullptr, 0, "/tmp/never.psd", false, true));
}

TEST(PSDOutputFiles, EveryRepresentationGetsItsOwnNumberedFile) {
  testsupport::TempDir dir;
  const std::string path = dir.file("photo.psd");
  // "photo 2.psd" is taken by someone else's file: it stays, the numbering skips it.
  foundation::writeFileAtomically(dir.file("photo 2.psd"), std::vector<std::uint8_t>{'x'});
  ImportedImage engine;
  const auto image = imageOf({quadrantRep(10, 6), quadrantRep(20, 12), quadrantRep(30, 18)});
  ASSERT_TRUE(engine.saveMultiplePSDFilesFromImage(image, false, path));
  EXPECT_EQ(sizeOf(path), "10x6");
  EXPECT_EQ(sizeOf(dir.file("photo 3.psd")), "20x12");
  EXPECT_EQ(sizeOf(dir.file("photo 4.psd")), "30x18");
  EXPECT_EQ(foundation::readFile(dir.file("photo 2.psd"))->size(), 1u);
  EXPECT_EQ(engine.urlsArray.size(), 3u);
}

TEST(PSDOutputFiles, AFailedRepresentationAnswersNoAndNeverTakesTheFirstName) {
  // A side beyond what any PSD file holds cannot be written.
  const auto tooWide = quadrantRep(300001, 1);
  struct Case {
    const char* name;
    std::vector<BitmapRepRef> reps;
    std::vector<std::pair<const char*, const char*>> files;  // name, size
  } cases[] = {
      {"first fails", {tooWide, quadrantRep(10, 6)}, {{"out 2.psd", "10x6"}}},
      {"middle fails",
       {quadrantRep(10, 6), tooWide, quadrantRep(20, 12)},
       {{"out.psd", "10x6"}, {"out 2.psd", "20x12"}}},
  };
  for (const Case& c : cases) {
    testsupport::TempDir dir;
    ImportedImage engine;
    EXPECT_FALSE(engine.saveMultiplePSDFilesFromImage(imageOf(c.reps), false, dir.file("out.psd"))) << c.name;
    EXPECT_EQ(filesIn(dir.path()), c.files.size()) << c.name;
    for (auto [name, size] : c.files) EXPECT_EQ(sizeOf(dir.file(name)), size) << c.name << " " << name;
  }
}

TEST(PSDOutputFiles, DispatcherWritesOneFilePerRepresentationOfAnotherSource) {
  testsupport::TempDir dir;
  ImportedImage engine;
  const std::string path = dir.file("pages.psd");
  ASSERT_TRUE(engine.saveImage(imageOf({quadrantRep(16, 8), quadrantRep(8, 4)}), ConversionType::PSD, path,
                               FileType::TIFF, 1, 0, false, false, false, false));
  EXPECT_EQ(sizeOf(path), "16x8");
  EXPECT_EQ(sizeOf(dir.file("pages 2.psd")), "8x4");
  EXPECT_EQ(filesIn(dir.path()), 2u);

  // One of them failing: NO, the written one stays, the largest
  // representation never replaces the first file.
  testsupport::TempDir failing;
  ImportedImage other;
  const std::string first = failing.file("pages.psd");
  EXPECT_FALSE(other.saveImage(imageOf({quadrantRep(8, 4), quadrantRep(300001, 1)}), ConversionType::PSD,
                               first, FileType::TIFF, 1, 0, false, false, false, false));
  EXPECT_EQ(sizeOf(first), "8x4");
  EXPECT_EQ(filesIn(failing.path()), 1u);
}

TEST(PSDOutputFiles, EmptyLayeredDataIsAFailedWriteWithoutFile) {
  // Every layer lies outside the document: the writer has no visible layer
  // and answers empty data.
  testsupport::TempDir dir;
  ImportedImage engine;
  const Value outside(Dictionary{{"Offset", Value(Array{Value(5000.0), Value(5000.0)})}});
  engine.psdInfoArray = Array{outside, outside};
  engine.setActFileTags(std::vector<std::string>{"Red"});
  const std::string path = dir.file("layers.psd");
  EXPECT_FALSE(engine.saveImage(imageOf({quadrantRep(8, 8), quadrantRep(4, 4)}), ConversionType::PSDLayered,
                                path, FileType::PNG, 1, 0, false, false, false, false));
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(filesIn(dir.path()), 0u);
  EXPECT_TRUE(engine.urlsArray.empty());
  EXPECT_TRUE(engine.psdInfoArray.empty());
}

TEST(PSDOutputFiles, LayerRecordsAreForgottenWhateverWayAWriteEnds) {
  // Successful writes that return early (one-layer PSD, metadata-keeping
  // TIFF) and failed ones all drop the records.
  struct Case {
    std::int64_t code;
    const char* name;
    bool keepMetadata;
  } cases[] = {{ConversionType::PSD, "a.psd", false},
               {ConversionType::PSDLayered, "b.psd", false},
               {ConversionType::TIFF, "c.tiff", true},
               {ConversionType::ICNS, "d.icns", false}};
  for (const Case& c : cases) {
    testsupport::TempDir dir;
    ImportedImage engine;
    engine.imageMetadataArray = Array{Value(Dictionary{}), Value(Dictionary{})};
    engine.psdInfoArray = Array{Value(Dictionary{{"Layer Name", Value("left over")}})};
    engine.psdCanvasSize = {8, 8};
    engine.saveImage(imageOf({quadrantRep(8, 8)}), c.code, dir.file(c.name), FileType::PSD, 1, 0,
                     c.keepMetadata, false, false, false);
    EXPECT_TRUE(engine.psdInfoArray.empty()) << c.name;
    EXPECT_EQ(engine.psdCanvasSize, (raster::Size{0, 0})) << c.name;
  }
}

TEST(PSDOutputFiles, RecordsOfAnotherImageAreNotUsed) {
  // Records for three layers and a composite meet an image of four other
  // representations (a batch collection): all four are plain layers.
  ImportedImage engine;
  Array records;
  for (const char* name : {"A", "B", "C"}) records.emplace_back(Dictionary{{"Layer Name", Value(name)}});
  records.emplace_back(Dictionary{{"Has Flattened Image", Value(true)}});
  engine.psdInfoArray = records;
  raster::ImageSet driverImage =
      imageOf({quadrantRep(4, 4), quadrantRep(4, 4), quadrantRep(4, 4), quadrantRep(8, 8)});
  for (const auto& rep : driverImage.representations()) engine.psdInfoRepresentations.push_back(rep);

  const raster::ImageSet collected =
      imageOf({quadrantRep(6, 6), quadrantRep(4, 4), quadrantRep(4, 4), quadrantRep(4, 4)});
  auto writer = engine.createPSDWriterForImage(collected, collected.representations()[0]);
  engine.drawPSDLayersWithPSDWriter(*writer, collected);
  ASSERT_EQ(writer->layers().size(), 4u);
  EXPECT_EQ(writer->layers()[0]->name(), "Layer 0");
  EXPECT_EQ(writer->layers()[3]->name(), "Layer 3");
  EXPECT_EQ(writer->documentSize(), (raster::Size{6, 6}));

  // The driver's own image keeps them.
  auto own = engine.createPSDWriterForImage(driverImage, driverImage.representations()[0]);
  engine.drawPSDLayersWithPSDWriter(*own, driverImage);
  ASSERT_EQ(own->layers().size(), 3u);
  EXPECT_EQ(own->layers()[0]->name(), "C");
  EXPECT_EQ(own->layers()[2]->name(), "A");
}

}  // namespace
}  // namespace velumar
