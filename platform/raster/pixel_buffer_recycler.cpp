#include "platform/raster/pixel_buffer_recycler.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>

#include "platform/foundation/parallel.h"

namespace raster {

using Buffer = std::vector<std::uint8_t>;

struct PixelBufferShelf {
  std::size_t kept = 0;
  mutable std::mutex lock;
  std::vector<std::unique_ptr<Buffer>> buffers;  // oldest first

  std::unique_ptr<Buffer> take(std::size_t size) {
    std::lock_guard guard(lock);
    for (auto it = buffers.rbegin(); it != buffers.rend(); ++it) {
      if ((*it)->size() != size) continue;
      std::unique_ptr<Buffer> found = std::move(*it);
      buffers.erase(std::next(it).base());
      return found;
    }
    return nullptr;
  }

  void give(std::unique_ptr<Buffer> buffer) {
    std::unique_ptr<Buffer> dropped;  // freed outside the lock
    std::lock_guard guard(lock);
    if (kept == 0) return;
    if (buffers.size() >= kept) {
      dropped = std::move(buffers.front());
      buffers.erase(buffers.begin());
    }
    buffers.push_back(std::move(buffer));
  }
};

namespace {

// Buffers below this size come quickly from the allocator's own heap.
constexpr std::size_t kSmallestKept = std::size_t(1) << 20;
// Rows of work when clearing or copying a kept buffer on the pool.
constexpr std::size_t kChunkBytes = std::size_t(256) << 10;

thread_local std::shared_ptr<PixelBufferShelf> currentShelf;

// Clears or copies a buffer a chunk per task: the buffer is in cache for
// the draw that follows, and the copy takes a fraction of one thread's time.
void fill(Buffer& buffer, const std::uint8_t* copyOf) {
  const std::size_t size = buffer.size();
  const auto chunks = std::int64_t((size + kChunkBytes - 1) / kChunkBytes);
  foundation::parallelForRange(0, chunks, [&](std::int64_t first, std::int64_t last) {
    const std::size_t begin = std::size_t(first) * kChunkBytes;
    const std::size_t end = std::min(size, std::size_t(last) * kChunkBytes);
    if (copyOf)
      std::memcpy(buffer.data() + begin, copyOf + begin, end - begin);
    else
      std::memset(buffer.data() + begin, 0, end - begin);
  });
}

}  // namespace

PixelBufferRecycler::PixelBufferRecycler(std::size_t kept) : shelf_(std::make_shared<PixelBufferShelf>()) {
  shelf_->kept = kept;
}

PixelBufferRecycler::~PixelBufferRecycler() {
  {
    std::lock_guard guard(shelf_->lock);
    shelf_->kept = 0;
  }
  release();
}

void PixelBufferRecycler::release() {
  std::vector<std::unique_ptr<Buffer>> dropped;
  std::lock_guard guard(shelf_->lock);
  dropped.swap(shelf_->buffers);
}

std::size_t PixelBufferRecycler::keptBuffers() const {
  std::lock_guard guard(shelf_->lock);
  return shelf_->buffers.size();
}

PixelBufferRecycler::Use::Use(PixelBufferRecycler& recycler) : previous_(std::move(currentShelf)) {
  currentShelf = recycler.shelf_;
}

PixelBufferRecycler::Use::~Use() {
  currentShelf = std::move(previous_);
}

PixelStorage newPixelStorage(std::size_t size, const std::uint8_t* copyOf) {
  const std::shared_ptr<PixelBufferShelf>& shelf = currentShelf;
  try {
    if (!shelf || size < kSmallestKept)
      return copyOf ? std::make_shared<Buffer>(copyOf, copyOf + size) : std::make_shared<Buffer>(size, 0);
    std::unique_ptr<Buffer> buffer = shelf->take(size);
    if (buffer) {
      fill(*buffer, copyOf);
    } else {
      buffer = copyOf ? std::make_unique<Buffer>(copyOf, copyOf + size) : std::make_unique<Buffer>(size, 0);
    }
    // Back to the shelf when let go, while the shelf still exists.
    std::weak_ptr<PixelBufferShelf> home = shelf;
    return PixelStorage(buffer.release(), [home](Buffer* released) {
      std::unique_ptr<Buffer> owned(released);
      if (const std::shared_ptr<PixelBufferShelf> shelf = home.lock()) shelf->give(std::move(owned));
    });
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace raster
