#include "platform/foundation/task_group.h"

#include <tbb/task_arena.h>
#include <tbb/task_group.h>

namespace foundation {

struct TaskGroup::Pool {
  tbb::task_group group;
};

TaskGroup::TaskGroup() : pool_(std::make_unique<Pool>()) {}

TaskGroup::~TaskGroup() {
  wait();
}

void TaskGroup::run(std::function<void()> task) {
  // A thread that waits inside a task (for its parallel loops) helps only
  // with that task's own work: it never starts another whole task of the
  // group there, which would hold the first one, and its memory, until
  // the second has finished.
  pool_->group.run([task = std::move(task)] { tbb::this_task_arena::isolate(task); });
}

void TaskGroup::wait() {
  pool_->group.wait();
}

void runIsolated(const std::function<void()>& task) {
  tbb::this_task_arena::isolate(task);
}

}  // namespace foundation
