#include "preview/preview_list.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "platform/foundation/main_loop.h"
#include "platform/foundation/notification_center.h"

namespace velumar {
namespace {

using Positions = std::vector<std::size_t>;

// A list whose preview "loads" every file except the ones named unshowable,
// recording the notifications it posts.
class PreviewListTest : public ::testing::Test {
 protected:
  PreviewListTest()
      : list_([this](const OrganizedURL& entry) {
          shown_.push_back(entry.fileName());
          return !unshowable_.count(entry.fileName());
        }) {
    for (const char* name :
         {"updateBrowserViewWithURLs", "addBrowserViewWithURLs", "removeBrowserViewWithURLs",
          "updateBrowserViewIndexSet", "updatePreviewAfterIKBrowserViewMouseUp"})
      tokens_.push_back(foundation::NotificationCenter::defaultCenter().addObserver(
          name, &list_, [this](const foundation::Notification& n) { posted_.push_back(n); }));
  }

  static OrganizedURLList files(const std::string& folder, const std::vector<std::string>& names) {
    OrganizedURLList entries;
    for (const auto& name : names)
      entries.push_back(OrganizedURL::organizedURLWithPath(folder + "/" + name, false, folder));
    return entries;
  }
  bool import(const std::string& folder, const std::vector<std::string>& names) {
    return list_.verifyDuplicateImageUrlsWithUrlsArray(folder, files(folder, names));
  }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& entry : list_.imageFileUrls()) out.push_back(entry->fileName());
    return out;
  }
  std::vector<std::string> postedNames() const {
    std::vector<std::string> out;
    for (const auto& n : posted_) out.push_back(n.name);
    return out;
  }

  std::set<std::string> unshowable_;
  std::vector<std::string> shown_;
  PreviewList list_;
  std::vector<foundation::Notification> posted_;
  std::vector<foundation::ObserverToken> tokens_;
};

TEST_F(PreviewListTest, MergeTable) {
  struct Case {
    std::vector<std::string> added;
    std::int64_t gridPosition;
    bool accepted;
    std::vector<std::string> list;
    OrganizedIndexSet selection;
    std::string announced;
    std::size_t announcedCount;
  };
  const Case cases[] = {
      // First import: everything listed as given (duplicates included), whole list announced.
      {{"a", "b", "a", "c", "d"},
       -1,
       true,
       {"a", "b", "a", "c", "d"},
       OrganizedIndexSet::withIndex(0, 0),
       "updateBrowserViewWithURLs",
       5},
      // A listed file adds nothing and keeps the selection.
      {{"b"}, -1, false, {"a", "b", "a", "c", "d"}, OrganizedIndexSet::withIndex(0, 0), "", 0},
      // Listed + new: only the new one, appended, selected.
      {{"b", "e", "e"},
       -1,
       true,
       {"a", "b", "a", "c", "d", "e"},
       OrganizedIndexSet::withIndex(5, 5),
       "addBrowserViewWithURLs",
       1},
      // A grid drop at 2 inserts the block there; only the added entries announced.
      {{"f", "g"},
       2,
       true,
       {"a", "b", "f", "g", "a", "c", "d", "e"},
       OrganizedIndexSet::withIndex(2, 2),
       "addBrowserViewWithURLs",
       2},
      // A grid position past the end appends.
      {{"h"},
       99,
       true,
       {"a", "b", "f", "g", "a", "c", "d", "e", "h"},
       OrganizedIndexSet::withIndex(8, 8),
       "addBrowserViewWithURLs",
       1},
  };
  for (const auto& c : cases) {
    posted_.clear();
    list_.setFirstIndexOfImageBrowser(c.gridPosition);
    EXPECT_EQ(import("/p", c.added), c.accepted);
    EXPECT_EQ(list_.firstIndexOfImageBrowser(), -1);
    EXPECT_EQ(names(), c.list);
    EXPECT_EQ(list_.imagesIndexSet(), c.selection);
    if (c.announced.empty()) {
      EXPECT_TRUE(posted_.empty());
      continue;
    }
    ASSERT_EQ(postedNames(), std::vector<std::string>{c.announced});
    const auto& update = std::any_cast<const BrowserViewUpdate&>(posted_[0].payload);
    EXPECT_EQ(update.entries.size(), c.announcedCount);
    EXPECT_EQ(update.selection, c.selection);
  }
  EXPECT_EQ(list_.libraryTree().size(), 1u);
  EXPECT_EQ(list_.libraryTree()[0]->pathValue, "/p (9)");
}

