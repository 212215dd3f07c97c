#include "preview/image_browser_mirror.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/foundation/notification_center.h"

namespace velumar {
namespace {

using Positions = std::vector<std::size_t>;

// Records what the mirror asks of the grid.
struct RecordingView : ImageBrowserView {
  int reloads = 0;
  std::vector<OrganizedIndexSet> selectedReloads;
  std::vector<Positions> selections;
  void reloadData() override { ++reloads; }
  void reloadDataWithIndexSet(const OrganizedIndexSet& selection) override {
    selectedReloads.push_back(selection);
  }
  void selectIndexes(const Positions& indexes, std::size_t) override { selections.push_back(indexes); }
};

class ImageBrowserMirrorTest : public ::testing::Test {
 protected:
  static OrganizedURLList files(const std::vector<std::string>& names) {
    OrganizedURLList entries;
    for (const auto& name : names)
      entries.push_back(OrganizedURL::organizedURLWithPath("/p/" + name, false, "/p"));
    return entries;
  }
  void import(const std::vector<std::string>& names) {
    list_.verifyDuplicateImageUrlsWithUrlsArray("/p", files(names));
  }
  std::vector<std::string> gridTitles() const {
    std::vector<std::string> out;
    for (const auto& item : mirror_.items()) out.push_back(item.imageTitle());
    return out;
  }
  std::vector<std::string> listTitles() const {
    std::vector<std::string> out;
    for (const auto& entry : list_.imageFileUrls())
      out.push_back(std::filesystem::path(entry->path).stem().string());
    return out;
  }

