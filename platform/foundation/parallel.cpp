#include "platform/foundation/parallel.h"

#include <tbb/blocked_range.h>
#include <tbb/info.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include <algorithm>

namespace foundation {

namespace {
// The thread sanitizer cannot see the pool's own synchronisation (the
// library is not instrumented): under it the rows run on the calling
// thread, so its reports are about our threads only.
#ifdef __SANITIZE_THREAD__
constexpr bool kRunOnCallingThread = true;
#else
constexpr bool kRunOnCallingThread = false;
#endif
}  // namespace

void parallelForRange(std::int64_t first, std::int64_t last,
                      const std::function<void(std::int64_t, std::int64_t)>& body, std::int64_t grain) {
  if (last <= first) return;
  if (grain < 1) grain = 1;
  if (kRunOnCallingThread || last - first <= grain) {
    body(first, last);
    return;
  }
  tbb::parallel_for(tbb::blocked_range<std::int64_t>(first, last, std::size_t(grain)),
                    [&](const tbb::blocked_range<std::int64_t>& r) { body(r.begin(), r.end()); });
}

void parallelFor(std::int64_t first, std::int64_t last, const std::function<void(std::int64_t)>& body) {
  parallelForRange(first, last, [&](std::int64_t b, std::int64_t e) {
    for (std::int64_t i = b; i < e; ++i) body(i);
  });
}

int hardwareConcurrency() {
  return tbb::info::default_concurrency();
}

void runWithThreadLimit(int threads, const std::function<void()>& task) {
  if (kRunOnCallingThread || threads >= hardwareConcurrency()) {
    task();
    return;
  }
  // An arena of its own: a slot for the caller, the rest for the pool's
  // workers.
  tbb::task_arena arena(std::max(1, threads), 1);
  arena.execute(task);
}

}  // namespace foundation
