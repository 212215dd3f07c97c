#include "platform/foundation/memory_reuse.h"

#include <malloc.h>

#include <mutex>

namespace foundation {

namespace {

// The largest buffer served from the heap: the rows, tiles and small
// pictures every file allocates anew. Larger ones (a large photo's decode,
// a progressive JPEG's coefficients) are mapped and go
// back to the system when freed, so the heap does not keep the largest
// files' holes and the memory a batch holds follows what its files hold.
constexpr int kHeapBufferLimit = 8 * 1024 * 1024;
// No trimming while a batch runs; the allocator's starting values
// afterwards.
constexpr int kNoTrim = 1 << 30;
constexpr int kDefaultTrimThreshold = 128 * 1024;
constexpr int kDefaultMmapThreshold = 128 * 1024;
// One heap for the threads that start allocating during a batch; 0 is the
// allocator's own limit (eight per core).
constexpr int kBatchHeaps = 1;
constexpr int kDefaultHeaps = 0;

std::mutex scopesLock;
int openScopes = 0;

}  // namespace

MemoryReuseScope::MemoryReuseScope() {
  std::lock_guard guard(scopesLock);
  if (openScopes++ > 0) return;
  mallopt(M_MMAP_THRESHOLD, kHeapBufferLimit);
  mallopt(M_TRIM_THRESHOLD, kNoTrim);
  mallopt(M_ARENA_MAX, kBatchHeaps);
}

MemoryReuseScope::~MemoryReuseScope() {
  std::lock_guard guard(scopesLock);
  if (--openScopes > 0) return;
  mallopt(M_MMAP_THRESHOLD, kDefaultMmapThreshold);
  mallopt(M_TRIM_THRESHOLD, kDefaultTrimThreshold);
  mallopt(M_ARENA_MAX, kDefaultHeaps);
  malloc_trim(0);
}

void MemoryReuseScope::releaseFreedPages() {
  malloc_trim(0);
}

}  // namespace foundation
