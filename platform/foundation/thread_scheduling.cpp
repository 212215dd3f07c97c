#include "platform/foundation/thread_scheduling.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/foundation/log.h"

namespace foundation {

namespace {

// The kernel's sched_attr, as of its first extension (size 56).
struct SchedulingAttributes {
  std::uint32_t size;
  std::uint32_t policy;
  std::uint64_t flags;
  std::int32_t nice;
  std::uint32_t priority;
  std::uint64_t runtime;  // for the fair class: the requested slice, in ns
  std::uint64_t deadline;
  std::uint64_t period;
  std::uint32_t utilizationMin;
  std::uint32_t utilizationMax;
};

// The shortest slice the kernel grants.
constexpr std::uint64_t kShortSliceNs = 100'000;
constexpr int kFairPolicy = 0;  // SCHED_OTHER
constexpr std::uint64_t kResetOnFork = 0x01;

// The kernel's record of the window's thread, kept open; -1 before one is
// set or where there is none.
std::atomic<int> windowThreadStat{-1};

}  // namespace

bool requestShortTimeSlices() {
#if defined(SYS_sched_getattr) && defined(SYS_sched_setattr)
  SchedulingAttributes attributes{};
  if (syscall(SYS_sched_getattr, 0, &attributes, unsigned(sizeof attributes), 0u) != 0) {
    log("scheduling: cannot read the thread's attributes ({})", std::strerror(errno));
    return false;
  }
  // Real-time, batch and idle threads keep what they were given.
  if (attributes.policy != kFairPolicy) return false;
  attributes.size = sizeof attributes;
  // Threads it starts (pool threads) get the kernel's default slices back;
  // the clamp flags read would set the clamps anew.
  attributes.flags = kResetOnFork;
  attributes.runtime = kShortSliceNs;
  if (syscall(SYS_sched_setattr, 0, &attributes, 0u) != 0) {
    log("scheduling: short time slices refused ({})", std::strerror(errno));
    return false;
  }
  return true;
#else
  return false;
#endif
}

void setWindowThread() {
  const std::string path = "/proc/self/task/" + std::to_string(long(syscall(SYS_gettid))) + "/stat";
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) log("scheduling: cannot follow the window's thread ({})", std::strerror(errno));
  const int previous = windowThreadStat.exchange(fd);
  if (previous >= 0) close(previous);
}

bool windowThreadWaitsForThisCore() {
  const int fd = windowThreadStat.load(std::memory_order_relaxed);
  if (fd < 0) return false;
  char record[512];
  const ssize_t length = pread(fd, record, sizeof record - 1, 0);
  if (length <= 0) return false;
  record[length] = 0;
  // "pid (name) state ppid ...": the state is the third field, the core
  // the thread is queued on or ran on last the 39th. The name may hold
  // spaces and parentheses, so fields are counted from its last ')'.
  const char* field = std::strrchr(record, ')');
  if (!field || field[1] != ' ' || field[2] != 'R') return false;  // not ready to run
  ++field;
  for (int number = 3; number < 39; ++number) {
    field = std::strchr(field + 1, ' ');
    if (!field) return false;
  }
  // Ready to run on the core this thread holds: it waits for it.
  return std::atoi(field + 1) == sched_getcpu();
}

}  // namespace foundation
