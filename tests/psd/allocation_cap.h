#pragma once
// While an AllocationCap lives, any single allocation through operator new
// larger than its size throws std::bad_alloc: a decode that sizes a buffer
// by what a file claims fails the test instead of taking the memory.

#include <cstddef>

namespace psdtest {

class AllocationCap {
 public:
  explicit AllocationCap(std::size_t most);
  ~AllocationCap();
  AllocationCap(const AllocationCap&) = delete;
  AllocationCap& operator=(const AllocationCap&) = delete;
};

}  // namespace psdtest