TEST_F(PreviewListTest, RootFollowsImports) {
  EXPECT_FALSE(list_.imageFileGlobalPath());
  import("/a/b/c", {"1"});
  EXPECT_EQ(list_.imageFileGlobalPath(), "/a/b/c");
  import("/a/b/d", {"2"});
  EXPECT_EQ(list_.imageFileGlobalPath(), "/a/b");
  import("/x", {"3"});
  EXPECT_EQ(list_.imageFileGlobalPath(), "/");
  import("", {"4"});
  EXPECT_EQ(list_.imageFileGlobalPath(), "");
  import("/x", {"5"});
  EXPECT_EQ(list_.imageFileGlobalPath(), "");
}

TEST_F(PreviewListTest, UnshowableFirstEntryDoesNotDropTheImport) {
  unshowable_ = {"bad", "worse"};
  EXPECT_FALSE(import("/p", {"bad", "worse"}));
  EXPECT_TRUE(names().empty());
  EXPECT_TRUE(list_.isOriginalImage());
  EXPECT_FALSE(list_.imageFileGlobalPath());

  EXPECT_TRUE(import("/p", {"bad", "good", "worse"}));
  EXPECT_EQ(names(), (std::vector<std::string>{"bad", "good", "worse"}));
  EXPECT_EQ(list_.imagesIndexSet(), OrganizedIndexSet::withIndex(1, 1));
  EXPECT_FALSE(list_.isOriginalImage());
  // None of the additions loads: the list stays as it was.
  EXPECT_FALSE(list_.verifyDuplicateImageUrlsWithUrlsArray("/q", files("/q", {"bad"})));
  EXPECT_EQ(names().size(), 3u);
}

TEST_F(PreviewListTest, RemovalAndMoveArithmetic) {
  struct Case {
    const char* operation;
    Positions positions;
    std::size_t target;
    std::vector<std::string> list;
    OrganizedIndexSet selection;
  };
  const Case cases[] = {
      {"remove", {1, 3}, 0, {"a", "c", "e"}, OrganizedIndexSet::withIndex(0, 0)},
      {"remove", {}, 0, {"a", "b", "c", "d", "e"}, OrganizedIndexSet::withIndex(0, 0)},
      {"remove", {7}, 0, {"a", "b", "c", "d", "e"}, OrganizedIndexSet::withIndex(0, 0)},
      {"move", {0, 1}, 4, {"c", "d", "a", "b", "e"}, OrganizedIndexSet::withIndexesInRange(2, 2, 2)},
      {"move", {3, 4}, 0, {"d", "e", "a", "b", "c"}, OrganizedIndexSet::withIndexesInRange(0, 2, 0)},
      {"move", {1, 3}, 5, {"a", "c", "e", "b", "d"}, OrganizedIndexSet::withIndexesInRange(3, 2, 3)},
      {"move", {0}, 99, {"b", "c", "d", "e", "a"}, OrganizedIndexSet::withIndex(4, 4)},
      // Onto its own place, before or after itself: it stays.
      {"move", {2}, 2, {"a", "b", "c", "d", "e"}, OrganizedIndexSet::withIndex(2, 2)},
      {"move", {2}, 3, {"a", "b", "c", "d", "e"}, OrganizedIndexSet::withIndex(2, 2)},
  };
  for (const auto& c : cases) {
    list_.resetOriginalImage();
    import("/p", {"a", "b", "c", "d", "e"});
    for (const auto& entry : list_.imageFileUrls()) entry->parentPathKey = "/p";
    const OrganizedURLList before = list_.imageFileUrls();
    posted_.clear();
    if (std::string(c.operation) == "remove") {
      EXPECT_TRUE(list_.removeSelectedItemsWithIndexSet(c.positions, true));
      std::vector<std::size_t> inRange;
      for (std::size_t p : c.positions)
        if (p < before.size()) {
          inRange.push_back(p);
          EXPECT_FALSE(before[p]->parentPathKey) << "a removed entry forgets its scan folder";
        }
      if (!inRange.empty()) {
        ASSERT_EQ(postedNames(), std::vector<std::string>{"removeBrowserViewWithURLs"});
        EXPECT_EQ(std::any_cast<const BrowserViewRemoval&>(posted_[0].payload).removed, inRange);
      }
    } else {
      EXPECT_TRUE(list_.moveItemsAtIndexes(c.positions, c.target));
      EXPECT_EQ(postedNames(), std::vector<std::string>{"updatePreviewAfterIKBrowserViewMouseUp"});
    }
    EXPECT_EQ(names(), c.list) << c.operation;
    EXPECT_EQ(list_.imagesIndexSet(), c.selection) << c.operation;
  }
  // Removing everything is a reset.
  EXPECT_TRUE(list_.removeSelectedItemsWithIndexSet({0, 1, 2, 3, 4}, true));
  EXPECT_TRUE(names().empty());
  EXPECT_TRUE(list_.isOriginalImage());
  EXPECT_EQ(list_.imagesIndexSet(), OrganizedIndexSet{});
  EXPECT_FALSE(list_.imageFileGlobalPath());
}

