// Short time slices keep the thread's policy and nice value and are not
// inherited; the window's thread is seen waiting only for the looker's core.

#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

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

// The window's thread spins at the idle policy, so that on a shared core it
// is always ready and never preempts the thread looking; or it sleeps.
TEST(ThreadScheduling, WindowThreadSeenWaitingOnlyForOwnCore) {
  cpu_set_t allowed;
  ASSERT_EQ(sched_getaffinity(0, sizeof allowed, &allowed), 0);
  std::vector<int> cores;
  for (int core = 0; core < CPU_SETSIZE && cores.size() < 2; ++core)
    if (CPU_ISSET(core, &allowed)) cores.push_back(core);
  if (cores.size() < 2) GTEST_SKIP() << "needs two cores";
  struct Case {
    bool sameCore, sleeping, seen;
  };
  const Case cases[] = {{true, false, true}, {false, false, false}, {true, true, false}};
  for (const Case& c : cases) {
    std::atomic<bool> ready{false}, done{false};
    std::atomic<long> tid{0};
    int wake[2];  // a sleeping window thread blocks reading it
    ASSERT_EQ(pipe(wake), 0);
    std::thread window([&] {
      tid = long(syscall(SYS_gettid));
      const sched_param priority{};
      const bool set = pinTo(cores[0]) && pthread_setschedparam(pthread_self(), SCHED_IDLE, &priority) == 0;
      foundation::setWindowThread();
      ready = true;
      EXPECT_TRUE(set);
      char byte;
      if (c.sleeping) {
        EXPECT_EQ(read(wake[0], &byte, 1), 1);
      }
      while (!done) {
      }
    });
    while (!ready) std::this_thread::yield();
    // A sleeping window thread is looked at once it is asleep.
    for (int i = 0; i < 1000 && c.sleeping && stateOf(tid) != 'S'; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::thread([&] {
      ASSERT_TRUE(pinTo(cores[c.sameCore ? 0 : 1]));
      bool seen = false;
      for (int i = 0; i < 50 && !seen; ++i) {
        seen = foundation::windowThreadWaitsForThisCore();
        std::this_thread::sleep_for(std::chrono::microseconds(100));
      }
      EXPECT_EQ(seen, c.seen) << c.sameCore << c.sleeping;
    }).join();
    done = true;
    EXPECT_EQ(write(wake[1], "x", 1), 1);
    window.join();
    close(wake[0]);
    close(wake[1]);
  }
}
