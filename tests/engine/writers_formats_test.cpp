// The output dispatcher, format by format: files read back by our decoders
// and checked with Debian's tools; resolution; codes that write nothing;
// failed writes.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "engine/imported_image_writer_support.h"
#include "engine/param_names.h"
#include "engine/writers_test_support.h"
#include "platform/foundation/files.h"

namespace velumar {
namespace {

using namespace writers_test;

struct FormatCase {
  std::string name;
  std::int64_t code;
  std::string extension;
  std::string type;
  int tolerance;   // per component, at the quadrants' centres
  bool storesDpi;  // the format records a resolution
  bool keepMetadata;
};

void PrintTo(const FormatCase& c, std::ostream* os) {
  *os << c.name;
}

std::vector<FormatCase> formatCases() {
  std::vector<FormatCase> cases;
  for (bool keep : {false, true}) {
    const std::string suffix = keep ? " keeping metadata" : " plain";
    cases.push_back({"JPEG" + suffix, ConversionType::JPEG, "jpg", "public.jpeg", 40, true, keep});
    cases.push_back({"PNG" + suffix, ConversionType::PNG, "png", "public.png", 1, true, keep});
    cases.push_back({"BMP" + suffix, ConversionType::BMP, "bmp", "com.microsoft.bmp", 1, true, keep});
    cases.push_back({"TIFF" + suffix, ConversionType::TIFF, "tiff", "public.tiff", 1, true, keep});
    cases.push_back({"GIF" + suffix, ConversionType::GIF, "gif", "com.compuserve.gif", 1, false, keep});
    cases.push_back({"PDF" + suffix, ConversionType::PDF, "pdf", "com.adobe.pdf", 0, false, keep});
    cases.push_back({"HEIF" + suffix, ConversionType::HEIF, "heic", "public.heic", 40, false, keep});
  }
  return cases;
}

class WriterFormats : public ::testing::TestWithParam<FormatCase> {};

TEST_P(WriterFormats, WritesAReadableFileAndListsIt) {
  const FormatCase& c = GetParam();
  testsupport::TempDir dir;
  ImportedImage engine;
  if (c.keepMetadata) {
    const SourceMetadata metadata = cameraMetadata();
    if (metadata.imageRecord.isNull()) GTEST_SKIP() << "convert or exiftool missing";
    engine.imageMetadataArray = metadataArray(metadata, 1);
  }
  auto rep = quadrantRep(64, 48);
  rep->setSize({32, 24});  // 144 dpi
  const std::string path = dir.file("out." + c.extension);

  ASSERT_TRUE(engine.saveImage(imageOf({rep}), c.code, path, FileType::JPEG, 0.9, 1, c.keepMetadata, false,
                               false, false));
  EXPECT_EQ(engine.urlsArray, std::vector<std::string>{path});
  EXPECT_FALSE(engine.imageMetadataArray.has_value());
  EXPECT_EQ(filesIn(dir.path()), 1u) << "no temporary file stays behind";

  auto source = imageio::ImageSource::open(path);
  ASSERT_TRUE(source);
  EXPECT_EQ(source->type(), c.type);
  ASSERT_EQ(source->count(), 1u);
  if (c.code == ConversionType::PDF) {
    // The page has the picture's physical size: 64 × 48 pixels at 144 dpi.
    EXPECT_NE(tool({"pdfinfo", path}).find("32 x 24 pts"), std::string::npos) << tool({"pdfinfo", path});
    return;
  }
  const Value properties = source->properties(0);
  EXPECT_EQ(properties.get("PixelWidth")->intOr(0), 64);
  EXPECT_EQ(properties.get("PixelHeight")->intOr(0), 48);
  if (c.storesDpi) {
    ASSERT_TRUE(properties.get("DPIWidth"));
    EXPECT_NEAR(properties.get("DPIWidth")->doubleOr(0), 144.0, 0.05);
  }
  auto decoded = source->createImage(0);
  ASSERT_TRUE(decoded);
  expectNear(pixelAt(decoded, 16, 12), {255, 0, 0, 255}, c.tolerance, "top left");
  expectNear(pixelAt(decoded, 48, 12), {0, 255, 0, 255}, c.tolerance, "top right");
  expectNear(pixelAt(decoded, 16, 36), {0, 0, 255, 255}, c.tolerance, "bottom left");
  expectNear(pixelAt(decoded, 48, 36), {255, 255, 255, 255}, c.tolerance, "bottom right");
  // An independent reader agrees on the size.
  if (c.code != ConversionType::HEIF) {
    EXPECT_EQ(tool({"identify", "-format", "%wx%h", path}), "64x48");
  }
}

INSTANTIATE_TEST_SUITE_P(EachFormat, WriterFormats, ::testing::ValuesIn(formatCases()),
                         testing_names::ByNameMember());

TEST(WriterResolution, PixelWidthTimes72OverPointWidthRounded) {
  struct Case {
    std::int64_t pixels;
    double points;
    double dpi;
  } cases[] = {{3000, 1000, 216}, {2000, 1000, 144}, {100, 100, 72}, {101, 70, 104},  // 103.886 rounds up
               {300, 72, 300},    {1, 1000, 72},  // 0.072 rounds to 0: unusable
               {100, 0, 72},      {100, -5, 72}};
  for (const Case& c : cases) {
    auto rep = quadrantRep(c.pixels, 1);
    rep->setSize({c.points, 1});
    EXPECT_EQ(writers::resolutionOf(*rep), c.dpi) << c.pixels << " px over " << c.points << " pt";
  }
}

TEST(WriterDispatch, CodesWithoutAWriterHereWriteNothing) {
  struct Case {
    std::int64_t code;
    const char* why;
  } cases[] = {{ConversionType::TIFF2x, "2x TIFF is the session's"},
               {ConversionType::TIFFMultiple, "TIFF of several files is the session's"},
               {15, "unknown"},
               {-1, "unknown"}};
  for (const Case& c : cases) {
    testsupport::TempDir dir;
    ImportedImage engine;
    engine.imageMetadataArray = Array{Value(Dictionary{}), Value(Dictionary{})};
    engine.psdInfoArray = Array{Value(Dictionary{{"Layer Name", Value("x")}})};
    EXPECT_FALSE(engine.saveImage(imageOf({quadrantRep(8, 8)}), c.code, dir.file("out"), 0, 1, 0, true, true,
                                  false, false))
        << c.why;
    EXPECT_EQ(filesIn(dir.path()), 0u) << c.why;
    EXPECT_TRUE(engine.urlsArray.empty()) << c.why;
    if (c.code == ConversionType::TIFF2x || c.code == ConversionType::TIFFMultiple) {
      EXPECT_FALSE(engine.imageMetadataArray.has_value());
      EXPECT_TRUE(engine.psdInfoArray.empty());
    }
  }
}

TEST(WriterDispatch, AnImageWithoutRepresentationsWritesNothing) {
  testsupport::TempDir dir;
  ImportedImage engine;
  EXPECT_FALSE(engine.saveImage(raster::ImageSet(), ConversionType::PNG, dir.file("a.png"), 1, 1, 0, false,
                                false, false, false));
  EXPECT_EQ(filesIn(dir.path()), 0u);
}

TEST(WriterDispatch, IndexPastTheRepresentationsFallsBackToTheFirst) {
  testsupport::TempDir dir;
  ImportedImage engine;
  engine.indexMaxPixels = 7;
  ASSERT_TRUE(engine.saveImage(imageOf({quadrantRep(20, 10)}), ConversionType::BMP, dir.file("a.bmp"), 1, 1,
                               0, false, false, false, false));
  EXPECT_EQ(engine.indexMaxPixels, 0);
  EXPECT_EQ(tool({"identify", "-format", "%wx%h", dir.file("a.bmp")}), "20x10");
}

TEST(WriterFailures, AFailedWriteAnswersNoAndLeavesNoFile) {
  testsupport::TempDir dir;
  const std::string missingFolder = dir.file("no-such-folder");
  for (const FormatCase& c : formatCases()) {
    ImportedImage engine;
    const std::string path = missingFolder + "/out." + c.extension;
    EXPECT_FALSE(engine.saveImage(imageOf({quadrantRep(8, 8)}), c.code, path, 0, 1, 0, c.keepMetadata, false,
                                  false, false))
        << c.name;
    EXPECT_TRUE(engine.urlsArray.empty()) << c.name;
  }
  EXPECT_FALSE(std::filesystem::exists(missingFolder));
  EXPECT_EQ(filesIn(dir.path()), 0u);
}

TEST(WriterFailures, AnOldFileSurvivesAWriteThatFails) {
  testsupport::TempDir dir;
  const std::string path = dir.file("photo.jpg");
  ASSERT_TRUE(foundation::writeFileAtomically(path, foundation::Data{'o', 'l', 'd'}));
  ImportedImage engine;
  // Wider than JPEG can hold: the encoder refuses it.
  EXPECT_FALSE(engine.saveImage(imageOf({quadrantRep(65536, 1)}), ConversionType::JPEG, path, 0, 1, 0, false,
                                false, false, false));
  EXPECT_EQ(foundation::readFile(path), (foundation::Data{'o', 'l', 'd'}));
  EXPECT_EQ(filesIn(dir.path()), 1u);
}

TEST(WriterOverwrite, TheGivenPathIsReplacedAndFreeNamesAvoidIt) {
  testsupport::TempDir dir;
  const std::string path = dir.file("photo.png");
  ImportedImage engine;
  ASSERT_TRUE(engine.saveImage(imageOf({quadrantRep(10, 10)}), ConversionType::PNG, path, 1, 1, 0, false,
                               false, false, false));
  // Overwriting on: the session hands the same path again.
  ASSERT_TRUE(engine.saveImage(imageOf({quadrantRep(30, 10)}), ConversionType::PNG, path, 1, 1, 0, false,
                               false, false, false));
  EXPECT_EQ(tool({"identify", "-format", "%wx%h", path}), "30x10");
  // Overwriting off: the session asks for a free name first.
  const std::string free = ImportedImage::createFileNameWithPath(path);
  EXPECT_EQ(free, dir.file("photo 2.png"));
  ASSERT_TRUE(engine.saveImage(imageOf({quadrantRep(20, 10)}), ConversionType::PNG, free, 1, 1, 0, false,
                               false, false, false));
  EXPECT_EQ(tool({"identify", "-format", "%wx%h", path}), "30x10");
  EXPECT_EQ(engine.urlsArray, (std::vector<std::string>{path, path, free}));
}

}  // namespace
}  // namespace velumar
