#pragma once
// Keeps freed memory for reuse while a batch runs. A batch allocates and
// frees pixel buffers of a few to tens of megabytes for every file; with the
// allocator's default adaptive limits those buffers alternate between fresh
// mappings and a heap that is trimmed after each free, so every file faults
// its pages in again. While a scope lives, buffers up to 8 MiB come from
// the heap and the heap is not trimmed (larger ones, a progressive JPEG's
// coefficients, are mapped and given back when freed, so the heap never
// keeps the largest files' memory); when the last scope ends, the
// allocator gets its starting limits back and the unused memory goes back
// to the system.
//
// Threads that start allocating while a scope lives share one heap: a heap
// per pool thread would each keep its own largest files' buffers. Small
// records a batch keeps per file (the names written) split freed buffers,
// so what a heap keeps creeps up with the files; releaseFreedPages(), called
// now and then, gives the pages of freed memory back and bounds it.

namespace foundation {

class MemoryReuseScope {
 public:
  MemoryReuseScope();
  ~MemoryReuseScope();
  MemoryReuseScope(const MemoryReuseScope&) = delete;
  MemoryReuseScope& operator=(const MemoryReuseScope&) = delete;

  // Returns the whole pages of freed memory to the system (the memory stays
  // the allocator's, so later buffers reuse it after a page fault).
  static void releaseFreedPages();
};

}  // namespace foundation
