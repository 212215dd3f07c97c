#include "platform/foundation/serial_queue.h"

#include <pthread.h>

#include <future>

namespace foundation {

SerialQueue::SerialQueue(std::string label) : label_(std::move(label)) {
  worker_ = std::thread([this] { run(); });
  // Thread names are limited to 15 characters.
  pthread_setname_np(worker_.native_handle(), label_.substr(0, 15).c_str());
}

SerialQueue::~SerialQueue() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void SerialQueue::async(Task task) {
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  wake_.notify_one();
}

void SerialQueue::sync(const Task& task) {
  if (isCurrent()) {
    task();
    return;
  }
  // A barrier task holds the worker until the caller has run task, so the
  // queue's order is kept without moving task to another thread.
  std::promise<void> reached;
  std::promise<void> released;
  std::future<void> reachedFuture = reached.get_future();
  std::shared_future<void> releasedFuture = released.get_future().share();
  async([&reached, releasedFuture] {
    reached.set_value();
    releasedFuture.wait();
  });
  reachedFuture.wait();
  task();
  released.set_value();
}

void SerialQueue::waitUntilIdle() {
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return tasks_.empty() && !busy_; });
}

void SerialQueue::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
    if (tasks_.empty()) {
      if (stopping_) return;
      continue;
    }
    Task task = std::move(tasks_.front());
    tasks_.pop_front();
    busy_ = true;
    lock.unlock();
    if (task) task();
    task = nullptr;  // release captures before reporting idle
    lock.lock();
    busy_ = false;
    if (tasks_.empty()) idle_.notify_all();
  }
}

}  // namespace foundation
