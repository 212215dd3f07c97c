#include "preview/preview_list.h"

#include <algorithm>
#include <iterator>

#include "platform/foundation/log.h"
#include "platform/foundation/main_loop.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/serial_queue.h"
#include "preview/library_roots.h"

namespace velumar {

PreviewList::PreviewList(ShowEntry showEntry) : showEntry_(std::move(showEntry)) {
  // Posted by the grid when its mouse button comes up, and by a move.
  mouseUpToken_ = foundation::NotificationCenter::defaultCenter().addObserver(
      "updatePreviewAfterIKBrowserViewMouseUp",
      [this](const foundation::Notification&) { updatePreviewAfterIKBrowserViewMouseUp(); });
}

// The queue finishes a running sort before the list goes; its result is
// then dropped because alive_ is gone.
PreviewList::~PreviewList() = default;

void PreviewList::setBlocked(Block reason, bool blocked) {
  if (blocked)
    blocks_ |= int(reason);
  else
    blocks_ &= ~int(reason);
}

bool PreviewList::show(std::size_t index) {
  needsUpdatePreviewAfterMouseUp_ = false;
  if (index >= entries_.size() || !showEntry_ || !showEntry_(*entries_[index])) return false;
  isOriginalImage_ = false;
  return true;
}

void PreviewList::post(const char* name, std::any payload) {
  foundation::Notification notification{name, this, {}, std::move(payload)};
  foundation::NotificationCenter::defaultCenter().post(notification);
}

bool PreviewList::verifyDuplicateImageUrlsWithUrlsArray(const std::string& firstOriginalPath,
                                                        OrganizedURLList entries,
                                                        std::vector<std::string> unreadableImages) {
  const std::int64_t target = std::exchange(firstIndexOfImageBrowser_, -1);
  if (blocks_ & int(Block::Sorting)) {
    queuedImports_.push_back({firstOriginalPath, std::move(entries), target, std::move(unreadableImages)});
    return true;
  }
  return merge(firstOriginalPath, std::move(entries), target, std::move(unreadableImages));
}

bool PreviewList::merge(const std::string& path, OrganizedURLList entries, std::int64_t target,
                        std::vector<std::string> unreadableImages) {
  std::erase(entries, nullptr);
  const bool filled = globalPath_.has_value();
  if (filled) {
    // New files only, each once, first occurrence first.
    OrganizedURLList kept;
    for (auto& entry : entries) {
      const auto same = [&](const OrganizedURLRef& other) { return *other == *entry; };
      if (std::none_of(entries_.begin(), entries_.end(), same) &&
          std::none_of(kept.begin(), kept.end(), same))
        kept.push_back(std::move(entry));
    }
    entries = std::move(kept);
  }
  if (entries.empty()) {
    if (!unreadableImages.empty()) post("previewImportNotShown", UnshownImport{std::move(unreadableImages)});
    return false;
  }

  // The first entry that loads is shown; the others are listed all the same.
  const std::size_t first =
      filled ? (target < 0 ? entries_.size() : std::min(std::size_t(target), entries_.size())) : 0;
  const OrganizedURLList previous = entries_;
  entries_.insert(entries_.begin() + std::ptrdiff_t(first), entries.begin(), entries.end());
  std::size_t shown = 0;
  while (shown < entries.size() && !show(first + shown)) ++shown;
  if (shown == entries.size()) {
    entries_ = previous;
    // The view tried the new files: the current entry is shown again (an
    // empty list keeps the placeholder of the file tried), and the user
    // learns why the files were not added.
    UnshownImport unshown;
    for (const auto& entry : entries) unshown.paths.push_back(entry->path);
    unshown.paths.insert(unshown.paths.end(), std::make_move_iterator(unreadableImages.begin()),
                         std::make_move_iterator(unreadableImages.end()));
    post("previewImportNotShown", std::move(unshown));
    if (filled) show(selection_.imageCount);
    foundation::log("Preview: none of the {} imported files could be shown; nothing was added",
                    entries.size());
    return false;
  }

  globalPath_ = filled ? verifyFileUrlsRootPath(path, *globalPath_) : path;
  selection_ = OrganizedIndexSet::withIndex(first + shown, first + shown);
  tree_ = buildLibraryTree(entries_);
  if (filled)
    post("addBrowserViewWithURLs", BrowserViewUpdate{selection_, std::move(entries), first});
  else
    post("updateBrowserViewWithURLs", BrowserViewUpdate{selection_, entries_, 0});
  post("previewListDidChange", {});
  return true;
}

void PreviewList::resetOriginalImage() {
  if (isOriginalImage_) return;
  isOriginalImage_ = true;
  needsUpdatePreviewAfterMouseUp_ = false;
  ++generation_;
  queuedImports_.clear();
  selection_ = {};
  globalPath_.reset();
  for (const auto& entry : entries_) entry->parentPathKey.reset();
  entries_.clear();
  tree_.clear();
  ascendingOrder_ = true;
  lastOrder_ = SortOrder::None;
  post("updateBrowserViewWithURLs", BrowserViewUpdate{selection_, entries_, 0});
  post("previewNewImageFromDragAndDrop", {});
  post("previewListDidChange", {});
}

bool PreviewList::removeSelectedItemsWithIndexSet(const std::vector<std::size_t>& indexes,
                                                  bool postNotification) {
  if (!canAcceptImages()) return false;
  const OrganizedIndexSet removed = OrganizedIndexSet::withIndexSet(indexes, OrganizedIndexSet::kNotFound);
  OrganizedURLList remaining;
  std::vector<std::size_t> removedPositions;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (!removed.contains(i)) {
      remaining.push_back(entries_[i]);
      continue;
    }
    entries_[i]->parentPathKey.reset();
    removedPositions.push_back(i);
  }
  if (removedPositions.empty()) return true;
  if (remaining.empty()) {
    resetOriginalImage();
    return true;
  }
  entries_ = std::move(remaining);
  globalPath_ = verifyFileUrlsRootPathForPreviewArray(entries_);
  show(0);
  selection_ = OrganizedIndexSet::withIndex(0, 0);
  tree_ = buildLibraryTree(entries_);
  if (postNotification) post("removeBrowserViewWithURLs", BrowserViewRemoval{selection_, removedPositions});
  post("previewListDidChange", {});
  return true;
}

