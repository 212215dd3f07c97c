#pragma once
// A cancel that reaches long decodes: whoever runs decodes on a thread (the
// batch loop, its workers) names a flag for the scope's lifetime, and a
// decode that works in steps (the PSD layer merge, between layers) polls it
// and gives up, noting FailureCause::Cancelled. Scopes nest; the innermost
// flag counts.

#include <atomic>

namespace imageio {

class DecodeCancelScope {
 public:
  // flag may be nullptr (nothing cancels the decodes of this scope).
  explicit DecodeCancelScope(const std::atomic<bool>* flag);
  ~DecodeCancelScope();
  DecodeCancelScope(const DecodeCancelScope&) = delete;
  DecodeCancelScope& operator=(const DecodeCancelScope&) = delete;

 private:
  const std::atomic<bool>* previous_;
};

// The flag of this thread's innermost scope (to hand to work started on
// other threads), or nullptr.
const std::atomic<bool>* decodeCancelFlag();
// Whether this thread's decodes are to give up.
bool decodeCancelled();

}  // namespace imageio
