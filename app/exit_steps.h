#pragma once
// Qt ends the process with exit() on the main thread, from inside the event
// loop, when the display connection breaks (the X server gone, a logout).
// exit() destroys the calling thread's thread_local objects before any
// static one, so steps armed here run while everything a running batch uses
// still exists, before static destructors that would wait on it.

#include <functional>

namespace velumar {

// Arms steps for an exit() on the calling thread, or for its end; an empty
// function disarms them.
void armExitSteps(std::function<void()> steps);

}  // namespace velumar
