#pragma once
// How the kernel schedules the window's thread against the pool's.

namespace foundation {

// Asks for short time slices for the calling thread: when it wakes (an
// event for the window), it takes its core from a pool thread at once
// rather than when that thread's slice ends, a few milliseconds later. Its
// share of the processor is unchanged. Keeps the thread's policy and nice
// value; threads it starts later have the usual slices. Answers whether
// the kernel took the request; kernels without per-thread slices accept it
// and keep their own.
bool requestShortTimeSlices();

// Makes the calling thread the window's thread, which pool threads working
// interactively give way to (see runInteractively).
void setWindowThread();

// Whether the window's thread is ready to run and waiting for the calling
// thread's core. Costs a read of the kernel's record of it (a few µs).
bool windowThreadWaitsForThisCore();

}  // namespace foundation
