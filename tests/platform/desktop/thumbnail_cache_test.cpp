#include "platform/desktop/thumbnail_cache.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/imageio/image_destination.h"
#include "support/test_support.h"

namespace desktop {
namespace {

raster::ImageRef solid(std::int64_t width, std::int64_t height, std::uint8_t red) {
  std::vector<std::uint8_t> pixels(std::size_t(width * height) * 4, 255);
  for (std::size_t i = 0; i < pixels.size(); i += 4) pixels[i] = red;
  return raster::Image::make(width, height, raster::PixelFormat{8, 3, raster::AlphaInfo::Last},
                             raster::ColorSpace::sRGB(), std::move(pixels));
}

void writePng(const std::string& path, const raster::ImageRef& image) {
  auto destination = imageio::ImageDestination::create(path, "public.png", 1);
  ASSERT_TRUE(destination);
  destination->addImage(image, foundation::Value(foundation::Dictionary{}));
  ASSERT_TRUE(destination->finalize());
}

// The chunk types of a PNG file in order.
std::vector<std::string> chunkTypes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in), {}};
  std::vector<std::string> types;
  for (std::size_t at = 8; at + 12 <= bytes.size();) {
    const std::size_t length = std::size_t(bytes[at]) << 24 | std::size_t(bytes[at + 1]) << 16 |
                               std::size_t(bytes[at + 2]) << 8 | bytes[at + 3];
    types.emplace_back(reinterpret_cast<const char*>(&bytes[at + 4]), 4);
    at += 12 + length;
  }
  return types;
}

void setModificationTime(const std::string& path, std::int64_t seconds) {
  const struct utimbuf times { time_t(seconds), time_t(seconds) };
  ASSERT_EQ(::utime(path.c_str(), &times), 0);
}

class ThumbnailCacheTest : public ::testing::Test {
 protected:
  testsupport::TempDir dir;
  std::string cacheHome = dir.file("cache");
  ThumbnailCache cache{cacheHome + "/thumbnails"};

  testsupport::CommandResult gioInfo(const std::string& path) {
    return testsupport::runCommand(
        {"env", "XDG_CACHE_HOME=" + cacheHome, "gio", "info", "-a", "thumbnail::*", path});
  }
};

TEST_F(ThumbnailCacheTest, DesktopFindsOurThumbnailsUnderAwkwardNames) {
  const char* names[] = {"with space.png", "hash#1.png",       "100%.png",
                         "a&b.png",        "\xc3\xa4pfel.png", "raw\xff.png"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    const std::string path = dir.file(name);
    writePng(path, solid(40, 30, 200));
    const auto stamp = thumbnailStampForFile(path);
    ASSERT_TRUE(stamp);
    ASSERT_TRUE(cache.store(*stamp, ThumbnailSize::Large, solid(40, 30, 200), 0, 0));
    const std::string thumbnail = cache.thumbnailPath(stamp->uri, ThumbnailSize::Large);

    const auto info = gioInfo(path);
    ASSERT_EQ(info.exitCode, 0) << info.output;
    EXPECT_NE(info.output.find("thumbnail::path: " + thumbnail), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("thumbnail::is-valid: TRUE"), std::string::npos) << info.output;

    const auto types = chunkTypes(thumbnail);
    const auto idat = std::find(types.begin(), types.end(), "IDAT");
    EXPECT_EQ(std::count(types.begin(), idat, "tEXt"), 4);
    EXPECT_EQ(std::count(types.begin(), types.end(), "zTXt"), 0);
    struct stat fileInfo {};
    ASSERT_EQ(::stat(thumbnail.c_str(), &fileInfo), 0);
    EXPECT_EQ(fileInfo.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat((cacheHome + "/thumbnails/large").c_str(), &fileInfo), 0);
    EXPECT_EQ(fileInfo.st_mode & 0777, 0700u);
  }
}