bool PreviewList::moveItemsAtIndexes(const std::vector<std::size_t>& indexes, std::size_t target) {
  if (!canAcceptImages()) return false;
  target = std::min(target, entries_.size());
  const OrganizedIndexSet moving = OrganizedIndexSet::withIndexSet(indexes, 0);
  OrganizedURLList block;
  for (auto position = moving.indexSet.rbegin(); position != moving.indexSet.rend(); ++position) {
    if (*position >= entries_.size()) continue;
    block.insert(block.begin(), entries_[*position]);
    entries_.erase(entries_.begin() + std::ptrdiff_t(*position));
    if (*position < target) --target;
  }
  if (block.empty()) return false;
  entries_.insert(entries_.begin() + std::ptrdiff_t(target), block.begin(), block.end());
  selection_ = OrganizedIndexSet::withIndexesInRange(target, block.size(), target);
  tree_ = buildLibraryTree(entries_);
  post("updatePreviewAfterIKBrowserViewMouseUp", {});
  post("previewListDidChange", {});
  return true;
}

bool PreviewList::progressUpImageUrl() {
  const std::size_t current = selection_.imageCount;
  if (!canAcceptImages() || isOriginalImage_ || current + 1 >= entries_.size()) return false;
  return changeSelectionWithIndexSet(OrganizedIndexSet::withIndex(current + 1, current + 1));
}

bool PreviewList::progressDownImageUrl() {
  const std::size_t current = selection_.imageCount;
  if (!canAcceptImages() || isOriginalImage_ || current == 0 || current >= entries_.size()) return false;
  return changeSelectionWithIndexSet(OrganizedIndexSet::withIndex(current - 1, current - 1));
}

bool PreviewList::changeSelectionWithIndexSet(const OrganizedIndexSet& selection, bool showAfterMouseUp) {
  if (!canAcceptImages() || selection == selection_ || selection.imageCount >= entries_.size()) return false;
  const bool newCurrent = selection.imageCount != selection_.imageCount;
  selection_ = OrganizedIndexSet::withIndexSet(selection.indexSet, selection.imageCount);
  // A failed show still moves the selection; the next one that loads is shown.
  if (newCurrent) {
    if (showAfterMouseUp && selection_.indexSet.size() > 1)
      needsUpdatePreviewAfterMouseUp_ = true;
    else
      show(selection_.imageCount);
  }
  post("updateBrowserViewIndexSet", selection_);
  return true;
}

void PreviewList::updatePreviewAfterIKBrowserViewMouseUp() {
  if (!needsUpdatePreviewAfterMouseUp_) return;
  show(selection_.imageCount);
  post("updateBrowserViewIndexSet", selection_);
}

void PreviewList::updatePreviewWithArray(OrganizedURLList entries) {
  entries_ = std::move(entries);
  selection_ = entries_.empty() ? OrganizedIndexSet{} : OrganizedIndexSet::withIndex(0, 0);
  tree_ = buildLibraryTree(entries_);
  show(0);
  post("updateBrowserViewWithURLs", BrowserViewUpdate{selection_, entries_, 0});
  post("previewListDidChange", {});
}

bool PreviewList::sortBy(SortOrder order, const SortKeyReaders& readers) {
  if (!canAcceptImages() || order == SortOrder::None) return false;
  lastOrder_ = order;
  if (!sortsInBackground(order, entries_.size())) {
    updatePreviewWithArray(sortedEntries(entries_, order, ascendingOrder_, readers));
    return true;
  }
  setBlocked(Block::Sorting, true);
  if (!sortQueue_) sortQueue_ = std::make_unique<foundation::SerialQueue>("preview.sort");
  // The worker sorts a snapshot taken here and hands the order back to the
  // main thread, which alone changes the list.
  sortQueue_->async([snapshot = entries_, order, ascending = ascendingOrder_, readers,
                     alive = std::weak_ptr<char>(alive_), generation = generation_, this] {
    OrganizedURLList sorted = sortedEntries(snapshot, order, ascending, readers);
    foundation::MainLoop::post([sorted = std::move(sorted), alive, generation, this]() mutable {
      if (alive.lock()) installSorted(std::move(sorted), generation);
    });
  });
  return true;
}

void PreviewList::installSorted(OrganizedURLList sorted, std::uint64_t generation) {
  if (generation == generation_) updatePreviewWithArray(std::move(sorted));
  setBlocked(Block::Sorting, false);
  // Imports that arrived meanwhile, in arrival order, now that the order is in.
  for (auto& queued : std::exchange(queuedImports_, {})) {
    firstIndexOfImageBrowser_ = queued.target;
    verifyDuplicateImageUrlsWithUrlsArray(queued.path, std::move(queued.entries),
                                          std::move(queued.unreadableImages));
  }
}

bool PreviewList::setAscendingOrder(bool ascending) {
  if (!canAcceptImages()) return false;
  if (ascending == ascendingOrder_) return true;
  ascendingOrder_ = ascending;
  if (!entries_.empty()) updatePreviewWithArray(OrganizedURLList(entries_.rbegin(), entries_.rend()));
  return true;
}

}  // namespace velumar
