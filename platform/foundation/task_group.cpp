#include "platform/foundation/task_group.h"

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
  pool_->group.run(std::move(task));
}

void TaskGroup::wait() {
  pool_->group.wait();
}

}  // namespace foundation
