#pragma once
// Row-parallel work on the one shared thread pool (oneTBB underneath, so
// nested and concurrent calls are safe and never deadlock).

#include <cstdint>
#include <functional>

namespace foundation {

// Calls body(begin, end) on disjoint sub-ranges covering [first, last).
// grain is the smallest range worth a task (e.g. a few rows). Returns when
// every call has finished. Small ranges run inline on the caller.
void parallelForRange(std::int64_t first, std::int64_t last,
                      const std::function<void(std::int64_t begin, std::int64_t end)>& body,
                      std::int64_t grain = 1);

// Calls body(i) for every i in [first, last), in parallel.
void parallelFor(std::int64_t first, std::int64_t last, const std::function<void(std::int64_t)>& body);

// Number of worker threads of the shared pool.
int hardwareConcurrency();

// Runs task on the calling thread, its parallel loops on the whole pool,
// each thread giving way between ranges when the window's thread (see
// setWindowThread) waits for its core: for work the window waits on while
// it must keep answering (a render during a slider drag).
void runInteractively(const std::function<void()>& task);
// How many times a thread working interactively has given way so far.
std::int64_t interactiveGiveWays();

}  // namespace foundation
