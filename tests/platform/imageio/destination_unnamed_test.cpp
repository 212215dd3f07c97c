// Writes that get a name only when complete: nothing named appears in the
// folder while a file is written, every writer works through the unnamed
// file, a write under deferred naming waits for its claim, and a file-size
// limit fails the write instead of ending the process.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>

#include <sys/stat.h>

#include "platform/imageio/deferred_naming.h"
#include "platform/imageio/type_detection.h"
#include "platform/imageio/unnamed_file.h"
#include "raster_codecs_test_support.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using rastertest::makeImage;

std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  return names;
}

TEST(DestinationUnnamed, PendingFileHasNoNameUntilCommitted) {
  testsupport::TempDir dir;
  const std::string target = dir.file("out.png");
  auto file = imageio::UnnamedFile::createFor(target);
  ASSERT_TRUE(file);
  ASSERT_TRUE(file->isUnnamed()) << "the test folder's file system should have unnamed files";
  rastertest::writeBytes(file->path(), {'n', 'e', 'w'});
  EXPECT_TRUE(namesIn(dir.path()).empty());
  ASSERT_TRUE(file->commit(target));
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"out.png"});
  EXPECT_EQ(rastertest::fileBytes(target), (std::vector<std::uint8_t>{'n', 'e', 'w'}));

  // Replacing keeps one name; a dropped file leaves nothing.
  auto again = imageio::UnnamedFile::createFor(target);
  rastertest::writeBytes(again->path(), {'2'});
  ASSERT_TRUE(again->commit(target));
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"out.png"});
  EXPECT_EQ(rastertest::fileBytes(target), (std::vector<std::uint8_t>{'2'}));
  imageio::UnnamedFile::createFor(dir.file("dropped.png")).reset();
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"out.png"});
}

TEST(DestinationUnnamed, DeferredWritesWaitForTheirClaim) {
  testsupport::TempDir dir;
  const std::string old = dir.file("old.png");
  rastertest::writeBytes(old, {'o', 'l', 'd'});
  ASSERT_EQ(::chmod(old.c_str(), 0640), 0);
  std::vector<imageio::EncodedFile> files;
  {
    imageio::DeferredNaming deferred;
    ASSERT_TRUE(rastertest::writeImage(dir.file("draft.png"), "public.png", makeImage(32, 24, 3, 8, false)));
    ASSERT_TRUE(rastertest::writeImage(dir.file("other.png"), "public.png", makeImage(8, 8, 3, 8, false)));
    files = deferred.take();
  }
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].intendedPath(), dir.file("draft.png"));
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"old.png"});

  // Claimed under another name it replaces that file and takes its
  // permissions; once only. The unclaimed one leaves nothing.
  ASSERT_TRUE(files[0].claim(old));
  EXPECT_FALSE(files[0].claim(dir.file("again.png")));
  files.clear();
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"old.png"});
  struct stat status {};
  ASSERT_EQ(::stat(old.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0640u);
  EXPECT_EQ(testsupport::runCommand({"identify", "-format", "%wx%h", old}).output, "32x24");
}

TEST(DestinationUnnamed, EveryWriterWritesThroughTheUnnamedFile) {
  testsupport::TempDir dir;
  foundation::Dictionary exif{{"DateTimeOriginal", "2019:07:04 18:30:00"}};
  const foundation::Value props(foundation::Dictionary{{"{Exif}", exif}});
  for (const std::string& type : imageio::writableTypes()) {
    const std::string path = dir.file("out." + imageio::preferredExtension(type));
    // Two pages where a format keeps pages, so the multi-page metadata
    // path runs as well.
    const std::vector<raster::ImageRef> pages = {makeImage(32, 32, 3, 8, false),
                                                 makeImage(16, 16, 3, 8, false)};
    ASSERT_TRUE(rastertest::writeFrames(path, type, pages, {props, props})) << type;
    auto source = imageio::ImageSource::open(path);
    ASSERT_TRUE(source) << type;
    EXPECT_GE(source->count(), 1u) << type;
  }
  EXPECT_EQ(namesIn(dir.path()).size(), imageio::writableTypes().size());
}

TEST(DestinationUnnamed, FileSizeLimitFailsTheWriteAndLeavesNothing) {
  testsupport::TempDir dir;
  const std::string fresh = dir.file("big.bmp");
  const std::string kept = dir.file("kept.bmp");
  rastertest::writeBytes(kept, {'o', 'l', 'd'});
  rlimit previous{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
  rlimit small = previous;
  small.rlim_cur = 64 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool wroteFresh =
      rastertest::writeImage(fresh, "com.microsoft.bmp", makeImage(400, 400, 3, 8, false));
  const bool wroteKept = rastertest::writeImage(kept, "com.microsoft.bmp", makeImage(400, 400, 3, 8, false));
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &previous), 0);
  EXPECT_FALSE(wroteFresh);
  EXPECT_FALSE(wroteKept);
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"kept.bmp"});
  EXPECT_EQ(rastertest::fileBytes(kept), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
}

}  // namespace
