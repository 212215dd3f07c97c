#pragma once
// The preview list: the ordered image entries of the preview window, the
// selection and current image, the common root of the imports, and the
// operations that change them (import merge, removal, move, navigation,
// sorting). Views (files table, library outline, grid) follow it through
// the library tree it keeps and the notifications it posts. Main thread only;
// long file-based sorts read their keys on a serial queue.

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/notification_center.h"
#include "preview/library_tree.h"
#include "preview/list_sorting.h"
#include "preview/organized_url.h"

namespace foundation {
class SerialQueue;
}

namespace velumar {

// Payload of "updateBrowserViewWithURLs" (the whole list) and
// "addBrowserViewWithURLs" (the added entries, inserted as one block at
// position, which need not be the current entry: that is the first one
// that could be shown).
struct BrowserViewUpdate {
  OrganizedIndexSet selection;
  OrganizedURLList entries;
  std::size_t position = 0;
};
// Payload of "removeBrowserViewWithURLs".
struct BrowserViewRemoval {
  OrganizedIndexSet selection;
  std::vector<std::size_t> removed;
};
// Payload of "previewImportNotShown", posted when an import added nothing
// because none of its new files could be shown: the entries tried, in
// their order, then the image-named files its scan could not take.
struct UnshownImport {
  std::vector<std::string> paths;
};
// "updateBrowserViewIndexSet" carries the OrganizedIndexSet itself.
// "previewListDidChange" (no payload) follows every change of the entries,
// whoever asked for it and whether or not the grid's notification was
// posted, so the preview window's labels, outline, table and picture follow.

class PreviewList {
 public:
  // Loads and shows one entry in the preview; false when it cannot.
  using ShowEntry = std::function<bool(const OrganizedURL&)>;
  // Why the list refuses changes: a background sort, a running conversion.
  enum class Block { Sorting = 1, Session = 2 };

  explicit PreviewList(ShowEntry showEntry);
  ~PreviewList();
  PreviewList(const PreviewList&) = delete;
  PreviewList& operator=(const PreviewList&) = delete;

  const OrganizedURLList& imageFileUrls() const { return entries_; }
  const OrganizedIndexSet& imagesIndexSet() const { return selection_; }
  // Nothing while the list was not filled since the last reset.
  const std::optional<std::string>& imageFileGlobalPath() const { return globalPath_; }
  const LibraryTree& libraryTree() const { return tree_; }
  bool isOriginalImage() const { return isOriginalImage_; }
  SortOrder lastOrder() const { return lastOrder_; }
  bool ascendingOrder() const { return ascendingOrder_; }

  bool canAcceptImages() const { return blocks_ == 0; }
  void setBlocked(Block reason, bool blocked);
  // The position where the next import goes (-1 appends); read once by it.
  void setFirstIndexOfImageBrowser(std::int64_t position) { firstIndexOfImageBrowser_ = position; }
  std::int64_t firstIndexOfImageBrowser() const { return firstIndexOfImageBrowser_; }

  // Adds entries imported from firstOriginalPath ("" for photo-library
  // items): duplicates of listed files are dropped once the list is filled,
  // the first entry that loads is shown and becomes current. False when
  // nothing was added; imports arriving during a background sort are kept
  // and merged after the new order is in (answering true).
  // unreadableImages: files of the same import that cannot be shown and
  // were not made entries; they count when nothing is added.
  bool verifyDuplicateImageUrlsWithUrlsArray(const std::string& firstOriginalPath, OrganizedURLList entries,
                                             std::vector<std::string> unreadableImages = {});
  // Empties the list and returns to the placeholder. Wins over a running
  // background sort and the imports queued behind it.
  void resetOriginalImage();
  bool removeSelectedItemsWithIndexSet(const std::vector<std::size_t>& indexes, bool postNotification);
  bool moveItemsAtIndexes(const std::vector<std::size_t>& indexes, std::size_t target);
  // Next and previous entry; false at the ends, while blocked or empty.
  bool progressUpImageUrl();
  bool progressDownImageUrl();
  // Takes a selection from another view (grid, outline); a new current
  // entry is shown. False when blocked or unchanged. A selection of several
  // entries made while the grid's mouse button is held (without the
  // command key) shows its new current entry only when the grid posts
  // "updatePreviewAfterIKBrowserViewMouseUp".
  bool changeSelectionWithIndexSet(const OrganizedIndexSet& selection, bool showAfterMouseUp = false);
  // Completes such a deferred selection (the views are told again, to
  // point at the entry now shown); nothing when none waits.
  void updatePreviewAfterIKBrowserViewMouseUp();
  bool needsUpdatePreviewAfterMouseUp() const { return needsUpdatePreviewAfterMouseUp_; }

  // Sorts by a key; file-based keys of long lists sort in the background
  // (the list refuses changes until the order is in). Refused while blocked.
  bool sortBy(SortOrder order, const SortKeyReaders& readers = SortKeyReaders::fromDisk());
  // Sets the direction; a change reverses the current order.
  bool setAscendingOrder(bool ascending);
  // Installs a new order: entry 0 current, selected and shown.
  void updatePreviewWithArray(OrganizedURLList entries);

 private:
  struct QueuedImport {
    std::string path;
    OrganizedURLList entries;
    std::int64_t target;
    std::vector<std::string> unreadableImages;
  };
  bool merge(const std::string& path, OrganizedURLList entries, std::int64_t target,
             std::vector<std::string> unreadableImages);
  bool show(std::size_t index);
  void post(const char* name, std::any payload);
  void installSorted(OrganizedURLList sorted, std::uint64_t generation);

  ShowEntry showEntry_;
  OrganizedURLList entries_;
  OrganizedIndexSet selection_;
  std::optional<std::string> globalPath_;
  LibraryTree tree_;
  std::int64_t firstIndexOfImageBrowser_ = -1;
  int blocks_ = 0;
  bool isOriginalImage_ = true;
  SortOrder lastOrder_ = SortOrder::None;
  bool ascendingOrder_ = true;
  bool needsUpdatePreviewAfterMouseUp_ = false;
  foundation::ObserverToken mouseUpToken_;
  // Bumped by every reset: a background sort of an older list is dropped.
  std::uint64_t generation_ = 0;
  std::vector<QueuedImport> queuedImports_;
  std::shared_ptr<char> alive_ = std::make_shared<char>();
  std::unique_ptr<foundation::SerialQueue> sortQueue_;
};

}  // namespace velumar
