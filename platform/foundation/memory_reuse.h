#pragma once
// Keeps freed memory for reuse while a batch runs. A batch allocates and
// frees pixel buffers of a few to tens of megabytes for every file; with the
// allocator's default adaptive limits those buffers alternate between fresh
// mappings and a heap that is trimmed after each free, so every file faults
// its pages in again. While a scope lives, buffers up to 32 MiB come from
// the heap and the heap is not trimmed; when the last scope ends, the
// allocator gets its starting limits back and the unused memory goes back
// to the system.

namespace foundation {

class MemoryReuseScope {
 public:
  MemoryReuseScope();
  ~MemoryReuseScope();
  MemoryReuseScope(const MemoryReuseScope&) = delete;
  MemoryReuseScope& operator=(const MemoryReuseScope&) = delete;
};

}  // namespace foundation
