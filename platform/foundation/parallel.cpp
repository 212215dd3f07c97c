#include "platform/foundation/parallel.h"

#include <tbb/blocked_range.h>
#include <tbb/info.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>
#include <tbb/task_scheduler_observer.h>

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <chrono>

#include "platform/foundation/thread_scheduling.h"

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

// Set on the threads working in the interactive arena: they give way
// between ranges.
thread_local bool givingWay = false;

// How often a thread of the interactive arena looks whether the window's
// thread waits for its core: the window then waits at most about this
// long plus one range.
constexpr auto kGiveWayCheckInterval = std::chrono::microseconds(200);
thread_local std::chrono::steady_clock::time_point lastGiveWayCheck;
std::atomic<std::int64_t> giveWays{0};

// Yields the core when the window's thread is queued on it. Only then:
// yielding at every range would also hand the core to other programs'
// threads, and on a busy machine the render would get a tenth of its share.
void giveWayToWindowThread() {
  const auto now = std::chrono::steady_clock::now();
  if (now - lastGiveWayCheck < kGiveWayCheckInterval) return;
  lastGiveWayCheck = now;
  if (!windowThreadWaitsForThisCore()) return;
  giveWays.fetch_add(1, std::memory_order_relaxed);
  sched_yield();
}

// The arena of interactive work, and what marks its threads.
class GivingWayObserver : public tbb::task_scheduler_observer {
 public:
  explicit GivingWayObserver(tbb::task_arena& arena) : tbb::task_scheduler_observer(arena) { observe(true); }
  void on_scheduler_entry(bool) override { givingWay = true; }
  void on_scheduler_exit(bool) override { givingWay = false; }
};

struct InteractiveArena {
  tbb::task_arena arena{tbb::info::default_concurrency(), 1};
  GivingWayObserver observer{arena};
};

tbb::task_arena& interactiveArena() {
  // Made once and never destroyed: pool threads may still leave it while
  // the process exits.
  static InteractiveArena* const made = new InteractiveArena();
  return made->arena;
}

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
                    [&](const tbb::blocked_range<std::int64_t>& r) {
                      body(r.begin(), r.end());
                      if (givingWay) giveWayToWindowThread();
                    });
}

void parallelFor(std::int64_t first, std::int64_t last, const std::function<void(std::int64_t)>& body) {
  parallelForRange(first, last, [&](std::int64_t b, std::int64_t e) {
    for (std::int64_t i = b; i < e; ++i) body(i);
  });
}

int hardwareConcurrency() {
  return tbb::info::default_concurrency();
}

std::int64_t interactiveGiveWays() {
  return giveWays.load(std::memory_order_relaxed);
}

void runInteractively(const std::function<void()>& task) {
  if (kRunOnCallingThread) {
    task();
    return;
  }
  interactiveArena().execute([&] {
    // The caller may already have been marked, or not, by the observer.
    const bool outer = givingWay;
    givingWay = true;
    task();
    givingWay = outer;
  });
}

}  // namespace foundation
