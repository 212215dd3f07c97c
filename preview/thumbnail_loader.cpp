#include "preview/thumbnail_loader.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>

#include "platform/foundation/main_loop.h"
#include "platform/foundation/parallel.h"
#include "platform/foundation/serial_queue.h"

namespace velumar {

// State the worker shares with the main thread.
struct ThumbnailLoader::Shared {
  std::optional<desktop::ThumbnailCache> cache;  // immutable
  std::mutex mutex;
  std::deque<ThumbnailKey> pending;                             // guarded
  std::vector<ThumbnailKey> underWay;                           // guarded
  desktop::ThumbnailSize size = desktop::ThumbnailSize::Large;  // guarded
  bool draining = false;                                        // guarded
  std::atomic<std::uint64_t> generation{0};
  // Cleared when the loader goes: results still posted are then dropped.
  ThumbnailLoader* owner = nullptr;  // main thread only

  bool isUnderWay(const ThumbnailKey& key) const {
    return std::find(underWay.begin(), underWay.end(), key) != underWay.end();
  }

  // Runs on the serial queue until nothing is pending: each batch is made
  // in parallel and every thumbnail posted as soon as it is done.
  static void drain(const std::shared_ptr<Shared>& shared) {
    const std::size_t batchSize = std::size_t(std::max(4, 2 * foundation::hardwareConcurrency()));
    for (;;) {
      std::vector<ThumbnailKey> batch;
      desktop::ThumbnailSize size = desktop::ThumbnailSize::Large;
      std::uint64_t generation = 0;
      {
        std::lock_guard lock(shared->mutex);
        if (shared->pending.empty()) {
          shared->draining = false;
          return;
        }
        while (!shared->pending.empty() && batch.size() < batchSize) {
          batch.push_back(std::move(shared->pending.front()));
          shared->pending.pop_front();
          shared->underWay.push_back(batch.back());
        }
        size = shared->size;
        generation = shared->generation.load();
      }
      const desktop::ThumbnailCache* cache = shared->cache ? &*shared->cache : nullptr;
      const std::weak_ptr<Shared> weak = shared;
      foundation::parallelFor(0, std::int64_t(batch.size()), [&](std::int64_t i) {
        Thumbnail thumbnail = makeThumbnail(batch[std::size_t(i)].path, size, cache);
        foundation::MainLoop::post([weak, key = batch[std::size_t(i)], generation, thumbnail]() {
          const auto alive = weak.lock();
          if (alive && alive->owner != nullptr) alive->owner->deliver(key, generation, thumbnail);
        });
      });
    }
  }
};

ThumbnailLoader::ThumbnailLoader(Delivery delivery, std::optional<desktop::ThumbnailCache> cache,
                                 std::size_t memoryBudget)
    : delivery_(std::move(delivery)),
      memory_(memoryBudget),
      shared_(std::make_shared<Shared>()),
      queue_(std::make_unique<foundation::SerialQueue>("thumbnails")) {
  shared_->cache = std::move(cache);
  shared_->owner = this;
}

ThumbnailLoader::~ThumbnailLoader() {
  shared_->owner = nullptr;
  reset();
  queue_.reset();  // waits for the batch under way
}

void ThumbnailLoader::setPixelSize(int pixels) {
  const desktop::ThumbnailSize size = desktop::thumbnailSizeFor(pixels);
  if (size == size_) return;
  size_ = size;
  reset();
  memory_.clear();
  std::lock_guard lock(shared_->mutex);
  shared_->size = size;
}

void ThumbnailLoader::request(const std::vector<ThumbnailKey>& wanted) {
  std::lock_guard lock(shared_->mutex);
  shared_->pending.clear();
  for (const ThumbnailKey& key : wanted) {
    if (memory_.contains(key) || shared_->isUnderWay(key)) continue;
    if (std::find(shared_->pending.begin(), shared_->pending.end(), key) != shared_->pending.end()) continue;
    shared_->pending.push_back(key);
  }
  if (shared_->pending.empty() || shared_->draining) return;
  shared_->draining = true;
  queue_->async([shared = shared_] { Shared::drain(shared); });
}

void ThumbnailLoader::reset() {
  std::lock_guard lock(shared_->mutex);
  shared_->pending.clear();
  shared_->underWay.clear();
  ++shared_->generation;
}

void ThumbnailLoader::waitUntilIdle() {
  queue_->waitUntilIdle();
}

void ThumbnailLoader::deliver(const ThumbnailKey& key, std::uint64_t generation, Thumbnail thumbnail) {
  {
    std::lock_guard lock(shared_->mutex);
    if (generation != shared_->generation.load()) return;
    const auto found = std::find(shared_->underWay.begin(), shared_->underWay.end(), key);
    if (found != shared_->underWay.end()) shared_->underWay.erase(found);
  }
  memory_.insert(key, thumbnail);
  if (const Thumbnail* kept = memory_.find(key); kept != nullptr && delivery_) delivery_(key, *kept);
}

}  // namespace velumar
