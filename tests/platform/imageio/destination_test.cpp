// ImageDestination: writes through a temporary file renamed into place, so
// a failed write keeps an existing file and leaves nothing behind.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/imageio/type_detection.h"
#include "raster_codecs_test_support.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using rastertest::makeImage;

std::size_t entriesIn(const fs::path& folder) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++n;
  return n;
}

TEST(Destination, UnknownOrReadOnlyTypesHaveNoDestination) {
  testsupport::TempDir dir;
  EXPECT_FALSE(imageio::ImageDestination::create(dir.file("a"), "public.plain-text", 1));
  EXPECT_FALSE(imageio::ImageDestination::create("", "public.png", 1));
}

TEST(Destination, FailedWritesKeepTheOldFileAndLeaveNoTemporary) {
  testsupport::TempDir dir;
  const std::string path = dir.file("keep.png");
  rastertest::writeBytes(path, {'o', 'l', 'd'});
  struct Failure {
    const char* what;
    raster::ImageRef image;
  };
  // A missing image cannot be written at all.
  for (const Failure& f : {Failure{"null", nullptr}}) {
    auto destination = imageio::ImageDestination::create(path, "public.png", 1);
    ASSERT_TRUE(destination);
    destination->addImage(f.image, foundation::Value(foundation::Dictionary{}));
    EXPECT_FALSE(destination->finalize()) << f.what;
    EXPECT_EQ(rastertest::fileBytes(path), (std::vector<std::uint8_t>{'o', 'l', 'd'})) << f.what;
    EXPECT_EQ(entriesIn(dir.path()), 1u) << f.what;
  }
  auto empty = imageio::ImageDestination::create(path, "public.png", 1);
  EXPECT_FALSE(empty->finalize());
  EXPECT_EQ(entriesIn(dir.path()), 1u);
}

TEST(Destination, MissingFolderFails) {
  testsupport::TempDir dir;
  EXPECT_FALSE(
      rastertest::writeImage(dir.file("no/such/folder/a.png"), "public.png", makeImage(3, 3, 3, 8, false)));
}

TEST(Destination, SuccessReplacesTheFileKeepingItsPermissions) {
  testsupport::TempDir dir;
  const std::string path = dir.file("out.tiff");
  rastertest::writeBytes(path, {'o', 'l', 'd'});
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(rastertest::writeImage(path, "public.tiff", makeImage(9, 4, 3, 8, false)));
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(entriesIn(dir.path()), 1u);
  auto image = rastertest::readImage(path);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width(), 9);
}

TEST(Destination, NewFilesGetOrdinaryPermissions) {
  testsupport::TempDir dir;
  const std::string path = dir.file("new.png");
  const mode_t mask = umask(022);
  ASSERT_TRUE(rastertest::writeImage(path, "public.png", makeImage(3, 3, 3, 8, false)));
  umask(mask);
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST(Destination, FinalizeRunsOnce) {
  testsupport::TempDir dir;
  auto destination = imageio::ImageDestination::create(dir.file("a.bmp"), "com.microsoft.bmp", 1);
  ASSERT_TRUE(destination);
  destination->addImage(makeImage(3, 3, 3, 8, false), foundation::Value(foundation::Dictionary{}));
  EXPECT_TRUE(destination->finalize());
  EXPECT_FALSE(destination->finalize());
}

TEST(Destination, ExifOfTheFramesIsWrittenBack) {
  testsupport::TempDir dir;
  foundation::Dictionary exif{{"DateTimeOriginal", "2019:07:04 18:30:00"}};
  foundation::Value props(foundation::Dictionary{{"{Exif}", exif}, {"Orientation", 1}});
  for (const char* type : {"public.jpeg", "public.png", "public.tiff"}) {
    const std::string path = dir.file(std::string("exif.") + imageio::preferredExtension(type));
    ASSERT_TRUE(rastertest::writeImage(path, type, makeImage(16, 8, 3, 8, false), props)) << type;
    auto source = imageio::ImageSource::open(path);
    ASSERT_TRUE(source) << type;
    const auto* date = source->properties(0).get({"{Exif}", "DateTimeOriginal"});
    ASSERT_TRUE(date) << type;
    EXPECT_EQ(date->stringOr(""), "2019:07:04 18:30:00") << type;
  }
}

}  // namespace
