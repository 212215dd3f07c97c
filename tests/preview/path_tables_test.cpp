// The preview's tables keyed by paths, filled through their owners with
// paths chosen to share one standard-library hash: a table on that hash
// would pile them all into one bucket.
#include <gtest/gtest.h>

#include <functional>

#include "platform/foundation/colliding_keys.h"
#include "preview/image_browser_model.h"
#include "preview/thumbnail_memory.h"

namespace velumar {
namespace {

struct NoGrid : ImageBrowserView {
  void reloadData() override {}
  void reloadDataWithIndexSet(const OrganizedIndexSet&) override {}
  void selectIndexes(const std::vector<std::size_t>&, std::size_t) override {}
};

TEST(PathTables, PathsChosenToCollideSpreadOverBuckets) {
  constexpr std::size_t kCount = 2000;
  // The owner's key is the path after keyPrefix; keyPrefix and the folder
  // with its '/' fill whole 8-byte blocks.
  const struct {
    const char* owner;
    std::string keyPrefix, folder;
    std::function<std::size_t(const std::vector<std::string>& paths, const std::string& folder)> largestBucket;
  } tables[] = {
      {"grid rows", "", "/home/user/Pictures/new",
       [](const std::vector<std::string>& paths, const std::string& folder) {
         PreviewList list([](const OrganizedURL&) { return true; });
         NoGrid grid;
         ImageBrowserMirror mirror(list, grid);
         ThumbnailLoader loader([](const ThumbnailKey&, const Thumbnail&) {}, std::nullopt);
         ImageBrowserModel model(mirror, loader);
         OrganizedURLList entries;
         for (const std::string& path : paths)
           entries.push_back(OrganizedURL::organizedURLWithPath(path, false, folder));
         list.verifyDuplicateImageUrlsWithUrlsArray(folder, entries);
         model.reload();
         EXPECT_EQ(std::size_t(model.rowCount()), paths.size());
         return model.largestPathBucket();
       }},
      {"thumbnails in memory", "0\n", "/home/user/Photos/new",
       [](const std::vector<std::string>& paths, const std::string&) {
         ThumbnailMemory memory(std::size_t(1) << 20);
         for (const std::string& path : paths) memory.insert({path, 0}, Thumbnail{});
         EXPECT_EQ(memory.count(), paths.size());
         return memory.largestIndexBucket();
       }},
  };
  for (const auto& table : tables) {
    SCOPED_TRACE(table.owner);
    std::vector<std::string> keys = plisttest::collidingUnderStdHash(
        kCount, table.keyPrefix + table.folder + '/', ".png",
        [](std::uint8_t byte) { return byte >= 0x20 && byte < 0x7f && byte != '/'; });
    ASSERT_EQ(keys.size(), kCount);
    ASSERT_EQ(std::hash<std::string>{}(keys.front()), std::hash<std::string>{}(keys.back()));
    for (std::string& key : keys) key.erase(0, table.keyPrefix.size());
    EXPECT_LE(table.largestBucket(keys, table.folder), 16u);
  }
}

}  // namespace
}  // namespace velumar