TEST_F(PreviewListTest, NavigationStopsAtTheEnds) {
  EXPECT_FALSE(list_.progressUpImageUrl());  // empty
  import("/p", {"a", "b", "c"});
  struct Step {
    bool up;
    bool moved;
    std::size_t current;
  };
  const Step steps[] = {{false, false, 0}, {true, true, 1},  {true, true, 2},  {true, false, 2},
                        {false, true, 1},  {false, true, 0}, {false, false, 0}};
  for (const auto& step : steps) {
    posted_.clear();
    EXPECT_EQ(step.up ? list_.progressUpImageUrl() : list_.progressDownImageUrl(), step.moved);
    EXPECT_EQ(list_.imagesIndexSet(), OrganizedIndexSet::withIndex(step.current, step.current));
    EXPECT_EQ(posted_.size(), step.moved ? 1u : 0u);
  }
  EXPECT_EQ(shown_, (std::vector<std::string>{"a", "b", "c", "b", "a"}));
  // Blocked by a conversion: nothing moves, nothing is removed or sorted.
  list_.setBlocked(PreviewList::Block::Session, true);
  EXPECT_FALSE(list_.progressUpImageUrl());
  EXPECT_FALSE(list_.removeSelectedItemsWithIndexSet({0}, true));
  EXPECT_FALSE(list_.sortBy(SortOrder::Name));
  EXPECT_FALSE(list_.changeSelectionWithIndexSet(OrganizedIndexSet::withIndex(2, 2)));
  list_.setBlocked(PreviewList::Block::Session, false);
  EXPECT_TRUE(list_.changeSelectionWithIndexSet(OrganizedIndexSet::withIndexSet({1, 2}, 1)));
  EXPECT_FALSE(list_.changeSelectionWithIndexSet(OrganizedIndexSet::withIndexSet({1, 2}, 1)));  // unchanged
  EXPECT_EQ(shown_.back(), "b");
}

// Sort keys that need no disk: sizes from the names' lengths.
SortKeyReaders sizeReaders() {
  SortKeyReaders readers;
  readers.fileSize = [](const std::string& path) { return std::int64_t(path.size()); };
  return readers;
}

