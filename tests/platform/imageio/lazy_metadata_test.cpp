// ImageSource reads a file's metadata on the first properties() call: the
// answers are the same as an eager read, from any number of threads at once,
// and the readability probe still tells readable files from the rest.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/imageio/image_source.h"
#include "platform/imageio/metadata.h"
#include "platform/imageio/type_detection.h"
#include "support/test_support.h"

namespace {

std::filesystem::path cameraPhoto() {
  const auto root = testsupport::fetchDebianPackageFiles("plasma-workspace-wallpapers");
  const auto photo = root / "usr/share/wallpapers/ColorfulCups/contents/screenshot.jpg";
  if (root.empty() || !std::filesystem::exists(photo)) return {};
  return photo;
}

TEST(LazyMetadata, PropertiesCarryTheFileMetadataOnEveryCall) {
  const auto photo = cameraPhoto();
  if (photo.empty()) GTEST_SKIP() << "wallpaper package unavailable";
  foundation::Value eager(foundation::Dictionary{});
  ASSERT_TRUE(imageio::readMetadata(photo.string(), eager));

  auto source = imageio::ImageSource::open(photo.string());
  ASSERT_TRUE(source);
  const foundation::Value first = source->properties(0);
  for (const auto& key : {"{Exif}", "{GPS}", "{TIFF}"}) {
    ASSERT_TRUE(first.get({key})) << key;
    EXPECT_EQ(*first.get({key}), *eager.get({key})) << key;
  }
  EXPECT_EQ(source->properties(0), first);
  // Out-of-range indices stay empty, before and after the metadata is read.
  auto other = imageio::ImageSource::open(photo.string());
  ASSERT_TRUE(other);
  EXPECT_TRUE(other->properties(3).asDictionary()->empty());
  EXPECT_EQ(other->properties(0), first);
}

TEST(LazyMetadata, ConcurrentFirstCallsAllSeeTheSameProperties) {
  const auto photo = cameraPhoto();
  if (photo.empty()) GTEST_SKIP() << "wallpaper package unavailable";
  auto reference = imageio::ImageSource::open(photo.string());
  ASSERT_TRUE(reference);
  const foundation::Value expected = reference->properties(0);

  auto source = imageio::ImageSource::open(photo.string());
  ASSERT_TRUE(source);
  constexpr int kThreads = 8;
  std::vector<foundation::Value> seen(kThreads);
  std::vector<bool> decoded(kThreads, false);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      // Half the threads start with a decode, which reads the orientation.
      if (i % 2 == 0) decoded[std::size_t(i)] = source->createImage(0, {64, true}) != nullptr;
      seen[std::size_t(i)] = source->properties(0);
    });
  }
  for (auto& t : threads) t.join();
  for (int i = 0; i < kThreads; ++i) {
    EXPECT_EQ(seen[std::size_t(i)], expected) << "thread " << i;
    if (i % 2 == 0) {
      EXPECT_TRUE(decoded[std::size_t(i)]) << "thread " << i;
    }
  }
}

TEST(LazyMetadata, ReadabilityProbeAnswersAsBefore) {
  testsupport::TempDir dir;
  const std::string garbage = dir.file("garbage.jpg");
  std::ofstream(garbage, std::ios::binary) << "\xFF\xD8\xFF not really a JPEG";
  const std::string empty = dir.file("empty.png");
  std::ofstream(empty, std::ios::binary).flush();
  EXPECT_FALSE(imageio::isReadableImage(garbage));
  EXPECT_FALSE(imageio::isReadableImage(empty));
  EXPECT_FALSE(imageio::isReadableImage(dir.file("missing.png")));
  EXPECT_FALSE(imageio::isReadableImage(dir.path().string()));
  const auto photo = cameraPhoto();
  if (photo.empty()) GTEST_SKIP() << "wallpaper package unavailable";
  EXPECT_TRUE(imageio::isReadableImage(photo.string()));
}

}  // namespace
