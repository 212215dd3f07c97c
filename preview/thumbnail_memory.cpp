#include "preview/thumbnail_memory.h"

namespace velumar {

std::string ThumbnailMemory::textKey(const ThumbnailKey& key) {
  return std::to_string(key.version) + '\n' + key.path;
}

const Thumbnail* ThumbnailMemory::find(const ThumbnailKey& key) {
  const auto found = index_.find(textKey(key));
  if (found == index_.end()) return nullptr;
  entries_.splice(entries_.begin(), entries_, found->second);
  return &found->second->thumbnail;
}

void ThumbnailMemory::insert(const ThumbnailKey& key, Thumbnail thumbnail) {
  std::string text = textKey(key);
  if (const auto found = index_.find(text); found != index_.end()) {
    bytes_ -= found->second->thumbnail.bytes();
    entries_.erase(found->second);
    index_.erase(found);
  }
  bytes_ += thumbnail.bytes();
  entries_.push_front(Entry{text, std::move(thumbnail)});
  index_.emplace(std::move(text), entries_.begin());
  // The newest entry stays even when it alone exceeds the budget.
  while (bytes_ > budget_ && entries_.size() > 1) {
    const Entry& oldest = entries_.back();
    bytes_ -= oldest.thumbnail.bytes();
    index_.erase(oldest.key);
    entries_.pop_back();
  }
}

void ThumbnailMemory::clear() {
  entries_.clear();
  index_.clear();
  bytes_ = 0;
}

}  // namespace velumar
