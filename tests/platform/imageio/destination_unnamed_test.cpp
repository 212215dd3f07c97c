// Writes that get a name only when complete: nothing named appears in the
// folder while a file is written, every writer works through the unnamed
// file, a write under deferred naming waits for its claim, and a file-size
// limit fails the write instead of ending the process.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
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

mode_t modeOf(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

// Without replacing, a commit whose name was taken while the file was
// written keeps the other file and takes the next free name, counting on
// from the name the free-name search started at.
TEST(DestinationUnnamed, CommitWithoutReplacingTakesTheNextFreeName) {
  struct Case {
    const char* label;
    std::vector<std::string> existing;  // made before the commit (after the file was created)
    std::string target, base, expected;
  };
  const Case cases[] = {
      {"free name", {}, "a.png", "a.png", "a.png"},
      {"taken meanwhile", {"a.png"}, "a.png", "a.png", "a 2.png"},
      {"numbered name taken", {"a.png", "a 2.png"}, "a 2.png", "a.png", "a 3.png"},
      {"numbered source name", {"IMG 2024.png"}, "IMG 2024.png", "IMG 2024.png", "IMG 2024 2.png"},
  };
  for (const Case& c : cases) {
    testsupport::TempDir dir;
    const imageio::NoReplaceScope noReplace;
    imageio::noteFreeNameBase(dir.file(c.target), dir.file(c.base));
    auto file = imageio::UnnamedFile::createFor(dir.file(c.target));
    ASSERT_TRUE(file) << c.label;
    rastertest::writeBytes(file->path(), {'n', 'e', 'w'});
    for (const std::string& name : c.existing) rastertest::writeBytes(dir.file(name), {'o', 'l', 'd'});
    ASSERT_TRUE(file->commit(dir.file(c.target))) << c.label;
    EXPECT_EQ(imageio::committedPath(dir.file(c.target)), dir.file(c.expected)) << c.label;
    EXPECT_EQ(rastertest::fileBytes(dir.file(c.expected)), (std::vector<std::uint8_t>{'n', 'e', 'w'}))
        << c.label;
    for (const std::string& name : c.existing)
      EXPECT_EQ(rastertest::fileBytes(dir.file(name)), (std::vector<std::uint8_t>{'o', 'l', 'd'})) << c.label;
    EXPECT_EQ(namesIn(dir.path()).size(), c.existing.size() + 1) << c.label;
  }
  // Outside the scope the moved names are forgotten and commits replace:
  // the scope put back what it found.
  testsupport::TempDir dir;
  EXPECT_EQ(imageio::committedPath(dir.file("a.png")), dir.file("a.png"));
  rastertest::writeBytes(dir.file("a.png"), {'o', 'l', 'd'});
  auto file = imageio::UnnamedFile::createFor(dir.file("a.png"));
  ASSERT_TRUE(file);
  rastertest::writeBytes(file->path(), {'n', 'e', 'w'});
  ASSERT_TRUE(file->commit(dir.file("a.png")));
  EXPECT_EQ(rastertest::fileBytes(dir.file("a.png")), (std::vector<std::uint8_t>{'n', 'e', 'w'}));
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"a.png"});
}

// Replacing keeps the replaced file's permissions, whatever the umask, and
// works for names so long that little room is left in the folder entry.
TEST(DestinationUnnamed, ReplacingKeepsModeAndWorksForLongNames) {
  testsupport::TempDir dir;
  const mode_t previousMask = ::umask(022);
  const std::string shared = dir.file("shared.png");
  rastertest::writeBytes(shared, {'o'});
  ::chmod(shared.c_str(), 0664);
  const std::string longName = dir.file(std::string(250, 'x') + ".png");
  rastertest::writeBytes(longName, {'o'});
  const bool wroteShared = rastertest::writeImage(shared, "public.png", makeImage(4, 4, 3, 8, false));
  const bool wroteLong = rastertest::writeImage(longName, "public.png", makeImage(4, 4, 3, 8, false));
  const bool wroteFresh = rastertest::writeImage(dir.file("fresh.png"), "public.png", makeImage(4, 4, 3, 8, false));
  const std::vector<std::uint8_t> psd = {'8', 'B', 'P', 'S'};
  const bool wrotePsd = imageio::writeFileCommitted(longName, psd.data(), psd.size());
  ::umask(previousMask);
  EXPECT_TRUE(wroteShared);
  EXPECT_TRUE(wroteLong);
  EXPECT_TRUE(wroteFresh);
  EXPECT_TRUE(wrotePsd);
  EXPECT_EQ(modeOf(shared), mode_t(0664));
  EXPECT_EQ(modeOf(dir.file("fresh.png")), mode_t(0644));
  EXPECT_EQ(rastertest::fileBytes(longName), psd);
  EXPECT_EQ(namesIn(dir.path()).size(), 3u);
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
