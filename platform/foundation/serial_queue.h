#pragma once
// A labelled queue with one worker thread that runs its work in order.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace foundation {

class SerialQueue {
 public:
  using Task = std::function<void()>;

  explicit SerialQueue(std::string label);
  // Finishes every queued task, then stops the worker. Must not be called
  // from one of the queue's own tasks.
  ~SerialQueue();
  SerialQueue(const SerialQueue&) = delete;
  SerialQueue& operator=(const SerialQueue&) = delete;

  const std::string& label() const { return label_; }

  // Queues task to run on the worker after everything queued before it.
  void async(Task task);
  // Waits until everything queued before has run, then runs task on the
  // calling thread and returns. Nothing queued later starts before task has
  // returned. Called from the queue's own worker, runs task at once.
  void sync(const Task& task);
  // Waits until nothing is queued or running.
  void waitUntilIdle();
  // True on this queue's worker thread.
  bool isCurrent() const { return std::this_thread::get_id() == worker_.get_id(); }

 private:
  void run();

  std::string label_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<Task> tasks_;
  bool busy_ = false;
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace foundation
