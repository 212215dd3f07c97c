// Short time slices keep the thread's policy and nice value and are not
// inherited; the window's thread is seen waiting only for the looker's core,
// and interactive loops give way to it there.

#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/parallel.h"
#include "platform/foundation/thread_scheduling.h"

namespace {

constexpr std::uint64_t kShort = 100'000;

// The calling thread's slice as the kernel reports it (0 where it does not):
// the fourth word of its scheduling attributes.
std::uint64_t slice() {
  std::uint64_t attributes[7] = {};
  return syscall(SYS_sched_getattr, 0, attributes, unsigned(sizeof attributes), 0u) == 0 ? attributes[3] : 0;
}

// The thread's state letter in the kernel's record of it.
char stateOf(long tid) {
  std::ifstream record("/proc/self/task/" + std::to_string(tid) + "/stat");
  std::string line;
  std::getline(record, line);
  const std::size_t end = line.rfind(')');
  return end != std::string::npos && end + 2 < line.size() ? line[end + 2] : '?';
}

bool pinTo(int core) {
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(core, &set);
  return sched_setaffinity(0, sizeof set, &set) == 0;
}

// The window's thread pinned to a core at the idle policy, so that on a
// shared core it is always ready and never preempts the thread looking;
// spinning, or asleep reading a pipe.
class WindowThread {
 public:
  WindowThread(int core, bool sleeping) : sleeping_(sleeping) {
    EXPECT_EQ(pipe(wake_), 0);
    std::atomic<bool> ready{false};
    thread_ = std::thread([this, core, &ready] {
      tid_ = long(syscall(SYS_gettid));
      const sched_param priority{};
      const bool set = pinTo(core) && pthread_setschedparam(pthread_self(), SCHED_IDLE, &priority) == 0;
      foundation::setWindowThread();
      ready = true;
      EXPECT_TRUE(set);
      char byte;
      if (sleeping_) {
        EXPECT_EQ(read(wake_[0], &byte, 1), 1);
      }
      while (!done_) {
      }
    });
    while (!ready) std::this_thread::yield();
    // A sleeping window thread is looked at once it is asleep.
    for (int i = 0; i < 1000 && sleeping_ && stateOf(tid_) != 'S'; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~WindowThread() {
    done_ = true;
    EXPECT_EQ(write(wake_[1], "x", 1), 1);
    thread_.join();
    close(wake_[0]);
    close(wake_[1]);
  }

 private:
  const bool sleeping_;
  int wake_[2] = {-1, -1};
  std::atomic<bool> done_{false};
  std::atomic<long> tid_{0};
  std::thread thread_;
};

// The first two cores the process may use (fewer where it has fewer).
std::vector<int> allowedCores() {
  cpu_set_t allowed;
  std::vector<int> cores;
  if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return cores;
  for (int core = 0; core < CPU_SETSIZE && cores.size() < 2; ++core)
    if (CPU_ISSET(core, &allowed)) cores.push_back(core);
  return cores;
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
      if (slice() == kShort) std::thread([] { EXPECT_NE(slice(), kShort); }).join();
    }).join();
  }
}

TEST(ThreadScheduling, WindowThreadSeenWaitingOnlyForOwnCore) {
  const std::vector<int> cores = allowedCores();
  if (cores.size() < 2) GTEST_SKIP() << "needs two cores";
  struct Case {
    bool sameCore, sleeping, seen;
  };
  const Case cases[] = {{true, false, true}, {false, false, false}, {true, true, false}};
  for (const Case& c : cases) {
    const WindowThread window(cores[0], c.sleeping);
    std::thread([&] {
      ASSERT_TRUE(pinTo(cores[c.sameCore ? 0 : 1]));
      bool seen = false;
      for (int i = 0; i < 50 && !seen; ++i) {
        seen = foundation::windowThreadWaitsForThisCore();
        std::this_thread::sleep_for(std::chrono::microseconds(100));
      }
      EXPECT_EQ(seen, c.seen) << c.sameCore << c.sleeping;
    }).join();
  }
}

// A loop run interactively from the window thread's core gives way to it
// there while it waits, and only then; other loops never do.
TEST(ThreadScheduling, InteractiveLoopsGiveWayToTheWaitingWindowThread) {
  const std::vector<int> cores = allowedCores();
  ASSERT_FALSE(cores.empty());
  struct Case {
    bool interactive, sleeping, givesWay;
  };
  const Case cases[] = {{true, false, true}, {true, true, false}, {false, false, false}};
  for (const Case& c : cases) {
    const WindowThread window(cores[0], c.sleeping);
    std::int64_t gaveWay = 0;
    std::thread([&] {
      ASSERT_TRUE(pinTo(cores[0]));
      const std::int64_t before = foundation::interactiveGiveWays();
      // Ranges of 50 µs of work, for 20 ms of one thread's time.
      const auto loop = [] {
        foundation::parallelForRange(0, 400, [](std::int64_t first, std::int64_t last) {
          const auto end = std::chrono::steady_clock::now() + std::chrono::microseconds(50) * (last - first);
          while (std::chrono::steady_clock::now() < end) {
          }
        });
      };
      if (c.interactive) {
        foundation::runInteractively(loop);
      } else {
        loop();
      }
      gaveWay = foundation::interactiveGiveWays() - before;
    }).join();
#ifdef __SANITIZE_THREAD__  // there loops run on the caller, which never gives way
    EXPECT_EQ(gaveWay, 0);
#else
    EXPECT_EQ(gaveWay > 0, c.givesWay) << c.interactive << c.sleeping << " gave way " << gaveWay << " times";
#endif
  }
}
