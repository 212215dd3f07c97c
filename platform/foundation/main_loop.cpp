#include "platform/foundation/main_loop.h"

#include <algorithm>
#include <atomic>

namespace foundation {

namespace {
std::atomic<MainLoop*> gLoop{nullptr};

// One lock and one wake-up for every runSync call, so close() reaches all
// waiters at once.
std::mutex gSyncLock;
std::condition_variable gSyncWake;
// Written under gSyncLock, so waiters see it change.
std::atomic<bool> gClosed{false};
// Closed from the main thread itself: a task it was running never returns,
// since the process exits from inside it.
bool gClosedOnLoopThread = false;  // under gSyncLock

// A runSync task's way from the caller to the main thread. A task still
// queued when the main queue closes is abandoned: its caller returns and
// the main thread, should it still get to it, leaves it alone.
enum class SyncPhase { Queued, Running, Done, Abandoned };
}  // namespace

void MainLoop::install(MainLoop* loop) {
  gLoop.store(loop);
  if (!loop) return;
  std::lock_guard lock(gSyncLock);
  gClosed = false;
  gClosedOnLoopThread = false;
}

void MainLoop::close() {
  MainLoop* loop = gLoop.load();
  const bool onLoopThread = loop && loop->onLoopThread();
  {
    std::lock_guard lock(gSyncLock);
    gClosed = true;
    gClosedOnLoopThread = gClosedOnLoopThread || onLoopThread;
  }
  gSyncWake.notify_all();
}

bool MainLoop::isClosed() {
  return gClosed.load();
}

MainLoop* MainLoop::installed() {
  return gLoop.load();
}

bool MainLoop::isMainThread() {
  MainLoop* loop = gLoop.load();
  return loop == nullptr || loop->onLoopThread();
}

void MainLoop::post(Task task) {
  postAfter(0, std::move(task));
}

void MainLoop::postAfter(double seconds, Task task) {
  if (isClosed()) return;
  MainLoop* loop = gLoop.load();
  if (!loop) {
    task();
    return;
  }
  auto delay = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(std::max(0.0, seconds)));
  loop->enqueue(std::move(task), std::chrono::steady_clock::now() + delay);
}

bool MainLoop::runSync(const Task& task) {
  MainLoop* loop = gLoop.load();
  if ((loop && loop->onLoopThread()) || (!loop && !isClosed())) {
    task();
    return true;
  }
  auto phase = std::make_shared<SyncPhase>(SyncPhase::Queued);
  {
    std::lock_guard lock(gSyncLock);
    if (gClosed || !loop) return false;
  }
  loop->enqueue(
      [phase, &task] {
        {
          std::lock_guard lock(gSyncLock);
          if (*phase != SyncPhase::Queued) return;
          *phase = SyncPhase::Running;
        }
        struct Finish {
          SyncPhase& phase;
          ~Finish() {
            {
              std::lock_guard lock(gSyncLock);
              phase = SyncPhase::Done;
            }
            gSyncWake.notify_all();
          }
        } finish{*phase};
        task();
      },
      std::chrono::steady_clock::now());
  std::unique_lock lock(gSyncLock);
  gSyncWake.wait(lock, [&] {
    return *phase == SyncPhase::Done || (gClosed && (*phase == SyncPhase::Queued ||
                                                     (*phase == SyncPhase::Running && gClosedOnLoopThread)));
  });
  if (*phase == SyncPhase::Done) return true;
  *phase = SyncPhase::Abandoned;
  return false;
}

PlainMainLoop::PlainMainLoop() : owner_(std::this_thread::get_id()) {}

bool PlainMainLoop::onLoopThread() const {
  return std::this_thread::get_id() == owner_;
}

void PlainMainLoop::enqueue(Task task, std::chrono::steady_clock::time_point when) {
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back({when, nextOrder_++, std::move(task)});
  }
  wake_.notify_all();
}

int PlainMainLoop::runPending() {
  int ran = 0;
  for (;;) {
    Task task;
    {
      std::lock_guard lock(mutex_);
      auto now = std::chrono::steady_clock::now();
      auto due = tasks_.end();
      for (auto it = tasks_.begin(); it != tasks_.end(); ++it) {
        if (it->when <= now && (due == tasks_.end() || it->when < due->when ||
                                (it->when == due->when && it->order < due->order)))
          due = it;
      }
      if (due == tasks_.end()) return ran;
      task = std::move(due->task);
      tasks_.erase(due);
    }
    task();
    ++ran;
  }
}

bool PlainMainLoop::runUntil(const std::function<bool()>& done, double timeoutSeconds) {
  auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                             std::chrono::duration<double>(timeoutSeconds));
  {
    std::lock_guard lock(mutex_);
    quit_ = false;
  }
  for (;;) {
    runPending();
    if (done && done()) return true;
    std::unique_lock lock(mutex_);
    if (quit_) return true;
    auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    auto wakeAt = deadline;
    for (const auto& t : tasks_) wakeAt = std::min(wakeAt, t.when);
    wakeAt = std::min(wakeAt, now + std::chrono::milliseconds(10));
    wake_.wait_until(lock, wakeAt);
  }
}

void PlainMainLoop::quit() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
}

}  // namespace foundation