TEST_F(PreviewListTest, LongSortsRunInTheBackgroundAndQueueImports) {
  for (std::size_t count : {std::size_t(100), std::size_t(101)}) {
    list_.resetOriginalImage();
    std::vector<std::string> added;
    for (std::size_t i = count; i > 0; --i) added.push_back(std::string(i, 'x'));
    import("/p", added);
    ASSERT_TRUE(list_.sortBy(SortOrder::FileSize, sizeReaders()));
    const bool background = count > kForegroundSortLimit;
    EXPECT_EQ(list_.canAcceptImages(), !background);
    if (background) {
      // Sent by another window meanwhile: kept, not lost to the new order.
      EXPECT_TRUE(import("/q", {"late"}));
      EXPECT_FALSE(list_.sortBy(SortOrder::Name));
      EXPECT_FALSE(list_.setAscendingOrder(false));
      auto* loop = static_cast<foundation::PlainMainLoop*>(foundation::MainLoop::installed());
      ASSERT_TRUE(loop->runUntil([&] { return list_.canAcceptImages(); }, 10));
    }
    const auto& entries = list_.imageFileUrls();
    EXPECT_EQ(entries.front()->fileName(), "x");
    EXPECT_EQ(entries.size(), count + (background ? 1 : 0));
    if (background) {
      EXPECT_EQ(entries.back()->fileName(), "late");
    }
    EXPECT_EQ(list_.lastOrder(), SortOrder::FileSize);
  }
}

TEST_F(PreviewListTest, EveryChangeIsAnnouncedAndAClearWinsOverARunningSort) {
  int changes = 0;
  auto token = foundation::NotificationCenter::defaultCenter().addObserver(
      "previewListDidChange", &list_, [&](const foundation::Notification&) { ++changes; });
  std::vector<std::string> added;
  for (std::size_t i = kForegroundSortLimit + 5; i > 0; --i) added.push_back(std::string(i, 'x'));
  const struct {
    const char* what;
    std::function<bool()> change;
  } steps[] = {
      {"import", [&] { return import("/p", added); }},
      {"grid delete", [&] { return list_.removeSelectedItemsWithIndexSet({1}, false); }},
      {"move", [&] { return list_.moveItemsAtIndexes({0}, 3); }},
      {"sort", [&] { return list_.sortBy(SortOrder::Name); }},
  };
  for (const auto& step : steps) {
    const int before = changes;
    ASSERT_TRUE(step.change()) << step.what;
    EXPECT_EQ(changes, before + 1) << step.what;
  }
  // A clear during a background sort: the sort's result and the import
  // queued behind it stay out.
  ASSERT_TRUE(list_.sortBy(SortOrder::FileSize, sizeReaders()));
  ASSERT_FALSE(list_.canAcceptImages());
  EXPECT_TRUE(import("/q", {"late"}));
  list_.resetOriginalImage();
  auto* loop = static_cast<foundation::PlainMainLoop*>(foundation::MainLoop::installed());
  ASSERT_TRUE(loop->runUntil([&] { return list_.canAcceptImages(); }, 10));
  loop->runUntil([] { return false; }, 0.05);
  EXPECT_TRUE(list_.imageFileUrls().empty());
  EXPECT_TRUE(list_.isOriginalImage());
}

TEST_F(PreviewListTest, DirectionReversesWithoutSorting) {
  import("/p", {"img10", "img2", "IMG1"});
  list_.setAscendingOrder(false);
  EXPECT_EQ(names(), (std::vector<std::string>{"IMG1", "img2", "img10"}));
  ASSERT_TRUE(list_.sortBy(SortOrder::Name));
  EXPECT_EQ(names(), (std::vector<std::string>{"img10", "img2", "IMG1"}));
  EXPECT_TRUE(list_.setAscendingOrder(false));  // again: no change
  EXPECT_EQ(names(), (std::vector<std::string>{"img10", "img2", "IMG1"}));
  list_.setAscendingOrder(true);
  EXPECT_EQ(names(), (std::vector<std::string>{"IMG1", "img2", "img10"}));
  EXPECT_EQ(list_.imagesIndexSet(), OrganizedIndexSet::withIndex(0, 0));
  EXPECT_EQ(shown_.back(), "IMG1");
  posted_.clear();
  list_.resetOriginalImage();
  EXPECT_TRUE(list_.ascendingOrder());
  EXPECT_EQ(list_.lastOrder(), SortOrder::None);
  EXPECT_EQ(postedNames(), std::vector<std::string>{"updateBrowserViewWithURLs"});
}

}  // namespace
}  // namespace velumar
