// Face crops saved beside the output: folder names, numbering, the folder
// beside an icon set and beside the name an output took, and crops dropped
// when no folder can be made.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/imported_image.h"
#include "engine_test_images.h"
#include "filters/cifiltering.h"
#include "platform/imageio/image_source.h"
#include "platform/imageio/unnamed_file.h"
#include "support/test_support.h"

namespace velumar {
namespace {

namespace fs = std::filesystem;

void collectCrops(ImportedImage& engine, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i)
    engine.ciPhotoFilters->cropFacesArray.push_back(
        raster::BitmapImageRep::withImage(testimages::solidImage(20 + std::int64_t(i), 30, {200, 150, 120})));
}

TEST(FaceCropFiles, OneNumberedPNGPerFaceInAFolderOfItsOwn) {
  testsupport::TempDir dir;
  ImportedImage engine;
  collectCrops(engine, 3);
  engine.saveCropFaceRepsToFile(dir.file("beach.jpg"));
  EXPECT_TRUE(engine.ciPhotoFilters->cropFacesArray.empty());
  for (std::size_t i = 0; i < 3; ++i) {
    const std::string face = dir.file("Faces_beach/face_" + std::to_string(i) + ".png");
    auto source = imageio::ImageSource::open(face);
    ASSERT_TRUE(source) << face;
    EXPECT_EQ(source->createImage(0)->width(), 20 + std::int64_t(i));
    const auto described =
        testsupport::runCommand({"/usr/bin/identify", "-format", "%w %h %[channels]", face});
    EXPECT_EQ(described.output, std::to_string(20 + i) + " 30 srgba");
  }

  collectCrops(engine, 1);
  engine.saveCropFaceRepsToFile(dir.file("beach.jpg"));
  EXPECT_TRUE(fs::is_regular_file(dir.file("Faces_beach 2/face_0.png")));

  // No faces: no folder.
  engine.saveCropFaceRepsToFile(dir.file("lake.jpg"));
  EXPECT_FALSE(fs::exists(dir.file("Faces_lake")));
}

TEST(FaceCropFiles, BesideAnIconSetAndDroppedWithoutAFolder) {
  testsupport::TempDir dir;
  ImportedImage engine;
  collectCrops(engine, 2);
  const raster::ImageSet image = raster::ImageSet::withRepresentation(
      raster::BitmapImageRep::withImage(testimages::solidImage(40, 30, {10, 20, 30})));
  EXPECT_TRUE(engine.saveImage(image, ConversionType::XcodeIconSet, dir.file("photo.png"), 1, 1, 0, false,
                               false, false, false));
  EXPECT_TRUE(fs::is_directory(dir.file("photo_Xcode Iconset")));
  EXPECT_TRUE(fs::is_regular_file(dir.file("Faces_photo/face_1.png")));

  // Overwrite off, the name taken: the crops follow the name the output got.
  std::ofstream(dir.file("taken.png")) << "another program's file";
  {
    const imageio::NoReplaceScope noReplace;
    collectCrops(engine, 1);
    EXPECT_TRUE(engine.saveImage(image, ConversionType::PNG, dir.file("taken.png"), 1, 1, 0, false, false,
                                 false, false));
  }
  EXPECT_TRUE(fs::is_regular_file(dir.file("taken 2.png")));
  EXPECT_TRUE(fs::is_regular_file(dir.file("Faces_taken 2/face_0.png")));

  // A file where the folder's parent should be: the crops are dropped, not
  // kept for the next image's output.
  std::ofstream(dir.file("blocker")) << "a file";
  collectCrops(engine, 2);
  engine.saveCropFaceRepsToFile(dir.file("blocker/beach.jpg"));
  EXPECT_TRUE(engine.ciPhotoFilters->cropFacesArray.empty());
  engine.saveCropFaceRepsToFile(dir.file("next.jpg"));
  EXPECT_FALSE(fs::exists(dir.file("Faces_next")));
}

}  // namespace
}  // namespace velumar
