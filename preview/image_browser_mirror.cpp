#include "preview/image_browser_mirror.h"

#include <algorithm>
#include <cassert>

#include "platform/foundation/log.h"

namespace velumar {

namespace {

template <typename T>
const T* payloadOf(const foundation::Notification& notification) {
  return std::any_cast<T>(&notification.payload);
}

}  // namespace

ImageBrowserMirror::ImageBrowserMirror(PreviewList& preview, ImageBrowserView& view)
    : preview_(preview), view_(view) {
  auto& center = foundation::NotificationCenter::defaultCenter();
  observers_.push_back(
      center.addObserver("reloadDataAfterOverwrite", [this](const foundation::Notification& n) {
        if (const auto* positions = payloadOf<std::set<std::size_t>>(n)) reloadDataAfterOverwrite(*positions);
      }));
  observers_.push_back(
      center.addObserver("updateBrowserViewWithURLs", &preview_, [this](const foundation::Notification& n) {
        if (const auto* update = payloadOf<BrowserViewUpdate>(n)) updateBrowserViewWithURLs(*update);
      }));
  observers_.push_back(
      center.addObserver("addBrowserViewWithURLs", &preview_, [this](const foundation::Notification& n) {
        if (const auto* update = payloadOf<BrowserViewUpdate>(n)) addBrowserViewWithURLs(*update);
      }));
  observers_.push_back(
      center.addObserver("removeBrowserViewWithURLs", &preview_, [this](const foundation::Notification& n) {
        if (const auto* removal = payloadOf<BrowserViewRemoval>(n)) removeBrowserViewWithURLs(*removal);
      }));
  observers_.push_back(
      center.addObserver("updateBrowserViewIndexSet", &preview_, [this](const foundation::Notification& n) {
        if (const auto* selection = payloadOf<OrganizedIndexSet>(n)) updateBrowserViewIndexSet(*selection);
      }));
}

void ImageBrowserMirror::syncWithList() {
  updateBrowserViewWithURLs(BrowserViewUpdate{preview_.imagesIndexSet(), preview_.imageFileUrls(), 0});
}

void ImageBrowserMirror::reloadGuarded(const OrganizedIndexSet* selection) {
  canUpdateSelectionChange_ = false;
  if (selection != nullptr) {
    view_.reloadDataWithIndexSet(*selection);
  } else {
    view_.reloadData();
  }
  canUpdateSelectionChange_ = true;
}

void ImageBrowserMirror::appendItems(const OrganizedURLList& entries) {
  for (const OrganizedURLRef& entry : entries) {
    if (entry) imageFileUrls_.push_back(BrowserOrganizedURL::withEntry(*entry));
  }
}

bool ImageBrowserMirror::inStep() const {
  const OrganizedURLList& entries = preview_.imageFileUrls();
  if (imageFileUrls_.size() != entries.size()) return false;
  for (std::size_t i = 0; i < entries.size(); ++i)
    if (imageFileUrls_[i].path != entries[i]->path) return false;
  return true;
}

void ImageBrowserMirror::checkInStep() const {
  if (!inStep()) {
    foundation::log("Library grid: {} items do not match the {} list entries", imageFileUrls_.size(),
                    preview_.imageFileUrls().size());
    assert(false && "the grid fell out of step with the preview list");
  }
}

void ImageBrowserMirror::updateBrowserViewWithURLs(const BrowserViewUpdate& update) {
  imagesIndexSet_ = update.selection;
  imageFileUrls_.clear();
  appendItems(update.entries);
  const bool select = !imageFileUrls_.empty();
  reloadGuarded(select ? &imagesIndexSet_ : nullptr);
  checkInStep();
}

void ImageBrowserMirror::addBrowserViewWithURLs(const BrowserViewUpdate& update) {
  imagesIndexSet_ = update.selection;
  std::vector<BrowserOrganizedURL> added;
  for (const OrganizedURLRef& entry : update.entries) {
    if (entry) added.push_back(BrowserOrganizedURL::withEntry(*entry));
  }
  if (!added.empty()) {
    const std::size_t at = std::min(update.position, imageFileUrls_.size());
    imageFileUrls_.insert(imageFileUrls_.begin() + std::ptrdiff_t(at), std::make_move_iterator(added.begin()),
                          std::make_move_iterator(added.end()));
    reloadGuarded(&imagesIndexSet_);
  }
  checkInStep();
}

void ImageBrowserMirror::removeBrowserViewWithURLs(const BrowserViewRemoval& removal) {
  if (imageFileUrls_.empty()) return;
  // From the highest position down, so the lower ones stay where they are;
  // positions the grid no longer holds are skipped.
  std::vector<std::size_t> positions = removal.removed;
  std::sort(positions.begin(), positions.end());
  positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
  for (auto position = positions.rbegin(); position != positions.rend(); ++position) {
    if (*position < imageFileUrls_.size())
      imageFileUrls_.erase(imageFileUrls_.begin() + std::ptrdiff_t(*position));
  }
  imagesIndexSet_ = removal.selection;
  view_.reloadDataWithIndexSet(imagesIndexSet_);
  checkInStep();
}

void ImageBrowserMirror::updateBrowserViewIndexSet(const OrganizedIndexSet& selection) {
  if (selection == imagesIndexSet_) return;
  imagesIndexSet_ = selection;
  canUpdateSelectionChange_ = false;
  view_.selectIndexes(imagesIndexSet_.indexSet, imagesIndexSet_.imageCount);
  canUpdateSelectionChange_ = true;
}

void ImageBrowserMirror::reloadDataAfterOverwrite(const std::set<std::size_t>& positions) {
  bool changed = false;
  for (const std::size_t position : positions) {
    if (position >= imageFileUrls_.size()) continue;
    imageFileUrls_[position].markOverwritten();
    changed = true;
  }
  if (changed) view_.reloadData();
}

void ImageBrowserMirror::selectionDidChange(const std::vector<std::size_t>& selected, bool withMouseHeld) {
  if (!canUpdateSelectionChange_ || selected.empty()) return;
  std::vector<std::size_t> sorted = selected;
  std::sort(sorted.begin(), sorted.end());
  imagesIndexSet_ = OrganizedIndexSet::withIndexSet(sorted, sorted.front());
  preview_.changeSelectionWithIndexSet(imagesIndexSet_, withMouseHeld);
}

bool ImageBrowserMirror::removeItemsAtIndexes(const std::vector<std::size_t>& positions) {
  const std::size_t before = preview_.imageFileUrls().size();
  if (!preview_.removeSelectedItemsWithIndexSet(positions, false)) return false;
  // Removing every entry resets the list, which has already announced the
  // empty list: only what the grid still holds is removed here.
  if (imageFileUrls_.size() == before) {
    std::vector<std::size_t> sorted = positions;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    for (auto position = sorted.rbegin(); position != sorted.rend(); ++position) {
      if (*position < imageFileUrls_.size())
        imageFileUrls_.erase(imageFileUrls_.begin() + std::ptrdiff_t(*position));
    }
  }
  imagesIndexSet_ = preview_.imagesIndexSet();
  reloadGuarded(imageFileUrls_.empty() ? nullptr : &imagesIndexSet_);
  checkInStep();
  return true;
}

bool ImageBrowserMirror::moveItemsAtIndexes(const std::vector<std::size_t>& positions,
                                            std::size_t destination) {
  if (!preview_.canAcceptImages()) return false;
  std::vector<std::size_t> sorted = positions;
  std::sort(sorted.begin(), sorted.end());
  sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
  std::erase_if(sorted, [&](std::size_t p) { return p >= imageFileUrls_.size(); });
  if (sorted.empty()) return false;
  std::size_t target = std::min(destination, imageFileUrls_.size());
  std::vector<BrowserOrganizedURL> holding;
  for (auto position = sorted.rbegin(); position != sorted.rend(); ++position) {
    if (*position < target) --target;
    holding.push_back(std::move(imageFileUrls_[*position]));
    imageFileUrls_.erase(imageFileUrls_.begin() + std::ptrdiff_t(*position));
  }
  // Each insertion at target pushes the earlier ones right, so the block
  // keeps its original order.
  for (BrowserOrganizedURL& item : holding) {
    imageFileUrls_.insert(imageFileUrls_.begin() + std::ptrdiff_t(target), std::move(item));
  }
  imagesIndexSet_ = OrganizedIndexSet::withIndexesInRange(target, holding.size(), target);
  preview_.moveItemsAtIndexes(sorted, destination);
  reloadGuarded(&imagesIndexSet_);
  checkInStep();
  return true;
}

void ImageBrowserMirror::setDropPosition(std::size_t position) {
  preview_.setFirstIndexOfImageBrowser(std::int64_t(std::min(position, imageFileUrls_.size())));
}

}  // namespace velumar
