// Short time slices are asked for without changing the thread's policy or
// nice value.

#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "platform/foundation/thread_scheduling.h"

namespace {

constexpr std::uint64_t kShort = 100'000;

// The calling thread's slice as the kernel reports it (0 where it does not).
std::uint64_t slice() {
  struct {
    std::uint32_t size, policy;
    std::uint64_t flags;
    std::int32_t nice;
    std::uint32_t priority;
    std::uint64_t runtime, deadline, period;
    std::uint32_t utilizationMin, utilizationMax;
  } attributes{};
  if (syscall(SYS_sched_getattr, 0, &attributes, unsigned(sizeof attributes), 0u) != 0) return 0;
  return attributes.runtime;
}

}  // namespace

TEST(ThreadScheduling, ShortSlicesKeepPolicyAndNice) {
  struct Case {
    int policy, nice;
    bool taken;
  };
  const Case cases[] = {{SCHED_OTHER, 0, true}, {SCHED_OTHER, 5, true}, {SCHED_BATCH, 3, false}};
  for (const Case& c : cases) {
    std::thread([&c] {
      const auto tid = id_t(syscall(SYS_gettid));
      const sched_param priority{};
      ASSERT_EQ(pthread_setschedparam(pthread_self(), c.policy, &priority), 0);
      ASSERT_EQ(setpriority(PRIO_PROCESS, tid, c.nice), 0);
      EXPECT_EQ(foundation::requestShortTimeSlices(), c.taken) << c.policy << " " << c.nice;
      EXPECT_EQ(sched_getscheduler(0) & ~SCHED_RESET_ON_FORK, c.policy);
      EXPECT_EQ(getpriority(PRIO_PROCESS, tid), c.nice);
      // Where the kernel reports slices, a thread started now has the usual.
      const std::uint64_t own = slice();
      std::thread([own] {
        if (own == kShort) {
          EXPECT_NE(slice(), kShort);
        }
      }).join();
    }).join();
  }
}

// The window's thread is seen waiting only when it is ready to run on the
// core of the thread that looks. It spins at the idle policy, so that on a
// shared core it is always ready and never preempts the one looking.
TEST(ThreadScheduling, WindowThreadSeenWaitingOnlyForOwnCore) {
  if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "needs two cores";
  struct Case {
    bool sameCore, sleeping, seen;
  };
  const Case cases[] = {{true, false, true}, {false, false, false}, {true, true, false}};
  auto pinTo = [](int core) {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(core, &set);
    return sched_setaffinity(0, sizeof set, &set) == 0;
  };
  for (const Case& c : cases) {
    std::atomic<bool> ready{false}, done{false};
    std::mutex lock;
    std::condition_variable wake;
    std::thread window([&] {
      ASSERT_TRUE(pinTo(0));
      const sched_param priority{};
      ASSERT_EQ(pthread_setschedparam(pthread_self(), SCHED_IDLE, &priority), 0);
      foundation::setWindowThread();
      ready = true;
      if (c.sleeping) {
        std::unique_lock guard(lock);
        wake.wait(guard, [&] { return done.load(); });
      } else {
        while (!done) {
        }
      }
    });
    while (!ready) std::this_thread::yield();
    std::thread looker([&] {
      ASSERT_TRUE(pinTo(c.sameCore ? 0 : 1));
      bool seen = false;
      for (int i = 0; i < 50 && !seen; ++i) {
        seen = foundation::windowThreadWaitsForThisCore();
        std::this_thread::sleep_for(std::chrono::microseconds(100));
      }
      EXPECT_EQ(seen, c.seen) << c.sameCore << c.sleeping;
    });
    looker.join();
    {
      std::lock_guard guard(lock);
      done = true;
    }
    wake.notify_all();
    window.join();
  }
}
