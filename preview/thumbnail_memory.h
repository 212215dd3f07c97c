#pragma once
// The grid's thumbnails in memory: keyed by file and version, the least
// recently used dropped beyond a byte budget. Main thread only.

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>

#include "platform/foundation/keyed_hash.h"
#include "preview/thumbnail_job.h"

namespace velumar {

struct ThumbnailKey {
  std::string path;
  // Raised when the file was overwritten: an older version's thumbnail is stale.
  std::uint64_t version = 0;
  bool operator==(const ThumbnailKey&) const = default;
};

class ThumbnailMemory {
 public:
  explicit ThumbnailMemory(std::size_t budgetBytes) : budget_(budgetBytes) {}

  // The kept thumbnail (now the most recently used); nullptr when none.
  const Thumbnail* find(const ThumbnailKey& key);
  bool contains(const ThumbnailKey& key) const { return index_.count(textKey(key)) != 0; }
  void insert(const ThumbnailKey& key, Thumbnail thumbnail);
  void clear();
  std::size_t bytes() const { return bytes_; }
  std::size_t count() const { return entries_.size(); }
  // The most thumbnails that share a bucket of the index.
  std::size_t largestIndexBucket() const { return foundation::largestBucket(index_); }

 private:
  struct Entry {
    std::string key;
    Thumbnail thumbnail;
  };
  static std::string textKey(const ThumbnailKey& key);
  std::size_t budget_;
  std::size_t bytes_ = 0;
  std::list<Entry> entries_;  // most recently used first
  foundation::KeyedStringMap<std::list<Entry>::iterator> index_;  // keyed: paths are outside text
};

}  // namespace velumar
