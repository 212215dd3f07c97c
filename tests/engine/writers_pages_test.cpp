// Images with several representations: one file each for JPEG and PNG,
// pages of one TIFF or PDF, frames of one GIF, layers of one PSD; free
// names; the list of written files.

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/writers_test_support.h"
#include "platform/foundation/files.h"

namespace velumar {
namespace {

using namespace writers_test;

std::string sizeOf(const std::string& path) {
  return tool({"identify", "-format", "%wx%h", path});
}

TEST(WriterFreeNames, FirstFreeNumberedName) {
  testsupport::TempDir dir;
  std::filesystem::create_directory(dir.path() / "folder");
  for (const char* name : {"taken.jpg", "taken 2.jpg", "photo", "archive.tar.gz"})
    ASSERT_TRUE(foundation::writeFileAtomically(dir.file(name), foundation::Data{1}));
  struct Case {
    std::string path;
    std::string expected;
  } cases[] = {{"free.jpg", "free.jpg"},
               {"taken.jpg", "taken 3.jpg"},
               {"photo", "photo 2"},    // no extension
               {"folder", "folder 2"},  // a folder takes the name too
               {"archive.tar.gz", "archive.tar 2.gz"}};
  for (const Case& c : cases)
    EXPECT_EQ(ImportedImage::createFileNameWithPath(dir.file(c.path)), dir.file(c.expected)) << c.path;
}

TEST(WriterSeveralFiles, OneFilePerRepresentationUnderFreeNames) {
  struct Case {
    std::int64_t code;
    std::string extension;
    bool keepMetadata;
    bool secondTaken;
  } cases[] = {{ConversionType::JPEG, "jpg", false, false},
               {ConversionType::PNG, "png", false, false},
               {ConversionType::JPEG, "jpg", true, false},
               {ConversionType::PNG, "png", true, false},
               {ConversionType::JPEG, "jpg", false, true}};
  for (const Case& c : cases) {
    testsupport::TempDir dir;
    SCOPED_TRACE(c.extension + (c.keepMetadata ? " keeping metadata" : "") +
                 (c.secondTaken ? " name taken" : ""));
    ImportedImage engine;
    if (c.keepMetadata) {
      const SourceMetadata metadata = cameraMetadata();
      if (metadata.imageRecord.isNull()) {
        GTEST_SKIP() << "convert or exiftool missing";
      }
      engine.imageMetadataArray = metadataArray(metadata, 3);
    }
    auto path = [&](const std::string& stem) { return dir.file(stem + "." + c.extension); };
    if (c.secondTaken) {
      ASSERT_TRUE(foundation::writeFileAtomically(path("photo 2"), foundation::Data{1}));
    }
    engine.indexMaxPixels = 2;
    ASSERT_TRUE(engine.saveImage(imageOf({quadrantRep(10, 10), quadrantRep(20, 10), quadrantRep(30, 10)}),
                                 c.code, path("photo"), 4, 0.9, 0, c.keepMetadata, false, false, false));
    const std::vector<std::string> expected =
        c.secondTaken ? std::vector<std::string>{path("photo"), path("photo 3"), path("photo 4")}
                      : std::vector<std::string>{path("photo"), path("photo 2"), path("photo 3")};
    EXPECT_EQ(engine.urlsArray, expected);
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(sizeOf(expected[i]), std::to_string(10 * (i + 1)) + "x10");
      EXPECT_EQ(exifTag(expected[i], "DateTimeOriginal"), c.keepMetadata ? "2019:07:04 18:30:00" : "");
    }
    EXPECT_FALSE(engine.imageMetadataArray.has_value());
  }
}

TEST(WriterSeveralFiles, AFailedFileAnswersNoAndNeverReplacesTheFirst) {
  testsupport::TempDir dir;
  ImportedImage engine;
  engine.indexMaxPixels = 1;  // the largest is the one JPEG cannot hold
  const std::string path = dir.file("photo.jpg");
  EXPECT_FALSE(engine.saveImage(imageOf({quadrantRep(10, 10), quadrantRep(65536, 1), quadrantRep(30, 10)}),
                                ConversionType::JPEG, path, 4, 0.9, 0, false, false, false, false));
  EXPECT_EQ(sizeOf(path), "10x10");
  ASSERT_EQ(engine.urlsArray.size(), 2u);
  EXPECT_EQ(engine.urlsArray[0], path);
  EXPECT_EQ(sizeOf(engine.urlsArray[1]), "30x10");
  EXPECT_EQ(filesIn(dir.path()), 2u);
}

TEST(WriterTIFFPages, EveryRepresentationIsAPage) {
  testsupport::TempDir dir;
  ImportedImage engine;
  const SourceMetadata metadata = cameraMetadata();
  const bool haveMetadata = !metadata.imageRecord.isNull();
  auto image = [] { return imageOf({quadrantRep(30, 20), quadrantRep(60, 40), quadrantRep(15, 10)}); };
  struct Case {
    std::string name;
    bool keep;
    std::optional<Array> info;
    bool metadataExpected;
  };
  std::vector<Case> cases{{"plain.tiff", false, std::nullopt, false}};
  if (haveMetadata) {
    // One source file of three pages.
    cases.push_back({"one-file.tiff", true, Array{Value(metadataArray(metadata, 3))}, true});
    // A collection of two files: one page, then two.
    cases.push_back({"collection.tiff", true,
                     Array{Value(metadataArray(metadata, 1)), Value(metadataArray(metadata, 2))}, true});
    // Records that do not add up: written without metadata.
    cases.push_back({"mismatch.tiff", true, Array{Value(metadataArray(metadata, 2))}, false});
    cases.push_back({"not-asked.tiff", false, Array{Value(metadataArray(metadata, 3))}, false});
  }
  for (const Case& c : cases) {
    const std::string path = dir.file(c.name);
    engine.imageMetadataArray = Array{};
    ASSERT_TRUE(engine.saveATiffVersionFromImage(image(), path, 1, 1.0, c.keep, c.info)) << c.name;
    EXPECT_FALSE(engine.imageMetadataArray.has_value());
    auto source = imageio::ImageSource::open(path);
    ASSERT_TRUE(source);
    ASSERT_EQ(source->count(), 3u) << c.name;
    EXPECT_EQ(source->properties(1).get("PixelWidth")->intOr(0), 60);
    EXPECT_EQ(tool({"identify", "-format", "%wx%h,", path}), "30x20,60x40,15x10,");
    EXPECT_NE(tool({"tiffinfo", path}).find("Compression Scheme: LZW"), std::string::npos);
    EXPECT_EQ(exifTag(path, "DateTimeOriginal"), c.metadataExpected ? "2019:07:04 18:30:00" : "") << c.name;
  }
  EXPECT_EQ(engine.urlsArray.size(), cases.size());
}

TEST(WriterInfoArrays, MalformedArraysAreRefusedCleanly) {
  testsupport::TempDir dir;
  const raster::ImageSet image = imageOf({quadrantRep(8, 8), quadrantRep(8, 8)});
  struct Case {
    std::string name;
    Array info;
    bool accepted;  // by the metadata-keeping TIFF and GIF writers
  } cases[] = {
      {"empty", Array{}, false},
      {"not an array", Array{Value(5)}, false},
      {"empty inner", Array{Value(Array{})}, false},
      {"too many", Array{Value(Array(4, Value(Dictionary{})))}, false},
      {"records of other types", Array{Value(Array{Value("x"), Value(2), Value(Dictionary{})})}, true}};
  for (const Case& c : cases) {
    ImportedImage engine;
    EXPECT_EQ(engine.createCGImageTIFFMultipleRepsAndSaveMetadataFromImage(image, dir.file(c.name + ".tiff"),
                                                                           0, c.info),
              c.accepted)
        << c.name;
    EXPECT_EQ(
        engine.createCGImageGIFMultipleRepsAndSaveMetadataFromImage(image, dir.file(c.name + ".gif"), c.info),
        c.accepted)
        << c.name;
    // The public writers still write the pages, without metadata.
    EXPECT_TRUE(
        engine.saveATiffVersionFromImage(image, dir.file(c.name + "-pages.tiff"), 0, 1, true, c.info));
    EXPECT_TRUE(engine.saveAGifVersionFromImage(image, dir.file(c.name + "-frames.gif"), true, c.info));
  }
}

TEST(WriterGIFFrames, FramesKeepTheirDelaysAndTheLoopCount) {
  testsupport::TempDir dir;
  auto frameRecord = [](double delay) {
    return Value(Dictionary{{"{GIF}", Value(Dictionary{{"DelayTime", Value(delay)}})}});
  };
  const Value fileRecord(Dictionary{{"{GIF}", Value(Dictionary{{"LoopCount", Value(3)}})}});
  struct Case {
    std::string name;
    std::optional<Array> info;
    std::string frames;  // identify's size of each frame
  } cases[] = {
      {"animated.gif", Array{Value(Array{frameRecord(0.2), frameRecord(0.5), frameRecord(0.1), fileRecord})},
       "16x16,24x16,8x16,"},
      // One record short: only the largest frame.
      {"short.gif", Array{Value(Array{frameRecord(0.2), frameRecord(0.5), fileRecord})}, "24x16,"},
      {"no-records.gif", std::nullopt, "24x16,"}};
  for (const Case& c : cases) {
    ImportedImage engine;
    engine.indexMaxPixels = 1;
    const std::string path = dir.file(c.name);
    ASSERT_TRUE(engine.saveAGifVersionFromImage(
        imageOf({quadrantRep(16, 16), quadrantRep(24, 16), quadrantRep(8, 16)}), path, true, c.info));
    EXPECT_EQ(tool({"identify", "-format", "%wx%h,", path}), c.frames) << c.name;
    EXPECT_EQ(engine.urlsArray, std::vector<std::string>{path});
    if (c.name == "animated.gif") {
      EXPECT_EQ(tool({"identify", "-format", "%T,", path}), "20,50,10,");
      // The application extension holds the loop count (little-endian).
      const foundation::Data bytes = foundation::readFile(path).value_or(foundation::Data{});
      const std::string text(bytes.begin(), bytes.end());
      const std::size_t at = text.find("NETSCAPE2.0");
      ASSERT_NE(at, std::string::npos);
      ASSERT_GT(bytes.size(), at + 15);
      EXPECT_EQ(bytes[at + 13] | bytes[at + 14] << 8, 3);
      const Value file = imageio::ImageSource::open(path)->fileProperties();
      EXPECT_EQ(file.get("{GIF}")->get("LoopCount")->intOr(-1), 3);
    }
  }
}

TEST(WriterPDFPages, OnePagePerRepresentationAtItsPhysicalSize) {
  testsupport::TempDir dir;
  ImportedImage engine;
  auto first = quadrantRep(144, 72);
  first->setSize({72, 36});  // 144 dpi: 1 × 0.5 inch
  auto second = quadrantRep(100, 200);
  const std::string path = dir.file("pages.pdf");
  ASSERT_TRUE(engine.saveImage(imageOf({first, second}), ConversionType::PDF, path, 0, 1, 0, false, false,
                               false, false));
  const std::string info = tool({"pdfinfo", "-f", "1", "-l", "2", path});
  EXPECT_NE(info.find("Pages:           2"), std::string::npos) << info;
  EXPECT_NE(info.find("Page    1 size:  72 x 36 pts"), std::string::npos) << info;
  EXPECT_NE(info.find("Page    2 size:  100 x 200 pts"), std::string::npos) << info;
  auto source = imageio::ImageSource::open(path);
  ASSERT_TRUE(source);
  EXPECT_EQ(source->count(), 2u);
}

}  // namespace
}  // namespace velumar
