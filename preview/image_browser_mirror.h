#pragma once
// The library grid's copy of the preview list: one item per list entry, in
// list order, with the grid's selection. It follows the list through the
// notifications the list posts, and passes the grid's own changes
// (selection, delete, reorder, drop position) back to the list, which owns
// the entries. Widget-free: the grid implements ImageBrowserView. Main
// thread only.

#include <cstddef>
#include <set>
#include <vector>

#include "platform/foundation/notification_center.h"
#include "preview/image_browser_item.h"
#include "preview/preview_list.h"

namespace velumar {

// What the mirror asks of the grid it drives.
class ImageBrowserView {
 public:
  virtual ~ImageBrowserView() = default;
  // Every item may have changed.
  virtual void reloadData() = 0;
  // Reloads, selects exactly the set's positions and scrolls its current
  // position into view.
  virtual void reloadDataWithIndexSet(const OrganizedIndexSet& selection) = 0;
  // Selects exactly these positions and scrolls position into view.
  virtual void selectIndexes(const std::vector<std::size_t>& indexes, std::size_t scrollTo) = 0;
};

class ImageBrowserMirror {
 public:
  ImageBrowserMirror(PreviewList& preview, ImageBrowserView& view);
  ImageBrowserMirror(const ImageBrowserMirror&) = delete;
  ImageBrowserMirror& operator=(const ImageBrowserMirror&) = delete;

  std::vector<BrowserOrganizedURL>& items() { return imageFileUrls_; }
  const std::vector<BrowserOrganizedURL>& items() const { return imageFileUrls_; }
  const OrganizedIndexSet& imagesIndexSet() const { return imagesIndexSet_; }
  // False while the mirror itself reloads the grid: the selection changes
  // that makes are not passed back to the list.
  bool canUpdateSelectionChange() const { return canUpdateSelectionChange_; }

  // The grid holds exactly the list's entries, in its order.
  bool inStep() const;
  // Takes the list as it is now (a grid opened after files were listed).
  void syncWithList();

  // The list's announcements.
  void updateBrowserViewWithURLs(const BrowserViewUpdate& update);
  void addBrowserViewWithURLs(const BrowserViewUpdate& update);
  void removeBrowserViewWithURLs(const BrowserViewRemoval& removal);
  void updateBrowserViewIndexSet(const OrganizedIndexSet& selection);
  // Overwritten files get a new version and subtitle; positions outside
  // the grid are ignored.
  void reloadDataAfterOverwrite(const std::set<std::size_t>& positions);

  // The grid's changes.
  // withMouseHeld: made while the grid's mouse button is down, without the
  // command key (several cells then show their first at the mouse-up).
  void selectionDidChange(const std::vector<std::size_t>& selected, bool withMouseHeld = false);
  // Deletes through the list; false (nothing changes) when it refuses.
  bool removeItemsAtIndexes(const std::vector<std::size_t>& positions);
  // Moves the items as a block to destination, keeping their order; the
  // list moves its entries the same way. False when the list refuses.
  bool moveItemsAtIndexes(const std::vector<std::size_t>& positions, std::size_t destination);
  // Context menus only while the list accepts changes.
  bool canShowContextMenu() const { return preview_.canAcceptImages(); }
  // Where the files of the drop being performed are inserted.
  void setDropPosition(std::size_t position);

 private:
  void reloadGuarded(const OrganizedIndexSet* selection);
  void appendItems(const OrganizedURLList& entries);
  // Logs (and stops a debug build) when it does not, after every change.
  void checkInStep() const;

  PreviewList& preview_;
  ImageBrowserView& view_;
  std::vector<BrowserOrganizedURL> imageFileUrls_;
  OrganizedIndexSet imagesIndexSet_;
  bool canUpdateSelectionChange_ = true;
  std::vector<foundation::ObserverToken> observers_;
};

}  // namespace velumar