  // Files named bad*.jpg cannot be shown.
  PreviewList list_{[](const OrganizedURL& entry) { return entry.fileName().rfind("bad", 0) != 0; }};
  RecordingView view_;
  ImageBrowserMirror mirror_{list_, view_};
};

TEST_F(ImageBrowserMirrorTest, ReorderMovesGridAndListAlike) {
  const struct {
    Positions moved;
    std::size_t destination;
    std::vector<std::string> order;
    Positions selected;
  } cases[] = {
      {{1, 3}, 5, {"0", "2", "4", "1", "3", "5"}, {3, 4}},
      {{4}, 0, {"4", "0", "1", "2", "3", "5"}, {0}},
      {{0, 1}, 6, {"2", "3", "4", "5", "0", "1"}, {4, 5}},
      {{5, 2, 2}, 1, {"0", "2", "5", "1", "3", "4"}, {1, 2}},
      // Dropped on its own place, before or after itself: it stays.
      {{3}, 3, {"0", "1", "2", "3", "4", "5"}, {3}},
      {{3}, 4, {"0", "1", "2", "3", "4", "5"}, {3}},
  };
  for (const auto& c : cases) {
    list_.resetOriginalImage();
    import({"0.jpg", "1.jpg", "2.jpg", "3.jpg", "4.jpg", "5.jpg"});
    ASSERT_TRUE(mirror_.moveItemsAtIndexes(c.moved, c.destination));
    EXPECT_EQ(gridTitles(), c.order);
    EXPECT_EQ(listTitles(), c.order);
    EXPECT_EQ(mirror_.imagesIndexSet().indexSet, c.selected);
    EXPECT_EQ(mirror_.imagesIndexSet().imageCount, c.selected.front());
    EXPECT_EQ(list_.imagesIndexSet(), mirror_.imagesIndexSet());
  }
}

TEST_F(ImageBrowserMirrorTest, DeletingEveryItemEmptiesBothWithoutFallingOutOfStep) {
  import({"a.jpg", "b.jpg", "c.jpg"});
  ASSERT_TRUE(mirror_.removeItemsAtIndexes({0, 1, 2}));
  EXPECT_TRUE(mirror_.items().empty());
  EXPECT_TRUE(list_.imageFileUrls().empty());
  import({"a.jpg", "b.jpg", "c.jpg"});
  ASSERT_TRUE(mirror_.removeItemsAtIndexes({2, 0}));
  EXPECT_EQ(gridTitles(), std::vector<std::string>{"b"});
  EXPECT_EQ(listTitles(), std::vector<std::string>{"b"});
}

TEST_F(ImageBrowserMirrorTest, FilesDroppedAtAPositionAreInsertedThere) {
  import({"a.jpg", "b.jpg", "c.jpg"});
  mirror_.setDropPosition(1);
  import({"x.jpg", "y.jpg", "a.jpg"});
  EXPECT_EQ(gridTitles(), (std::vector<std::string>{"a", "x", "y", "b", "c"}));
  EXPECT_EQ(listTitles(), gridTitles());
  // Without a drop position the files are appended.
  import({"z.jpg"});
  EXPECT_EQ(gridTitles().back(), "z");
  EXPECT_EQ(listTitles(), gridTitles());
  // The first dropped file cannot be shown: the block still goes where it
  // was dropped, and a delete then removes the cell the user chose.
  mirror_.setDropPosition(2);
  import({"bad1.jpg", "w.jpg"});
  EXPECT_EQ(gridTitles(), (std::vector<std::string>{"a", "x", "bad1", "w", "y", "b", "c", "z"}));
  EXPECT_TRUE(mirror_.inStep());
  EXPECT_EQ(list_.imagesIndexSet().imageCount, 3u);  // w, the first one shown
  ASSERT_TRUE(mirror_.removeItemsAtIndexes({2}));
  EXPECT_EQ(gridTitles(), (std::vector<std::string>{"a", "x", "w", "y", "b", "c", "z"}));
  EXPECT_EQ(listTitles(), gridTitles());
}

TEST_F(ImageBrowserMirrorTest, OverwriteBumpsOnlyTheGivenItemsInsideTheGrid) {
  import({"a.jpg", "b.jpg", "c.jpg"});
  for (auto& item : mirror_.items()) {
    item.setImageInfo(40, 30, "");
    EXPECT_EQ(item.imageSubtitle(), "40 x 30, jpg");
  }
  const int reloads = view_.reloads;
  foundation::NotificationCenter::defaultCenter().post("reloadDataAfterOverwrite", nullptr, {},
                                                       std::set<std::size_t>{1, 7});
  EXPECT_EQ(view_.reloads, reloads + 1);
  const std::uint64_t versions[] = {0, 1, 0};
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(mirror_.items()[i].version, versions[i]) << i;
  EXPECT_FALSE(mirror_.items()[1].subtitleInfo);
  EXPECT_EQ(mirror_.items()[1].imageSubtitle(), "jpg");  // until the loader reads it again
  EXPECT_TRUE(mirror_.items()[0].subtitleInfo);
  // Only positions outside the grid: nothing at all.
  mirror_.reloadDataAfterOverwrite({9});
  EXPECT_EQ(view_.reloads, reloads + 1);
}

TEST_F(ImageBrowserMirrorTest, EqualSelectionChangesNothingAndGridSelectionReachesTheList) {
  import({"a.jpg", "b.jpg", "c.jpg"});
  view_.selections.clear();
  mirror_.updateBrowserViewIndexSet(mirror_.imagesIndexSet());
  EXPECT_TRUE(view_.selections.empty());

  mirror_.selectionDidChange({2, 1});
  EXPECT_EQ(list_.imagesIndexSet(), OrganizedIndexSet::withIndexSet({1, 2}, 1));
  // The list's answer equals the grid's set: the grid is not told again.
  EXPECT_TRUE(view_.selections.empty());
  EXPECT_TRUE(list_.progressUpImageUrl());
  ASSERT_EQ(view_.selections.size(), 1u);
  EXPECT_EQ(view_.selections.back(), Positions{2});
}

TEST_F(ImageBrowserMirrorTest, ABlockedListRefusesGridChangesAndMenus) {
  import({"a.jpg", "b.jpg", "c.jpg"});
  EXPECT_TRUE(mirror_.canShowContextMenu());
  list_.setBlocked(PreviewList::Block::Session, true);
  EXPECT_FALSE(mirror_.canShowContextMenu());
  EXPECT_FALSE(mirror_.removeItemsAtIndexes({0}));
  EXPECT_FALSE(mirror_.moveItemsAtIndexes({0}, 2));
  EXPECT_EQ(gridTitles(), (std::vector<std::string>{"a", "b", "c"}));
}

TEST_F(ImageBrowserMirrorTest, AGridOpenedLaterStartsFromTheListAsItIs) {
  import({"a.jpg", "b.jpg"});
  RecordingView view;
  ImageBrowserMirror late(list_, view);
  EXPECT_TRUE(late.items().empty());
  late.syncWithList();
  ASSERT_EQ(late.items().size(), 2u);
  EXPECT_EQ(late.imagesIndexSet(), list_.imagesIndexSet());
  import({"c.jpg"});
  EXPECT_EQ(late.items().size(), 3u);
}

TEST(BrowserOrganizedURL, Subtitles) {
  const struct {
    const char* path;
    std::int64_t width, height;
    const char* detected;
    bool loaded;
    const char* subtitle;
  } cases[] = {
      {"/p/photo.jpg", 3000, 4000, "", true, "3000 x 4000, jpg"},
      {"/p/photo.JPG", 0, 0, "", true, "JPG"},
      {"/p/noext", 20, 10, "png", true, "20 x 10, png"},
      {"/p/noext", 0, 0, "", true, "--"},
      {"/p/noext", 0, 0, "", false, "--"},
      {"/p/later.tiff", 0, 0, "", false, "tiff"},
  };
  for (const auto& c : cases) {
    auto item = BrowserOrganizedURL::withEntry(*OrganizedURL::organizedURLWithPath(c.path, false, "/p"));
    if (c.loaded) item.setImageInfo(c.width, c.height, c.detected);
    EXPECT_EQ(item.imageSubtitle(), c.subtitle) << c.path;
  }
  EXPECT_EQ(BrowserOrganizedURL::withEntry(*OrganizedURL::organizedURLWithPath("/p/a.b.jpg", false, "/p"))
                .imageTitle(),
            "a.b");
}

}  // namespace
}  // namespace velumar
