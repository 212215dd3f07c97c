#include "preview/thumbnail_loader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <map>

#include "platform/foundation/main_loop.h"
#include "platform/imageio/image_destination.h"
#include "support/test_support.h"

namespace velumar {
namespace {

raster::ImageRef gradient(std::int64_t width, std::int64_t height) {
  std::vector<std::uint8_t> pixels(std::size_t(width * height) * 3);
  for (std::int64_t y = 0; y < height; ++y)
    for (std::int64_t x = 0; x < width; ++x) {
      std::uint8_t* p = &pixels[std::size_t(y * width + x) * 3];
      p[0] = std::uint8_t(x * 255 / width);
      p[1] = std::uint8_t(y * 255 / height);
      p[2] = 90;
    }
  return raster::Image::make(width, height, raster::PixelFormat{8, 3, raster::AlphaInfo::None},
                             raster::ColorSpace::sRGB(), std::move(pixels));
}

void writeImage(const std::string& path, const std::string& type, std::int64_t width, std::int64_t height,
                int orientation = 1) {
  auto destination = imageio::ImageDestination::create(path, type, 1);
  ASSERT_TRUE(destination);
  // The orientation goes into the file with the EXIF block.
  const foundation::Dictionary exif{{"DateTimeOriginal", std::string("2020:01:02 03:04:05")}};
  destination->addImage(gradient(width, height), foundation::Value(foundation::Dictionary{
                                                     {"Orientation", orientation}, {"{Exif}", exif}}));
  ASSERT_TRUE(destination->finalize());
}

class ThumbnailLoaderTest : public ::testing::Test {
 protected:
  std::unique_ptr<ThumbnailLoader> loader(std::optional<desktop::ThumbnailCache> cache) {
    return std::make_unique<ThumbnailLoader>(
        [this](const ThumbnailKey& key, const Thumbnail& thumbnail) { delivered_[key.path] = thumbnail; },
        std::move(cache));
  }
  void finish(ThumbnailLoader& loader) {
    loader.waitUntilIdle();
    static_cast<foundation::PlainMainLoop*>(foundation::MainLoop::installed())->runPending();
  }
  std::vector<ThumbnailKey> keys(const std::vector<std::string>& names) const {
    std::vector<ThumbnailKey> out;
    for (const auto& name : names) out.push_back({dir_.file(name), 0});
    return out;
  }

  testsupport::TempDir dir_;
  desktop::ThumbnailCache cache_{dir_.file("cache/thumbnails")};
  std::map<std::string, Thumbnail> delivered_;
};

TEST_F(ThumbnailLoaderTest, ThumbnailsAreUprightFittedAndCached) {
  const struct {
    const char* name;
    const char* type;
    std::int64_t width, height;
    int orientation;
    std::int64_t shownWidth, shownHeight, thumbWidth, thumbHeight;
  } cases[] = {
      {"landscape.jpg", "public.jpeg", 1200, 900, 1, 1200, 900, 256, 192},
      {"turned.jpg", "public.jpeg", 1200, 900, 6, 900, 1200, 192, 256},
      {"small.png", "public.png", 100, 50, 1, 100, 50, 100, 50},
      {"tall.tiff", "public.tiff", 300, 3000, 1, 300, 3000, 26, 256},
  };
  std::vector<std::string> names;
  for (const auto& c : cases) {
    writeImage(dir_.file(c.name), c.type, c.width, c.height, c.orientation);
    names.push_back(c.name);
  }
  auto first = loader(cache_);
  first->request(keys(names));
  finish(*first);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Thumbnail& t = delivered_.at(dir_.file(c.name));
    ASSERT_TRUE(t.image);
    EXPECT_EQ(t.pixelWidth, c.shownWidth);
    EXPECT_EQ(t.pixelHeight, c.shownHeight);
    EXPECT_EQ(t.image->width(), c.thumbWidth);
    EXPECT_EQ(t.image->height(), c.thumbHeight);
    const auto stamp = desktop::thumbnailStampForFile(dir_.file(c.name));
    EXPECT_TRUE(cache_.lookup(*stamp, desktop::ThumbnailSize::Large));
    EXPECT_TRUE(first->thumbnail({dir_.file(c.name), 0}));
  }
  // The turned photo's thumbnail is upright: its top row is the source's left column.
  const Thumbnail& turned = delivered_.at(dir_.file("turned.jpg"));
  EXPECT_LT(turned.image->row(0)[0], 40);  // red grows along the source's x

