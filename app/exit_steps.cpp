#include "app/exit_steps.h"

#include <utility>

namespace velumar {

namespace {

struct ExitSteps {
  std::function<void()> steps;
  ~ExitSteps() {
    if (steps) std::exchange(steps, nullptr)();
  }
};

thread_local ExitSteps tExitSteps;

}  // namespace

void armExitSteps(std::function<void()> steps) {
  tExitSteps.steps = std::move(steps);
}

}  // namespace velumar
