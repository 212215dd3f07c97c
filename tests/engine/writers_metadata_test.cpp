// Metadata kept or dropped, as exiftool reads it back; TIFF compression;
// JPEG with an exported depth image; Finder-style tags; float output.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

#include "engine/imported_image_writer_support.h"
#include "engine/writers_test_support.h"
#include "platform/foundation/files.h"

namespace velumar {
namespace {

using namespace writers_test;

class WriterMetadata : public ::testing::Test {
 protected:
  void SetUp() override {
    metadata_ = cameraMetadata();
    if (metadata_.imageRecord.isNull()) GTEST_SKIP() << "convert or exiftool missing";
  }
  testsupport::TempDir dir_;
  SourceMetadata metadata_;
};

TEST_F(WriterMetadata, KeptOrDroppedAsAsked) {
  struct Case {
    std::int64_t code;
    const char* name;
  } cases[] = {
      {ConversionType::JPEG, "a.jpg"}, {ConversionType::PNG, "a.png"}, {ConversionType::TIFF, "a.tiff"}};
  for (const Case& c : cases) {
    for (bool keep : {true, false}) {
      ImportedImage engine;
      engine.imageMetadataArray = metadataArray(metadata_, 1);
      const std::string path = dir_.file(std::string(keep ? "kept-" : "dropped-") + c.name);
      ASSERT_TRUE(engine.saveImage(imageOf({quadrantRep(40, 30)}), c.code, path, FileType::JPEG, 0.8, 0, keep,
                                   false, false, false));
      SCOPED_TRACE(path);
      if (keep) {
        EXPECT_EQ(exifTag(path, "DateTimeOriginal"), "2019:07:04 18:30:00");
        EXPECT_NEAR(std::atof(exifTag(path, "GPSLatitude").c_str()), 48.8584, 1e-3);
        EXPECT_EQ(exifTag(path, "Artist"), "Velumar Tests");
        // The pixels are upright: the source's orientation 6 is not kept.
        EXPECT_EQ(exifTag(path, "Orientation"), "1");
        // Pixel dimensions describe the output, not the 64 × 48 source.
        EXPECT_EQ(exifTag(path, "ExifImageWidth"), "40");
        EXPECT_EQ(exifTag(path, "ExifImageHeight"), "30");
      } else {
        EXPECT_EQ(exifTag(path, "DateTimeOriginal"), "");
        EXPECT_EQ(exifTag(path, "GPSLatitude"), "");
        EXPECT_EQ(exifTag(path, "Artist"), "");
      }
      EXPECT_FALSE(engine.imageMetadataArray.has_value());
    }
  }
}

TEST(WriterRealPhoto, CameraMetadataSurvivesAConversion) {
  const auto root = testsupport::fetchDebianPackageFiles("mate-backgrounds");
  const std::string photo = (root / "usr/share/backgrounds/mate/nature/Dune.jpg").string();
  if (root.empty() || !std::filesystem::exists(photo)) GTEST_SKIP() << "mate-backgrounds not available";
  auto source = imageio::ImageSource::open(photo);
  ASSERT_TRUE(source);
  testsupport::TempDir dir;
  for (auto [code, name] :
       {std::pair{ConversionType::JPEG, "dune.jpg"}, {ConversionType::TIFF, "dune.tiff"}}) {
    ImportedImage engine;
    engine.imageMetadataArray = Array{source->properties(0), source->fileProperties()};
    const std::string path = dir.file(name);
    ASSERT_TRUE(engine.saveImage(imageOf({quadrantRep(160, 120)}), code, path, FileType::JPEG, 0.8, 1, true,
                                 false, false, false));
    for (const char* tag : {"Model", "Make", "DateTimeOriginal", "ExposureTime", "FNumber"})
      EXPECT_EQ(exifTag(path, tag), exifTag(photo, tag)) << name << " " << tag;
    EXPECT_EQ(exifTag(path, "ExifImageWidth"), "160") << name;
    EXPECT_EQ(exifTag(path, "Orientation"), "1") << name;
  }
}

TEST_F(WriterMetadata, RecordOfTheWrittenRepresentation) {
  // The dispatcher writes the representation at indexMaxPixels with its
  // own record.
  ImportedImage engine;
  Dictionary other = *metadata_.imageRecord.asDictionary();
  other.set("{Exif}", Value(Dictionary{{"DateTimeOriginal", Value("2001:02:03 04:05:06")}}));
  engine.imageMetadataArray = Array{metadata_.imageRecord, Value(other), metadata_.fileRecord};
  engine.indexMaxPixels = 1;
  const std::string path = dir_.file("second.tiff");
  ASSERT_TRUE(engine.createCGImageAndSaveMetadataFromBitmapRep(quadrantRep(8, 8), 1, writers::kTypeTIFF, path,
                                                               1, 0, true));
  EXPECT_EQ(exifTag(path, "DateTimeOriginal"), "2001:02:03 04:05:06");
}

TEST_F(WriterMetadata, TIFFCompressionSettings) {
  struct Case {
    std::int64_t setting;
    std::int64_t code;
    const char* scheme;
  } cases[] = {{0, 1, "None"}, {1, 5, "LZW"}, {2, 32773, "PackBits"}, {3, 1, "None"}};
  for (const Case& c : cases) {
    Dictionary dictionary;
    ImportedImage::setTIFFCompressionForDictionary(dictionary, c.setting);
    EXPECT_EQ(dictionary.find("Compression")->intOr(0), c.code);
    for (bool keep : {true, false}) {
      ImportedImage engine;
      engine.imageMetadataArray = metadataArray(metadata_, 1);
      const std::string path = dir_.file("c" + std::to_string(c.setting) + (keep ? "k" : "d") + ".tiff");
      ASSERT_TRUE(engine.saveImage(imageOf({quadrantRep(16, 16)}), ConversionType::TIFF, path, 0, 1,
                                   c.setting, keep, false, false, false));
      const std::string info = tool({"tiffinfo", path});
      EXPECT_NE(info.find(std::string("Compression Scheme: ") + c.scheme), std::string::npos) << info;
      auto source = imageio::ImageSource::open(path);
      ASSERT_TRUE(source);
      const Value properties = source->properties(0);
      const Value* tiff = properties.get("{TIFF}");
      ASSERT_TRUE(tiff && tiff->get("Compression"));
      EXPECT_EQ(tiff->get("Compression")->intOr(0), c.code);
    }
  }
}

TEST_F(WriterMetadata, JPEGWithDepthKeepsQualityResolutionAndMetadata) {
  auto rep = quadrantRep(64, 48);
  rep->setSize({32, 24});  // 144 dpi
  auto write = [&](bool withDepth, bool keep, const std::string& name) {
    ImportedImage engine;
    engine.imageMetadataArray = metadataArray(metadata_, 1);
    if (withDepth)
      engine.exportedDepthImage =
          ci::Image::constantColor(ci::Color{0.5, 0.5, 0.5, 1})->cropped(raster::Rect(0, 0, 64, 48));
    const std::string path = dir_.file(name);
    EXPECT_TRUE(
        engine.saveImage(imageOf({rep}), ConversionType::JPEG, path, 0, 0.55, 0, keep, false, false, false));
    return path;
  };
  for (bool keep : {true, false}) {
    const std::string plain = write(false, keep, keep ? "plain-kept.jpg" : "plain.jpg");
    const std::string depth = write(true, keep, keep ? "depth-kept.jpg" : "depth.jpg");
    SCOPED_TRACE(depth);
    EXPECT_EQ(tool({"identify", "-format", "%Q", depth}), tool({"identify", "-format", "%Q", plain}));
    EXPECT_EQ(tool({"identify", "-format", "%Q", depth}), "55");
    EXPECT_EQ(tool({"identify", "-format", "%x", depth}), tool({"identify", "-format", "%x", plain}));
    EXPECT_EQ(exifTag(depth, "DateTimeOriginal"), keep ? "2019:07:04 18:30:00" : "");
  }
}

TEST(WriterDepth, ExportedAtHalfScaleFromTheOrigin) {
  ImportedImage engine;
  EXPECT_FALSE(engine.exportDepthImageToDestination().has_value());
  // A depth image off the origin, darker on the left half.
  engine.exportedDepthImage = ci::Image::constantColor(ci::Color{0.25, 0.25, 0.25, 1})
                                  ->cropped(raster::Rect(10, 20, 20, 40))
                                  ->compositedOver(ci::Image::constantColor(ci::Color{0.75, 0.75, 0.75, 1})
                                                       ->cropped(raster::Rect(10, 20, 40, 40)));
  auto depth = engine.exportDepthImageToDestination();
  ASSERT_TRUE(depth);
  EXPECT_EQ(depth->width, 20);
  EXPECT_EQ(depth->height, 20);
  EXPECT_NEAR(depth->values[2], 0.25f, 0.02f);
  EXPECT_NEAR(depth->values[17], 0.75f, 0.02f);
}

TEST(WriterHEIF, CarriesTheExportedDepthImage) {
  testsupport::TempDir dir;
  for (bool withDepth : {false, true}) {
    ImportedImage engine;
    if (withDepth)
      engine.exportedDepthImage =
          ci::Image::constantColor(ci::Color{0.5, 0.5, 0.5, 1})->cropped(raster::Rect(0, 0, 64, 64));
    const std::string path = dir.file(withDepth ? "depth.heic" : "plain.heic");
    ASSERT_TRUE(engine.saveImage(imageOf({quadrantRep(64, 64)}), ConversionType::HEIF, path, 0, 1, 0, false,
                                 false, false, false));
    auto source = imageio::ImageSource::open(path);
    ASSERT_TRUE(source);
    auto depth = source->depthData();
    EXPECT_EQ(depth.has_value(), withDepth);
    if (depth) {
      EXPECT_EQ(depth->width, 32);
      EXPECT_EQ(depth->height, 32);
    }
    const std::string info = tool({"heif-info", path});
    EXPECT_EQ(info.find("depth channel: yes") != std::string::npos, withDepth) << info;
  }
}

TEST(WriterTags, EveryFileGetsTheSourcesTagsButOnePerRepresentationFiles) {
  testsupport::TempDir dir;
  const std::string probe = dir.file("probe");
  ASSERT_TRUE(foundation::writeFileAtomically(probe, foundation::Data{1}));
  if (!foundation::writeTags(probe, {"x"})) GTEST_SKIP() << "no extended attributes here";
  const std::vector<std::string> tags{"Red", "Holiday"};
  struct Case {
    std::int64_t code;
    std::string name;
    std::size_t reps;
    bool tagged;
  } cases[] = {{ConversionType::JPEG, "a.jpg", 1, true},  {ConversionType::PNG, "a.png", 1, true},
               {ConversionType::BMP, "a.bmp", 1, true},   {ConversionType::TIFF, "a.tiff", 1, true},
               {ConversionType::GIF, "a.gif", 1, true},   {ConversionType::PDF, "a.pdf", 2, true},
               {ConversionType::HEIF, "a.heic", 1, true}, {ConversionType::PSDLayered, "a.psd", 2, true},
               {ConversionType::JPEG, "m.jpg", 2, false}, {ConversionType::PNG, "m.png", 2, false}};
  for (const Case& c : cases) {
    ImportedImage engine;
    engine.setActFileTags(tags);
    ASSERT_TRUE(engine.saveImage(imageOf(std::vector<BitmapRepRef>(c.reps, quadrantRep(8, 8))), c.code,
                                 dir.file(c.name), 0, 1, 0, false, false, false, false))
        << c.name;
    ASSERT_FALSE(engine.urlsArray.empty());
    for (const std::string& written : engine.urlsArray)
      EXPECT_EQ(foundation::readTags(written), c.tagged ? tags : std::vector<std::string>{}) << written;
  }
  ImportedImage untagged;
  ASSERT_TRUE(untagged.saveImage(imageOf({quadrantRep(8, 8)}), ConversionType::PNG, dir.file("none.png"), 0,
                                 1, 0, false, false, false, false));
  EXPECT_TRUE(foundation::readTags(dir.file("none.png")).empty());
}

TEST(WriterFloat, NoNaNOrInfinityReachesTheFile) {
  testsupport::TempDir dir;
  const float nan = std::nanf(""), inf = std::numeric_limits<float>::infinity();
  std::vector<float> values{nan, 0.5f, inf, 1.0f, -inf, 0.25f, 0.5f, 1.0f, 0.1f, nan, 0.3f, 1.0f, 1, 1, 1, 1};
  auto rep = raster::BitmapImageRep::withImage(testimages::floatImage(
      values, 2, 2, raster::PixelFormat{32, 3, raster::AlphaInfo::Last}, raster::ColorSpace::sRGB()));
  ASSERT_TRUE(rep);
  ImportedImage engine;
  const std::string path = dir.file("float.tiff");
  ASSERT_TRUE(
      engine.saveImage(imageOf({rep}), ConversionType::TIFF, path, 0, 1, 0, false, false, false, false));
  EXPECT_NE(tool({"tiffinfo", path}).find("IEEE floating point"), std::string::npos);
  auto decoded = imageio::ImageSource::open(path)->createImage(0);
  ASSERT_TRUE(decoded);
  ASSERT_TRUE(decoded->format().isFloat());
  EXPECT_EQ(testimages::nonFiniteCount(decoded), 0);
}

}  // namespace
}  // namespace velumar