  // A second loader gets the same thumbnails and sizes from the cache alone.
  delivered_.clear();
  auto second = loader(cache_);
  second->request(keys(names));
  finish(*second);
  for (const auto& c : cases) {
    const Thumbnail& t = delivered_.at(dir_.file(c.name));
    EXPECT_EQ(t.pixelWidth, c.shownWidth) << c.name;
    EXPECT_EQ(t.image->width(), c.thumbWidth) << c.name;
  }
}

TEST_F(ThumbnailLoaderTest, UndecodableFilesGetAPlaceholderAndAFailureMarker) {
  std::ofstream(dir_.file("broken.jpg")) << "\xff\xd8\xff garbage";
  std::ofstream(dir_.file("notes.txt")) << "text";
  auto l = loader(cache_);
  l->request(keys({"broken.jpg", "notes.txt", "missing.png"}));
  finish(*l);
  ASSERT_EQ(delivered_.size(), 3u);
  for (const auto& [path, thumbnail] : delivered_) EXPECT_FALSE(thumbnail.image) << path;
  EXPECT_TRUE(cache_.hasFailure(*desktop::thumbnailStampForFile(dir_.file("broken.jpg"))));
}

TEST_F(ThumbnailLoaderTest, WithoutAWritableCacheThumbnailsStayInMemory) {
  writeImage(dir_.file("a.png"), "public.png", 64, 64);
  std::ofstream(dir_.file("blocker")) << "x";
  for (auto cache : {std::optional<desktop::ThumbnailCache>(),
                     std::optional(desktop::ThumbnailCache(dir_.file("blocker/t")))}) {
    delivered_.clear();
    auto l = loader(cache);
    l->request(keys({"a.png"}));
    finish(*l);
    ASSERT_TRUE(delivered_.count(dir_.file("a.png")));
    EXPECT_TRUE(delivered_.at(dir_.file("a.png")).image);
    EXPECT_TRUE(l->thumbnail({dir_.file("a.png"), 0}));
  }
}

TEST_F(ThumbnailLoaderTest, ResetDropsWorkUnderWayAndLaterRequestsSkipWhatIsKept) {
  std::vector<std::string> names;
  for (int i = 0; i < 12; ++i) {
    names.push_back("p" + std::to_string(i) + ".png");
    writeImage(dir_.file(names.back()), "public.png", 400, 300);
  }
  auto l = loader(std::nullopt);
  l->request(keys(names));
  l->reset();
  finish(*l);
  EXPECT_TRUE(delivered_.empty());

  l->request(keys({"p0.png", "p1.png"}));
  finish(*l);
  EXPECT_EQ(delivered_.size(), 2u);
  delivered_.clear();
  // Kept items are not made again; a new version of a file is.
  l->request({{dir_.file("p0.png"), 0}, {dir_.file("p1.png"), 1}});
  finish(*l);
  ASSERT_EQ(delivered_.size(), 1u);
  EXPECT_TRUE(delivered_.count(dir_.file("p1.png")));
}

TEST(ThumbnailMemory, LeastRecentlyUsedGoBeyondTheBudget) {
  auto image = [](std::int64_t side) {
    return raster::Image::make(side, side, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB(),
                               std::vector<std::uint8_t>(std::size_t(side * side * 4)));
  };
  ThumbnailMemory memory(3 * 100 * 4);  // three 10 x 10 thumbnails
  for (const char* name : {"a", "b", "c"}) memory.insert({name, 0}, Thumbnail{image(10), 10, 10, ""});
  EXPECT_TRUE(memory.find({"a", 0}));  // a is now the most recent
  memory.insert({"d", 0}, Thumbnail{image(10), 10, 10, ""});
  EXPECT_TRUE(memory.contains({"a", 0}));
  EXPECT_FALSE(memory.contains({"b", 0}));
  EXPECT_TRUE(memory.contains({"c", 0}));
  EXPECT_FALSE(memory.contains({"a", 1}));                    // another version
  memory.insert({"c", 0}, Thumbnail{image(10), 10, 10, ""});  // replacing keeps the count
  EXPECT_EQ(memory.count(), 3u);
  EXPECT_EQ(memory.bytes(), 1200u);
  memory.insert({"big", 0}, Thumbnail{image(30), 30, 30, ""});  // alone beyond the budget: kept alone
  EXPECT_EQ(memory.count(), 1u);
  EXPECT_TRUE(memory.contains({"big", 0}));
}

}  // namespace
}  // namespace velumar
