#include "allocation_cap.h"

#include <atomic>
#include <cstdlib>
#include <limits>
#include <new>

namespace {
std::atomic<std::size_t> cap{std::numeric_limits<std::size_t>::max()};
}  // namespace

namespace psdtest {
AllocationCap::AllocationCap(std::size_t most) { cap = most; }
AllocationCap::~AllocationCap() { cap = std::numeric_limits<std::size_t>::max(); }
}  // namespace psdtest

void* operator new(std::size_t size) {
  if (size > cap.load(std::memory_order_relaxed)) throw std::bad_alloc();
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
