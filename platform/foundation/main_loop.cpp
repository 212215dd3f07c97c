#include "platform/foundation/main_loop.h"

#include <algorithm>
#include <atomic>
#include <future>

namespace foundation {

namespace {
std::atomic<MainLoop*> gLoop{nullptr};
}

void MainLoop::install(MainLoop* loop) {
  gLoop.store(loop);
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
  MainLoop* loop = gLoop.load();
  if (!loop) {
    task();
    return;
  }
  auto delay = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(std::max(0.0, seconds)));
  loop->enqueue(std::move(task), std::chrono::steady_clock::now() + delay);
}

void MainLoop::runSync(const Task& task) {
  MainLoop* loop = gLoop.load();
  if (!loop || loop->onLoopThread()) {
    task();
    return;
  }
  std::promise<void> done;
  auto finished = done.get_future();
  loop->enqueue(
      [&] {
        task();
        done.set_value();
      },
      std::chrono::steady_clock::now());
  finished.wait();
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
