#pragma once
// Whole tasks on the one shared thread pool: run() hands a task to the pool
// and returns at once; wait() returns when every task handed over so far has
// finished. The destructor waits too, so no task outlives its group. A task
// never starts inside another one's wait for its parallel loops.

#include <functional>
#include <memory>

namespace foundation {

class TaskGroup {
 public:
  TaskGroup();
  ~TaskGroup();
  TaskGroup(const TaskGroup&) = delete;
  TaskGroup& operator=(const TaskGroup&) = delete;

  void run(std::function<void()> task);
  void wait();

 private:
  struct Pool;
  std::unique_ptr<Pool> pool_;
};

// Runs task on the calling thread as a task of a group runs: a wait inside
// it for its parallel loops helps only with its own work, never starting a
// whole task of a group there.
void runIsolated(const std::function<void()>& task);

}  // namespace foundation
