#pragma once
// Loads the grid's thumbnails in the background: the caller names the items
// it wants, the visible ones first; batches of them are made on the shared
// thread pool from one serial queue, and each result is handed back on the
// main thread. A new request replaces the work not yet started; a reset
// also drops the results of work under way. The main-thread API never reads
// a file.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/desktop/thumbnail_cache.h"
#include "preview/thumbnail_memory.h"

namespace foundation {
class SerialQueue;
}

namespace velumar {

class ThumbnailLoader {
 public:
  // Called on the main thread with each thumbnail made for the loader.
  using Delivery = std::function<void(const ThumbnailKey& key, const Thumbnail& thumbnail)>;

  static constexpr std::size_t kDefaultMemoryBudget = std::size_t(256) << 20;

  // cache: the shared thumbnail cache, or none to keep thumbnails in memory only.
  ThumbnailLoader(Delivery delivery, std::optional<desktop::ThumbnailCache> cache,
                  std::size_t memoryBudget = kDefaultMemoryBudget);
  ~ThumbnailLoader();
  ThumbnailLoader(const ThumbnailLoader&) = delete;
  ThumbnailLoader& operator=(const ThumbnailLoader&) = delete;

  // The longer side wanted for the thumbnails, in device pixels; a change
  // of cache size drops what is in memory and under way.
  void setPixelSize(int pixels);
  desktop::ThumbnailSize thumbnailSize() const { return size_; }

  // The thumbnail in memory, nullptr when it is not loaded (yet).
  const Thumbnail* thumbnail(const ThumbnailKey& key) { return memory_.find(key); }
  // Loads the wanted items that are neither in memory nor under way, most
  // wanted first; items of an earlier request not yet started are dropped.
  void request(const std::vector<ThumbnailKey>& wanted);
  // Drops the queued work and the results of the work under way.
  void reset();
  // Blocks until no work is queued or under way (for tests and benchmarks;
  // results still arrive through the main loop).
  void waitUntilIdle();

  const ThumbnailMemory& memory() const { return memory_; }

 private:
  struct Shared;
  void deliver(const ThumbnailKey& key, std::uint64_t generation, Thumbnail thumbnail);

  Delivery delivery_;
  ThumbnailMemory memory_;
  desktop::ThumbnailSize size_ = desktop::ThumbnailSize::Large;
  std::shared_ptr<Shared> shared_;
  std::unique_ptr<foundation::SerialQueue> queue_;
};

}  // namespace velumar