TEST_F(ThumbnailCacheTest, TouchingTheFileInvalidatesItsThumbnail) {
  const std::string path = dir.file("photo.png");
  writePng(path, solid(8, 8, 10));
  setModificationTime(path, 1'600'000'000);
  const auto stamp = thumbnailStampForFile(path);
  ASSERT_TRUE(cache.store(*stamp, ThumbnailSize::Normal, solid(8, 8, 10), 0, 0));
  EXPECT_TRUE(cache.lookup(*stamp, ThumbnailSize::Normal));
  EXPECT_FALSE(cache.lookup(*stamp, ThumbnailSize::Large));

  setModificationTime(path, 1'600'000'001);
  const auto touched = thumbnailStampForFile(path);
  EXPECT_FALSE(cache.lookup(*touched, ThumbnailSize::Normal));
  const auto info = gioInfo(path);
  EXPECT_NE(info.output.find("thumbnail::is-valid: FALSE"), std::string::npos) << info.output;
}

TEST_F(ThumbnailCacheTest, ValidThumbnailOfAnotherProgramIsReadAsItIs) {
  const std::string path = dir.file("shot.png");
  writePng(path, solid(300, 200, 0));
  const auto stamp = thumbnailStampForFile(path);
  // An entry as another program writes it, with a different picture than
  // the source would give: reading it proves the source was not decoded.
  ASSERT_TRUE(cache.store(*stamp, ThumbnailSize::Large, solid(5, 3, 77), 200, 300));
  const auto found = cache.lookup(*stamp, ThumbnailSize::Large);
  ASSERT_TRUE(found && found->image);
  EXPECT_EQ(found->image->width(), 5);
  EXPECT_EQ(found->image->row(0)[0], 77);
  EXPECT_EQ(found->sourceWidth, 200);
  EXPECT_EQ(found->sourceHeight, 300);
}

TEST_F(ThumbnailCacheTest, BrokenOrForeignEntriesAreNotValid) {
  const std::string path = dir.file("x.png");
  writePng(path, solid(4, 4, 1));
  const auto stamp = thumbnailStampForFile(path);
  const std::string entry = cache.thumbnailPath(stamp->uri, ThumbnailSize::Normal);
  ASSERT_TRUE(cache.store(*stamp, ThumbnailSize::Normal, solid(4, 4, 1), 0, 0));
  std::ifstream in(entry, std::ios::binary);
  const std::string whole{std::istreambuf_iterator<char>(in), {}};

  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"truncated", whole.substr(0, whole.size() / 2)},
      {"empty", ""},
      {"not a PNG", "GIF89a" + whole},
      {"another file's URI",
       [&] {
         std::string other = whole;
         const auto at = other.find("x.png");
         other[at] = 'y';
         return other;
       }()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::ofstream(entry, std::ios::binary | std::ios::trunc) << c.bytes;
    EXPECT_FALSE(cache.lookup(*stamp, ThumbnailSize::Normal));
  }
  // A stale entry is replaced by the next store.
  EXPECT_TRUE(cache.store(*stamp, ThumbnailSize::Normal, solid(4, 4, 1), 0, 0));
  EXPECT_TRUE(cache.lookup(*stamp, ThumbnailSize::Normal));
}

TEST_F(ThumbnailCacheTest, FailureMarkersFollowTheFileVersion) {
  const std::string path = dir.file("broken.jpg");
  std::ofstream(path) << "not an image";
  setModificationTime(path, 1'500'000'000);
  const auto stamp = thumbnailStampForFile(path);
  EXPECT_FALSE(cache.hasFailure(*stamp));
  ASSERT_TRUE(cache.storeFailure(*stamp));
  EXPECT_TRUE(cache.hasFailure(*stamp));
  EXPECT_NE(cache.failurePath(stamp->uri).find("/fail/velumar-"), std::string::npos);
  setModificationTime(path, 1'500'000'100);
  EXPECT_FALSE(cache.hasFailure(*thumbnailStampForFile(path)));
}

TEST_F(ThumbnailCacheTest, UnwritableCacheFailsCleanly) {
  std::ofstream(dir.file("blocker")) << "a file where the cache folder should be";
  const ThumbnailCache blocked(dir.file("blocker") + "/thumbnails");
  const std::string path = dir.file("y.png");
  writePng(path, solid(4, 4, 1));
  const auto stamp = thumbnailStampForFile(path);
  EXPECT_FALSE(blocked.store(*stamp, ThumbnailSize::Normal, solid(4, 4, 1), 0, 0));
  EXPECT_FALSE(blocked.lookup(*stamp, ThumbnailSize::Normal));
}

TEST(ThumbnailNaming, UrisAndSizesMatchTheDesktop) {
  EXPECT_EQ(fileUriForPath("/tmp/a b#%&\xc3\xa4\xff"), "file:///tmp/a%20b%23%25&%C3%A4%FF");
  EXPECT_EQ(fileUriForPath("relative/path"), "");
  EXPECT_EQ(thumbnailSizeFor(100), ThumbnailSize::Normal);
  EXPECT_EQ(thumbnailSizeFor(256), ThumbnailSize::Large);
  EXPECT_EQ(thumbnailSizeFor(257), ThumbnailSize::XLarge);
  EXPECT_EQ(thumbnailSizeFor(5000), ThumbnailSize::XXLarge);
  const ThumbnailCache cache("/c");
  // The md5 of the URI, as the desktop names it.
  EXPECT_EQ(cache.thumbnailPath("file:///home/user/photos/me.png", ThumbnailSize::Normal),
            "/c/normal/82e527558437c903f8b4ac4d00c5ac11.png");
}

TEST(ThumbnailNaming, DefaultRootFollowsOnlyAnAbsoluteXdgCacheHome) {
  const char* oldCache = std::getenv("XDG_CACHE_HOME");
  const char* oldHome = std::getenv("HOME");
  const std::string savedCache = oldCache ? oldCache : "", savedHome = oldHome ? oldHome : "";
  ::setenv("HOME", "/home/someone", 1);
  const struct {
    const char* cacheHome;
    std::string root;
  } rows[] = {
      {"/var/cache/someone", "/var/cache/someone/thumbnails"},
      // Relative or empty values are invalid and ignored.
      {"relative/cache", "/home/someone/.cache/thumbnails"},
      {"./.cache", "/home/someone/.cache/thumbnails"},
      {"", "/home/someone/.cache/thumbnails"},
  };
  for (const auto& row : rows) {
    ::setenv("XDG_CACHE_HOME", row.cacheHome, 1);
    EXPECT_EQ(ThumbnailCache::defaultRoot(), row.root) << row.cacheHome;
  }
  if (oldCache) ::setenv("XDG_CACHE_HOME", savedCache.c_str(), 1); else ::unsetenv("XDG_CACHE_HOME");
  if (oldHome) ::setenv("HOME", savedHome.c_str(), 1); else ::unsetenv("HOME");
}

}  // namespace
}  // namespace desktop
